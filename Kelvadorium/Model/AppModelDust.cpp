// Finding dust on the selected scan and removing the finds the user did not keep. One find runs
// at a time; its result counts only for the scan it was started on, and a removal applies the
// finds only to that scan in the orientation they were found in.
#include <QKeySequence>

#include "Model/AppModel.h"
#include "Model/DustFinds.h"

void AppModel::findDust() {
  const std::optional<size_t> index = selectedIndex();
  if (!index || isFindingDust_) return;
  setIsFindingDust(true);
  // Leaving a mode edits no record and selects no other scan, so the index still holds.
  switchOff({&AppModel::setSpotMode, &AppModel::setDodgeMode, &AppModel::setRedEyeMode,
             &AppModel::setCropMode});
  const ImageItem& item = items_[*index];
  std::vector<std::filesystem::path> urls;
  urls.reserve(items_.size());
  for (const ImageItem& each : items_) urls.push_back(each.url);
  // Each neighbour goes with its own record: its turn, mirroring and blank frame.
  std::vector<DustSearch::Sample> samples;
  for (const size_t i : DustFinds::sampleIndices(urls, *index))
    samples.emplace_back(items_[i].url, items_[i].settings);
  telemetry().record("dust.find");
  TaskHandle::start([this, id = item.id, url = item.url, settings = item.settings,
                     samples = std::move(samples),
                     sensitivity = dustSensitivity()](std::stop_token) {
    return dustFindJob(id, url, settings, samples, sensitivity);
  });
}

QCoro::Task<> AppModel::dustFindJob(Uuid id, std::filesystem::path url, ConversionSettings settings,
                                    std::vector<DustSearch::Sample> samples, double sensitivity) {
  RenderResult<std::vector<std::vector<Spot>>> found =
      co_await previewRenderer().findDust(url, settings, std::move(samples), sensitivity);
  // The model is going: its renderer answered "stopped".
  if (found.stopped()) co_return;
  setIsFindingDust(false);
  if (selection_ != id) co_return;
  // A pass that failed reads as one that found nothing.
  std::vector<std::vector<Spot>> candidates;
  if (found.ok()) candidates = std::move(found.value());
  setKeptDust(DustFinds::faintIDs(candidates));
  plain_.dustFor = id;
  plain_.dustOrientation = {settings.rotationQuarterTurns, settings.mirrored};
  const bool none = candidates.empty();
  setDustCandidates(std::move(candidates));
  if (none) setNotice("No dust found. Raise Sensitivity to look for fainter specks.");
}

bool AppModel::isFaintDust(const Uuid& id) const {
  for (const auto& candidate : dustCandidates_) {
    if (DustFinds::candidateID(candidate) == id) return DustFinds::isFaint(candidate);
  }
  return false;
}

void AppModel::toggleKeptDust(const Uuid& id) {
  std::set<Uuid> kept = keptDust_;
  if (!kept.erase(id)) kept.insert(id);
  setKeptDust(std::move(kept));
}

void AppModel::removeDust() {
  if (plain_.dustFor != selection_) {
    clearDustCandidates();
    return;
  }
  const std::optional<size_t> index = selectedIndex();
  // Finds are placed in the orientation of the find; after a quarter turn or a mirroring they
  // would land elsewhere on the picture.
  if (index && plain_.dustOrientation != std::pair(items_[*index].settings.rotationQuarterTurns,
                                                   items_[*index].settings.mirrored)) {
    clearDustCandidates();
    return;
  }
  const std::vector<Spot> repairs = DustFinds::repairsFor(dustCandidates_, keptDust_);
  size_t count = DustFinds::removedCount(dustCandidates_, keptDust_);
  const size_t before = index ? items_[*index].settings.spots.size() : 0;
  editSelectedCapturing(repairs, [](ConversionSettings& s, const std::vector<Spot>& spots) {
    s.spots.insert(s.spots.end(), spots.begin(), spots.end());
  });
  // Only what the record took is reported as removed.
  if (!index || items_[*index].settings.spots.size() == before) count = 0;
  telemetry().record("dust.remove");
  setDustCandidates({});
  setKeptDust({});
  // The Undo shortcut as the platform writes it ("Ctrl+Z", on a Mac the command key).
  const QString undoKey = QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText);
  setNotice(DustFinds::removalNotice(count, undoKey));
}
