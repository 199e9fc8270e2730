#include "App/KelvadoriumApp.h"

#include <QApplication>
#include <QSessionManager>

#include "App/AppDelegate.h"
#include "App/ProjectHandOver.h"
#include "Desktop/WidgetDialogs.h"
#include "Model/AppModel.h"
#include "Services/DesktopWorkspace.h"
#include "Services/SteadyClock.h"
#include "Services/Telemetry.h"
#include "Windows/MainWindow.h"

KelvadoriumApp::KelvadoriumApp(ModelServices services, LaunchArguments::Files launchFiles)
    : model_(std::make_unique<AppModel>(std::move(services))),
      calls_(ModelCalls::of(*model_)),
      window_(std::make_unique<MainWindow>(*model_, calls_)),
      launchFiles_(std::move(launchFiles)) {
  AppDelegate::setProjectOpener([this](std::filesystem::path url) { calls_.openProject(url); });
  connect(window_.get(), &MainWindow::shown, this, &KelvadoriumApp::mainWindowAppeared);
  window_->setCloseGuard([this] {
    if (!quitApproved_) requestQuit();
    return quitApproved_;
  });
}

KelvadoriumApp::~KelvadoriumApp() {
  AppDelegate::setProjectOpener({});
  launchTask_.cancel();
  quitTask_.cancel();
  window_.reset();
  model_.reset();
}

// Once per process: a window shown again (or restored from the task bar) must not reopen the
// command line's project over the session, add its scans again or count another launch.
void KelvadoriumApp::mainWindowAppeared() {
  if (appeared_) return;
  appeared_ = true;
  window_->raise();
  window_->activateWindow();
  if (launchFiles_.project) {
    calls_.openProject(*launchFiles_.project);
  } else if (!launchFiles_.scans.empty()) {
    calls_.addScans(launchFiles_.scans);
  }
  const std::vector<std::filesystem::path> pending =
      std::exchange(AppDelegate::pendingProjectURLs(), {});
  for (const auto& url : pending) calls_.openProject(url);
  launchTask_ = TaskHandle::start([this](std::stop_token stop) { return launchStep(stop); });
}

QCoro::Task<> KelvadoriumApp::launchStep(std::stop_token stop) {
  co_await model_->clock().sleep(seconds(1.0), stop);
  if (stop.stop_requested()) co_return;
  co_await model_->telemetry().askConsentOnce(model_->dialogs());
  if (stop.stop_requested()) co_return;
  afterLaunchDelay();
}

// After the consent question: the crash-report collection, the launch count and the upload, in
// that order, so a first upload already carries this launch.
void KelvadoriumApp::afterLaunchDelay() {
  Telemetry& telemetry = model_->telemetry();
  telemetry.collectCrashReports();
  telemetry.record("launch");
  telemetry.sendIfDue();
}

void KelvadoriumApp::requestQuit() {
  if (quitApproved_ || (quitTask_ && !quitTask_.isFinished())) return;
  deciding_ = true;
  quitTask_ = TaskHandle::start([this](std::stop_token stop) { return quitSteps(stop); });
  deciding_ = false;
}

QCoro::Task<> KelvadoriumApp::quitSteps(std::stop_token stop) {
  const bool mayQuit = co_await calls_.confirmSaveBeforeClosing();
  if (stop.stop_requested() || !mayQuit) co_return;
  calls_.flushSidecarSaves();
  // The export stops before its next scan; the one in work is finished or removed by the job.
  const TaskHandle exporting = model_->plain().exportTask;
  if (exporting && !exporting.isFinished()) {
    exporting.cancel();
    co_await exporting.finished();
    if (stop.stop_requested()) co_return;
  }
  quitApproved_ = true;
  // Settled inside the window's own close request: that request closes it.
  if (!deciding_) window_->close();
}

bool KelvadoriumApp::mayEndSession() {
  requestQuit();
  return quitApproved_;
}

void KelvadoriumApp::commitData(QSessionManager& manager) {
  if (quitApproved_) return;
  manager.allowsInteraction();
  if (!mayEndSession()) manager.cancel();
}

void KelvadoriumApp::bringToFront() {
  if (window_->isMinimized()) window_->showNormal();
  window_->raise();
  window_->activateWindow();
}

int KelvadoriumApp::run(int& argc, char** argv,
                        const std::function<void(QMainWindow&)>& afterShow) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName("Kelvadorium");
  QApplication::setApplicationName("Kelvadorium");
  QApplication::setApplicationVersion(KV_VERSION);
  QApplication::setDesktopFileName(desktopFileName);

  // Qt has taken its own options out of argv by now.
  const std::vector<std::string> arguments(argv, argv + argc);
  const std::filesystem::path here = std::filesystem::current_path();
  const LaunchArguments::Files files = LaunchArguments::files(arguments, here);
  if (files.project && ProjectHandOver::sendToRunning(LaunchArguments::paths(arguments, here))) {
    return 0;
  }
  ProjectHandOver::Server handOver;

  SteadyClock clock;
  WidgetDialogs dialogs;
  DesktopWorkspace workspace;
  KelvadoriumApp app({clock, dialogs, workspace, Telemetry::shared(), Preferences::standardPath()},
                     files);
  dialogs.setWindow(&app.window());
  connect(&handOver, &ProjectHandOver::Server::received, &app,
          [&app](const std::vector<std::filesystem::path>& paths) {
            AppDelegate::openProjectFiles(paths);
            app.bringToFront();
          });
  connect(&application, &QGuiApplication::commitDataRequest, &app, &KelvadoriumApp::commitData,
          Qt::DirectConnection);
  app.window().show();
  if (afterShow) afterShow(app.window());
  return application.exec();
}
