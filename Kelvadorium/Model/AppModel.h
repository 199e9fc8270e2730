// The session model: the one object that holds a session on the GUI thread: the scans with their
// edit records, selection and marks, the published preview and its render bookkeeping, the
// editing tools' state, every running task, the five renderers and the stored preferences.
// Published properties have a getter, a setter and a <name>Changed signal sent after every
// write; setters are their only writers, so the write observers of the selection, the five tool
// modes, the compare and preview modes and the two hovered looks run on every write, whoever
// writes. The model may be destroyed at any moment: its destructor stops every task and renderer,
// and nothing of it resumes afterwards.
#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Export/ExportOptions.h"
#include "Export/ProjectFile.h"
#include "Model/AppLayout.h"
#include "Model/BrowseKey.h"
#include "Model/CompareMode.h"
#include "Model/CurveEditorState.h"
#include "Model/ExportProgress.h"
#include "Model/Histogram.h"
#include "Model/HistoryEntry.h"
#include "Model/HoverLook.h"
#include "Model/ImageItem.h"
#include "Model/PreviewMapping.h"
#include "Model/PreviewMode.h"
#include "Model/SettingsPart.h"
#include "Record/BuiltInPreset.h"
#include "Record/ConversionSettings.h"
#include "Record/DodgeBurnStroke.h"
#include "Record/DodgeShape.h"
#include "Record/FilmMode.h"
#include "Record/LocalAdjustment.h"
#include "Record/LocalLayer.h"
#include "Record/NormRect.h"
#include "Record/ScannerLook.h"
#include "Record/Spot.h"
#include "Record/SpotKind.h"
#include "Rendering/PreviewImage.h"
#include "Rendering/Renderer.h"
#include "Services/Clock.h"
#include "Services/ModelServices.h"
#include "Services/Preferences.h"
#include "Services/TaskHandle.h"
#include "Support/Uuid.h"
#include "Tone/CurvePreset.h"

class AppModel final : public QObject {
  Q_OBJECT

 public:
  using PreviewMode = ::PreviewMode;
  using CompareMode = ::CompareMode;
  using HoverLook = ::HoverLook;

  // State the views do not observe; the operations of later steps work on it.
  struct Plain {
    std::optional<ConversionSettings> cropEntry;
    std::optional<std::pair<Uuid, std::vector<Spot>>> healEntry;
    int healSession = 0;
    bool isRotating = false;
    std::optional<std::tuple<Uuid, ConversionSettings, bool, bool>> detailFor;
    bool wantsDetail = false;
    TaskHandle detailTask;
    bool renderDirty = false;
    bool forceFullRender = false;
    Clock::Moment lastSettingsChange;  // "no time" until the first request
    std::optional<Uuid> previewImageID;
    TaskHandle renderTask;
    std::vector<Uuid> thumbQueue;
    TaskHandle thumbTask;
    std::map<Uuid, TaskHandle> sidecarTasks;
    std::map<Uuid, TaskHandle> thumbRefreshTasks;
    TaskHandle exportTask;
    bool sidecarWarningShown = false;
    Clock::Moment lastEditTime;
    std::optional<Uuid> rangeAnchor;
    int thumbColumns = 1;
    std::optional<std::tuple<Uuid, ConversionSettings, bool>> beforeFor;
    TaskHandle beforeTask;
    TaskHandle histogramTask;
    std::optional<Uuid> dustFor;
    std::map<std::string, FilmAnalysis> analysisCache;
    int64_t renderGen = 0;
    TaskHandle fullJob;
    Clock::Moment lastSelectionChange;
    int browseDirection = +1;
    TaskHandle prefetchTask;
    QSizeF viewportContainer{0, 0};
    QSizeF viewportFitted{0, 0};
    double oneToOneZoom = 1;
    std::vector<HistoryEntry> undoStack;  // oldest first
    std::vector<HistoryEntry> redoStack;  // the next to redo last
    // Entries of the open project whose scans were not found, kept so that saving writes them
    // back, with the project file they were read from.
    std::vector<ProjectFile::Entry> leftOutEntries;
    std::filesystem::path leftOutSource;
    // The scan cropEntry was taken from: Cancel puts the snapshot back only onto that scan.
    std::optional<Uuid> cropEntryScan;
    // The quarter turns and mirroring of the scan when the dust finds were looked for.
    std::pair<int64_t, bool> dustOrientation{0, false};
    // The running roll analysis; rollProgress tells whether one runs.
    TaskHandle rollTask;
    // Warm-ups asked for while a newly selected scan's first picture was still being made: the
    // file and record of each, started in order once that picture is shown.
    std::vector<std::pair<std::filesystem::path, ConversionSettings>> heldWarmUps;
  };

  explicit AppModel(ModelServices services, QObject* parent = nullptr);
  ~AppModel() override;
  AppModel(const AppModel&) = delete;
  AppModel& operator=(const AppModel&) = delete;

  // The process-wide weak reference to the model; empty until one exists and after it goes.
  static QPointer<AppModel> currentModel();

