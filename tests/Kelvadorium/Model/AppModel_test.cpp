// The model as it starts: what a launch reads from the settings file and writes back, the state
// right after start-up, the observed setters, and destruction in the middle of a render.
#include "Model/AppModel.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <condition_variable>
#include <mutex>

#include "Export/ExportOptions.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

QByteArray settingsText(const TestServices& services) {
  QFile file(services.settingsPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One launch per row: the settings file's text, then what the model reads after start-up.
TEST(AppModelStartUp, ReadsStoredPreferencesOrTheirDefaults) {
  struct Case {
    const char* name;
    const char* file;
    PreviewMode previewMode;
    SpotKind healTool;
    ExportOptions exportOptions;
  };
  ExportOptions suffixed;
  suffixed.suffix = "_web";
  const std::vector<Case> cases = {
      {"first launch", "", PreviewMode::hybrid, SpotKind::heal, {}},
      {"legacy full", "[General]\nfullRenderPreview=true\n", PreviewMode::full, SpotKind::heal, {}},
      {"legacy false",
       "[General]\nfullRenderPreview=false\n",
       PreviewMode::hybrid,
       SpotKind::heal,
       {}},
      {"stored wins over legacy",
       "[General]\nfullRenderPreview=true\npreviewMode=fast\n",
       PreviewMode::fast,
       SpotKind::heal,
       {}},
      {"invalid mode, legacy decides",
       "[General]\nfullRenderPreview=true\npreviewMode=quick\n",
       PreviewMode::full,
       SpotKind::heal,
       {}},
      {"invalid mode, no legacy",
       "[General]\npreviewMode=Full\n",
       PreviewMode::hybrid,
       SpotKind::heal,
       {}},
      {"heal tool ai", "[General]\nhealTool=ai\n", PreviewMode::hybrid, SpotKind::heal, {}},
      {"heal tool clone", "[General]\nhealTool=clone\n", PreviewMode::hybrid, SpotKind::clone, {}},
      {"heal tool fill", "[General]\nhealTool=fill\n", PreviewMode::hybrid, SpotKind::fill, {}},
      {"export options empty",
       "[General]\nexportOptions=@ByteArray()\n",
       PreviewMode::hybrid,
       SpotKind::heal,
       {}},
      {"export options no object",
       "[General]\nexportOptions=@ByteArray([1,2])\n",
       PreviewMode::hybrid,
       SpotKind::heal,
       {}},
      {"export options stored",
       "[General]\nexportOptions=@ByteArray({\\\"suffix\\\":\\\"_web\\\"})\n", PreviewMode::hybrid,
       SpotKind::heal, suffixed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices services;
    services.writeSettingsFile(c.file);
    AppModel model(services.services());
    EXPECT_EQ(model.previewMode(), c.previewMode);
    EXPECT_EQ(model.healTool(), c.healTool);
    EXPECT_EQ(model.storedExportOptions(), c.exportOptions);
    const QByteArray text = settingsText(services);
    // The older key is only read; the mode's default is never written; "ai" is written back.
    EXPECT_FALSE(model.preferences().contains("previewMode") &&
                 !QByteArray(c.file).contains("previewMode"));
    EXPECT_EQ(text.contains("fullRenderPreview"), QByteArray(c.file).contains("fullRenderPreview"));
    if (QByteArray(c.file).contains("healTool=ai")) {
      EXPECT_TRUE(text.contains("healTool=heal"));
    }
  }
}

TEST(AppModelStartUp, FirstLaunchDefaultsAndInitialState) {
  TestServices services;
  AppModel model(services.services());
  EXPECT_EQ(model.layout(), AppLayout::standard);
  EXPECT_EQ(model.defaultMode(), FilmMode::colorNegative);
  EXPECT_EQ(model.defaultLook(), ScannerLook::neutral);
  EXPECT_TRUE(model.askFilmType());
  EXPECT_TRUE(model.saveSidecars());
  EXPECT_EQ(model.copyPartsStore(), "film,basic,colour,curves,effects");
  EXPECT_EQ(model.spotBrush(), 0.008);
  EXPECT_EQ(model.spotFeather(), 25);
  EXPECT_EQ(model.spotOpacity(), 100);
  EXPECT_EQ(model.dodgeSize(), 0.03);
  EXPECT_EQ(model.dodgeFeather(), 50);
  EXPECT_EQ(model.dodgeShape(), DodgeShape::brush);
  EXPECT_FALSE(model.dodgeOutside());
  EXPECT_EQ(model.redEyeSize(), 0.012);
  EXPECT_EQ(model.dustSensitivity(), 0.5);
  EXPECT_EQ(model.lastExportPath(), std::filesystem::path());
  EXPECT_EQ(model.storedExportOptions(), ExportOptions{});

  EXPECT_FALSE(model.selection());
  EXPECT_FALSE(model.selectedIndex());
  EXPECT_TRUE(model.marked().empty());
  EXPECT_EQ(model.zoom(), 1);
  EXPECT_EQ(model.splitPosition(), 0.5);
  EXPECT_EQ(model.proxySize(), QSize(3, 2));
  EXPECT_EQ(model.plain().browseDirection, 1);
  EXPECT_EQ(model.plain().thumbColumns, 1);
  EXPECT_TRUE(model.showInspector());
  EXPECT_FALSE(model.canUndo());
  EXPECT_FALSE(model.canRedo());
  EXPECT_EQ(model.compareMode(), CompareMode::off);
  EXPECT_FALSE(model.plain().lastSettingsChange);
  struct Sizes {
    Renderer& renderer;
    int64_t longEdge, capacity;
  };
  for (const Sizes& s :
       {Sizes{model.detailRenderer(), 1000000, 1}, Sizes{model.previewRenderer(), 2400, 4},
        Sizes{model.fastRenderer(), 1200, 4}, Sizes{model.lightRenderer(), 1600, 6},
        Sizes{model.thumbRenderer(), 320, 400}}) {
    EXPECT_EQ(s.renderer.longEdge(), s.longEdge);
    EXPECT_EQ(s.renderer.capacity(), s.capacity);
  }
  // Nothing is written by a first launch.
  EXPECT_TRUE(settingsText(services).isEmpty());
}

TEST(AppModelStartUp, EnumsAreStoredAsTheirRawValues) {
  TestServices services;
  {
    AppModel model(services.services());
    model.setLayout(AppLayout::filmstrip);
    model.setDefaultMode(FilmMode::bwNegative);
    model.setDefaultLook(ScannerLook::noritsu);
    model.setHealTool(SpotKind::clone);
    model.setDodgeShape(DodgeShape::radial);
    model.setPreviewMode(PreviewMode::fast);
  }
  const QByteArray text = settingsText(services);
  for (const char* line : {"layout=filmstrip", "defaultMode=bwNegative", "defaultLook=noritsu",
                           "healTool=clone", "dodgeShape=radial", "previewMode=fast"}) {
    EXPECT_TRUE(text.contains(line)) << line << "\n" << text.constData();
  }
  AppModel again(services.services());
  EXPECT_EQ(again.layout(), AppLayout::filmstrip);
  EXPECT_EQ(again.previewMode(), PreviewMode::fast);
}

TEST(AppModelStartUp, CurrentModelFollowsTheModelWithoutKeepingIt) {
  TestServices services;
  EXPECT_TRUE(AppModel::currentModel().isNull());
  auto model = std::make_unique<AppModel>(services.services());
  EXPECT_EQ(AppModel::currentModel().data(), model.get());
  model.reset();
  EXPECT_TRUE(AppModel::currentModel().isNull());
}

// Observers run on every write, also of an equal value: a binding that writes the selection
// again must still reset the scan's view state.
TEST(AppModelState, SettersAnnounceEveryWrite) {
  TestServices services;
  AppModel model(services.services());
  QSignalSpy selection(&model, &AppModel::selectionChanged);
  QSignalSpy cropMode(&model, &AppModel::cropModeChanged);
  QSignalSpy previewMode(&model, &AppModel::previewModeChanged);
  const Uuid id = Uuid::random();
  model.setSelection(id);
  model.setSelection(id);
  model.setCropMode(false);
  model.setPreviewMode(PreviewMode::hybrid);
  EXPECT_EQ(selection.count(), 2);
  EXPECT_EQ(cropMode.count(), 1);
  EXPECT_EQ(previewMode.count(), 1);
  ImageItem first;
  first.url = "/scans/a.tif";
  ImageItem second;
  second.url = "/scans/b.tif";
  model.setItems({first, second});
  model.setSelection(second.id);
  EXPECT_EQ(model.selectedIndex(), 1u);
  model.setSelection(Uuid::random());
  EXPECT_FALSE(model.selectedIndex());
}

// The model goes while its preview renderer decodes and a coroutine waits for it: inside the
// destructor the tasks' waits end first, then the renderers go and their waiting callers resume
// stopped; nothing runs afterwards (clean under ASan).
TEST(AppModelLifetime, DestroyedMidRender) {
  TempDir dir;
  const auto file = dir / "a.tif";
  ScanFixtures::writeTiff(file, {});
  TestServices services;
  std::mutex mutex;
  std::condition_variable changed;
  bool decoding = false;
  bool finish = false;
  services.renderBackend.decode = [&](const std::filesystem::path& url,
                                      const ConversionSettings& settings, double scale) {
    {
      std::unique_lock lock(mutex);
      decoding = true;
      changed.notify_all();
      changed.wait(lock, [&] { return finish; });
    }
    return RenderCache::libraryBackend().decode(url, settings, scale);
  };
  auto model = std::make_unique<AppModel>(services.services());
  const ConversionSettings defaults;
  std::vector<std::string> outcomes;
  AppModel* raw = model.get();
  raw->plain().renderTask = TaskHandle::start([&, raw](std::stop_token stop) -> QCoro::Task<> {
    auto image = co_await raw->previewRenderer().render(file, defaults, true);
    if (stop.stop_requested()) {
      outcomes.push_back(image.stopped() ? std::string("stopped") : std::string("late"));
      co_return;
    }
    raw->setIsRendering(false);
  });
  auto thumbnails = TaskHandle::start([&, raw](std::stop_token stop) -> QCoro::Task<> {
    co_await raw->clock().sleep(seconds(0.6), stop);
    outcomes.push_back(std::string("thumbnail wait ended"));
  });
  raw->plain().thumbTask = thumbnails;
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return decoding; });
    finish = true;
    changed.notify_all();
  }
  model.reset();
  EXPECT_EQ(outcomes, (std::vector<std::string>{"thumbnail wait ended", "stopped"}));
  services.clock.advance(seconds(1));
  EXPECT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(services.clock.pendingWaits(), 0u);
}

}  // namespace
