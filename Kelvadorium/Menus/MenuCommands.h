// The menu bar of the main window: File, Edit, View, Image, Presets and Help. Every item calls
// one operation of the model or writes one of its values; titles, enabling and the checks of
// the toggles follow the model through one cheap update on every change it announces. The
// About and Settings windows are made on first use and brought forward when opened again.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "Record/FilmMode.h"
#include "Services/TaskHandle.h"
#include "Services/WallClock.h"

struct ModelCalls;
class AboutView;
class AppModel;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class SettingsView;

class MenuCommands final : public QObject {
  Q_OBJECT

 public:
  // Fills `bar`; `quit` ends the File menu. `window` is the main window the two other windows
  // belong to.
  MenuCommands(AppModel& model, const ModelCalls& calls, QMenuBar& bar, QAction* quit,
               QWidget* window);
  ~MenuCommands() override;

  // The titles of the inspector's sections, whose "fold." keys Fold and Unfold write in order.
  static constexpr std::array<const char*, 13> foldTitles{
      "Histogram", "Film",         "Basic Settings", "Tone Curve",
      "Effects",   "Dodge & Burn", "Healing",        "Crop & Orientation",
      "Colour",    "Advanced",     "Film Info",      "Export & Batch",
      "HSL"};

  // An Open Recent entry: "name  —  folder", marked when no file is there.
  static QString recentTitle(const std::filesystem::path& url, bool exists);

  // Titles, enabling and checks from the model; cheap enough for every change.
  void update();

  QMenu* menu(const QString& title) const;
  // The item of that menu whose title is `title` now; nothing when none is.
  QAction* item(const QString& menuTitle, const QString& title) const;
  QMenu* recentMenu() const { return recent_; }
  // The windows once opened; nothing before.
  AboutView* aboutWindow() const;
  SettingsView* settingsWindow() const;
  // The wall clock the About window counts its years by.
  WallClock& wallClock() { return wallClock_; }

  void openAbout();
  void openSettings();

 private:
  // When an item is greyed out.
  enum class Rule {
    never,
    noScans,
    fewerThanTwo,
    noSelection,
    noPaste,
    noUndo,
    noRedo,
    redEye,
    matching,
    textFocus
  };
  struct Row {
    QAction* action;
    Rule rule;
  };
  // What the rules read, gathered once per update.
  struct State {
    bool scans = false;
    bool twoScans = false;
    bool selected = false;
    std::optional<FilmMode> selectedMode;
  };

  QAction* add(QMenu* menu, const QString& title, QKeySequence key, Rule rule);
  QAction* toggle(QMenu* menu, const QString& title, QKeySequence key, Rule rule,
                  bool (AppModel::*value)() const, void (AppModel::*write)(bool));
  void buildFile(QMenuBar& bar, QAction* quit);
  void buildEdit(QMenuBar& bar);
  void buildView(QMenuBar& bar);
  void buildImage(QMenuBar& bar);
  void buildPresets(QMenuBar& bar);
  void buildHelp(QMenuBar& bar);
  bool enabled(Rule rule, const State& state) const;
  void rebuildRecent();
  void checkRecentFiles();
  void openFirstRecent();
  void rebuildPresets(FilmMode mode);
  void foldAllSections(bool open);
  void clearImages();
  QCoro::Task<> clearImagesSteps(std::stop_token stop);

  AppModel& model_;
  const ModelCalls& calls_;
  QWidget* window_;
  WallClock wallClock_;
  std::vector<Row> rows_;
  std::vector<std::pair<QAction*, bool (AppModel::*)() const>> toggles_;
  std::vector<QMenu*> menus_;
  QMenu* recent_ = nullptr;
  QAction* clearRecent_ = nullptr;
  QMenu* presets_ = nullptr;
  std::optional<FilmMode> presetsFor_;
  QAction* remove_ = nullptr;
  QAction* adjustments_ = nullptr;
  QAction* before_ = nullptr;
  QAction* split_ = nullptr;
  QPointer<AboutView> about_;
  QPointer<SettingsView> settings_;
  TaskHandle clearTask_;
};