  // The index in items of the first item whose id is the selection; nothing when nothing is
  // selected or no item has that id.
  std::optional<size_t> selectedIndex() const;
  // The export options last accepted, or the defaults when the stored data does not decode.
  ExportOptions storedExportOptions() const;

  // Published properties.
  const std::vector<ImageItem>& items() const { return items_; }
  void setItems(std::vector<ImageItem> value);
  const std::optional<Uuid>& selection() const { return selection_; }
  void setSelection(std::optional<Uuid> value);
  const std::shared_ptr<const PreviewImage>& preview() const { return preview_; }
  void setPreview(std::shared_ptr<const PreviewImage> value);
  const std::optional<FilmAnalysis>& analysis() const { return analysis_; }
  void setAnalysis(std::optional<FilmAnalysis> value);
  bool isRendering() const { return isRendering_; }
  void setIsRendering(bool value);
  bool showNegative() const { return showNegative_; }
  void setShowNegative(bool value);
  bool cropMode() const { return cropMode_; }
  void setCropMode(bool value);
  bool previewIsUncropped() const { return previewIsUncropped_; }
  void setPreviewIsUncropped(bool value);
  const std::optional<ExportProgress>& exportProgress() const { return exportProgress_; }
  void setExportProgress(std::optional<ExportProgress> value);
  const std::optional<QString>& errorMessage() const { return errorMessage_; }
  void setErrorMessage(std::optional<QString> value);
  const std::optional<std::vector<Uuid>>& filmTypeQuestion() const { return filmTypeQuestion_; }
  void setFilmTypeQuestion(std::optional<std::vector<Uuid>> value);
  bool spotMode() const { return spotMode_; }
  void setSpotMode(bool value);
  bool spotSelecting() const { return spotSelecting_; }
  void setSpotSelecting(bool value);
  const std::optional<Uuid>& selectedRepair() const { return selectedRepair_; }
  void setSelectedRepair(std::optional<Uuid> value);
  double liveRotation() const { return liveRotation_; }
  void setLiveRotation(double value);
  const std::optional<std::filesystem::path>& projectURL() const { return projectURL_; }
  void setProjectURL(std::optional<std::filesystem::path> value);
  bool hasUnsavedChanges() const { return hasUnsavedChanges_; }
  void setHasUnsavedChanges(bool value);
  double zoom() const { return zoom_; }
  void setZoom(double value);
  const QSizeF& pan() const { return pan_; }
  void setPan(QSizeF value);
  const std::shared_ptr<const PreviewImage>& detailPreview() const { return detailPreview_; }
  void setDetailPreview(std::shared_ptr<const PreviewImage> value);
  bool isRenderingDetail() const { return isRenderingDetail_; }
  void setIsRenderingDetail(bool value);
  const QSizeF& fullPixelSize() const { return fullPixelSize_; }
  void setFullPixelSize(QSizeF value);
  const QSize& proxySize() const { return proxySize_; }
  void setProxySize(QSize value);
  const std::optional<QString>& notice() const { return notice_; }
  void setNotice(std::optional<QString> value);
  bool showInspector() const { return showInspector_; }
  void setShowInspector(bool value);
  const std::optional<QPointF>& healSource() const { return healSource_; }
  void setHealSource(std::optional<QPointF> value);
  bool previewIsFast() const { return previewIsFast_; }
  void setPreviewIsFast(bool value);
  bool canUndo() const { return canUndo_; }
  void setCanUndo(bool value);
  bool canRedo() const { return canRedo_; }
  void setCanRedo(bool value);
  const std::set<Uuid>& marked() const { return marked_; }
  void setMarked(std::set<Uuid> value);
  const std::optional<ConversionSettings>& copiedSettings() const { return copiedSettings_; }
  void setCopiedSettings(std::optional<ConversionSettings> value);
  const std::set<SettingsPart>& copiedParts() const { return copiedParts_; }
  void setCopiedParts(std::set<SettingsPart> value);
  bool showCopySheet() const { return showCopySheet_; }
  void setShowCopySheet(bool value);
  CompareMode compareMode() const { return compareMode_; }
  void setCompareMode(CompareMode value);
  double splitPosition() const { return splitPosition_; }
  void setSplitPosition(double value);
  const std::shared_ptr<const PreviewImage>& beforePreview() const { return beforePreview_; }
  void setBeforePreview(std::shared_ptr<const PreviewImage> value);
  bool wbPickMode() const { return wbPickMode_; }
  void setWbPickMode(bool value);
  bool dodgeMode() const { return dodgeMode_; }
  void setDodgeMode(bool value);
  const std::optional<Uuid>& selectedLayerID() const { return selectedLayerID_; }
  void setSelectedLayerID(std::optional<Uuid> value);
  bool redEyeMode() const { return redEyeMode_; }
  void setRedEyeMode(bool value);
  bool showClipping() const { return showClipping_; }
  void setShowClipping(bool value);
  const std::optional<std::pair<int, int>>& rollProgress() const { return rollProgress_; }
  void setRollProgress(std::optional<std::pair<int, int>> value);
  const std::optional<std::vector<ImageItem>>& exportRequest() const { return exportRequest_; }
  void setExportRequest(std::optional<std::vector<ImageItem>> value);
  const std::optional<double>& matchProgress() const { return matchProgress_; }
  void setMatchProgress(std::optional<double> value);
  const std::vector<std::vector<Spot>>& dustCandidates() const { return dustCandidates_; }
  void setDustCandidates(std::vector<std::vector<Spot>> value);
  const std::set<Uuid>& keptDust() const { return keptDust_; }
  void setKeptDust(std::set<Uuid> value);
  bool isFindingDust() const { return isFindingDust_; }
  void setIsFindingDust(bool value);
  const std::optional<HoverLook>& hoverFilmLook() const { return hoverFilmLook_; }
  void setHoverFilmLook(std::optional<HoverLook> value);
  const std::optional<ScannerLook>& hoverScanner() const { return hoverScanner_; }
  void setHoverScanner(std::optional<ScannerLook> value);
  const std::vector<std::filesystem::path>& recentProjects() const { return recentProjects_; }
  void setRecentProjects(std::vector<std::filesystem::path> value);
  const std::optional<Histogram>& histogram() const { return histogram_; }
  void setHistogram(std::optional<Histogram> value);

