// Shows the main window's sheets and alerts, each exactly while its model property says so,
// one at a time and in this order: the export progress, the film-type question, the export
// options, the copy choice, the error alert, the notice. Alerts go through the dialog seam (opened, never a nested event loop); answering
// one clears its property, unless the model has meanwhile put a new text there.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <stop_token>

#include "Services/TaskHandle.h"
#include "Windows/ModelSheet.h"

struct ModelCalls;
class AppModel;
class DialogService;
class QWidget;

class SheetPresenter final : public QObject {
  Q_OBJECT

 public:
  enum class Shown {
    nothing,
    exportSheet,
    filmTypeSheet,
    exportOptionsSheet,
    copySettingsSheet,
    errorAlert,
    noticeAlert
  };

  SheetPresenter(AppModel& model, const ModelCalls& calls, DialogService& dialogs, QWidget* window);
  ~SheetPresenter() override;

  Shown shown() const { return shown_; }
  ModelSheet* sheet() const { return sheet_; }

 private:
  void reconsider();
  bool stillDue() const;
  void endSheet();
  void startAlert(Shown kind, QString text);
  QCoro::Task<> presentAlert(Shown kind, QString text, std::stop_token stop);

  AppModel& model_;
  const ModelCalls& calls_;
  DialogService& dialogs_;
  QWidget* window_;
  Shown shown_ = Shown::nothing;
  QPointer<ModelSheet> sheet_;
  TaskHandle alertTask_;
};
