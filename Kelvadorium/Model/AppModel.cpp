#include "Model/AppModel.h"

#include <string_view>

#include "Services/RecentDocuments.h"

namespace {

QPointer<AppModel>& current() {
  static QPointer<AppModel> model;
  return model;
}

// The parts copied by default, by raw value, in this order.
QString defaultCopyParts() {
  QStringList parts;
  for (SettingsPart part : {SettingsPart::film, SettingsPart::basic, SettingsPart::colour,
                            SettingsPart::curves, SettingsPart::effects}) {
    parts.append(QString::fromStdString(toString(part)));
  }
  return parts.join(",");
}

}  // namespace

AppModel::AppModel(ModelServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)), preferences_(services_.settingsPath) {
  const auto& backend = services_.renderBackend;
  detailRenderer_ = std::make_unique<Renderer>(1000000, 1, backend);
  previewRenderer_ = std::make_unique<Renderer>(2400, 4, backend);
  fastRenderer_ = std::make_unique<Renderer>(1200, 4, backend);
  lightRenderer_ = std::make_unique<Renderer>(1600, 6, backend);
  thumbRenderer_ = std::make_unique<Renderer>(320, 400, backend);
  // The older Bool decides the default only; it is read once and never written.
  previewModeDefault_ =
      preferences_.boolValue("fullRenderPreview", false) ? PreviewMode::full : PreviewMode::hybrid;
  current() = this;
  // The dust model's finds are not a tool of their own: a stored "ai" tool heals.
  if (preferences_.storedEnum<SpotKind>("healTool") == SpotKind::ai) {
    preferences_.setEnum("healTool", SpotKind::heal);
  }
  recentProjects_ = loadRecentProjects(preferences_, RecentDocuments::standardPath());
}

AppModel::~AppModel() {
  stopAllTasks();
  // Renderers go while the rest of the model is still whole: each resumes its waiting callers
  // (stopped), which see their stop requested and end without touching the model.
  thumbRenderer_.reset();
  lightRenderer_.reset();
  fastRenderer_.reset();
  previewRenderer_.reset();
  detailRenderer_.reset();
}

void AppModel::stopAllTasks() {
  for (const TaskHandle* task :
       {&plain_.detailTask, &plain_.renderTask, &plain_.thumbTask, &plain_.exportTask,
        &plain_.beforeTask, &plain_.histogramTask, &plain_.fullJob, &plain_.prefetchTask,
        &plain_.rollTask}) {
    task->cancel();
  }
  for (const auto& [id, task] : plain_.sidecarTasks) task.cancel();
  for (const auto& [id, task] : plain_.thumbRefreshTasks) task.cancel();
}

QPointer<AppModel> AppModel::currentModel() { return current(); }

std::optional<size_t> AppModel::selectedIndex() const {
  if (!selection_) return std::nullopt;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].id == *selection_) return i;
  }
  return std::nullopt;
}

ExportOptions AppModel::storedExportOptions() const {
  const QByteArray data = exportOptionsData();
  return exportOptionsFromJSON(std::string_view(data.constData(), static_cast<size_t>(data.size())))
      .value_or(ExportOptions{});
}

// Preferences.

FilmMode AppModel::defaultMode() const {
  return preferences_.enumValue("defaultMode", FilmMode::colorNegative);
}
void AppModel::setDefaultMode(FilmMode value) { preferences_.setEnum("defaultMode", value); }

ScannerLook AppModel::defaultLook() const {
  return preferences_.enumValue("defaultLook", ScannerLook::neutral);
}
void AppModel::setDefaultLook(ScannerLook value) { preferences_.setEnum("defaultLook", value); }

bool AppModel::askFilmType() const { return preferences_.boolValue("askFilmType", true); }
void AppModel::setAskFilmType(bool value) { preferences_.setBool("askFilmType", value); }

AppLayout AppModel::layout() const { return preferences_.enumValue("layout", AppLayout::standard); }
void AppModel::setLayout(AppLayout value) { preferences_.setEnum("layout", value); }

double AppModel::spotBrush() const { return preferences_.doubleValue("spotBrush", 0.008); }
void AppModel::setSpotBrush(double value) { preferences_.setDouble("spotBrush", value); }

SpotKind AppModel::healTool() const { return preferences_.enumValue("healTool", SpotKind::heal); }
void AppModel::setHealTool(SpotKind value) { preferences_.setEnum("healTool", value); }

double AppModel::spotFeather() const { return preferences_.doubleValue("spotFeather", 25); }
void AppModel::setSpotFeather(double value) { preferences_.setDouble("spotFeather", value); }

double AppModel::spotOpacity() const { return preferences_.doubleValue("spotOpacity", 100); }
void AppModel::setSpotOpacity(double value) { preferences_.setDouble("spotOpacity", value); }

bool AppModel::saveSidecars() const { return preferences_.boolValue("saveSidecars", true); }
void AppModel::setSaveSidecars(bool value) { preferences_.setBool("saveSidecars", value); }

