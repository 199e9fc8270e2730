// Selection, marks and keyboard browsing: clicks with modifiers, keys at the ends of the list and
// in a grid, the marquee, the scans a command acts on, and what a change of selection resets.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "LetteredScans.h"

namespace {

// One click: a scan letter, after ⌘ and/or ⇧ when they are held.
void click(LetteredScans& scans, std::string step) {
  bool command = false;
  bool shift = false;
  for (;;) {
    if (step.starts_with("⌘")) {
      command = true;
      step.erase(0, std::string("⌘").size());
    } else if (step.starts_with("⇧")) {
      shift = true;
      step.erase(0, std::string("⇧").size());
    } else {
      break;
    }
  }
  scans.model.selectWithModifiers(*scans.id(step.at(0)), command, shift);
}

// Five scans A–E; 'Z' names a scan that is no longer in the list.
TEST(Selection, ClicksWithModifiers) {
  struct Case {
    const char* name;
    char selected;
    const char* marks;
    char anchor;
    std::vector<std::string> clicks;
    char wantSelected;
    const char* wantMarks;
    char wantAnchor;
  };
  const std::vector<Case> cases = {
      {"plain click clears the marks", 'A', "BD", 'B', {"C"}, 'C', "", 'C'},
      {"⌘ with nothing marked keeps the selected scan", 'A', "", '-', {"⌘B"}, 'B', "AB", 'B'},
      {"second ⌘ on the same scan unmarks it", 'A', "", '-', {"⌘B", "⌘B"}, 'B', "A", 'B'},
      {"⌘ with nothing selected marks the one", '-', "", '-', {"⌘C"}, 'C', "C", 'C'},
      {"⌘ with marks leaves the selected scan out", 'A', "D", 'D', {"⌘B"}, 'B', "BD", 'B'},
      {"⌘ wins over ⇧", 'A', "", 'A', {"⌘⇧D"}, 'D', "AD", 'D'},
      {"⇧ marks from the anchor", 'A', "", 'B', {"⇧E"}, 'E', "BCDE", 'B'},
      {"a second ⇧ replaces the range", 'A', "", 'B', {"⇧E", "⇧A"}, 'A', "AB", 'B'},
      {"⇧ drops earlier marks", 'C', "AE", 'C', {"⇧D"}, 'D', "CD", 'C'},
      {"⇧ without anchor starts at the selection", 'C', "", '-', {"⇧A"}, 'A', "ABC", 'C'},
      {"⇧ with neither is a plain click", '-', "BD", '-', {"⇧C"}, 'C', "", 'C'},
      {"⇧ from a removed anchor is a plain click", 'A', "AB", 'Z', {"⇧D"}, 'D', "", 'D'},
      {"⇧ onto a scan not in the list is a plain click", 'A', "AB", 'A', {"⇧Z"}, '?', "", '?'},
      {"⇧ onto the anchor marks it alone", 'A', "", 'C', {"⇧C"}, 'C', "C", 'C'},
      {"⌘ then ⇧ ranges from the ⌘ scan", 'A', "", '-', {"⌘C", "⇧E"}, 'E', "CDE", 'C'},
      {"⌘ never marks a selected id that names no scan", 'Z', "", '-', {"⌘B"}, 'B', "B", 'B'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(5);
    scans.start(c.selected, c.marks, c.anchor);
    for (const std::string& step : c.clicks) click(scans, step);
    EXPECT_EQ(scans.selected(), c.wantSelected);
    EXPECT_EQ(scans.marks(), c.wantMarks);
    EXPECT_EQ(scans.anchor(), c.wantAnchor);
  }
}

TEST(Selection, BrowseKeys) {
  using Key = AppModel::BrowseKey;
  enum Mode { none, crop, healing, repairPicking };
  struct Case {
    const char* name;
    int count;
    int columns;
    Mode mode;
    char selected;
    const char* marks;
    char anchor;
    Key key;
    bool shift;
    bool wantHandled;
    char wantSelected;
    const char* wantMarks;
    char wantAnchor;
  };
  const std::vector<Case> cases = {
      {"empty list", 0, 1, none, '-', "", '-', Key::right, false, false, '-', "", '-'},
      {"right from nothing", 3, 1, none, '-', "", '-', Key::right, false, true, 'B', "", 'B'},
      {"left from nothing", 3, 1, none, '-', "", '-', Key::left, false, true, '-', "", '-'},
      {"left at the first", 3, 1, none, 'A', "", 'A', Key::left, false, true, 'A', "", 'A'},
      {"right at the last", 3, 1, none, 'C', "", 'C', Key::right, false, true, 'C', "", 'C'},
      {"one scan, down", 1, 4, none, 'A', "", '-', Key::down, false, true, 'A', "", '-'},
      {"arrow keeps marks", 3, 1, none, 'A', "AC", 'C', Key::right, false, true, 'B', "AC", 'B'},
      {"0 columns, down", 9, 0, none, 'B', "", '-', Key::down, false, true, 'C', "", 'C'},
      {"1 column, up", 9, 1, none, 'B', "", '-', Key::up, false, true, 'A', "", 'A'},
      {"4 columns, down", 9, 4, none, 'B', "", '-', Key::down, false, true, 'F', "", 'F'},
      {"4 columns, down clamps", 9, 4, none, 'G', "", '-', Key::down, false, true, 'I', "", 'I'},
      {"4 columns, up", 9, 4, none, 'I', "", '-', Key::up, false, true, 'E', "", 'E'},
      {"4 columns, up clamps", 9, 4, none, 'C', "", '-', Key::up, false, true, 'A', "", 'A'},
      {"4 columns, right", 9, 4, none, 'C', "", '-', Key::right, false, true, 'D', "", 'D'},
      {"⇧ right ranges", 5, 1, none, 'C', "A", 'B', Key::right, true, true, 'D', "BCD", 'B'},
      {"⇧ down ranges", 9, 4, none, 'B', "", '-', Key::down, true, true, 'F', "BCDEF", 'B'},
      {"⇧ at the end", 3, 1, none, 'C', "A", 'A', Key::right, true, true, 'C', "A", 'A'},
      {"mark", 3, 1, none, 'B', "A", '-', Key::mark, false, true, 'B', "AB", 'B'},
      {"mark again", 3, 1, none, 'B', "AB", 'A', Key::mark, false, true, 'B', "A", 'B'},
      {"mark without selection", 3, 1, none, '-', "A", 'A', Key::mark, false, false, '-', "A", 'A'},
      {"mark of an id naming no scan", 3, 1, none, 'Z', "A", 'A', Key::mark, false, false, '?', "A",
       'A'},
      {"crop: arrow", 3, 1, crop, 'A', "", 'A', Key::right, false, false, 'A', "", 'A'},
      {"crop: mark", 3, 1, crop, 'A', "", 'A', Key::mark, false, false, 'A', "", 'A'},
      {"crop: delete", 3, 1, crop, 'A', "", 'A', Key::delete_, false, false, 'A', "", 'A'},
      {"delete outside healing", 3, 1, none, 'A', "B", 'A', Key::delete_, false, false, 'A', "B",
       'A'},
      {"delete while healing", 3, 1, healing, 'A', "B", 'A', Key::delete_, false, false, 'A', "B",
       'A'},
      {"delete picking, none picked", 3, 1, repairPicking, 'A', "B", 'A', Key::delete_, false,
       false, 'A', "B", 'A'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(c.count);
    scans.model.plain().thumbColumns = c.columns;
    scans.start(c.selected, c.marks, c.anchor);
    scans.model.setCropMode(c.mode == crop);
    scans.model.setSpotMode(c.mode == healing || c.mode == repairPicking);
    scans.model.setSpotSelecting(c.mode == repairPicking);
    const std::vector<ImageItem> items = scans.model.items();
    EXPECT_EQ(scans.model.handleBrowseKey(c.key, c.shift), c.wantHandled);
    EXPECT_EQ(scans.selected(), c.wantSelected);
    EXPECT_EQ(scans.marks(), c.wantMarks);
    EXPECT_EQ(scans.anchor(), c.wantAnchor);
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(scans.model.items()[i].settings, items[i].settings);
    }
  }
}

// Delete acts only while healing picks repairs, and only on a picked repair of the shown scan;
// a hair chain goes whole.
TEST(Selection, DeleteRemovesThePickedRepair) {
  struct Case {
    const char* name;
    bool picking;
    int picked;  // index of the spot whose repair is picked; -1 for none, 9 for no repair
    bool wantHandled;
    size_t wantSpots;
  };
  const std::vector<Case> cases = {
      {"a hair chain", true, 1, true, 1},
      {"a single speck", true, 0, true, 2},
      {"nothing picked", true, -1, false, 3},
      {"a pick of no repair", true, 9, false, 3},
      {"healing without picking", false, 1, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(2);
    std::vector<ImageItem> items = scans.model.items();
    const Uuid chain = Uuid::random();
    items[0].settings.spots = {makeSpot(0.1, 0.1, 0.01), makeSpot(0.5, 0.5, 0.01),
                               makeSpot(0.52, 0.5, 0.01)};
    items[0].settings.spots[1].group = chain;
    items[0].settings.spots[2].group = chain;
    scans.model.setItems(items);
    scans.model.setSelection(scans.id('A'));
    scans.model.setSpotMode(true);
    scans.model.setSpotSelecting(c.picking);
    const std::vector<Uuid> repairs = {items[0].settings.spots[0].id, chain};
    if (c.picked >= 0) {
      scans.model.setSelectedRepair(c.picked == 9 ? Uuid::random() : repairs[c.picked]);
    }
    EXPECT_EQ(scans.model.handleBrowseKey(AppModel::BrowseKey::delete_, false), c.wantHandled);
    EXPECT_EQ(scans.model.items()[0].settings.spots.size(), c.wantSpots);
    EXPECT_EQ(scans.selected(), 'A');
  }
}

// Steps of the toolbar and menus: clamped like the arrows, marks and anchor untouched.
TEST(Selection, MoveSelection) {
  struct Case {
    const char* name;
    int count;
    char selected;
    int64_t offset;
    char wantSelected;
  };
  const std::vector<Case> cases = {
      {"empty list", 0, '-', +1, '-'},
      {"next from nothing", 3, '-', +1, 'B'},
      {"previous from nothing", 3, '-', -1, 'A'},
      {"next at the last", 3, 'C', +1, 'C'},
      {"far back", 5, 'C', -5, 'A'},
      {"far on", 5, 'B', +7, 'E'},
      {"from a stray selection", 3, 'Z', +2, 'C'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(c.count);
    scans.model.setSelection(scans.id(c.selected));
    if (c.count > 0) {
      scans.model.setMarked(scans.ids("A"));
      scans.model.plain().rangeAnchor = scans.id('A');
    }
    scans.model.moveSelection(c.offset);
    EXPECT_EQ(scans.selected(), c.wantSelected);
    if (c.count > 0) {
      EXPECT_EQ(scans.marks(), "A");
      EXPECT_EQ(scans.anchor(), 'A');
    }
  }
}

TEST(Selection, MarqueeAndMarkAll) {
  struct Case {
    const char* name;
    char selected;
    const char* marks;
    const char* band;
    char wantSelected;
    const char* wantMarks;
  };
  const std::vector<Case> cases = {
      {"empty band", 'B', "AC", "", 'B', "AC"},
      {"one scan clears the marks", 'B', "AC", "D", 'D', ""},
      {"several keep the selection among them", 'C', "A", "BCD", 'C', "BCD"},
      {"several select the first in list order", 'A', "", "DB", 'B', "BD"},
      {"several with nothing selected", '-', "", "CE", 'C', "CE"},
      {"several of no scan select nothing", 'A', "", "ZY", '-', "??"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(5);
    scans.start(c.selected, c.marks, 'E');
    scans.model.applyMarquee(scans.ids(c.band));
    EXPECT_EQ(scans.selected(), c.wantSelected);
    EXPECT_EQ(scans.marks(), c.wantMarks);
    EXPECT_EQ(scans.anchor(), 'E');
  }
  LetteredScans scans(4);
  scans.model.setSelection(scans.id('B'));
  scans.model.markAll();
  EXPECT_EQ(scans.marks(), "ABCD");
  EXPECT_EQ(scans.selected(), 'B');
  EXPECT_EQ(scans.anchor(), '-');
}

TEST(Selection, TargetsOfCommandsAndContextMenus) {
  struct Case {
    const char* name;
    char selected;
    std::vector<char> markOrder;
    char clicked;
    const char* wantTargets;
    const char* wantContext;
  };
  const std::vector<Case> cases = {
      {"marks in list order", 'B', {'D', 'A', 'C'}, 'C', "ACD", "ACD"},
      {"the selection is no target beside marks", 'B', {'D', 'A'}, 'B', "AD", "B"},
      {"no marks: the selection", 'B', {}, 'D', "B", "D"},
      {"nothing at all", '-', {}, 'D', "", "D"},
      {"one mark clicked", 'B', {'C'}, 'C', "C", "C"},
      {"marks of removed scans are left out", 'B', {'Z', 'E'}, 'E', "E", "E"},
      {"only marks of removed scans: nothing", 'B', {'Z'}, 'B', "", "B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(5);
    scans.model.setSelection(scans.id(c.selected));
    std::set<Uuid> marks;
    for (char letter : c.markOrder) marks.insert(*scans.id(letter));
    scans.model.setMarked(marks);
    EXPECT_EQ(scans.letters(scans.model.targetIDs()), c.wantTargets);
    EXPECT_EQ(scans.letters(scans.model.contextTargets(*scans.id(c.clicked))), c.wantContext);
  }
}

// Leaving scans out of Export All is a session change, never an edit of their records.
TEST(Selection, SkippedFlags) {
  LetteredScans scans(4);
  const std::vector<ImageItem> before = scans.model.items();
  scans.model.setSkipped({}, true);
  EXPECT_TRUE(scans.model.hasUnsavedChanges()) << "set even when nothing changed";
  scans.model.setSkipped({*scans.id('D'), *scans.id('B'), *scans.id('Z')}, true);
  std::string skipped;
  for (const ImageItem& item : scans.model.items()) skipped += item.skipped ? 'x' : '.';
  EXPECT_EQ(skipped, ".x.x");
  scans.model.setSkipped({*scans.id('D')}, false);
  scans.model.setSelection(scans.id('A'));
  scans.model.toggleSkipped();
  scans.model.toggleSkipped(scans.id('B'));
  skipped.clear();
  for (const ImageItem& item : scans.model.items()) skipped += item.skipped ? 'x' : '.';
  EXPECT_EQ(skipped, "x...");
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(scans.model.items()[i].settings, before[i].settings);
  }
  EXPECT_TRUE(scans.model.plain().sidecarTasks.empty());
  EXPECT_TRUE(scans.model.plain().undoStack.empty());

  struct Toggle {
    const char* name;
    char selected;
    std::optional<char> given;
  };
  for (const Toggle& t :
       {Toggle{"no target", '-', std::nullopt}, Toggle{"a stray selection", 'Z', std::nullopt},
        Toggle{"a stray id", 'A', 'Z'}}) {
    SCOPED_TRACE(t.name);
    LetteredScans fresh(2);
    fresh.model.setSelection(fresh.id(t.selected));
    fresh.model.toggleSkipped(t.given ? fresh.id(*t.given) : std::nullopt);
    EXPECT_FALSE(fresh.model.hasUnsavedChanges());
    EXPECT_FALSE(fresh.model.items()[0].skipped || fresh.model.items()[1].skipped);
  }
}

TEST(Selection, RevealShowsTheScanFile) {
  LetteredScans scans(3);
  scans.model.revealInFinder(*scans.id('B'));
  scans.model.revealInFinder(*scans.id('Z'));
  EXPECT_EQ(scans.services.workspace.revealed, std::vector<std::filesystem::path>{"/scans/b.tif"});
}

std::shared_ptr<const PreviewImage> picture() { return std::make_shared<PreviewImage>(); }

// Writing the id already selected, as a binding may, leaves the view of that scan alone.
TEST(SelectionObserver, RewritingTheSameIdChangesNothing) {
  LetteredScans scans(3);
  scans.model.setSelection(scans.id('B'));
  scans.model.setZoom(2.5);
  scans.model.setPan(QSizeF(10, -4));
  const auto detail = picture();
  scans.model.setDetailPreview(detail);
  scans.model.plain().detailTask =
      TaskHandle::start([](std::stop_token) -> QCoro::Task<> { co_return; });
  scans.model.plain().detailFor.emplace(*scans.id('B'), ConversionSettings{}, false, false);
  scans.model.setWbPickMode(true);
  scans.model.setDustCandidates({{makeSpot(0.5, 0.5, 0.01)}});
  const Clock::Moment changed = scans.model.plain().lastSelectionChange;
  scans.services.clock.advance(seconds(1));
  scans.model.plain().browseDirection = -1;

  scans.model.setSelection(scans.id('B'));
  EXPECT_EQ(scans.model.zoom(), 2.5);
  EXPECT_EQ(scans.model.pan(), QSizeF(10, -4));
  EXPECT_EQ(scans.model.detailPreview(), detail);
  EXPECT_FALSE(scans.model.plain().detailTask.isCancelled());
  EXPECT_TRUE(scans.model.plain().detailFor);
  EXPECT_TRUE(scans.model.wbPickMode());
  EXPECT_EQ(scans.model.dustCandidates().size(), 1u);
  EXPECT_EQ(scans.model.plain().lastSelectionChange, changed);
  EXPECT_EQ(scans.model.plain().browseDirection, -1);
}

TEST(SelectionObserver, ANewScanResetsTheViewState) {
  LetteredScans scans(3);
  scans.model.setSelection(scans.id('A'));
  scans.model.setZoom(4);
  scans.model.setPan(QSizeF(3, 3));
  scans.model.setDetailPreview(picture());
  const TaskHandle detail = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await scans.model.clock().sleep(seconds(10), stop);
  });
  scans.model.plain().detailTask = detail;
  scans.model.plain().detailFor.emplace(*scans.id('A'), ConversionSettings{}, false, false);
  const TaskHandle prefetch = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await scans.model.clock().sleep(seconds(10), stop);
  });
  scans.model.plain().prefetchTask = prefetch;
  scans.model.setWbPickMode(true);
  scans.model.setDustCandidates({{makeSpot(0.5, 0.5, 0.01)}});
  scans.model.setKeptDust({Uuid::random()});
  scans.model.plain().dustFor = scans.id('A');
  scans.services.clock.advance(seconds(3));

  scans.model.setSelection(scans.id('C'));
  EXPECT_EQ(scans.model.zoom(), 1);
  EXPECT_EQ(scans.model.pan(), QSizeF(0, 0));
  EXPECT_TRUE(detail.isCancelled());
  EXPECT_TRUE(scans.model.plain().detailTask == detail) << "the handle stays";
  EXPECT_FALSE(scans.model.detailPreview());
  EXPECT_FALSE(scans.model.plain().detailFor);
  EXPECT_FALSE(scans.model.wbPickMode());
  EXPECT_TRUE(scans.model.dustCandidates().empty());
  EXPECT_TRUE(scans.model.keptDust().empty());
  EXPECT_FALSE(scans.model.plain().dustFor);
  EXPECT_EQ(scans.model.plain().lastSelectionChange, scans.services.clock.now());
  EXPECT_TRUE(prefetch.isCancelled());

  // Without finds on screen the dust state is not touched.
  scans.model.plain().dustFor = scans.id('C');
  scans.model.setSelection(scans.id('B'));
  EXPECT_EQ(scans.model.plain().dustFor, scans.id('C'));
}

// In healing mode the snapshot follows the scan shown; crop mode and its snapshot stay.
TEST(SelectionObserver, HealingRetakesItsSnapshot) {
  LetteredScans scans(3);
  std::vector<ImageItem> items = scans.model.items();
  items[1].settings.spots = {makeSpot(0.2, 0.3, 0.01), makeSpot(0.6, 0.1, 0.02)};
  scans.model.setItems(items);
  scans.model.setSelection(scans.id('A'));
  scans.model.setSpotMode(true);
  scans.model.setHealSource(QPointF(0.4, 0.4));
  scans.model.setSelectedRepair(Uuid::random());
  scans.model.setSpotSelecting(true);

  scans.model.setSelection(scans.id('B'));
  ASSERT_TRUE(scans.model.plain().healEntry);
  EXPECT_EQ(scans.model.plain().healEntry->first, *scans.id('B'));
  EXPECT_EQ(scans.model.plain().healEntry->second, items[1].settings.spots);
  EXPECT_FALSE(scans.model.healSource());
  EXPECT_FALSE(scans.model.selectedRepair());
  EXPECT_TRUE(scans.model.spotMode());
  EXPECT_TRUE(scans.model.spotSelecting());

  scans.model.setSelection(*scans.id('Z'));
  EXPECT_FALSE(scans.model.plain().healEntry);
  EXPECT_TRUE(scans.model.spotMode());

  LetteredScans cropping(2);
  cropping.model.setSelection(cropping.id('A'));
  cropping.model.setCropMode(true);
  cropping.model.setSelection(cropping.id('B'));
  EXPECT_TRUE(cropping.model.cropMode());
  EXPECT_EQ(cropping.model.plain().cropEntry, cropping.model.items()[0].settings);
  EXPECT_FALSE(cropping.model.plain().healEntry);
}

// The prefetch looks ahead in the direction of browsing; a jump from or to a scan outside the
// list says nothing about the direction.
TEST(SelectionObserver, BrowseDirection) {
  struct Case {
    const char* name;
    char from;
    char to;
    int start;
    int want;
  };
  const std::vector<Case> cases = {
      {"back", 'C', 'A', +1, -1},         {"on", 'A', 'D', -1, +1},
      {"from nothing", '-', 'A', -1, -1}, {"from no scan", 'Z', 'A', -1, -1},
      {"to no scan", 'D', 'Z', +1, +1},   {"to nothing", 'D', '-', +1, +1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(4);
    scans.model.setSelection(scans.id(c.from));
    scans.model.plain().browseDirection = c.start;
    scans.model.setSelection(scans.id(c.to));
    EXPECT_EQ(scans.model.plain().browseDirection, c.want);
  }
}

// The thumbnail is published inside the write of the selection, before control returns to the
// event loop; the unconverted scan and the uncropped frame keep the old picture until the render.
TEST(SelectionObserver, ThumbnailShowsInTheSameTurn) {
  struct Case {
    const char* name;
    bool thumbnail;
    bool showNegative;
    bool cropMode;
    bool wantThumbnail;
  };
  const std::vector<Case> cases = {
      {"with a thumbnail", true, false, false, true},
      {"without one", false, false, false, false},
      {"showing the negative", true, true, false, false},
      {"in crop mode", true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(2);
    std::vector<ImageItem> items = scans.model.items();
    const auto thumbnail = picture();
    if (c.thumbnail) items[1].thumbnail = thumbnail;
    scans.model.setItems(items);
    scans.model.setSelection(scans.id('A'));
    const auto shown = picture();
    scans.model.setPreview(shown);
    scans.model.setShowNegative(c.showNegative);
    scans.model.setCropMode(c.cropMode);
    QSignalSpy previews(&scans.model, &AppModel::previewChanged);
    scans.model.setSelection(scans.id('B'));
    EXPECT_EQ(scans.model.preview(), c.wantThumbnail ? thumbnail : shown);
    EXPECT_EQ(previews.count(), c.wantThumbnail ? 1 : 0);
  }
}

// A real change of the selection asks for one render; a rewrite of the same id asks for none.
TEST(SelectionObserver, RenderRequests) {
  if (!renderRequestsCounted()) GTEST_SKIP() << "render requests are not counted yet";
  LetteredScans scans(3);
  const auto requests = [&] { return scans.model.plain().renderGen; };
  int64_t before = requests();
  scans.model.setSelection(scans.id('A'));
  EXPECT_EQ(requests() - before, 1);
  before = requests();
  scans.model.setSelection(scans.id('A'));
  scans.model.handleBrowseKey(AppModel::BrowseKey::left, false);
  EXPECT_EQ(requests() - before, 0);
  scans.model.moveSelection(+2);
  EXPECT_EQ(requests() - before, 1);
}

}  // namespace
