// The thumbnail sidebar and the filmstrip over a session of scans: clicks with their keys, the
// press that becomes a rubber band and is then no click, the band's rules on the model, the
// context menu and its targets, the scroll that follows the selection, a thumbnail arriving in
// one cell, the column estimate and the count line.
#include "Sidebar/ThumbnailSidebar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "Model/AppModel.h"
#include "Sidebar/FilmstripView.h"
#include "Sidebar/MarqueeSelection.h"
#include "Sidebar/ThumbnailList.h"
#include "Sidebar/ThumbnailScroller.h"
#include "Testing/TestServices.h"

namespace {

class ThumbnailViewsTest : public ::testing::Test {
 protected:
  void addScans(int count) {
    std::vector<ImageItem> items;
    for (int i = 0; i < count; ++i) {
      ImageItem item;
      item.url = std::filesystem::path("/scans") / QString("frame%1.tif").arg(i, 2, 10, QChar('0')).toStdString();
      items.push_back(item);
    }
    model.setItems(items);
  }
  // A sidebar over `scans` scans, shown at the size given.
  std::unique_ptr<ThumbnailSidebar> sidebarOver(int scans, int width, int height) {
    addScans(scans);
    auto sidebar = std::make_unique<ThumbnailSidebar>(model);
    sidebar->resize(width, height);
    sidebar->show();
    return sidebar;
  }
  Uuid id(int i) const { return model.items()[static_cast<size_t>(i)].id; }
  std::set<Uuid> ids(std::initializer_list<int> indexes) const {
    std::set<Uuid> set;
    for (int i : indexes) set.insert(id(i));
    return set;
  }
  int selected() const {
    for (size_t i = 0; i < model.items().size(); ++i) {
      if (model.selection() == model.items()[i].id) return static_cast<int>(i);
    }
    return -1;
  }
  // Mouse events on the viewport, with the keys held in each.
  static void send(ThumbnailScroller& view, QEvent::Type type, QPointF at,
                   Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), Qt::LeftButton, held, keys);
    QApplication::sendEvent(view.viewport(), &event);
  }
  static void drag(ThumbnailScroller& view, QPointF from, QPointF to,
                   Qt::KeyboardModifiers keys = Qt::NoModifier) {
    send(view, QEvent::MouseButtonPress, from, keys);
    send(view, QEvent::MouseMove, to, keys);
    send(view, QEvent::MouseButtonRelease, to, keys);
  }
  static QPointF centre(const ThumbnailScroller& view, int cell) {
    return view.cellRect(cell).center();
  }

  TestServices services;
  AppModel model{services.services()};
};

TEST_F(ThumbnailViewsTest, ClicksPassTheirKeys) {
  const auto sidebar = sidebarOver(6, 222, 600);
  ThumbnailScroller& grid = *sidebar->grid();
  struct Case {
    const char* what;
    Qt::KeyboardModifiers keys;
    std::set<int> marked;
  };
  const std::vector<Case> cases = {
      {"plain", Qt::NoModifier, {}},
      {"Ctrl toggles", Qt::ControlModifier, {0, 3}},
      {"Alt toggles as Ctrl does", Qt::AltModifier, {0, 3}},
      {"Shift marks the run", Qt::ShiftModifier, {0, 1, 2, 3}},
      {"Ctrl and Shift: the toggle", Qt::ControlModifier | Qt::ShiftModifier, {0, 3}},
      {"Meta is no toggle", Qt::MetaModifier, {}},
  };
  for (const Case& c : cases) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre(grid, 0).toPoint());
    ASSERT_EQ(selected(), 0) << c.what;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, c.keys, centre(grid, 3).toPoint());
    EXPECT_EQ(selected(), 3) << c.what;
    std::set<Uuid> expected;
    for (int i : c.marked) expected.insert(id(i));
    EXPECT_EQ(model.marked(), expected) << c.what;
  }
  // The gaps and the padding take no click.
  model.setSelection(id(1));
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(selected(), 1);
}