  // Preferences, each under its key with its default.
  FilmMode defaultMode() const;
  void setDefaultMode(FilmMode value);
  ScannerLook defaultLook() const;
  void setDefaultLook(ScannerLook value);
  bool askFilmType() const;
  void setAskFilmType(bool value);
  AppLayout layout() const;
  void setLayout(AppLayout value);
  double spotBrush() const;
  void setSpotBrush(double value);
  SpotKind healTool() const;
  void setHealTool(SpotKind value);
  double spotFeather() const;
  void setSpotFeather(double value);
  double spotOpacity() const;
  void setSpotOpacity(double value);
  bool saveSidecars() const;
  void setSaveSidecars(bool value);
  std::filesystem::path lastExportPath() const;  // "lastExportDirectory"
  void setLastExportPath(const std::filesystem::path& value);
  QString copyPartsStore() const;  // "copyParts"
  void setCopyPartsStore(const QString& value);
  double dodgeSize() const;
  void setDodgeSize(double value);
  double dodgeFeather() const;
  void setDodgeFeather(double value);
  DodgeShape dodgeShape() const;
  void setDodgeShape(DodgeShape value);
  bool dodgeOutside() const;
  void setDodgeOutside(bool value);
  double redEyeSize() const;
  void setRedEyeSize(double value);
  QByteArray exportOptionsData() const;  // "exportOptions"
  void setExportOptionsData(const QByteArray& value);
  double dustSensitivity() const;
  void setDustSensitivity(double value);
  PreviewMode previewMode() const;
  void setPreviewMode(PreviewMode value);

  Preferences& preferences() { return preferences_; }
  Clock& clock() { return services_.clock; }
  DialogService& dialogs() { return services_.dialogs; }
  Workspace& workspace() { return services_.workspace; }
  Telemetry& telemetry() { return services_.telemetry; }

  Renderer& detailRenderer() { return *detailRenderer_; }
  Renderer& previewRenderer() { return *previewRenderer_; }
  Renderer& fastRenderer() { return *fastRenderer_; }
  Renderer& lightRenderer() { return *lightRenderer_; }
  Renderer& thumbRenderer() { return *thumbRenderer_; }

  Plain& plain() { return plain_; }
  const Plain& plain() const { return plain_; }

  // --- Selection, marks and keyboard browsing (AppModelSelection.cpp).
  // The scans a command for several scans acts on: the marked ones in list order, else the
  // selected one.
  std::vector<Uuid> targetIDs() const;
  using BrowseKey = ::BrowseKey;
  // Selects the scan `offset` places from the selected one (from the first when none is),
  // clamped to the list; marks and the range anchor stay.
  void moveSelection(int64_t offset);
  // A click on a thumbnail: plain, ⌘ (command wins when both are held) or ⇧.
  void selectWithModifiers(const Uuid& id, bool command, bool shift);
  // One browse key of the preview; false lets the key go on to the rest of the window.
  bool handleBrowseKey(BrowseKey key, bool shift);
  void markAll();
  // The scans under the thumbnail grid's rubber band when it is let go.
  void applyMarquee(const std::set<Uuid>& ids);
  // The scans a context-menu command on `clicked` acts on.
  std::vector<Uuid> contextTargets(const Uuid& clicked) const;
  // Leaves scans out of Export All, or takes them back; not an edit of their records.
  void setSkipped(const std::vector<Uuid>& ids, bool skipped);
  void toggleSkipped(std::optional<Uuid> id = std::nullopt);
  void revealInFinder(const Uuid& id);

  // --- The five tool modes and clearing dust finds (AppModelToolModes.cpp).
  void clearDustCandidates();
  void cancelCrop();
  void cancelHealing();
  // The angle the straighten slider shows: the record's skew plus the live rotation.
  double straightenAngle() const;
  void setStraightenAngle(double angle);
  void endLiveRotation();
  // The bracket keys; false when no tool with a brush size is on.
  bool resizeBrush(bool larger);

