// The menu bar over a session: every item's title, shortcut and enabling in the session's
// typical states, what the items write (layouts, zoom, fold keys, presets, recent projects),
// keys that must stay apart, and the backslash that a text field keeps for itself.
#include "Menus/MenuCommands.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "App/ModelCalls.h"
#include "Model/AppModel.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"
#include "Windows/MainWindow.h"

namespace {

class MenuCommandsTest : public ::testing::Test {
 public:
  MenuCommandsTest() {
    calls.openProject = [this](std::filesystem::path url) {
      log.push_back("openProject " + url.filename().string());
    };
    calls.toggleBeforeAfter = [this] { log.push_back("toggleBeforeAfter"); };
  }

  void setScans(std::initializer_list<FilmMode> modes) {
    std::vector<ImageItem> items;
    for (FilmMode mode : modes) {
      ImageItem item;
      item.url =
          std::filesystem::path("/scans") / ("frame" + std::to_string(items.size()) + ".nef");
      item.settings.mode = mode;
      items.push_back(item);
    }
    model.setItems(items);
  }
  void select(std::optional<size_t> index) {
    model.setSelection(index ? std::optional(model.items()[*index].id) : std::nullopt);
  }
  MenuCommands& menus() { return window.menus(); }
  QAction* item(const char* menu, const char* title) {
    QAction* action = menus().item(menu, title);
    EXPECT_NE(action, nullptr) << menu << " › " << title;
    return action;
  }