// A press that moves 5 is a click; one that moves 7 is a band, and then no click: with Ctrl held,
// a click on a marked scan would unmark it, while the band adds it to the marks it started with.
TEST_F(ThumbnailViewsTest, APressThatBecameABandIsNoClick) {
  addScans(6);
  FilmstripView strip(model);
  strip.resize(700, 132);
  strip.show();
  ThumbnailScroller& view = *strip.strip();
  for (const auto& [distance, stillMarked] : {std::pair{5.0, false}, std::pair{7.0, true}}) {
    model.setSelection(id(0));
    model.setMarked(ids({0, 1, 2}));
    const QPointF from = centre(view, 1);
    drag(view, from, from + QPointF(distance, 0), Qt::ControlModifier);
    EXPECT_EQ(model.marked().contains(id(1)), stillMarked) << distance;
    EXPECT_FALSE(view.marquee().rect().has_value());
  }
}

TEST_F(ThumbnailViewsTest, BandRulesOnTheModel) {
  addScans(6);
  const ThumbGrid::Layout layout = ThumbGrid::grid(222, 6, 14);  // two columns, three rows
  std::vector<Uuid> order;
  for (int i = 0; i < 6; ++i) order.push_back(id(i));
  const QPointF c0 = layout.frame(0).center(), c1 = layout.frame(1).center(),
                c3 = layout.frame(3).center();
  MarqueeSelection band(model);
  auto move = [&](QPointF at, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    return band.move(at, keys, layout, order, false);
  };

  // Over the padding only: nothing changes, also at the end.
  model.setSelection(id(4));
  model.setMarked(ids({4, 5}));
  band.press({1, 1});
  EXPECT_FALSE(move({4, 4}));  // under 6: not yet a band
  EXPECT_TRUE(move({200, 8}));
  EXPECT_EQ(model.marked(), ids({4, 5}));
  EXPECT_TRUE(band.release());
  EXPECT_EQ(model.marked(), ids({4, 5}));
  EXPECT_EQ(selected(), 4);

  // One cell empties the marks and selects it; a second marks both and selects the first in
  // list order; shrinking unmarks; covering nothing again leaves the last marking.
  band.press(c1 + QPointF(0, -1));
  move(c1);
  move(c1 + QPointF(0, 8));
  EXPECT_TRUE(model.marked().empty());
  EXPECT_EQ(selected(), 1);
  move(c3);
  EXPECT_EQ(model.marked(), ids({1, 3}));
  EXPECT_EQ(selected(), 1);
  move(c1 + QPointF(0, 8));
  EXPECT_TRUE(model.marked().empty());
  EXPECT_EQ(selected(), 1);
  move(c0);
  EXPECT_EQ(model.marked(), ids({0, 1}));
  EXPECT_EQ(selected(), 1);  // already among them
  band.release();

  // Keys at the first change fix the base: Shift with two marked adds a third; releasing Shift
  // meanwhile changes nothing; with nothing marked the selected scan is the base.
  model.setMarked(ids({4, 5}));
  band.press(c0 + QPointF(0, -7));
  move(c0, Qt::ShiftModifier);
  EXPECT_EQ(model.marked(), ids({0, 4, 5}));
  move(c0 + QPointF(1, 0));
  EXPECT_EQ(model.marked(), ids({0, 4, 5}));
  band.release();
  model.setMarked({});
  model.setSelection(id(5));
  band.press(c0 + QPointF(0, -7));
  move(c0, Qt::ControlModifier);
  EXPECT_EQ(model.marked(), ids({0, 5}));
  band.release();
  // No key at the first change: Shift pressed later does not start adding.
  model.setMarked(ids({4, 5}));
  band.press(c0 + QPointF(-7, 0));
  move(c0);
  move(c0 + QPointF(1, 0), Qt::ShiftModifier);
  EXPECT_TRUE(model.marked().empty());
  EXPECT_EQ(selected(), 0);
  band.release();
}

// The band is drawn in the content's coordinates; dragged beyond the view it does not scroll it.
TEST_F(ThumbnailViewsTest, BandInContentCoordinatesWithoutScrolling) {
  const auto sidebar = sidebarOver(40, 222, 400);
  ThumbnailScroller& grid = *sidebar->grid();
  QScrollBar* bar = grid.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 300);
  bar->setValue(300);
  send(grid, QEvent::MouseButtonPress, {5, 5});
  send(grid, QEvent::MouseMove, {40, 30});
  ASSERT_TRUE(grid.marquee().rect().has_value());
  EXPECT_EQ(*grid.marquee().rect(), QRectF(5, 305, 35, 25));
  send(grid, QEvent::MouseMove, {-500, 5000});
  EXPECT_EQ(bar->value(), 300);
  EXPECT_EQ(grid.marquee().rect()->bottom(), 5300);
  send(grid, QEvent::MouseButtonRelease, {-500, 5000});
  EXPECT_FALSE(grid.marquee().rect().has_value());
  EXPECT_EQ(bar->value(), 300);
}

