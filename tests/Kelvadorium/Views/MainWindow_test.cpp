// The main window over a session: toolbar enabling and what each control calls, the toggles
// that follow the model without writing back, the four layouts with the adjustments column,
// pane bounds when the window shrinks, the title, and files dropped on the window.
#include "Windows/MainWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QUrl>
#include <QWindow>

#include "App/ModelCalls.h"
#include "Model/AppModel.h"
#include "Testing/TestServices.h"
#include "Preview/PreviewPane.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

class MainWindowTest : public ::testing::Test {
 public:
  MainWindowTest() {
    calls.addScans = [this](Paths paths) {
      std::string text = "addScans";
      for (const auto& p : paths) text.append(" ").append(p.string());
      log.push_back(text);
    };
    calls.openProject = [this](std::filesystem::path p) {
      log.push_back("openProject " + p.string());
    };
    calls.showAddPanel = [this] { log.push_back("showAddPanel"); };
    calls.moveSelection = [this](int step) {
      log.push_back("moveSelection " + std::to_string(step));
    };
    calls.exportSelected = [this] { log.push_back("exportSelected"); };
    calls.exportMarked = [this] { log.push_back("exportMarked"); };
    calls.exportAll = [this] { log.push_back("exportAll"); };
    calls.toggleBeforeAfter = [this] { log.push_back("toggleBeforeAfter"); };
    calls.toggleSplitView = [this] { log.push_back("toggleSplitView"); };
  }

  void addItems(std::initializer_list<const char*> names) {
    std::vector<ImageItem> items;
    for (const char* name : names) {
      ImageItem item;
      item.url = std::filesystem::path("/scans") / name;
      items.push_back(item);
    }
    model.setItems(items);
  }
  // Names of the panes the window shows, left to right; a vertical split in brackets.
  std::vector<std::string> arrangement() const {
    std::vector<std::string> names;
    QSplitter* outer = window.splitter();
    for (int i = 0; i < outer->count(); ++i) {
      QWidget* pane = outer->widget(i);
      if (auto* column = qobject_cast<QSplitter*>(pane)) {
        std::string text = "[";
        for (int j = 0; j < column->count(); ++j) {
          text += (j ? " / " : "") + column->widget(j)->objectName().toStdString();
        }
        names.push_back(text + "]");
      } else {
        names.push_back(pane->objectName().toStdString());
      }
    }
    return names;
  }
  QString symbolOf(const QString& title) const {
    return window.toolbarAction(title)->property("symbol").toString();
  }

  TestServices services;
  AppModel model{services.services()};
  ModelCalls calls = ModelCalls::of(model);
  std::vector<std::string> log;
  MainWindow window{model, calls};
};

TEST_F(MainWindowTest, ToolbarEnablingFollowsTheSession) {
  struct Case {
    const char* name;
    std::function<void(MainWindowTest&)> setUp;
    bool scansControls;
    bool exportMarked;
  };
  const std::vector<Case> cases = {
      {"no scans", [](MainWindowTest&) {}, false, false},
      {"scans, none selected",
       [](MainWindowTest& t) {
         t.addItems({"a.nef", "b.nef"});
       },
       true, false},
      {"one marked",
       [](MainWindowTest& t) {
         t.addItems({"a.nef", "b.nef"});
         t.model.setMarked({t.model.items()[1].id});
       },
       true, true},
  };
  for (const Case& c : cases) {
    model.setItems({});
    model.setMarked({});
    c.setUp(*this);
    for (const char* title :
         {"Previous", "Next", "Crop", "Show Negative", "Before / After", "Export"}) {
      EXPECT_EQ(window.toolbarAction(title)->isEnabled(), c.scansControls)
          << c.name << ": " << title;
    }
    for (const char* title : {"Add Scans", "Layout", "Adjustments"}) {
      EXPECT_TRUE(window.toolbarAction(title)->isEnabled()) << c.name << ": " << title;
    }
    EXPECT_EQ(window.menuAction("Export", "Export Selected Images…")->isEnabled(), c.exportMarked)
        << c.name;
    EXPECT_TRUE(window.menuAction("Export", "Export Current Image…")->isEnabled()) << c.name;
    EXPECT_TRUE(window.menuAction("Export", "Export All…")->isEnabled()) << c.name;
  }
}