std::filesystem::path AppModel::lastExportPath() const {
  return preferences_.pathValue("lastExportDirectory");
}
void AppModel::setLastExportPath(const std::filesystem::path& value) {
  preferences_.setPath("lastExportDirectory", value);
}

QString AppModel::copyPartsStore() const {
  return preferences_.stringValue("copyParts", defaultCopyParts());
}
void AppModel::setCopyPartsStore(const QString& value) {
  preferences_.setString("copyParts", value);
}

double AppModel::dodgeSize() const { return preferences_.doubleValue("dodgeSize", 0.03); }
void AppModel::setDodgeSize(double value) { preferences_.setDouble("dodgeSize", value); }

double AppModel::dodgeFeather() const { return preferences_.doubleValue("dodgeFeather", 50); }
void AppModel::setDodgeFeather(double value) { preferences_.setDouble("dodgeFeather", value); }

DodgeShape AppModel::dodgeShape() const {
  return preferences_.enumValue("dodgeShape", DodgeShape::brush);
}
void AppModel::setDodgeShape(DodgeShape value) { preferences_.setEnum("dodgeShape", value); }

bool AppModel::dodgeOutside() const { return preferences_.boolValue("dodgeOutside", false); }
void AppModel::setDodgeOutside(bool value) { preferences_.setBool("dodgeOutside", value); }

double AppModel::redEyeSize() const { return preferences_.doubleValue("redEyeSize", 0.012); }
void AppModel::setRedEyeSize(double value) { preferences_.setDouble("redEyeSize", value); }

QByteArray AppModel::exportOptionsData() const { return preferences_.bytesValue("exportOptions"); }
void AppModel::setExportOptionsData(const QByteArray& value) {
  preferences_.setBytes("exportOptions", value);
}

double AppModel::dustSensitivity() const {
  return preferences_.doubleValue("dustSensitivity", 0.5);
}
void AppModel::setDustSensitivity(double value) {
  preferences_.setDouble("dustSensitivity", value);
}

AppModel::PreviewMode AppModel::previewMode() const {
  return preferences_.enumValue("previewMode", previewModeDefault_);
}
void AppModel::setPreviewMode(PreviewMode value) {
  const PreviewMode old = previewMode();
  preferences_.setEnum("previewMode", value);
  emit previewModeChanged();
  previewModeDidSet(old);
}

// Published properties.