  TestServices services;
  AppModel model{services.services()};
  ModelCalls calls = ModelCalls::of(model);
  std::vector<std::string> log;
  MainWindow window{model, calls};
};

// Shortcuts as the portable text, every one of an item joined by "; ".
std::string keys(const QAction& action) {
  std::string text;
  for (const QKeySequence& key : action.shortcuts()) {
    if (!text.empty()) text += "; ";
    text += key.toString(QKeySequence::PortableText).toStdString();
  }
  return text;
}

// The states, in the order of the enabling masks below.
enum State { noScans, oneScan, twoScans, noneSelected, blackAndWhite, threeMarked, matchRunning };
constexpr int stateCount = 7;

TEST_F(MenuCommandsTest, EveryItemsTitleShortcutAndEnablingInEachState) {
  struct Row {
    const char* menu;
    const char* title;
    const char* keys;
    const char* enabled;  // one digit per state
  };
  const std::vector<Row> rows = {
      {"File", "Add Scans…", "Ctrl+O", "1111111"},
      {"File", "Open Project…", "Ctrl+Shift+O", "1111111"},
      {"File", "Open Recent Project", "", "1111111"},
      {"File", "Save Project", "Ctrl+S", "0111111"},
      {"File", "Save Project As…", "Ctrl+Shift+S", "0111111"},
      {"File", "Export Current Image…", "Ctrl+E", "0111111"},
      {"File", "Export All…", "Ctrl+Shift+E", "0111111"},
      {"File", "Remove from List", "", "0111111"},
      {"File", "Clear Images", "Ctrl+Shift+Backspace", "0111111"},
      {"File", "Quit", "Ctrl+Q", "1111111"},
      {"Edit", "Undo", "Ctrl+Z", "0100000"},
      {"Edit", "Redo", "Ctrl+Shift+Z", "0000010"},
      {"Edit", "Cut", "Ctrl+X", "0000000"},
      {"Edit", "Copy", "Ctrl+C", "0000000"},
      {"Edit", "Paste", "Ctrl+V", "0000000"},
      {"Edit", "Select All", "Ctrl+A", "0000000"},
      {"Edit", "Copy Settings…", "Ctrl+Shift+C", "0110111"},
      {"Edit", "Paste Settings", "Ctrl+Shift+V", "0000010"},
      {"Edit", "Select All Frames", "Ctrl+Shift+A", "0111111"},
      {"Edit", "Settings…", "Ctrl+,", "1111111"},
      {"View", "Layout: Standard", "Ctrl+Alt+1", "1111111"},
      {"View", "Layout: Filmstrip", "Ctrl+Alt+2", "1111111"},
      {"View", "Layout: Swapped", "Ctrl+Alt+3", "1111111"},
      {"View", "Layout: Focus", "Ctrl+Alt+4", "1111111"},
      {"View", "Hide Adjustments", "Ctrl+Alt+I", "1111111"},
      {"View", "Show Before", "\\", "0111111"},
      {"View", "Split Before / After", "Ctrl+Alt+Y", "0111111"},
      {"View", "Show Clipping", "Ctrl+Alt+J", "1111111"},
      {"View", "Fold All Sections", "Ctrl+Alt+[", "1111111"},
      {"View", "Unfold All Sections", "Ctrl+Alt+]", "1111111"},
      {"View", "Zoom In", "Ctrl+=; Ctrl++", "0111111"},
      {"View", "Zoom Out", "Ctrl+-", "0111111"},
      {"View", "Zoom to Fit", "Ctrl+0", "0111111"},
      {"View", "Actual Pixels (100%)", "Ctrl+1", "0111111"},
      {"Image", "Previous Scan", "Ctrl+Left", "1111111"},
      {"Image", "Next Scan", "Ctrl+Right", "1111111"},
      {"Image", "Rotate Left", "Ctrl+[", "1111111"},
      {"Image", "Rotate Right", "Ctrl+]", "1111111"},
      {"Image", "Mirror", "Ctrl+Alt+M", "1111111"},
      {"Image", "Crop & Straighten", "Ctrl+Alt+C", "0111111"},
      {"Image", "Auto-Crop", "Ctrl+Alt+A", "0111111"},
      {"Image", "Apply Auto-Crop to All Images", "", "0011010"},
      {"Image", "Reset Crop", "", "0111111"},
      {"Image", "Dodge & Burn", "Ctrl+Alt+D", "0111111"},
      {"Image", "Healing Brush", "Ctrl+Alt+S", "0111111"},
      {"Image", "Red Eye", "Ctrl+Alt+E", "0111011"},
      {"Image", "Pick White Balance", "Ctrl+Alt+G", "0111111"},
      {"Image", "Analyse Roll", "", "0111111"},
      {"Image", "Auto Balance", "Ctrl+B", "1111111"},
      {"Image", "Reset to Defaults", "Ctrl+Alt+R", "1111111"},
      {"Image", "Match Reference Photo…", "Ctrl+Alt+T", "0111110"},
      {"Image", "Reset Everything", "Ctrl+Alt+Shift+R", "1111111"},
      {"Image", "Apply Settings to All Images", "", "1111111"},
      {"Image", "Leave Out of Export All", "Ctrl+K", "1111111"},
      {"Image", "Show Negative", "Ctrl+Alt+N", "1111111"},
      {"Help", "About Kelvadorium", "", "1111111"},
  };
  const char* names[stateCount] = {"no scans",       "one scan",        "two scans",
                                   "none selected",  "black and white", "three marked",
                                   "a match running"};
  for (int state = 0; state < stateCount; ++state) {
    model.setMatchProgress(std::nullopt);
    model.setCopiedSettings(std::nullopt);
    model.setCanUndo(false);
    model.setCanRedo(false);
    model.setMarked({});
    switch (State(state)) {
      case noScans:
        setScans({});
        break;
      case oneScan:
        setScans({FilmMode::colorNegative});
        select(0);
        model.setCanUndo(true);
        break;
      case twoScans:
        setScans({FilmMode::positive, FilmMode::colorNegative});
        select(0);
        break;
      case noneSelected:
        setScans({FilmMode::bwNegative, FilmMode::bwNegative});
        select(std::nullopt);
        break;
      case blackAndWhite:
        setScans({FilmMode::bwNegative});
        select(0);
        break;
      case threeMarked:
        setScans({FilmMode::colorNegative, FilmMode::colorNegative, FilmMode::positive});
        select(1);
        model.setMarked({model.items()[0].id, model.items()[1].id, model.items()[2].id});
        model.setCopiedSettings(ConversionSettings{});
        model.setCanRedo(true);
        break;
      case matchRunning:
        setScans({FilmMode::colorNegative});
        select(0);
        model.setMatchProgress(0.4);
        break;
    }
    // Items in menu order, separators and the Presets menu left out.
    std::vector<QAction*> actual;
    for (const char* menu : {"File", "Edit", "View", "Image", "Help"}) {
      for (QAction* action : menus().menu(menu)->actions()) {
        if (!action->isSeparator()) actual.push_back(action);
      }
    }
    ASSERT_EQ(actual.size(), rows.size()) << names[state];
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row& row = rows[i];
      std::string title = row.title;
      if (state == threeMarked && title == "Remove from List") title = "Remove 3 Scans from List";
      // As the menu shows it: a single "&" would mark an access key and disappear.
      EXPECT_EQ(actual[i]->text(), QString::fromStdString(title).replace("&", "&&"))
          << names[state];
      EXPECT_EQ(keys(*actual[i]), row.keys) << names[state] << ": " << title;
      EXPECT_EQ(actual[i]->isEnabled(), row.enabled[state] == '1') << names[state] << ": " << title;
    }
  }
}