TEST_F(MainWindowTest, EachControlMakesItsCall) {
  addItems({"a.nef"});
  model.setMarked({model.items()[0].id});
  struct Case {
    QAction* action;
    std::string call;
  };
  const std::vector<Case> cases = {
      {window.toolbarAction("Add Scans"), "showAddPanel"},
      {window.toolbarAction("Previous"), "moveSelection -1"},
      {window.toolbarAction("Next"), "moveSelection 1"},
      {window.menuAction("Before / After", "Before / After"), "toggleBeforeAfter"},
      {window.menuAction("Before / After", "Split Before / After"), "toggleSplitView"},
      {window.menuAction("Export", "Export Current Image…"), "exportSelected"},
      {window.menuAction("Export", "Export Selected Images…"), "exportMarked"},
      {window.menuAction("Export", "Export All…"), "exportAll"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.action, nullptr) << c.call;
    log.clear();
    c.action->trigger();
    EXPECT_EQ(log, std::vector<std::string>{c.call});
  }
}

// With the model's own calls: the browse buttons move the selection from the first scan when none
// is selected, and stop at the ends while staying enabled.
TEST(MainWindowOverTheModel, PreviousAndNextMoveTheSelection) {
  TestServices services;
  AppModel model(services.services());
  const ModelCalls calls = ModelCalls::of(model);
  MainWindow window(model, calls);
  std::vector<ImageItem> items(3);
  model.setItems(items);
  auto selected = [&] { return model.selectedIndex(); };
  QAction* previous = window.toolbarAction("Previous");
  QAction* next = window.toolbarAction("Next");
  next->trigger();
  EXPECT_EQ(selected(), 1u);
  model.setSelection(std::nullopt);
  previous->trigger();
  EXPECT_EQ(selected(), 0u);
  previous->trigger();
  EXPECT_EQ(selected(), 0u);
  EXPECT_TRUE(previous->isEnabled());
  next->trigger();
  next->trigger();
  next->trigger();
  EXPECT_EQ(selected(), 2u);
  EXPECT_TRUE(next->isEnabled());
  EXPECT_EQ(window.windowTitle().right(6), "3 of 3");
}

TEST_F(MainWindowTest, HelpTextsNameTheDesktopKeys) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"Add Scans", "Add scans or a folder (Ctrl+O)"},
      {"Crop", "Edit the crop (Ctrl+Alt+C)"},
      {"Show Negative", "Show the scan before conversion (Ctrl+Alt+N)"},
      {"Before / After", "Compare with the plain conversion (\\ toggles, Ctrl+Alt+Y splits)"},
      {"Layout", "Window layout (Ctrl+Alt+1–4)"},
      {"Adjustments", "Show or hide the adjustments"},
  };
  for (const auto& [title, help] : cases) {
    EXPECT_EQ(window.toolbarAction(title)->toolTip(), help) << title;
  }
}

// Without an icon theme (as here) every control still has its symbol, the program's own.
TEST_F(MainWindowTest, EverySymbolHasAnIcon) {
  std::vector<QAction*> actions;
  for (const char* title : {"Add Scans", "Previous", "Next", "Crop", "Show Negative",
                            "Before / After", "Export", "Layout", "Adjustments"}) {
    actions.push_back(window.toolbarAction(title));
  }
  for (const char* layout : {"Standard", "Filmstrip", "Swapped", "Focus"}) {
    actions.push_back(window.menuAction("Layout", layout));
  }
  for (QAction* action : actions) {
    EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
  }
  window.menuAction("Layout", "Swapped")->trigger();
  EXPECT_FALSE(window.toolbarAction("Adjustments")->icon().isNull());
  EXPECT_FALSE(window.toolbarAction("Layout")->icon().isNull());
}

// The toggles write the model on the user's press only; a change of the model shows without
// being written back (which would run the mode's observer a second time).
TEST_F(MainWindowTest, TogglesFollowTheModelAndWriteOnlyWhenPressed) {
  addItems({"a.nef"});
  struct Case {
    const char* title;
    bool (AppModel::*read)() const;
    void (AppModel::*write)(bool);
    void (AppModel::*changed)();
  };
  for (const Case& c :
       {Case{"Crop", &AppModel::cropMode, &AppModel::setCropMode, &AppModel::cropModeChanged},
        Case{"Show Negative", &AppModel::showNegative, &AppModel::setShowNegative,
             &AppModel::showNegativeChanged}}) {
    QAction* toggle = window.toolbarAction(c.title);
    QSignalSpy writes(&model, c.changed);
    toggle->trigger();
    EXPECT_TRUE((model.*c.read)()) << c.title;
    EXPECT_EQ(writes.count(), 1) << c.title;
    (model.*c.write)(false);
    EXPECT_FALSE(toggle->isChecked()) << c.title;
    EXPECT_EQ(writes.count(), 2) << c.title;
    (model.*c.write)(true);
    EXPECT_TRUE(toggle->isChecked()) << c.title;
    EXPECT_EQ(writes.count(), 3) << c.title;
    toggle->trigger();
    EXPECT_FALSE((model.*c.read)()) << c.title;
  }
}