  // --- Adding, removing and clearing scans; the save prompt (AppModelScans.cpp).
  // True when the caller may drop the session.
  QCoro::Task<bool> confirmSaveBeforeClosing();
  void closeSession();
  // The Add panel; the chosen files and folders are added.
  QCoro::Task<> showAddPanel();
  // Adds the scans under the given files and folders that the session does not hold yet.
  void addScans(const std::vector<std::filesystem::path>& urls);
  // Answers the pending film-type question; nothing without one.
  void answerFilmType(FilmMode mode);
  // Takes the scans out of the session; ids not in it are passed over.
  void removeItems(const std::vector<Uuid>& ids);

  // --- Thumbnails (AppModelThumbnails.cpp).
  void startThumbnails();
  void refreshThumbnail(const Uuid& id);

  // --- The preview render loop and the full-quality pass (AppModelRenderLoop.cpp).
  void requestRender();
  // The loop behind requestRender; it keeps the two renderers for its whole run and ends early
  // only when its task is cancelled.
  QCoro::Task<> renderLoop(Renderer& preview, Renderer& fast, std::stop_token stop);
  // The file's upright pixel size from its header (Decoder::uprightPixelSize).
  using HeaderSize = std::optional<std::pair<double, double>>;
  // Completes a published preview: its flags and sizes, the histogram and, after a pass that is
  // not quick, the follow-up renders and the proxy size. `header` is the file's size when the
  // pass read it while its renderer worked; otherwise it is read here.
  QCoro::Task<> publishPreview(Uuid id, std::filesystem::path url, ConversionSettings settings,
                               bool fast, bool applyCrop, bool addBorder,
                               std::optional<HeaderSize> header = std::nullopt);
  // The key of analysisCache: the file's path, its quarter turns and mirroring as stored, the
  // measurement key and whether the mode is fast (read now).
  std::string analysisCacheKey(const std::filesystem::path& url,
                               const ConversionSettings& settings) const;
  // The full-size render after a burst of quick passes; it publishes only when no request, no
  // new selection and no cancellation came in while it rendered.
  QCoro::Task<> fullQualityJob(Renderer& renderer, std::filesystem::path url,
                               ConversionSettings settings, bool applyCrop, bool addBorder,
                               int64_t generation, Uuid id, std::stop_token stop);

  // --- Preview modes, look hover, prefetch and warm-up (AppModelPreviewModes.cpp).
  void warmUpSelected();
  // Measures the neighbour in the browsing direction after a quiet moment.
  void startPrefetch();

  // --- Histogram (AppModelHistogram.cpp).
  // Replaces the computation in hand with one of this image, published on `histogram`.
  void startHistogram(std::shared_ptr<const PreviewImage> image);

  // --- Zoom, the 1:1 detail render and before/after compare (AppModelCompare.cpp).
  // Zooms to `requested` within 1 … max(4 × oneToOneZoom, 8) about an anchor given as an offset
  // from the preview area's centre, moving pan so that the image point under it stays there. A
  // change within 0.0001 changes nothing. (setZoom(value) stores a zoom as it is: "Zoom to Fit".)
  void setZoom(double requested, double anchorX, double anchorY);
  // The offset limited to what the current zoom and the reported geometry allow.
  QSizeF clampedPan(QSizeF offset) const;
  // The zoom as a percentage of the 1:1 zoom; nothing before a pass told the full pixel size.
  std::optional<int> zoomPercent() const;
  // The zoomable preview's geometry: its area, the image fitted into it and the screen's
  // backing scale (devicePixelRatio; 0 when there is no screen). Sets the 1:1 zoom and clamps pan.
  void reportGeometry(QSizeF container, QSizeF fitted, double backingScale);
  // Whether the view wants the 1:1 detail; starts or calls off its render on a change only.
  void setWantsDetail(bool wanted);
  // Starts the full-size render of the selected scan unless the published detail is current.
  void startDetailRender();
  // detailPreview while it matches the scan, its settings and the crop state on screen.
  std::shared_ptr<const PreviewImage> currentDetailPreview() const;
  void toggleCompareBefore();
  void toggleCompareSplit();
  // Starts the before image of the selected scan unless the published one is current.
  void renderBefore();
  // beforePreview while compare is on and it matches the selected scan and the crop state.
  std::shared_ptr<const PreviewImage> currentBeforePreview() const;
  // The split divider dragged to x across a preview `width` wide.
  void dragSplitDivider(double x, double width);

  // --- Edit history and settings edits (AppModelHistory.cpp, AppModelSettingsEdits.cpp).
  using Edit = HistoryEntry;
  using Change = std::function<void(ConversionSettings&)>;
  // The bookkeeping after the settings of the scan at `index` changed.
  void settingsChanged(size_t index);
  // Records one undo entry (the caller found that before and after differ). Without a group an
  // edit of the same scan within 0.7 s of the last one merges into the top entry.
  void recordEdit(const Uuid& id, const ConversionSettings& before, const ConversionSettings& after,
                  std::optional<Uuid> group);
  void undo();
  void redo();
  // One write of the published items: the record of items[index] replaced, itemsChanged sent.
  void storeSettings(size_t index, ConversionSettings settings);
  // A change that no undo step may take back (film information, the film-type answer, writes of
  // the tools without an undo entry): applied to the scan and to both sides of every undo and
  // redo entry of that scan. False, changing nothing, when the scan is gone or the change leaves
  // its record as it was. The caller does the bookkeeping.
  bool writeOutsideHistory(const Uuid& id, const Change& change);