TEST_F(MenuCommandsTest, PresetsFollowTheSelectedFilmTypeAndCountEveryChoice) {
  auto titles = [this] {
    QStringList list;
    for (QAction* action : menus().menu("Presets")->actions()) list << action->text();
    return list.join(", ").toStdString();
  };
  const std::string three = "Soft, Standard, Punchy";
  EXPECT_EQ(titles(), three);
  setScans({FilmMode::bwNegative, FilmMode::positive, FilmMode::colorNegative});
  EXPECT_EQ(titles(), three) << "scans, none selected";
  select(0);
  EXPECT_EQ(titles(), three + ", Kelvadorium Merivaldoon Mono 1");
  select(1);
  EXPECT_EQ(titles(), three);
  // The selected scan's film type changed in place.
  std::vector<ImageItem> items = model.items();
  items[1].settings.mode = FilmMode::bwNegative;
  model.setItems(items);
  EXPECT_EQ(titles(), three + ", Kelvadorium Merivaldoon Mono 1");

  item("Presets", "Punchy")->trigger();
  EXPECT_NE(model.items()[1].settings, items[1].settings);
  select(std::nullopt);
  const std::vector<ImageItem> before = model.items();
  item("Presets", "Soft")->trigger();
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(model.items()[i].settings, before[i].settings);
  EXPECT_EQ(services.telemetry.events, QStringList({"preset", "preset"}));
}

TEST_F(MenuCommandsTest, LayoutItemsShowTheAdjustmentsExceptInFocus) {
  item("View", "Hide Adjustments")->trigger();
  EXPECT_FALSE(model.showInspector());
  EXPECT_NE(item("View", "Show Adjustments"), nullptr);
  const std::vector<std::tuple<const char*, AppLayout, bool>> cases = {
      {"Layout: Filmstrip", AppLayout::filmstrip, true}, {"Layout: Focus", AppLayout::focus, false},
      {"Layout: Swapped", AppLayout::swapped, true},     {"Layout: Focus", AppLayout::focus, false},
      {"Layout: Standard", AppLayout::standard, true},
  };
  for (const auto& [title, layout, inspector] : cases) {
    item("View", title)->trigger();
    EXPECT_EQ(model.layout(), layout) << title;
    EXPECT_EQ(model.showInspector(), inspector) << title;
  }
}

