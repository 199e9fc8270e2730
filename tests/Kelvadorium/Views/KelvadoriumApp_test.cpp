// The application around the window: what the first appearance hands to the model and in which
// order, the launch step a second later and only once, project files handed over before and
// after the model exists, and every way of quitting with the save question's answers.
#include "App/KelvadoriumApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <deque>
#include <fstream>

#include "App/AppDelegate.h"
#include "Export/FolderEdits.h"
#include "Model/AppModel.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"
#include "Windows/MainWindow.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

std::string joined(const Paths& paths) {
  std::string text;
  for (const auto& path : paths) {
    if (!text.empty()) text += ' ';
    text += path.string();
  }
  return text;
}

// The save question as the user answers it: after `delay` of virtual time (none: at once).
QCoro::Task<bool> answer(Clock& clock, double delay, bool mayQuit, std::vector<std::string>* log) {
  log->push_back("asked");
  if (delay > 0) co_await clock.sleep(seconds(delay), {});
  log->push_back(mayQuit ? "answered quit" : "answered stay");
  co_return mayQuit;
}

class KelvadoriumAppTest : public ::testing::Test {
 protected:
  void SetUp() override { AppDelegate::pendingProjectURLs().clear(); }
  void TearDown() override { AppDelegate::pendingProjectURLs().clear(); }

  std::unique_ptr<KelvadoriumApp> launch(LaunchArguments::Files files = {}) {
    auto app = std::make_unique<KelvadoriumApp>(services.services(), std::move(files));
    ModelCalls& calls = app->calls();
    calls.addScans = [this](Paths paths) { log.push_back("addScans " + joined(paths)); };
    calls.openProject = [this](std::filesystem::path url) {
      log.push_back("openProject " + url.string());
    };
    calls.flushSidecarSaves = [this] { log.push_back("flush"); };
    calls.confirmSaveBeforeClosing = [this] {
      const auto [delay, mayQuit] = answers.empty() ? std::pair{0.0, true} : answers.front();
      if (!answers.empty()) answers.pop_front();
      return answer(services.clock, delay, mayQuit, &log);
    };
    return app;
  }
  void show(KelvadoriumApp& app) {
    app.window().show();
    QApplication::processEvents();
  }

  TestServices services;
  std::vector<std::string> log;
  std::deque<std::pair<double, bool>> answers;
};

// Arguments first, then the queued projects in the order received, then a second later the
// launch step; restoring, hiding and showing the window again repeat none of it.
TEST_F(KelvadoriumAppTest, AppearanceStepsInOrderAndOnce) {
  struct Case {
    const char* name;
    LaunchArguments::Files files;
    std::vector<std::string> first;
  };
  const std::vector<Case> cases = {
      {"scans", {std::nullopt, {"/s/a.nef", "/s/b.tif"}}, {"addScans /s/a.nef /s/b.tif"}},
      {"a project", {"/p/roll.kelvadorium", {}}, {"openProject /p/roll.kelvadorium"}},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) {
    log.clear();
    services.telemetry.events.clear();
    // Handed over before the model existed: queued, and a scan among them ignored.
    AppDelegate::openProjectFiles({"/q/one.kelvadorium", "/q/photo.tif", "/q/two.kelvadorium"});
    auto app = launch(c.files);
    EXPECT_TRUE(log.empty()) << c.name << ": nothing before the window appears";
    show(*app);
    std::vector<std::string> expected = c.first;
    expected.push_back("openProject /q/one.kelvadorium");
    expected.push_back("openProject /q/two.kelvadorium");
    EXPECT_EQ(log, expected) << c.name;
    EXPECT_TRUE(AppDelegate::pendingProjectURLs().empty()) << c.name;

    services.clock.advance(seconds(0.999));
    EXPECT_TRUE(services.telemetry.events.isEmpty()) << c.name;
    services.clock.advance(seconds(0.001));
    EXPECT_EQ(services.telemetry.events, QStringList{"launch"}) << c.name;

    app->window().showMinimized();
    QApplication::processEvents();
    app->window().showNormal();
    QApplication::processEvents();
    app->window().hide();
    app->window().show();
    QApplication::processEvents();
    services.clock.advance(seconds(5));
    EXPECT_EQ(log, expected) << c.name;
    EXPECT_EQ(services.telemetry.events, QStringList{"launch"}) << c.name;
  }
}

TEST_F(KelvadoriumAppTest, ProjectsHandedOverWhileRunningOpenAtOnce) {
  auto app = launch();
  show(*app);
  log.clear();
  AppDelegate::openProjectFiles(
      {"/q/a.kelvadorium", "/q/b.NEF", "/q/c.Kelvadorium", "/q/d.kelvadorium"});
  EXPECT_EQ(log, (std::vector<std::string>{"openProject /q/a.kelvadorium",
                                           "openProject /q/d.kelvadorium"}));
  EXPECT_TRUE(AppDelegate::pendingProjectURLs().empty());
  // Once the application is gone, files wait again.
  app.reset();
  AppDelegate::openProjectFiles({"/q/e.kelvadorium"});
  EXPECT_EQ(AppDelegate::pendingProjectURLs(), Paths{"/q/e.kelvadorium"});
}