  // The edit of the selected scan: the change on a copy, stored, recorded and announced only
  // when the copy differs. A copy holding a number that is not finite changes nothing.
  void editSelected(const Change& change);
  template <class Value, class Body>
  void editSelectedCapturing(Value value, Body body) {
    editSelected([&](ConversionSettings& settings) { body(settings, value); });
  }
  // The edit of several scans, in list order, each once, as one undo group.
  void editScans(const std::vector<Uuid>& ids, const Change& change);
  void commitRotation(double delta);
  void resetStraighten();
  void rotateLeft();
  void rotateRight();
  void rotateSelected(int64_t quarterTurns);
  void mirrorSelected();
  void setCropRect(double x, double y, double w, double h);
  void setCropAspect(CropAspect aspect, double x, double y, double w, double h);
  void autoCropSelected();
  void resetCrop();
  void restoreCropSettings(const ConversionSettings& saved);
  void setCMYValue(int channel, double value);
  void applyPickedWhiteBalance(double temperature, double tint);
  void autoBalance();
  void setScannerLook(ScannerLook look);
  void setFilmPreset(std::optional<std::string> id);
  void applyBuiltInPreset(BuiltInPreset preset);
  void applyCurvePreset(CurvePreset preset, const CurveEditorState& editor);
  void setCurvePoints(const CurveEditorState& editor, const ToneCurve& curve);
  void removeCurvePoint(const CurveEditorState& editor,
                        const std::vector<std::vector<double>>& points);
  void resetCurveChannel(const CurveEditorState& editor);
  void resetHSL();
  void appendSpot(const Spot& spot);
  void appendSpots(const std::vector<Spot>& spots);
  void restoreSpots(const std::vector<Spot>& spots);
  void removeAllRepairs();
  void addRedEye(double radius, double x, double y);
  void removeAllRedEyes();
  void removeAllLayers();
  void resetLayerAdjustments(int layer);
  void setLayerAdjustment(int layer, double LocalAdjustment::*field, double value);
  void setStrokeInvert(int layer, int shape, bool invert);
  void moveStroke(int layer, int shape, const std::vector<std::vector<double>>& points, double dx,
                  double dy);
  void setBorderTag(const std::string& tag);
  std::string borderTag() const;
  void resetToDefaults();
  void resetSelectedSettings();
  void resetSelectedScan();
  void applyMatchedSettings(const ConversionSettings& settings);
  void pasteParts(const std::vector<Uuid>& ids, const ConversionSettings& source);
  void applyRollBalance(const std::vector<Uuid>& ids, const RollBalance& balance);
  void applyFlatField(const std::vector<Uuid>& ids, const std::optional<std::string>& reference);

  // --- Record changes of the editing tools (AppModelRecordChanges.cpp).
  bool deleteSelectedRepair();
  // Removes the repair of that spot from the selected scan: the spot's whole group, or every
  // spot with that id when it has none.
  void removeRepair(const Uuid& spotID);
  // Changes of a record inside an edit; invalid indexes change nothing.
  static void applyStrokeInvert(ConversionSettings& settings, int layer, int shape, bool invert);
  static void appendRedEye(ConversionSettings& settings, double radius, double x, double y);
  static void zeroLayerAdjust(ConversionSettings& settings, int layer);

  // --- Copy and paste of settings parts and film information (AppModelCopyPaste.cpp).
  std::set<SettingsPart> storedCopyParts() const;
  void copySettings(const std::set<SettingsPart>& parts);
  void pasteSettings();
  void clearRollBalance(const std::vector<Uuid>& ids);
  using FilmInfoField = std::string FilmInfo::*;
  std::string filmInfoValue(FilmInfoField field) const;
  void setFilmInfoValue(const std::string& value, FilmInfoField field);
  void applyFilmInfoToRoll();
  double cmyValue(int channel) const;

  // --- Sidecar saving (AppModelSidecars.cpp).
  void scheduleSidecarSave(const Uuid& id);
  // Writes every pending save now; before scans leave the session and on quitting.
  void flushSidecarSaves();

  // --- Projects and recent projects (AppModelProjects.cpp).
  QString projectName() const;
  bool saveProject(const std::filesystem::path& url);
  QCoro::Task<> saveProjectAs();
  QCoro::Task<> showOpenProjectPanel();
  QCoro::Task<> openProject(std::filesystem::path url);
  void addRecentProject(const std::filesystem::path& url);
  // The Open Recent list's clearing: an empty list, and the stored key removed.
  void clearRecentProjects();
  // The stored list, or without one the desktop's recent documents that are projects, the first
  // ten.
  static std::vector<std::filesystem::path> loadRecentProjects(
      const Preferences& preferences, const std::filesystem::path& recentlyUsedFile);