TEST_F(MenuCommandsTest, ZoomStepsAndFit) {
  setScans({FilmMode::colorNegative});
  select(0);
  item("View", "Zoom In")->trigger();
  item("View", "Zoom In")->trigger();
  EXPECT_DOUBLE_EQ(model.zoom(), 2.25);
  item("View", "Zoom Out")->trigger();
  EXPECT_DOUBLE_EQ(model.zoom(), 1.5);
  model.plain().oneToOneZoom = 3;
  item("View", "Actual Pixels (100%)")->trigger();
  EXPECT_DOUBLE_EQ(model.zoom(), 3);
  model.setPan(QSizeF(40, -25));
  item("View", "Zoom to Fit")->trigger();
  EXPECT_DOUBLE_EQ(model.zoom(), 1);
  EXPECT_EQ(model.pan(), QSizeF(0, 0));
}

TEST_F(MenuCommandsTest, FoldItemsWriteTheThirteenKeysInOrder) {
  const QStringList expected = {
      "fold.Histogram", "fold.Film",         "fold.Basic Settings", "fold.Tone Curve",
      "fold.Effects",   "fold.Dodge & Burn", "fold.Healing",        "fold.Crop & Orientation",
      "fold.Colour",    "fold.Advanced",     "fold.Film Info",      "fold.Export & Batch",
      "fold.HSL"};
  for (const auto& [title, open] :
       {std::pair{"Fold All Sections", false}, std::pair{"Unfold All Sections", true}}) {
    QStringList written;
    const auto connection = QObject::connect(&model.preferences(), &Preferences::changed,
                                             [&](const QString& key) { written << key; });
    item("View", title)->trigger();
    QObject::disconnect(connection);
    EXPECT_EQ(written, expected) << title;
    const Preferences stored(services.settingsPath());
    for (const QString& key : expected) {
      EXPECT_TRUE(stored.contains(key)) << key.toStdString();
      EXPECT_EQ(stored.boolValue(key, !open), open) << key.toStdString();
    }
  }
}

TEST_F(MenuCommandsTest, TogglesShowTheModelAndWriteOnlyWhenChosen) {
  setScans({FilmMode::colorNegative});
  select(0);
  QAction* crop = item("Image", "Crop & Straighten");
  QSignalSpy writes(&model, &AppModel::cropModeChanged);
  model.setCropMode(true);
  EXPECT_TRUE(crop->isChecked());
  EXPECT_EQ(writes.size(), 1);
  item("Image", "Red Eye")->trigger();
  EXPECT_TRUE(model.redEyeMode());
  EXPECT_FALSE(crop->isChecked()) << "the model's rule turned crop off";
  crop->trigger();
  EXPECT_TRUE(model.cropMode());
  item("Image", "Show Negative")->trigger();
  EXPECT_TRUE(model.showNegative());
}

TEST_F(MenuCommandsTest, RemoveActsOnTheMarkedScansOrTheSelectedOne) {
  setScans({FilmMode::colorNegative, FilmMode::colorNegative, FilmMode::colorNegative,
            FilmMode::colorNegative});
  const std::vector<ImageItem> items = model.items();
  select(0);
  model.setMarked({items[1].id, items[2].id, items[3].id});
  QAction* remove = item("File", "Remove 3 Scans from List");
  remove->trigger();
  ASSERT_EQ(model.items().size(), 1u);
  EXPECT_EQ(model.items()[0].id, items[0].id);
  EXPECT_EQ(remove->text(), "Remove from List");
  remove->trigger();
  EXPECT_TRUE(model.items().empty());
}

TEST_F(MenuCommandsTest, ClearImagesEmptiesASavedSession) {
  setScans({FilmMode::colorNegative, FilmMode::colorNegative});
  select(1);
  item("File", "Clear Images")->trigger();
  EXPECT_TRUE(model.items().empty());
  EXPECT_FALSE(model.selection());
}

