// The application: the one session model, its main window and the steps around them: what the
// command line and later launches hand over, the launch step a second after the window first
// appears, and the question before quitting (the close button, File › Quit and the desktop's
// logout all ask the model, write waiting sidecars and stop a running export).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <stop_token>

#include "App/LaunchArguments.h"
#include "App/ModelCalls.h"
#include "Services/ModelServices.h"
#include "Services/TaskHandle.h"

class AppModel;
class MainWindow;
class QMainWindow;
class QSessionManager;

class KelvadoriumApp final : public QObject {
  Q_OBJECT

 public:
  KelvadoriumApp(ModelServices services, LaunchArguments::Files launchFiles);
  ~KelvadoriumApp() override;

  AppModel& model() { return *model_; }
  MainWindow& window() { return *window_; }
  // The table the window and the start-up call through; tests may replace entries before the
  // window is shown.
  ModelCalls& calls() { return calls_; }

  // Starts the quit question unless one is open; an answer to quit closes the window.
  void requestQuit();
  bool quitApproved() const { return quitApproved_; }
  // The desktop's logout: true when it was settled at once (nothing needed asking); otherwise
  // the question stays up and the logout is to be cancelled, so the user decides before the
  // session ends.
  bool mayEndSession();
  void commitData(QSessionManager& manager);
  // Brings the window to the front, out of the task bar when minimised.
  void bringToFront();

  // The base name of the desktop entry and of the icon installed with the program.
  static constexpr const char* desktopFileName = "kelvadorium";

  // The program: runs in `argc`/`argv` after the developer hooks; `afterShow` (for measuring)
  // sees the window once it is shown.
  static int run(int& argc, char** argv, const std::function<void(QMainWindow&)>& afterShow = {});

 private:
  void mainWindowAppeared();
  void afterLaunchDelay();
  QCoro::Task<> launchStep(std::stop_token stop);
  QCoro::Task<> quitSteps(std::stop_token stop);

  std::unique_ptr<AppModel> model_;
  ModelCalls calls_;
  std::unique_ptr<MainWindow> window_;
  LaunchArguments::Files launchFiles_;
  bool appeared_ = false;
  bool deciding_ = false;
  bool quitApproved_ = false;
  TaskHandle launchTask_;
  TaskHandle quitTask_;
};