// The launch step waits for the window: a window never shown counts no launch.
TEST_F(KelvadoriumAppTest, NoLaunchStepWithoutTheWindow) {
  auto app = launch({std::nullopt, {"/s/a.nef"}});
  services.clock.advance(seconds(3));
  EXPECT_TRUE(services.telemetry.events.isEmpty());
  EXPECT_TRUE(log.empty());
}

// Every quit path asks the model; only an answer to quit writes the waiting sidecars and closes
// the window, and a question still open is not asked twice.
TEST_F(KelvadoriumAppTest, EveryQuitPathGoesThroughTheSaveQuestion) {
  enum class Path { closeButton, quitCommand, logout };
  struct Case {
    const char* name;
    Path path;
    std::pair<double, bool> answer;
    bool closedAtOnce;
    bool closedAfterAnswer;
  };
  const std::vector<Case> cases = {
      {"close, nothing to save", Path::closeButton, {0, true}, true, true},
      {"close, Save or Don't Save", Path::closeButton, {2, true}, false, true},
      {"close, Cancel", Path::closeButton, {2, false}, false, false},
      {"Ctrl+Q, nothing to save", Path::quitCommand, {0, true}, true, true},
      {"Ctrl+Q, Don't Save", Path::quitCommand, {2, true}, false, true},
      {"Ctrl+Q, Cancel", Path::quitCommand, {2, false}, false, false},
      {"logout, nothing to save", Path::logout, {0, true}, true, true},
      {"logout, Save", Path::logout, {2, true}, false, true},
      {"logout, Cancel", Path::logout, {2, false}, false, false},
  };
  for (const Case& c : cases) {
    log.clear();
    answers = {c.answer};
    auto app = launch();
    show(*app);
    log.clear();
    bool sessionMayEnd = false;
    auto ask = [&] {
      switch (c.path) {
        case Path::closeButton:
          app->window().close();
          break;
        case Path::quitCommand:
          app->window().quitAction()->trigger();
          break;
        case Path::logout:
          sessionMayEnd = app->mayEndSession();
          break;
      }
    };
    ask();
    if (c.path == Path::logout) {
      EXPECT_EQ(sessionMayEnd, c.closedAtOnce) << c.name;
    } else {
      EXPECT_EQ(!app->window().isVisible(), c.closedAtOnce) << c.name;
    }
    ask();  // pressed again while the question is up: no second question
    services.clock.advance(seconds(3));
    if (c.path != Path::logout || !c.closedAtOnce) {
      EXPECT_EQ(!app->window().isVisible(), c.closedAfterAnswer) << c.name;
    }
    std::vector<std::string> expected{"asked", c.answer.second ? "answered quit" : "answered stay"};
    if (c.answer.second) expected.push_back("flush");
    EXPECT_EQ(log, expected) << c.name;
  }
}

// With the model's own calls: an edit whose sidecar write is still waiting is written on quitting.
TEST_F(KelvadoriumAppTest, QuittingWritesTheEditsStillWaiting) {
  TempDir folder;
  KelvadoriumApp app(services.services(), {});
  ImageItem item;
  item.url = folder / "frame.tif";
  item.settings.exposure = 1.5;
  app.model().setItems({item});
  app.model().scheduleSidecarSave(item.id);
  show(app);
  app.window().close();
  EXPECT_FALSE(app.window().isVisible());
  const auto stored = FolderEdits::settings(item.url);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->exposure, 1.5);
}

// With the model's own calls: a damaged project named on the command line ends in the error
// alert, shown once the window is up.
TEST_F(KelvadoriumAppTest, ADamagedProjectOnTheCommandLineGivesTheErrorAlert) {
  TempDir folder;
  const std::filesystem::path project = folder / "Roll 7.kelvadorium";
  std::ofstream(project) << "{ not a project";
  KelvadoriumApp app(services.services(), {project, {}});
  show(app);
  QApplication::processEvents();
  ASSERT_EQ(services.dialogs.alertsAsked.size(), 1u);
  EXPECT_EQ(services.dialogs.alertsAsked[0].title, "Something went wrong");
  EXPECT_TRUE(services.dialogs.alertsAsked[0].text.contains("Roll 7"))
      << services.dialogs.alertsAsked[0].text.toStdString();
  EXPECT_FALSE(app.model().errorMessage().has_value());
  EXPECT_TRUE(app.model().items().empty());
}

// Quitting during an export stops it before its next scan and waits for the scan in work; the
// window closes only then.
TEST_F(KelvadoriumAppTest, QuittingStopsARunningExportAndWaitsForIt) {
  auto app = launch();
  show(*app);
  Clock& clock = services.clock;
  bool stopSeen = false;
  app->model().plain().exportTask =
      TaskHandle::start([&clock, &stopSeen](std::stop_token stop) -> QCoro::Task<> {
        co_await clock.sleep(seconds(60), stop);
        stopSeen = stop.stop_requested();
        co_await clock.sleep(seconds(1), {});  // the scan in work is finished
      });
  app->window().close();
  EXPECT_TRUE(stopSeen);
  EXPECT_TRUE(app->window().isVisible());
  services.clock.advance(seconds(0.5));
  EXPECT_TRUE(app->window().isVisible());
  services.clock.advance(seconds(0.5));
  EXPECT_FALSE(app->window().isVisible());
  EXPECT_TRUE(app->model().plain().exportTask.isFinished());
}

}  // namespace