TEST_F(MenuCommandsTest, OpenRecentAsksForTheFilesOnlyWhenOpenedOrItsShortcutIsPressed) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Rolls");
  const auto present = dir / "Rolls" / "Summer.kelvadorium";
  std::ofstream(present) << "{}";
  const auto missing = dir / "Gone" / "Winter.kelvadorium";
  model.setRecentProjects({missing, present});
  QMenu* recent = menus().recentMenu();
  auto titles = [recent] {
    QStringList list;
    for (QAction* action : recent->actions()) {
      list << (action->isSeparator() ? "—"
                                     : action->text() + (action->isEnabled() ? "" : " [off]"));
    }
    return list;
  };
  // Built without asking: nothing is marked until the submenu opens.
  EXPECT_EQ(titles(), QStringList({"Winter  —  Gone", "Summer  —  Rolls", "—", "Clear Menu"}));
  EXPECT_EQ(keys(*recent->actions()[0]), "Ctrl+Alt+Shift+O");
  EXPECT_EQ(keys(*recent->actions()[1]), "");
  emit recent->aboutToShow();
  EXPECT_EQ(titles(), QStringList({"Winter  —  Gone  (not found) [off]", "Summer  —  Rolls", "—",
                                   "Clear Menu"}));
  emit recent->aboutToHide();
  // The shortcut of a missing first project does nothing; a present one opens.
  recent->actions()[0]->trigger();
  EXPECT_TRUE(log.empty());
  recent->actions()[1]->trigger();
  EXPECT_EQ(log, std::vector<std::string>{"openProject Summer.kelvadorium"});
  model.setRecentProjects({present, missing});
  log.clear();
  recent->actions()[0]->trigger();
  EXPECT_EQ(log, std::vector<std::string>{"openProject Summer.kelvadorium"});

  model.preferences().setPathList("recentProjects", {present});
  item("Open Recent Project", "Clear Menu")->trigger();
  EXPECT_TRUE(model.recentProjects().empty());
  EXPECT_FALSE(Preferences(services.settingsPath()).contains("recentProjects"));
  EXPECT_EQ(titles(), QStringList({"Clear Menu [off]"}));
}

// Keys pressed in the shown window: Ctrl+1 and Ctrl+Alt+1, Ctrl+[ and Ctrl+Alt+[ are different
// commands, and a backslash typed into a text field stays there.
TEST_F(MenuCommandsTest, KeysReachTheirOwnCommands) {
  setScans({FilmMode::colorNegative});
  select(0);
  model.setLayout(AppLayout::swapped);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  model.plain().oneToOneZoom = 3;

  QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(model.zoom(), 3);
  EXPECT_EQ(model.layout(), AppLayout::swapped);
  QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(model.layout(), AppLayout::standard);
  EXPECT_DOUBLE_EQ(model.zoom(), 3);

  QTest::keyClick(&window, Qt::Key_BracketLeft, Qt::ControlModifier);
  EXPECT_EQ(model.items()[0].settings.rotationQuarterTurns, 3);
  EXPECT_FALSE(model.preferences().contains("fold.Film"));
  QTest::keyClick(&window, Qt::Key_BracketLeft, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(model.items()[0].settings.rotationQuarterTurns, 3);
  EXPECT_FALSE(model.preferences().boolValue("fold.Film", true));

  QTest::keyClick(&window, Qt::Key_Backslash);
  EXPECT_EQ(log, std::vector<std::string>{"toggleBeforeAfter"});
  auto* field = new QLineEdit(window.previewPane());
  field->show();
  field->setFocus();
  ASSERT_TRUE(field->hasFocus());
  QTest::keyClicks(field, "a\\b");
  EXPECT_EQ(field->text(), "a\\b");
  EXPECT_EQ(log.size(), 1u);
  EXPECT_TRUE(item("Edit", "Select All")->isEnabled());
  item("Edit", "Select All")->trigger();
  EXPECT_EQ(field->selectedText(), "a\\b");
}

}  // namespace