  // --- Export orchestration (AppModelExport.cpp).
  void exportSelected();
  void exportAll();
  void exportItems(const std::vector<Uuid>& ids);
  void exportMarked();
  QCoro::Task<> confirmExport(std::vector<ImageItem> targets, ExportOptions options);
  QCoro::Task<> chooseExportFolder(std::vector<ImageItem> targets, ExportOptions options);

  // --- Preview and image coordinates (AppModelMapping.cpp).
  // Preview point (0…1 across the shown preview) to image point, nothing outside the photo.
  std::optional<QPointF> imagePoint(double x, double y) const;
  std::optional<QPointF> previewPoint(double x, double y) const;
  // A length as a share of the scan's long edge, in shares of the preview's width.
  double previewLength(double length) const;
  struct PreviewCircle {
    double x = 0;
    double y = 0;
    double r = 0;
  };
  std::optional<PreviewCircle> previewCircle(const Spot& spot) const;
  QRectF photoRect() const;
  // What the five above read, taken now, for mapping many marks at once with PreviewMapping;
  // nothing while no scan is selected, the preview shown is not its render, or nothing about it
  // can be mapped.
  std::optional<PreviewMapping::Frame> mappingFrame() const;

  // --- White-balance pick (AppModelWhiteBalancePick.cpp).
  void pickWhiteBalance(double x, double y);

  // --- Healing repairs (AppModelHealing.cpp).
  void chooseHealTool(SpotKind kind);
  void switchHealTool(SpotKind kind);
  void chooseSelectTool();
  void addRepairSpot(double x, double y);
  void addRepairStroke(const std::vector<QPointF>& points);
  std::vector<Spot> applyHealToolSettings(std::vector<Spot> spots) const;
  bool applyCloneSource(std::vector<Spot>& spots);
  int repairCount() const;
  void removeLastRepair();

  // --- Dodge & burn layers and red-eye marks (AppModelLayers.cpp).
  std::vector<LocalLayer> selectedLayers() const;
  std::optional<int> selectedLayerIndex() const;
  bool selectedLayerIsBrushOnly() const;
  QString nextLayerName() const;
  bool radialOutside() const;
  void setRadialOutside(bool value);
  double selectedLayerValue(double LocalAdjustment::*field) const;
  void setSelectedLayerValue(double LocalAdjustment::*field, double value);
  void addBrushStroke(const std::vector<QPointF>& points);
  void addLinearGradient(QPointF start, QPointF end);
  void addRadialGradient(QPointF centre, double rx, double ry);
  void addStroke(const DodgeBurnStroke& stroke);
  void addLayer();
  void toggleLayerSelection(const Uuid& id);
  void deleteLayer(const Uuid& id);
  void dragStroke(const Uuid& strokeID, const std::vector<std::vector<double>>& points, double dx,
                  double dy);
  // Changes of a record inside one editSelected.
  static void removeStroke(ConversionSettings& settings, const Uuid& strokeID);
  static void toggleStrokeInvert(ConversionSettings& settings, const Uuid& strokeID);
  static void toggleLayerVisible(ConversionSettings& settings, const Uuid& layerID);
  static void removeRedEye(ConversionSettings& settings, const Uuid& markID);

  // --- Dust finding and removal (AppModelDust.cpp).
  void findDust();
  bool isFaintDust(const Uuid& id) const;
  void toggleKeptDust(const Uuid& id);
  void removeDust();

  // --- Crop actions (AppModelCrop.cpp).
  NormRect effectiveCrop() const;
  QString cropStatusText() const;
  void autoCropAll();
  QSize previewAspectSize() const;
  void swapCropOrientation();

  // --- Even light, roll analysis, reference matching, copying the look (AppModelMeasuring.cpp).
  QCoro::Task<> chooseBlankFrame(bool forAll);
  void setFlatField(std::optional<std::filesystem::path> url, bool forAll);
  std::vector<ImageItem> rollFrames() const;
  void analyseRoll();
  QCoro::Task<> chooseReferencePhoto();
  void startReferenceMatch(const std::filesystem::path& url);
  void copyLookToAll();

  // --- End of the operations.

 signals:
  void itemsChanged();
  void selectionChanged();
  void previewChanged();
  void analysisChanged();
  void isRenderingChanged();
  void showNegativeChanged();
  void cropModeChanged();
  void previewIsUncroppedChanged();
  void exportProgressChanged();
  void errorMessageChanged();
  void filmTypeQuestionChanged();
  void spotModeChanged();
  void spotSelectingChanged();
  void selectedRepairChanged();
  void liveRotationChanged();
  void projectURLChanged();
  void hasUnsavedChangesChanged();
  void zoomChanged();
  void panChanged();
  void detailPreviewChanged();
  void isRenderingDetailChanged();
  void fullPixelSizeChanged();
  void proxySizeChanged();
  void noticeChanged();
  void showInspectorChanged();
  void healSourceChanged();
  void previewIsFastChanged();
  void canUndoChanged();
  void canRedoChanged();
  void markedChanged();
  void copiedSettingsChanged();
  void copiedPartsChanged();
  void showCopySheetChanged();
  void compareModeChanged();
  void splitPositionChanged();
  void beforePreviewChanged();
  void wbPickModeChanged();
  void dodgeModeChanged();
  void selectedLayerIDChanged();
  void redEyeModeChanged();
  void showClippingChanged();
  void rollProgressChanged();
  void exportRequestChanged();
  void matchProgressChanged();
  void dustCandidatesChanged();
  void keptDustChanged();
  void isFindingDustChanged();
  void hoverFilmLookChanged();
  void hoverScannerChanged();
  void recentProjectsChanged();
  void previewModeChanged();
  void histogramChanged();