TEST_F(MainWindowTest, LayoutsArrangeThePanes) {
  struct Case {
    AppLayout layout;
    bool inspector;
    std::vector<std::string> panes;
    const char* adjustmentsSymbol;
  };
  const std::vector<Case> cases = {
      {AppLayout::standard,
       true,
       {"ThumbnailSidebar", "PreviewPane", "InspectorView"},
       "sidebar.right"},
      {AppLayout::standard, false, {"ThumbnailSidebar", "PreviewPane"}, "sidebar.right"},
      {AppLayout::swapped,
       true,
       {"InspectorView", "PreviewPane", "ThumbnailSidebar"},
       "sidebar.left"},
      {AppLayout::swapped, false, {"PreviewPane", "ThumbnailSidebar"}, "sidebar.left"},
      {AppLayout::filmstrip,
       true,
       {"[PreviewPane / FilmstripView]", "InspectorView"},
       "sidebar.right"},
      {AppLayout::filmstrip, false, {"[PreviewPane / FilmstripView]"}, "sidebar.right"},
      {AppLayout::focus, true, {"PreviewPane", "InspectorView"}, "sidebar.right"},
      {AppLayout::focus, false, {"PreviewPane"}, "sidebar.right"},
  };
  window.show();
  for (const Case& c : cases) {
    model.setLayout(c.layout);
    model.setShowInspector(c.inspector);
    const std::string name = toString(c.layout) + (c.inspector ? " with" : " without");
    EXPECT_EQ(arrangement(), c.panes) << name;
    EXPECT_EQ(symbolOf("Adjustments"), c.adjustmentsSymbol) << name;
    // Panes the layout leaves out are kept, hidden, for the next layout.
    for (QWidget* pane : {window.sidebarPane(), window.previewPane(), window.inspectorPane(),
                          window.filmstripPane()}) {
      const bool placed = window.splitter()->isAncestorOf(pane);
      EXPECT_EQ(pane->isVisible(), placed) << name << ": " << pane->objectName().toStdString();
    }
  }
}

TEST_F(MainWindowTest, LayoutPickerAndAdjustmentsButton) {
  QAction* focus = window.menuAction("Layout", "Focus");
  QAction* standard = window.menuAction("Layout", "Standard");
  QAction* adjustments = window.toolbarAction("Adjustments");
  focus->trigger();
  EXPECT_EQ(model.layout(), AppLayout::focus);
  EXPECT_FALSE(model.showInspector());
  EXPECT_TRUE(focus->isChecked());
  EXPECT_EQ(symbolOf("Layout"), "rectangle.inset.filled");
  adjustments->trigger();
  EXPECT_TRUE(model.showInspector());
  EXPECT_EQ(model.layout(), AppLayout::focus);
  adjustments->trigger();
  EXPECT_FALSE(model.showInspector());
  standard->trigger();
  EXPECT_TRUE(model.showInspector());
  EXPECT_TRUE(standard->isChecked());
  EXPECT_FALSE(focus->isChecked());
  window.menuAction("Layout", "Swapped")->trigger();
  EXPECT_TRUE(model.showInspector());
  EXPECT_EQ(symbolOf("Adjustments"), "sidebar.left");
}

// At the smallest window every placed pane keeps its bounds; wider, the side panes start at their
// ideal widths and the preview takes the rest.
TEST_F(MainWindowTest, PanesKeepTheirBoundsAsTheWindowShrinks) {
  struct Bounds {
    int min, max;
  };
  const std::map<QString, Bounds> widths = {{"ThumbnailSidebar", {150, 420}},
                                            {"PreviewPane", {360, QWIDGETSIZE_MAX}},
                                            {"InspectorView", {280, 400}}};
  window.show();
  for (const AppLayout layout :
       {AppLayout::standard, AppLayout::filmstrip, AppLayout::swapped, AppLayout::focus}) {
    model.setLayout(layout);
    model.setShowInspector(true);
    window.resize(1600, 1000);
    QApplication::processEvents();
    window.resize(400, 300);  // asks below the minimum
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(MainWindow::minimumWidth, MainWindow::minimumHeight));
    for (QWidget* pane : {window.sidebarPane(), window.previewPane(), window.inspectorPane()}) {
      if (!pane->isVisible()) continue;
      const Bounds b = widths.at(pane->objectName());
      EXPECT_GE(pane->width(), b.min)
          << toString(layout) << " " << pane->objectName().toStdString();
      EXPECT_LE(pane->width(), b.max)
          << toString(layout) << " " << pane->objectName().toStdString();
    }
    EXPECT_GE(window.previewPane()->height(), 300) << toString(layout);
    if (layout == AppLayout::filmstrip) {
      EXPECT_GE(window.filmstripPane()->height(), 96);
      EXPECT_LE(window.filmstripPane()->height(), 240);
    }
  }
}