TEST_F(ThumbnailViewsTest, MenuOnOneOfThreeMarked) {
  const auto sidebar = sidebarOver(5, 222, 800);
  ThumbnailScroller& grid = *sidebar->grid();
  auto openMenu = [&](int cell) {
    const QPoint at = centre(grid, cell).toPoint();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid.viewport(), &event);
    QMenu* menu = grid.contextMenu();
    QStringList titles;
    if (menu) {
      for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) titles << action->text();
      }
    }
    return std::pair{menu, titles};
  };
  auto trigger = [](QMenu* menu, int entry) {
    QList<QAction*> entries;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) entries << action;
    }
    entries[entry]->trigger();
    menu->close();
  };
  model.setSelection(id(0));
  model.setMarked(ids({0, 2, 4}));
  model.setItems([&] {
    auto items = model.items();
    items[2].skipped = true;
    return items;
  }());

  // On the one skipped among three marked: long titles, and entry 2 includes all three.
  auto [menu, titles] = openMenu(2);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(titles, (QStringList{"Export 3 Scans…", "Include 3 Scans in Export All",
                                 "Show in File Manager", "Remove 3 Scans from List"}));
  model.setItems([&] {
    auto items = model.items();
    for (int i : {0, 4}) items[static_cast<size_t>(i)].skipped = true;
    return items;
  }());
  trigger(menu, 1);
  for (const ImageItem& item : model.items()) EXPECT_FALSE(item.skipped);
  // "Show in File Manager" reveals the clicked scan only.
  std::tie(menu, titles) = openMenu(4);
  trigger(menu, 2);
  EXPECT_EQ(services.workspace.revealed, std::vector<std::filesystem::path>{model.items()[4].url});

  // An unmarked scan beside three marked ones: itself alone, short titles.
  std::tie(menu, titles) = openMenu(1);
  EXPECT_EQ(titles, (QStringList{"Export…", "Leave Out of Export All", "Show in File Manager",
                                 "Remove from List"}));
  trigger(menu, 0);
  ASSERT_TRUE(model.exportRequest().has_value());
  ASSERT_EQ(model.exportRequest()->size(), 1u);
  EXPECT_EQ(model.exportRequest()->front().id, id(1));
  model.setExportRequest(std::nullopt);

  // A command for scans removed meanwhile changes nothing.
  std::tie(menu, titles) = openMenu(3);
  const Uuid gone = id(3);
  model.removeItems({gone});
  model.setHasUnsavedChanges(false);
  trigger(menu, 1);
  trigger(menu, 3);
  EXPECT_EQ(model.items().size(), 4u);
  EXPECT_FALSE(model.hasUnsavedChanges());
  for (const ImageItem& item : model.items()) EXPECT_FALSE(item.skipped);
}

TEST_F(ThumbnailViewsTest, TheSidebarScrollsJustEnoughToTheSelection) {
  const auto sidebar = sidebarOver(40, 360, 400);
  ThumbnailScroller& grid = *sidebar->grid();
  ASSERT_EQ(grid.layout().columns, 3);
  EXPECT_FALSE(grid.scrollTarget().has_value());  // nothing on first display
  const ThumbGrid::Layout& layout = grid.layout();
  const int viewHeight = grid.viewport()->height();
  model.setSelection(id(30));
  ASSERT_TRUE(grid.scrollTarget().has_value());
  EXPECT_EQ(*grid.scrollTarget(), std::lround(layout.frame(30).bottom() - viewHeight));
  // Animated: the bar has not jumped yet.
  EXPECT_NE(grid.verticalScrollBar()->value(), *grid.scrollTarget());
  grid.settleScroll();
  EXPECT_EQ(grid.verticalScrollBar()->value(), *grid.scrollTarget());
  // Upwards, to the cell's top; then a visible cell (in the same row) and no selection leave
  // the view alone.
  model.setSelection(id(10));
  EXPECT_EQ(*grid.scrollTarget(), std::lround(layout.frame(10).top()));
  grid.settleScroll();
  const int resting = grid.verticalScrollBar()->value();
  model.setSelection(id(11));
  EXPECT_EQ(*grid.scrollTarget(), resting);
  model.setSelection(std::nullopt);
  EXPECT_EQ(*grid.scrollTarget(), resting);
  EXPECT_EQ(grid.verticalScrollBar()->value(), resting);
}