 private:
  // Write observers; each belongs to the step that gives the property its behaviour.
  void selectionDidSet(const std::optional<Uuid>& old);
  void cropModeDidSet(const bool& old);
  void spotModeDidSet(const bool& old);
  void compareModeDidSet(const CompareMode& old);
  void wbPickModeDidSet(const bool& old);
  void dodgeModeDidSet(const bool& old);
  void redEyeModeDidSet(const bool& old);
  void hoverFilmLookDidSet(const std::optional<HoverLook>& old);
  void hoverScannerDidSet(const std::optional<ScannerLook>& old);
  void previewModeDidSet(PreviewMode old);
  void stopAllTasks();
  // Private helpers, by role, in the same files as the operations above.
  // --- private: selection.
  void plainClick(const Uuid& id);

  // --- private: tool modes.
  // healEntry = the selected scan's id and repairs, or nothing without a selected scan.
  void takeHealEntry();
  // Writes false through each setter in turn; each observer runs before the next write.
  void switchOff(std::initializer_list<void (AppModel::*)(bool)> modes);

  // --- private: scans.
  // Forgets the files on the preview, light and thumbnail renderers, in that order, one file
  // after another; nothing when `urls` is empty.
  void forgetOnRenderers(std::vector<std::filesystem::path> urls);

  // --- private: thumbnails.
  QCoro::Task<> thumbnailWorker(std::stop_token stop);
  QCoro::Task<> thumbnailRefreshJob(Uuid id, std::stop_token stop);
  // Writes the thumbnail into the scan with that id, when it is still in the session.
  void setThumbnail(const Uuid& id, std::shared_ptr<const PreviewImage> thumbnail);

  // --- private: render loop.
  // How a pass of the loop ended: published, dropped because the scan is no longer selected,
  // failed for the selected scan, or stopped with its task.
  enum class PassEnd { published, stale, failed, stopped };
  // What one pass renders: the scan, its settings with the hovered looks laid over them, and the
  // crop flag read when the pass began.
  struct PassInput {
    Uuid id;
    std::filesystem::path url;
    ConversionSettings settings;
    bool applyCrop = true;
  };
  // Whether a loop is running that will take a request up.
  bool renderLoopRuns() const;
  // A loop runs and the selected scan's own picture is not shown yet: the background decodes
  // (warm-ups, thumbnails) wait, so that picture has the processors to itself.
  bool firstPictureAwaited() const;
  // Starts the warm-ups and thumbnails held back for the first picture, once it is no longer
  // awaited.
  void resumeHeldDecodes();
  // After an awaited render: stopped, failed (reported while the scan is selected), stale, or
  // nothing when the pass may publish.
  std::optional<PassEnd> judgeRender(bool ok, bool stopped, const std::string& error,
                                     const PassInput& input, const std::stop_token& stop);
  QCoro::Task<PassEnd> negativePass(Renderer& renderer, PassInput input, std::stop_token stop);
  QCoro::Task<PassEnd> quickPass(Renderer& preview, Renderer& fast, PassInput input,
                                 std::stop_token stop);
  QCoro::Task<PassEnd> fullPass(Renderer& renderer, PassInput input, std::stop_token stop);
  void handOver(const PassInput& input);

  // --- private: preview modes.

  // --- private: histogram.
  // The serial worker the histograms are measured on, made on first use.
  Renderer& histogramWorker();

  // --- private: compare.
  QCoro::Task<> detailRenderJob(std::stop_token stop, std::filesystem::path url,
                                ConversionSettings settings, FilmAnalysis analysis, bool applyCrop,
                                bool addBorder, Uuid id);
  QCoro::Task<> beforeRenderJob(std::stop_token stop, std::filesystem::path url,
                                ConversionSettings settings, bool applyCrop, Uuid id);

  // --- private: history and settings edits.
  // The index in items of the first item with this id.
  std::optional<size_t> indexOf(const Uuid& id) const;
  void applyEdit(const Uuid& id, const ConversionSettings& settings);
  // Moves the top group of `from` to `to`, applying each entry's before (undo) or after (redo).
  void moveTopGroup(std::vector<HistoryEntry>& from, std::vector<HistoryEntry>& to, bool undoing);
  // Stores, records and announces `changed` when it differs from the record of items[index].
  bool commitEdit(size_t index, ConversionSettings changed, std::optional<Uuid> group);

  // --- private: record changes.

  // --- private: copy and paste.

  // --- private: sidecars.
  QCoro::Task<> sidecarSaveJob(Uuid id, std::filesystem::path url, std::stop_token stop);
  void writeSidecar(const Uuid& id, const std::filesystem::path& url);

  // --- private: projects.
  ProjectFile projectForSaving(const std::filesystem::path& destination) const;

