// Measuring across scans: even light, roll analysis, reference matching and copying the look.
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <exception>
#include <functional>
#include <utility>

#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Driver/ReferenceMatch.h"
#include "Model/AppModel.h"
#include "Model/LookCopy.h"
#include "Model/MatchScale.h"
#include "Model/MeasuringMessages.h"
#include "Model/ProjectMessages.h"
#include "Model/RollFrames.h"
#include "Model/ScanPath.h"

namespace fs = std::filesystem;

namespace {

// The wait cursor while the GUI thread measures; nothing without a GUI application (tests).
class BusyCursor {
 public:
  BusyCursor() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (shown_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~BusyCursor() {
    if (shown_) QGuiApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool shown_;
};

// What a reference match works on, copied when it starts.
struct MatchRequest {
  fs::path photo;
  fs::path scan;
  ConversionSettings settings;
  Uuid id;
};

// Runs `work` on the GUI thread after what was posted before it, while the model lives. The
// application object outlives every model, so the call is never posted to a dead receiver; once
// the application is gone (a match still running at exit) nothing is posted.
void postToModel(const QPointer<AppModel>& model, std::function<void(AppModel&)> work) {
  QCoreApplication* application = QCoreApplication::instance();
  if (!application) return;
  QMetaObject::invokeMethod(
      application,
      [model, work = std::move(work)] {
        if (model) work(*model);
      },
      Qt::QueuedConnection);
}

void endMatchWithNotice(AppModel& model, const QString& notice) {
  model.setMatchProgress(std::nullopt);
  model.setNotice(notice);
}

void applyMatch(AppModel& model, const MatchRequest& request,
                const ReferenceMatch::Result& result) {
  model.setMatchProgress(std::nullopt);
  const std::optional<size_t> index = model.selectedIndex();
  if (!index || model.items()[*index].id != request.id) return;
  model.applyMatchedSettings(result.settings);
  model.setNotice(
      MeasuringMessages::matched(ProjectMessages::displayName(request.photo), result.samePicture,
                                 MeasuringMessages::matchPercent(result.before, result.after)));
}

// The match off the GUI thread. The scan is decoded as previews and exports decode it, blank
// frame included, so the fitted record fits what they show.
void runReferenceMatch(const QPointer<AppModel>& model, const MatchRequest& request) {
  std::optional<ReferencePicture> photo;
  try {
    photo.emplace(ReferencePicture::read(request.photo));
  } catch (const std::exception&) {
    postToModel(model,
                [](AppModel& m) { endMatchWithNotice(m, MeasuringMessages::unreadablePhoto()); });
    return;
  }
  std::optional<LinearImage> scan;
  try {
    scan.emplace(FlatField::decodeCorrected(request.scan, request.settings,
                                            MatchScale::forSize(Decoder::pixelSize(request.scan))));
  } catch (const std::exception&) {
    const QString name = ProjectMessages::displayName(request.scan);
    postToModel(model, [name](AppModel& m) {
      endMatchWithNotice(m, MeasuringMessages::unreadableScan(name));
    });
    return;
  }
  try {
    const ReferenceMatch::Result result =
        ReferenceMatch::match(*scan, request.settings, *photo, [&](double progress) {
          postToModel(model, [progress](AppModel& m) {
            // A report that arrives after the end is ignored.
            if (m.matchProgress()) m.setMatchProgress(progress);
          });
        });
    postToModel(model, [request, result](AppModel& m) { applyMatch(m, request, result); });
  } catch (const std::exception&) {
    // Out of memory while printing: the match ends without a result.
    postToModel(model, [](AppModel& m) { m.setMatchProgress(std::nullopt); });
  }
}

}  // namespace

QCoro::Task<> AppModel::chooseBlankFrame(bool forAll) {
  DialogService::OpenPanel panel;
  panel.message = QStringLiteral(
      "Choose the blank frame: shot with the same lens, aperture, distance and light as the "
      "scans, with no film (or clear film base) in the holder");
  panel.prompt = QStringLiteral("Use for Even Light Correction");
  panel.files = true;
  panel.folders = false;
  panel.multiple = false;
  if (const auto index = selectedIndex()) panel.directory = items_[*index].url.parent_path();
  QPointer<AppModel> self(this);
  const std::vector<fs::path> chosen = co_await dialogs().openPanel(std::move(panel));
  if (!self || chosen.empty()) co_return;
  setFlatField(chosen.front(), forAll);
}

void AppModel::setFlatField(std::optional<fs::path> url, bool forAll) {
  std::optional<float> cornerLevel;
  if (url) {
    url = ScanPath::normal(*url);
    try {
      const BusyCursor busy;
      cornerLevel = FlatField::gainMap(*url, 0, false).cornerLevel;
    } catch (const FlatField::FlatError& error) {
      setErrorMessage(QString::fromUtf8(error.what()));
      return;
    } catch (const std::exception&) {
      setErrorMessage(QStringLiteral("The blank frame could not be used."));
      return;
    }
  }
  std::vector<Uuid> targets;
  if (forAll) {
    for (const ImageItem& item : items_) targets.push_back(item.id);
  } else {
    targets = targetIDs();
  }
  applyFlatField(targets, url ? std::optional<std::string>(url->string()) : std::nullopt);
  telemetry().record(url ? QStringLiteral("flatField.on") : QStringLiteral("flatField.off"));
  if (url) setNotice(MeasuringMessages::flatFieldSet(targets.size(), *cornerLevel));
}

std::vector<ImageItem> AppModel::rollFrames() const {
  std::vector<ImageItem> frames;
  for (size_t index : RollFrames::pick(items_, selectedIndex(), marked_)) {
    frames.push_back(items_[index]);
  }
  return frames;
}

void AppModel::analyseRoll() {
  std::vector<ImageItem> frames = rollFrames();
  if (frames.size() < 2) {
    setNotice(MeasuringMessages::rollNeedsFrames());
    return;
  }
  if (rollProgress_) return;
  setRollProgress(std::pair{0, static_cast<int>(frames.size())});
  plain_.rollTask = TaskHandle::start([this, frames = std::move(frames)](std::stop_token stop) {
    return rollJob(frames, std::move(stop));
  });
}

QCoro::Task<> AppModel::rollJob(std::vector<ImageItem> frames, std::stop_token stop) {
  const int total = static_cast<int>(frames.size());
  std::vector<FilmAnalysis> measured;
  for (int i = 0; i < total; ++i) {
    ConversionSettings own = frames[static_cast<size_t>(i)].settings;
    own.rollBalance.reset();
    // One frame at a time, so the preview's own passes run between them.
    RenderResult<FilmAnalysis> result =
        co_await previewRenderer().analysis(frames[static_cast<size_t>(i)].url, own);
    // Stopped: the model is going away.
    if (result.stopped() || stop.stop_requested()) co_return;
    if (result.ok()) measured.push_back(std::move(result.value()));
    setRollProgress(std::pair{i + 1, total});
  }
  setRollProgress(std::nullopt);
  const std::optional<RollBalance> balance = RollBalance::learn(measured);
  if (!balance) co_return;
  std::vector<Uuid> ids;
  for (const ImageItem& frame : frames) ids.push_back(frame.id);
  // Scans removed meanwhile are passed over.
  applyRollBalance(ids, *balance);
  setNotice(MeasuringMessages::rollMeasured(static_cast<int>(balance->frames)));
}

QCoro::Task<> AppModel::chooseReferencePhoto() {
  if (!selectedIndex()) co_return;
  DialogService::OpenPanel panel;
  panel.title = QStringLiteral("Match Reference Photo");
  panel.message = QStringLiteral(
      "Choose a photo to match: the lab's scan of this frame, or any photo with the look you "
      "want.");
  panel.files = true;
  panel.folders = false;
  panel.multiple = false;
  for (const std::string& extension : Decoder::imageExtensions()) {
    panel.extensions.append(QString::fromStdString(extension));
  }
  QPointer<AppModel> self(this);
  const std::vector<fs::path> chosen = co_await dialogs().openPanel(std::move(panel));
  if (!self || chosen.empty()) co_return;
  startReferenceMatch(chosen.front());
}

void AppModel::startReferenceMatch(const fs::path& url) {
  telemetry().record(QStringLiteral("matchReference"));
  const std::optional<size_t> index = selectedIndex();
  if (!index || matchProgress_) return;
  setMatchProgress(0.0);
  const ImageItem& item = items_[*index];
  MatchRequest request{url, item.url, item.settings, item.id};
  QPointer<AppModel> self(this);
  QThreadPool::globalInstance()->start(
      [self, request = std::move(request)] { runReferenceMatch(self, request); });
}

void AppModel::copyLookToAll() {
  const std::optional<size_t> index = selectedIndex();
  if (!index) return;
  const ConversionSettings look = items_[*index].settings;
  const Uuid selected = items_[*index].id;
  std::vector<Uuid> others;
  for (const ImageItem& item : items_) {
    if (item.id != selected) others.push_back(item.id);
  }
  // One undo group: the copy replaces every other scan's look at once.
  editScans(others, [&look](ConversionSettings& settings) {
    settings = LookCopy::carried(look, settings);
  });
  setNotice(MeasuringMessages::lookCopied(items_.size() - 1));
}