void AppModel::setItems(std::vector<ImageItem> value) {
  publish(items_, std::move(value), &AppModel::itemsChanged);
}
void AppModel::setSelection(std::optional<Uuid> value) {
  selectionDidSet(publish(selection_, std::move(value), &AppModel::selectionChanged));
}
void AppModel::setPreview(std::shared_ptr<const PreviewImage> value) {
  publish(preview_, std::move(value), &AppModel::previewChanged);
}
void AppModel::setAnalysis(std::optional<FilmAnalysis> value) {
  publish(analysis_, std::move(value), &AppModel::analysisChanged);
}
void AppModel::setIsRendering(bool value) {
  publish(isRendering_, std::move(value), &AppModel::isRenderingChanged);
}
void AppModel::setShowNegative(bool value) {
  // The picture on screen is the converted one or the scan itself: a change wants a new pass.
  if (publish(showNegative_, std::move(value), &AppModel::showNegativeChanged) != showNegative_) {
    requestRender();
  }
}
void AppModel::setCropMode(bool value) {
  cropModeDidSet(publish(cropMode_, std::move(value), &AppModel::cropModeChanged));
}
void AppModel::setPreviewIsUncropped(bool value) {
  publish(previewIsUncropped_, std::move(value), &AppModel::previewIsUncroppedChanged);
}
void AppModel::setExportProgress(std::optional<ExportProgress> value) {
  publish(exportProgress_, std::move(value), &AppModel::exportProgressChanged);
}
void AppModel::setErrorMessage(std::optional<QString> value) {
  publish(errorMessage_, std::move(value), &AppModel::errorMessageChanged);
}
void AppModel::setFilmTypeQuestion(std::optional<std::vector<Uuid>> value) {
  publish(filmTypeQuestion_, std::move(value), &AppModel::filmTypeQuestionChanged);
}
void AppModel::setSpotMode(bool value) {
  spotModeDidSet(publish(spotMode_, std::move(value), &AppModel::spotModeChanged));
}
void AppModel::setSpotSelecting(bool value) {
  publish(spotSelecting_, std::move(value), &AppModel::spotSelectingChanged);
}
void AppModel::setSelectedRepair(std::optional<Uuid> value) {
  publish(selectedRepair_, std::move(value), &AppModel::selectedRepairChanged);
}
void AppModel::setLiveRotation(double value) {
  publish(liveRotation_, std::move(value), &AppModel::liveRotationChanged);
}
void AppModel::setProjectURL(std::optional<std::filesystem::path> value) {
  publish(projectURL_, std::move(value), &AppModel::projectURLChanged);
}
void AppModel::setHasUnsavedChanges(bool value) {
  publish(hasUnsavedChanges_, std::move(value), &AppModel::hasUnsavedChangesChanged);
}
void AppModel::setZoom(double value) { publish(zoom_, std::move(value), &AppModel::zoomChanged); }
void AppModel::setPan(QSizeF value) { publish(pan_, std::move(value), &AppModel::panChanged); }
void AppModel::setDetailPreview(std::shared_ptr<const PreviewImage> value) {
  publish(detailPreview_, std::move(value), &AppModel::detailPreviewChanged);
}
void AppModel::setIsRenderingDetail(bool value) {
  publish(isRenderingDetail_, std::move(value), &AppModel::isRenderingDetailChanged);
}
void AppModel::setFullPixelSize(QSizeF value) {
  publish(fullPixelSize_, std::move(value), &AppModel::fullPixelSizeChanged);
}
void AppModel::setProxySize(QSize value) {
  publish(proxySize_, std::move(value), &AppModel::proxySizeChanged);
}
void AppModel::setNotice(std::optional<QString> value) {
  publish(notice_, std::move(value), &AppModel::noticeChanged);
}
void AppModel::setShowInspector(bool value) {
  publish(showInspector_, std::move(value), &AppModel::showInspectorChanged);
}
void AppModel::setHealSource(std::optional<QPointF> value) {
  publish(healSource_, std::move(value), &AppModel::healSourceChanged);
}
void AppModel::setPreviewIsFast(bool value) {
  publish(previewIsFast_, std::move(value), &AppModel::previewIsFastChanged);
}
void AppModel::setCanUndo(bool value) {
  publish(canUndo_, std::move(value), &AppModel::canUndoChanged);
}
void AppModel::setCanRedo(bool value) {
  publish(canRedo_, std::move(value), &AppModel::canRedoChanged);
}
void AppModel::setMarked(std::set<Uuid> value) {
  publish(marked_, std::move(value), &AppModel::markedChanged);
}
void AppModel::setCopiedSettings(std::optional<ConversionSettings> value) {
  publish(copiedSettings_, std::move(value), &AppModel::copiedSettingsChanged);
}
void AppModel::setCopiedParts(std::set<SettingsPart> value) {
  publish(copiedParts_, std::move(value), &AppModel::copiedPartsChanged);
}
void AppModel::setShowCopySheet(bool value) {
  publish(showCopySheet_, std::move(value), &AppModel::showCopySheetChanged);
}
void AppModel::setCompareMode(CompareMode value) {
  compareModeDidSet(publish(compareMode_, std::move(value), &AppModel::compareModeChanged));
}
void AppModel::setSplitPosition(double value) {
  publish(splitPosition_, std::move(value), &AppModel::splitPositionChanged);
}
void AppModel::setBeforePreview(std::shared_ptr<const PreviewImage> value) {
  publish(beforePreview_, std::move(value), &AppModel::beforePreviewChanged);
}
void AppModel::setWbPickMode(bool value) {
  wbPickModeDidSet(publish(wbPickMode_, std::move(value), &AppModel::wbPickModeChanged));
}
void AppModel::setDodgeMode(bool value) {
  dodgeModeDidSet(publish(dodgeMode_, std::move(value), &AppModel::dodgeModeChanged));
}
void AppModel::setSelectedLayerID(std::optional<Uuid> value) {
  publish(selectedLayerID_, std::move(value), &AppModel::selectedLayerIDChanged);
}
void AppModel::setRedEyeMode(bool value) {
  redEyeModeDidSet(publish(redEyeMode_, std::move(value), &AppModel::redEyeModeChanged));
}
void AppModel::setShowClipping(bool value) {
  publish(showClipping_, std::move(value), &AppModel::showClippingChanged);
}
void AppModel::setRollProgress(std::optional<std::pair<int, int>> value) {
  publish(rollProgress_, std::move(value), &AppModel::rollProgressChanged);
}
void AppModel::setExportRequest(std::optional<std::vector<ImageItem>> value) {
  publish(exportRequest_, std::move(value), &AppModel::exportRequestChanged);
}
void AppModel::setMatchProgress(std::optional<double> value) {
  publish(matchProgress_, std::move(value), &AppModel::matchProgressChanged);
}
void AppModel::setDustCandidates(std::vector<std::vector<Spot>> value) {
  publish(dustCandidates_, std::move(value), &AppModel::dustCandidatesChanged);
}
void AppModel::setKeptDust(std::set<Uuid> value) {
  publish(keptDust_, std::move(value), &AppModel::keptDustChanged);
}
void AppModel::setIsFindingDust(bool value) {
  publish(isFindingDust_, std::move(value), &AppModel::isFindingDustChanged);
}
void AppModel::setHoverFilmLook(std::optional<HoverLook> value) {
  hoverFilmLookDidSet(publish(hoverFilmLook_, std::move(value), &AppModel::hoverFilmLookChanged));
}
void AppModel::setHoverScanner(std::optional<ScannerLook> value) {
  hoverScannerDidSet(publish(hoverScanner_, std::move(value), &AppModel::hoverScannerChanged));
}
void AppModel::setRecentProjects(std::vector<std::filesystem::path> value) {
  publish(recentProjects_, std::move(value), &AppModel::recentProjectsChanged);
}