  // --- private: export.
  QCoro::Task<> exportJob(std::vector<ImageItem> targets, ExportOptions options,
                          std::filesystem::path folder, bool replace, std::stop_token stop);

  // --- private: mapping.

  // --- private: white-balance pick.
  // Samples the scan at the image point on the preview renderer, then applies the result or says
  // why there is none, while the scan stays selected.
  QCoro::Task<> whiteBalancePickJob(Uuid id, std::filesystem::path url, ConversionSettings settings,
                                    QPointF point);

  // --- private: healing.
  // New repairs on their way to the selected scan: one spot, or a stroke's mapped path to be
  // resampled on the decoded size with the settings and source offset of its first spot.
  struct RepairRequest {
    Uuid id;
    std::filesystem::path url;
    ConversionSettings settings;
    int session = 0;
    std::vector<Spot> spots;
    std::vector<std::pair<double, double>> path;
    QSize size;
    bool sourced = false;
  };
  // Resamples a stroke and searches a source on the preview renderer where needed (both are
  // heavy for long strokes at a small brush), then appends the repairs while the scan, its
  // orientation and the healing session are still those of the request.
  void startRepair(std::vector<Spot> spots, std::vector<std::pair<double, double>> path,
                   bool sourced);
  QCoro::Task<> repairJob(RepairRequest request);

  // --- private: layers.
  // The selected layer in the selected scan's record; nothing when none is.
  const LocalLayer* selectedLayer() const;
  // Appends the layer to the selected scan as one edit and selects it when the edit took.
  void appendLayer(const LocalLayer& layer);

  // --- private: dust.
  // Awaits the dust pass and, while the scan is still selected, shows its finds.
  QCoro::Task<> dustFindJob(Uuid id, std::filesystem::path url, ConversionSettings settings,
                            std::vector<DustSearch::Sample> samples, double sensitivity);

  // --- private: crop.

  // --- private: measuring.
  // Measures the frames one at a time on the preview renderer, each without its stored roll
  // balance, then writes the learned balance into all of them as one undo group.
  QCoro::Task<> rollJob(std::vector<ImageItem> frames, std::stop_token stop);

  // --- private: end.
  // Stores the value, announces the write and answers the value it replaced.
  template <class T>
  T publish(T& field, T value, void (AppModel::*changed)()) {
    T old = std::exchange(field, std::move(value));
    emit(this->*changed)();
    return old;
  }

  ModelServices services_;
  Preferences preferences_;
  PreviewMode previewModeDefault_ = PreviewMode::hybrid;
  std::unique_ptr<Renderer> detailRenderer_;
  std::unique_ptr<Renderer> previewRenderer_;
  std::unique_ptr<Renderer> fastRenderer_;
  std::unique_ptr<Renderer> lightRenderer_;
  std::unique_ptr<Renderer> thumbRenderer_;
  Plain plain_;

  std::vector<ImageItem> items_;
  std::optional<Uuid> selection_;
  std::shared_ptr<const PreviewImage> preview_;
  std::optional<FilmAnalysis> analysis_;
  bool isRendering_{false};
  bool showNegative_{false};
  bool cropMode_{false};
  bool previewIsUncropped_{false};
  std::optional<ExportProgress> exportProgress_;
  std::optional<QString> errorMessage_;
  std::optional<std::vector<Uuid>> filmTypeQuestion_;
  bool spotMode_{false};
  bool spotSelecting_{false};
  std::optional<Uuid> selectedRepair_;
  double liveRotation_{0};
  std::optional<std::filesystem::path> projectURL_;
  bool hasUnsavedChanges_{false};
  double zoom_{1};
  QSizeF pan_{0, 0};
  std::shared_ptr<const PreviewImage> detailPreview_;
  bool isRenderingDetail_{false};
  QSizeF fullPixelSize_{0, 0};
  QSize proxySize_{3, 2};
  std::optional<QString> notice_;
  bool showInspector_{true};
  std::optional<QPointF> healSource_;
  bool previewIsFast_{false};
  bool canUndo_{false};
  bool canRedo_{false};
  std::set<Uuid> marked_;
  std::optional<ConversionSettings> copiedSettings_;
  std::set<SettingsPart> copiedParts_;
  bool showCopySheet_{false};
  CompareMode compareMode_{CompareMode::off};
  double splitPosition_{0.5};
  std::shared_ptr<const PreviewImage> beforePreview_;
  bool wbPickMode_{false};
  bool dodgeMode_{false};
  std::optional<Uuid> selectedLayerID_;
  bool redEyeMode_{false};
  bool showClipping_{false};
  std::optional<std::pair<int, int>> rollProgress_;
  std::optional<std::vector<ImageItem>> exportRequest_;
  std::optional<double> matchProgress_;
  std::vector<std::vector<Spot>> dustCandidates_;
  std::set<Uuid> keptDust_;
  bool isFindingDust_{false};
  std::optional<HoverLook> hoverFilmLook_;
  std::optional<ScannerLook> hoverScanner_;
  std::vector<std::filesystem::path> recentProjects_;
  std::optional<Histogram> histogram_;
  std::unique_ptr<Renderer> histogramWorker_;
};