TEST_F(ThumbnailViewsTest, TheFilmstripCentresTheSelection) {
  addScans(30);
  FilmstripView strip(model);
  strip.resize(600, 132);
  strip.show();
  ThumbnailScroller& view = *strip.strip();
  EXPECT_DOUBLE_EQ(view.layout().cellWidth, 98);
  const int width = view.viewport()->width();
  const int maximum = view.horizontalScrollBar()->maximum();
  struct Case {
    int cell;
    int target;
  };
  const std::vector<Case> cases = {
      {15, int(std::lround(view.layout().frame(15).center().x() - width / 2.0))},
      {1, 0},  // visible already, but the start is as far as it goes
      {29, maximum},
      {2, int(std::lround(std::max(0.0, view.layout().frame(2).center().x() - width / 2.0)))},
  };
  for (const Case& c : cases) {
    model.setSelection(id(c.cell));
    ASSERT_TRUE(view.scrollTarget().has_value());
    EXPECT_EQ(*view.scrollTarget(), c.target) << c.cell;
  }
  EXPECT_EQ(model.plain().thumbColumns, 1);
}

// A thumbnail arriving is one row changed, repainted in place: no reset and no new layout. The
// picture is scaled once for its cell, not at every paint.
TEST_F(ThumbnailViewsTest, AThumbnailArrivalChangesOneRow) {
  const auto sidebar = sidebarOver(8, 222, 800);
  ThumbnailScroller& grid = *sidebar->grid();
  QSignalSpy changed(&grid.list(), &ThumbnailList::dataChanged);
  QSignalSpy reset(&grid.list(), &ThumbnailList::modelReset);
  QSignalSpy laidOut(&grid, &ThumbnailScroller::laidOut);
  auto thumbnail = std::make_shared<PreviewImage>();
  thumbnail->screen = QImage(320, 213, QImage::Format_RGB888);
  thumbnail->screen.fill(Qt::darkCyan);
  auto items = model.items();
  items[5].thumbnail = thumbnail;
  model.setItems(items);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 5);
  EXPECT_EQ(reset.count(), 0);
  EXPECT_EQ(laidOut.count(), 0);
  grid.grab();
  grid.grab();
  EXPECT_EQ(grid.pixmaps().scalings(), 1);
  // Appended scans are rows inserted; a removal resets.
  QSignalSpy inserted(&grid.list(), &ThumbnailList::rowsInserted);
  items = model.items();
  items.push_back(ImageItem{Uuid::random(), "/scans/late.tif", {}, nullptr, false});
  model.setItems(items);
  EXPECT_EQ(inserted.count(), 1);
  model.removeItems({id(0)});
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(grid.list().ids().size(), 8u);
}

TEST_F(ThumbnailViewsTest, ColumnEstimateAndCountLine) {
  ThumbnailSidebar sidebar(model);
  sidebar.show();
  for (const auto& [width, columns] : {std::pair{115, 1}, {221, 1}, {222, 2}, {328, 3}}) {
    sidebar.resize(width, 300);
    QApplication::processEvents();
    EXPECT_EQ(model.plain().thumbColumns, columns) << "empty, " << width;
  }
  EXPECT_TRUE(sidebar.emptyState()->isVisible());
  EXPECT_FALSE(sidebar.countLine()->isVisible());
  addScans(3);
  EXPECT_FALSE(sidebar.emptyState()->isVisible());
  EXPECT_TRUE(sidebar.countLine()->isVisible());
  EXPECT_EQ(sidebar.countLine()->text(), "3 scans");
  model.setSkipped({id(0), id(2)}, true);
  EXPECT_EQ(sidebar.countLine()->text(), "3 scans \u00B7 2 skipped");
  // With the grid shown the estimate follows the width the cells are laid out in.
  sidebar.resize(222, 300);
  QApplication::processEvents();
  EXPECT_EQ(model.plain().thumbColumns, sidebar.grid()->layout().columns);
  model.plain().thumbColumns = 1;  // the filmstrip's, while it was shown
  sidebar.hide();
  sidebar.show();
  EXPECT_EQ(model.plain().thumbColumns, sidebar.grid()->layout().columns);
}

}  // namespace
