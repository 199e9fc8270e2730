#include "Windows/SheetPresenter.h"

#include "Model/AppModel.h"
#include "Services/DialogService.h"
#include "Windows/CopySettingsSheet.h"
#include "Windows/ExportOptionsSheet.h"
#include "Windows/ExportSheet.h"
#include "Windows/FilmTypeSheet.h"

SheetPresenter::SheetPresenter(AppModel& model, const ModelCalls& calls, DialogService& dialogs,
                               QWidget* window)
    : QObject(window), model_(model), calls_(calls), dialogs_(dialogs), window_(window) {
  for (auto changed : {&AppModel::exportProgressChanged, &AppModel::filmTypeQuestionChanged,
                       &AppModel::exportRequestChanged, &AppModel::showCopySheetChanged,
                       &AppModel::errorMessageChanged, &AppModel::noticeChanged}) {
    connect(&model_, changed, this, &SheetPresenter::reconsider, Qt::QueuedConnection);
  }
  QMetaObject::invokeMethod(this, &SheetPresenter::reconsider, Qt::QueuedConnection);
}

SheetPresenter::~SheetPresenter() { alertTask_.cancel(); }

bool SheetPresenter::stillDue() const {
  switch (shown_) {
    case Shown::exportSheet:
      return model_.exportProgress().has_value();
    case Shown::filmTypeSheet:
      return model_.filmTypeQuestion().has_value();
    case Shown::exportOptionsSheet: {
      // A request replaced while the sheet was up (withdrawn and made again in one turn) gets
      // a sheet of its own, or the old one would export the scans of the old request.
      const auto* sheet = qobject_cast<const ExportOptionsSheet*>(sheet_.data());
      return model_.exportRequest() && sheet && sheet->standsFor(*model_.exportRequest());
    }
    case Shown::copySettingsSheet:
      return model_.showCopySheet();
    default:
      return true;
  }
}

void SheetPresenter::endSheet() {
  if (sheet_) {
    sheet_->finish();
    sheet_->deleteLater();
  }
  sheet_ = nullptr;
  shown_ = Shown::nothing;
}

// Model signals arrive queued: a property written inside another view's refresh never opens a
// dialog in the middle of that refresh.
void SheetPresenter::reconsider() {
  if (shown_ == Shown::exportSheet || shown_ == Shown::filmTypeSheet ||
      shown_ == Shown::exportOptionsSheet || shown_ == Shown::copySettingsSheet) {
    if (stillDue()) return;
    endSheet();
  }
  if (shown_ != Shown::nothing) return;  // an alert is up; its answer looks again
  if (model_.exportProgress()) {
    shown_ = Shown::exportSheet;
    sheet_ = new ExportSheet(model_, window_);
  } else if (model_.filmTypeQuestion()) {
    shown_ = Shown::filmTypeSheet;
    sheet_ = new FilmTypeSheet(model_, calls_, window_);
  } else if (const auto& request = model_.exportRequest()) {
    shown_ = Shown::exportOptionsSheet;
    sheet_ = new ExportOptionsSheet(model_, *request, window_);
  } else if (model_.showCopySheet()) {
    shown_ = Shown::copySettingsSheet;
    sheet_ = new CopySettingsSheet(model_, window_);
  } else if (const auto& error = model_.errorMessage()) {
    startAlert(Shown::errorAlert, *error);
    return;
  } else if (const auto& notice = model_.notice()) {
    startAlert(Shown::noticeAlert, *notice);
    return;
  } else {
    return;
  }
  sheet_->open();
}

void SheetPresenter::startAlert(Shown kind, QString text) {
  shown_ = kind;
  const TaskHandle started = TaskHandle::start(
      [this, kind, text](std::stop_token stop) { return presentAlert(kind, text, stop); });
  // An answer given at once has already shown the next one, whose handle is kept instead.
  if (!started.isFinished()) alertTask_ = started;
}

QCoro::Task<> SheetPresenter::presentAlert(Shown kind, QString text, std::stop_token stop) {
  DialogService::Alert alert;
  if (kind == Shown::errorAlert) {
    alert.title = "Something went wrong";
    alert.text = text;
  } else {
    alert.title = text;
  }
  alert.buttons = {"OK"};
  co_await dialogs_.alert(alert);
  if (stop.stop_requested()) co_return;
  if (kind == Shown::errorAlert && model_.errorMessage() == text) model_.setErrorMessage({});
  if (kind == Shown::noticeAlert && model_.notice() == text) model_.setNotice({});
  shown_ = Shown::nothing;
  reconsider();
}