TEST_F(MainWindowTest, IdealWidthsWhenALayoutIsBuilt) {
  window.resize(1600, 1000);
  window.show();
  QApplication::processEvents();
  EXPECT_EQ(window.sidebarPane()->width(), 220);
  EXPECT_EQ(window.inspectorPane()->width(), 310);
  model.setLayout(AppLayout::filmstrip);
  QApplication::processEvents();
  EXPECT_EQ(window.filmstripPane()->height(), 132);
}

TEST_F(MainWindowTest, TitleFollowsTheSelection) {
  window.show();
  EXPECT_EQ(window.windowTitle(), "Kelvadorium Ombrel Castrane Velloquintar");
  addItems({"frame01.NEF", "frame02.NEF", "frame03.NEF", "odd [*] name.tif"});
  EXPECT_EQ(window.windowTitle(), "Kelvadorium Ombrel Castrane Velloquintar");
  model.setSelection(model.items()[2].id);
  EXPECT_EQ(window.windowTitle(), "frame03.NEF — 3 of 4");
  model.setItems({model.items()[0], model.items()[2], model.items()[3]});
  EXPECT_EQ(window.windowTitle(), "frame03.NEF — 2 of 3");
  // Qt's modified-mark placeholder in a file name is shown as written.
  model.setSelection(model.items()[2].id);
  EXPECT_EQ(window.windowHandle()->title(), "odd [*] name.tif — 3 of 3");
  model.setSelection(std::nullopt);
  EXPECT_EQ(window.windowTitle(), "Kelvadorium Ombrel Castrane Velloquintar");
  model.setProjectURL(std::filesystem::path("/rolls/Roll 7.kelvadorium"));
  model.setHasUnsavedChanges(true);
  EXPECT_EQ(window.windowTitle(), "Roll 7 — Roll 7 — edited");
  model.setSelection(model.items()[0].id);
  EXPECT_EQ(window.windowTitle(), "frame01.NEF — Roll 7 — edited · 1 of 3");
}

// Files and folders dropped anywhere on the window go to the model in one call, in the order
// delivered; a project among them is not opened here. The preview shows the highlight while
// files are over the window.
TEST_F(MainWindowTest, DropsGoToAddScansInOrder) {
  window.show();
  auto mime = [](const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
  };
  const auto* preview = static_cast<PreviewPane*>(window.previewPane());
  const QPoint inside = window.previewPane()->mapTo(&window, QPoint(20, 20));

  std::unique_ptr<QMimeData> files(
      mime({QUrl::fromLocalFile("/roll/b.nef"), QUrl::fromLocalFile("/roll/folder"),
            QUrl::fromLocalFile("/roll/a.nef")}));
  QDragEnterEvent enter(inside, Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_TRUE(window.dropTargeted());
  EXPECT_TRUE(preview->dropTargeted());
  QDragLeaveEvent leave;
  QApplication::sendEvent(&window, &leave);
  EXPECT_FALSE(window.dropTargeted());
  EXPECT_FALSE(preview->dropTargeted());

  QApplication::sendEvent(&window, &enter);
  QDropEvent drop(QPointF(inside), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_FALSE(window.dropTargeted());
  EXPECT_EQ(log, std::vector<std::string>{"addScans /roll/b.nef /roll/folder /roll/a.nef"});

  log.clear();
  std::unique_ptr<QMimeData> project(mime({QUrl::fromLocalFile("/roll/Roll 7.kelvadorium")}));
  QDragEnterEvent projectEnter(inside, Qt::CopyAction, project.get(), Qt::LeftButton,
                               Qt::NoModifier);
  QApplication::sendEvent(&window, &projectEnter);
  QDropEvent projectDrop(QPointF(inside), Qt::CopyAction, project.get(), Qt::LeftButton,
                         Qt::NoModifier);
  QApplication::sendEvent(&window, &projectDrop);
  EXPECT_TRUE(projectDrop.isAccepted());
  EXPECT_EQ(log, std::vector<std::string>{"addScans /roll/Roll 7.kelvadorium"});

  // A drag of web addresses only carries no files: no highlight.
  std::unique_ptr<QMimeData> web(mime({QUrl("https://example.org/a.nef")}));
  QDragEnterEvent webEnter(inside, Qt::CopyAction, web.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &webEnter);
  EXPECT_FALSE(webEnter.isAccepted());
  EXPECT_FALSE(window.dropTargeted());
}

}  // namespace
