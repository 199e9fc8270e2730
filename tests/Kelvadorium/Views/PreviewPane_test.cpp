// The preview pane over a session: which bar, note, badge and loupe place show for the model's
// flags, the bars' texts and buttons, Return and Escape, and the picture host: the overlay it
// lays over the picture, where pointer events land at any zoom and pan, the white-balance pick,
// the split divider and the before half, and pictures or panes of awkward sizes.
#include "Preview/PreviewPane.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <functional>

#include "Model/AppModel.h"
#include "Model/BeforeSettings.h"
#include "Preview/DropHighlight.h"
#include "Preview/PreviewCalls.h"
#include "Preview/PreviewLayers.h"
#include "Preview/PreviewToolBar.h"
#include "Preview/ProgressBadge.h"
#include "Preview/SplitDivider.h"
#include "Preview/StraightenSlider.h"
#include "Preview/ToolBarTexts.h"
#include "Preview/WBPickOverlay.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

std::shared_ptr<const PreviewImage> solidImage(int width, int height, QColor colour) {
  auto image = std::make_shared<PreviewImage>();
  image->screen = QImage(width, height, QImage::Format_RGB888);
  image->screen.fill(colour);
  return image;
}

std::vector<std::vector<Spot>> finds(int count) {
  std::vector<std::vector<Spot>> all;
  for (int i = 0; i < count; ++i) {
    Spot spot;
    spot.id = Uuid::random();
    all.push_back({spot});
  }
  return all;
}

std::set<Uuid> idsOf(const std::vector<std::vector<Spot>>& all, size_t count) {
  std::set<Uuid> ids;
  for (size_t i = 0; i < count; ++i) ids.insert(all[i].front().id);
  return ids;
}

// A session and its pane in a window of their own, beside a text field, with every call the
// pane makes written to a log.
struct Session {
  Session() {
    calls.rotateSelected = [this](int turns) { note("rotateSelected " + std::to_string(turns)); };
    calls.resetStraighten = [this] { note("resetStraighten"); };
    calls.cancelCrop = [this] { note("cancelCrop"); };
    calls.endLiveRotation = [this] {
      note(std::string("endLiveRotation, crop mode ") + (model.cropMode() ? "on" : "off"));
    };
    calls.cancelHealing = [this] { note("cancelHealing"); };
    calls.clearDustCandidates = [this] { note("clearDustCandidates"); };
    calls.removeDust = [this] { note("removeDust"); };
    calls.deleteSelectedRepair = [this] { note("deleteSelectedRepair"); };
    calls.pickWhiteBalance = [this](double x, double y) { picks.emplace_back(x, y); };
    calls.dragSplitDivider = [this](double x, double width) { model.dragSplitDivider(x, width); };

    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    field = new QLineEdit(&window);
    pane = new PreviewPane(model, calls, &window);
    column->addWidget(field);
    column->addWidget(pane, 1);
    window.resize(800, 640);
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
  }

  void note(std::string text) { log.push_back(std::move(text)); }

  // Scans without a picture yet: the selection goes first, so no render starts for files that
  // do not exist.
  void scans(int count = 1) {
    std::vector<ImageItem> items(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) items[static_cast<size_t>(i)].url = "/scans/a.tif";
    model.setSelection(items.front().id);
    model.setItems(items);
  }
  // One scan, selected, with its preview published.
  void shown(int width = 300, int height = 200, QColor colour = Qt::red) {
    scans();
    model.setPreview(solidImage(width, height, colour));
  }
  // The before image of the selected scan as a finished before render leaves it.
  void before(QColor colour) {
    const ImageItem& item = model.items().front();
    model.plain().beforeFor.emplace(item.id, BeforeSettings::of(item.settings), !model.cropMode());
    model.setBeforePreview(solidImage(300, 200, colour));
  }

  ZoomablePreview& host() const { return *pane->picture(); }
  PreviewToolBar& bar() const { return *pane->toolBar(); }
  // The bar's button with this title or tooltip, when shown.
  QAbstractButton* button(const QString& title) const {
    for (auto* b : bar().findChildren<QAbstractButton*>()) {
      if ((b->text() == title || b->toolTip() == title) && b->isVisibleTo(&bar())) return b;
    }
    return nullptr;
  }
  QString shownText() const { return bar().isVisible() ? bar().text() : QString(); }

  // A mouse event sent to the picture host at a widget point, with the buttons then held.
  void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, host().mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(&host(), &event);
  }
  void click(QPointF at) {
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
  }
  // The widget point of a point given in shares of the fitted picture: the picture magnified by
  // the zoom about the host's centre and moved by the pan.
  QPointF widgetPointOf(double u, double v) const {
    const QSizeF fitted = host().fittedSize();
    const double zoom = model.zoom();
    return {(u - 0.5) * fitted.width() * zoom + host().width() / 2.0 + model.pan().width(),
            (v - 0.5) * fitted.height() * zoom + host().height() / 2.0 + model.pan().height()};
  }
  QImage grab() const { return pane->grab().toImage(); }
  QColor pixel(QPointF at) const { return grab().pixelColor(at.toPoint()); }

  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls;
  std::vector<std::string> log;
  std::vector<std::pair<double, double>> picks;
  QWidget window;
  QLineEdit* field = nullptr;
  PreviewPane* pane = nullptr;
};

using SessionStep = std::function<void(Session&)>;

class PreviewPaneTest : public ::testing::Test {
 protected:
  Session s;
};

// --- Which layers show.

TEST(PreviewPaneLayers, TheFirstBarWhoseConditionHoldsShowsAndNoOther) {
  struct Case {
    const char* name;
    SessionStep setUp;
    BarKind bar;
    int loupeBottom;
  };
  const std::vector<Case> cases = {
      {"no scans, a mode on", [](Session& s) { s.model.setRedEyeMode(true); }, BarKind::none, 14},
      {"nothing on", [](Session& s) { s.shown(); }, BarKind::none, 14},
      {"crop with the negative shown",
       [](Session& s) {
         s.shown();
         s.model.setShowNegative(true);
         s.model.setCropMode(true);
       },
       BarKind::crop, 58},
      {"pick while the before view is on",
       [](Session& s) {
         s.shown();
         s.model.setCompareMode(CompareMode::before);
         s.model.setWbPickMode(true);
       },
       BarKind::wbPick, 14},
      {"before view",
       [](Session& s) {
         s.shown();
         s.model.setCompareMode(CompareMode::before);
       },
       BarKind::beforeNote, 14},
      {"dust finds with red eye on",
       [](Session& s) {
         s.shown();
         s.model.setRedEyeMode(true);
         s.model.setDustCandidates(finds(2));
       },
       BarKind::dust, 14},
      {"dust finds with dodge & burn on",
       [](Session& s) {
         s.shown();
         s.model.setDodgeMode(true);
         s.model.setDustCandidates(finds(2));
       },
       BarKind::dust, 14},
      {"dust finds while healing",
       [](Session& s) {
         s.shown();
         s.model.setSpotMode(true);
         s.model.setDustCandidates(finds(2));
       },
       BarKind::dust, 58},
      {"red eye",
       [](Session& s) {
         s.shown();
         s.model.setRedEyeMode(true);
       },
       BarKind::redEye, 14},
      {"dodge & burn",
       [](Session& s) {
         s.shown();
         s.model.setDodgeMode(true);
       },
       BarKind::dodgeBurn, 14},
      {"healing with the negative shown",
       [](Session& s) {
         s.shown();
         s.model.setShowNegative(true);
         s.model.setSpotMode(true);
       },
       BarKind::heal, 58},
      {"negative shown",
       [](Session& s) {
         s.shown();
         s.model.setShowNegative(true);
       },
       BarKind::negativeNote, 58},
      {"scans, no picture yet, red eye",
       [](Session& s) {
         s.scans();
         s.model.setRedEyeMode(true);
       },
       BarKind::redEye, 14},
  };
  for (const Case& c : cases) {
    Session s;
    c.setUp(s);
    EXPECT_EQ(s.bar().kind(), c.bar) << c.name;
    EXPECT_EQ(s.bar().isVisible(), c.bar != BarKind::none) << c.name;
    // Only one capsule is ever on screen.
    EXPECT_EQ(s.pane->findChildren<PreviewToolBar*>().size(), 1) << c.name;
    const bool picture = !s.model.items().empty() && s.model.preview();
    EXPECT_EQ(s.host().isVisible(), picture) << c.name;
    EXPECT_EQ(s.pane->loupeCorner()->isVisible(), picture) << c.name;
    if (picture) {
      const QRect corner = s.pane->loupeCorner()->geometry();
      EXPECT_EQ(s.pane->width() - (corner.x() + corner.width()), 14) << c.name;
      EXPECT_EQ(s.pane->height() - (corner.y() + corner.height()), c.loupeBottom) << c.name;
    }
    if (c.bar != BarKind::none) {
      // The capsule sits centred, 16 points above the bottom edge.
      const QRect capsule = s.bar().geometry();
      EXPECT_EQ(s.pane->height() - (capsule.y() + capsule.height()), 16) << c.name;
      EXPECT_LE(std::abs(capsule.center().x() - s.pane->rect().center().x()), 1) << c.name;
    }
  }
}

TEST(PreviewPaneLayers, TheBadgeShowsWhileARenderRunsWithItsTextForTheDetailAlone) {
  struct Case {
    bool rendering;
    bool detail;
    bool shown;
    const char* text;
  };
  for (const Case& c : std::vector<Case>{{false, false, false, ""},
                                         {true, false, true, ""},
                                         {false, true, true, "Rendering full resolution…"},
                                         {true, true, true, ""}}) {
    Session s;
    s.scans();
    s.model.setIsRendering(c.rendering);
    s.model.setIsRenderingDetail(c.detail);
    EXPECT_EQ(s.pane->badge()->isVisible(), c.shown) << c.rendering << c.detail;
    EXPECT_EQ(s.pane->badge()->text(), QString::fromUtf8(c.text)) << c.rendering << c.detail;
    if (c.shown) {
      // Top-right corner.
      EXPECT_EQ(s.pane->badge()->geometry().right(), s.pane->rect().right());
      EXPECT_EQ(s.pane->badge()->geometry().top(), 0);
    }
  }
}

TEST_F(PreviewPaneTest, TheDropHighlightCoversThePaneOnTopAndTakesNoPointer) {
  s.shown();
  s.model.setRedEyeMode(true);
  EXPECT_FALSE(s.pane->dropHighlight()->isVisible());
  s.pane->setDropTargeted(true);
  EXPECT_TRUE(s.pane->dropHighlight()->isVisible());
  EXPECT_EQ(s.pane->dropHighlight()->geometry(), s.pane->rect());
  EXPECT_EQ(s.pane->childAt(s.pane->rect().center()), &s.host());
  // Drawn over the bar: the dashes run 12 points in from the edges, across the capsule too.
  const QImage picture = s.grab();
  const QColor accent = s.pane->palette().color(QPalette::Highlight);
  int accentPixels = 0;
  for (int x = 12; x < picture.width() - 12; ++x) {
    if (picture.pixelColor(x, picture.height() - 14) == accent) ++accentPixels;
  }
  EXPECT_GT(accentPixels, picture.width() / 3);
  s.pane->setDropTargeted(false);
  EXPECT_FALSE(s.pane->dropHighlight()->isVisible());
}

// --- Texts.

TEST_F(PreviewPaneTest, TheDustBarCountsFindsAndWhatRemovingTakes) {
  s.shown();
  struct Case {
    size_t finds;
    size_t kept;
    const char* text;
    const char* button;
    bool enabled;
  };
  const char* tail =
      ": red ones are removed, orange ones are doubtful and kept. Click any "
      "find to switch it.";
  for (const Case& c :
       std::vector<Case>{{1, 0, "1 possible dust speck", "Remove All Dust (1)", true},
                         {3, 1, "3 possible dust specks", "Remove All Dust (2)", true},
                         {2, 2, "2 possible dust specks", "Remove All Dust (0)", false},
                         {1, 1, "1 possible dust speck", "Remove All Dust (0)", false}}) {
    const auto all = finds(static_cast<int>(c.finds));
    s.model.setDustCandidates(all);
    s.model.setKeptDust(idsOf(all, c.kept));
    EXPECT_EQ(s.shownText(), QString(c.text) + tail) << c.finds << " " << c.kept;
    QAbstractButton* remove = s.bar().confirmButton();
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->text(), c.button);
    EXPECT_EQ(remove->isEnabled(), c.enabled);
  }
  EXPECT_EQ(s.bar().symbol(), "aqi.medium");
}

TEST_F(PreviewPaneTest, TheHealingBarFollowsSelectingBeforeTheTool) {
  s.shown();
  s.model.setHealTool(SpotKind::clone);
  s.model.setSpotMode(true);
  EXPECT_EQ(s.bar().symbol(), "square.on.square.dashed");
  EXPECT_EQ(s.shownText(),
            "Clone: click a spot or paint over it. Alt-click picks the source. Click a repair to "
            "remove it. [ ] change the size.");
  EXPECT_EQ(s.bar().deleteButton(), nullptr);

  // The tool preference changes the text on the bar shown.
  s.model.setHealTool(SpotKind::fill);
  EXPECT_EQ(s.bar().symbol(), "wand.and.rays");
  EXPECT_EQ(s.shownText(),
            "Fill: click a spot or paint over it. Click a repair to remove it. [ ] change the "
            "size.");

  s.model.setSpotSelecting(true);
  EXPECT_EQ(s.bar().symbol(), "cursorarrow.rays");
  EXPECT_EQ(s.shownText(), "Select: this image has no repairs.");
  QPushButton* remove = s.bar().deleteButton();
  ASSERT_NE(remove, nullptr);
  EXPECT_TRUE(remove->isVisible());
  EXPECT_EQ(remove->toolTip(), "Removes the picked repair (Delete key)");
  EXPECT_FALSE(remove->isEnabled());
  s.model.setSelectedRepair(Uuid::random());
  EXPECT_TRUE(remove->isEnabled());
  remove->click();
  EXPECT_EQ(s.log, std::vector<std::string>{"deleteSelectedRepair"});

  s.model.setSpotSelecting(false);
  EXPECT_EQ(s.bar().deleteButton(), nullptr);
  EXPECT_EQ(s.bar().symbol(), "wand.and.rays");
}

TEST(ToolBarTexts, CountsAndHintsReadAsWritten) {
  EXPECT_EQ(ToolBarTexts::selectionText(0), "Select: this image has no repairs.");
  EXPECT_EQ(ToolBarTexts::selectionText(1),
            "Select: 1 repair outlined. Click one to pick it, then Delete removes it.");
  EXPECT_EQ(ToolBarTexts::selectionText(12),
            "Select: 12 repairs outlined. Click one to pick it, then Delete removes it.");

  struct Tool {
    SpotKind kind;
    const char* symbol;
    const char* text;
  };
  for (const Tool& t : std::vector<Tool>{
           {SpotKind::heal, "bandage",
            "Heal: click a spot or paint over it. Alt-click picks the source. Click a repair to "
            "remove it. [ ] change the size."},
           {SpotKind::ai, "sparkles",
            "AI Remove: paint over what should go; it is filled in when you let go (a few "
            "seconds). Click a repair to remove it. [ ] change the size."}}) {
    EXPECT_EQ(ToolBarTexts::healSymbol(false, t.kind), t.symbol);
    EXPECT_EQ(ToolBarTexts::healToolText(t.kind), t.text);
    EXPECT_EQ(ToolBarTexts::healSymbol(true, t.kind), "cursorarrow.rays");
  }

  struct Dodge {
    const char* layer;
    DodgeShape shape;
    bool brushOnly;
    const char* text;
  };
  const char* own =
      "this layer has its gradient; drag the centre pin to move it, + New Layer for another.";
  for (const Dodge& d : std::vector<Dodge>{
           {"New layer", DodgeShape::brush, true,
            "New layer: drag to paint, [ ] change the size. Alt-click a shape to remove it."},
           {"Sky", DodgeShape::brush, false,
            "Sky: drag to paint, [ ] change the size. Alt-click a shape to remove it."},
           {"Sky", DodgeShape::linear, true,
            "Sky: drag from full effect to none; drag a centre pin to move. Alt-click a shape to "
            "remove it."},
           {"Sky", DodgeShape::radial, true,
            "Sky: drag from the centre outward; drag a centre pin to move. Alt-click a shape to "
            "remove it."},
           {"Sky", DodgeShape::radial, false, nullptr},
           {"Sky", DodgeShape::linear, false, nullptr}}) {
    const QString expected =
        d.text ? QString(d.text) : QString("Sky: ") + own + " Alt-click a shape to remove it.";
    EXPECT_EQ(ToolBarTexts::dodgeText(d.layer, d.shape, d.brushOnly), expected);
  }

  // printf's "%+.2f" in the C locale, whatever the process locale.
  for (const auto& [degrees, text] : std::vector<std::pair<double, const char*>>{{0, "+0.00°"},
                                                                                 {2.5, "+2.50°"},
                                                                                 {-1.234, "-1.23°"},
                                                                                 {-0.001, "-0.00°"},
                                                                                 {45, "+45.00°"}}) {
    EXPECT_EQ(ToolBarTexts::angleText(degrees), QString::fromUtf8(text)) << degrees;
  }
}

TEST_F(PreviewPaneTest, TheOtherBarsReadAsWrittenWithTheirSymbolsAndButtons) {
  s.shown();
  struct Case {
    const char* name;
    SessionStep setUp;
    const char* symbol;
    const char* text;
    std::vector<const char*> buttons;
  };
  const std::vector<Case> cases = {
      {"pick",
       [](Session& s) { s.model.setWbPickMode(true); },
       "eyedropper",
       "Click something that should be neutral grey (a grey wall, a white shirt in shade).",
       {"Cancel"}},
      {"before",
       [](Session& s) { s.model.setCompareMode(CompareMode::before); },
       "",
       "Before (press \\ to go back)",
       {}},
      {"red eye",
       [](Session& s) { s.model.setRedEyeMode(true); },
       "eye",
       "Red Eye: click a red pupil, or drag from its centre outward. [ ] change the size. "
       "Alt-click to remove.",
       {"Done"}},
      {"dodge & burn, no layer selected",
       [](Session& s) { s.model.setDodgeMode(true); },
       "square.3.layers.3d",
       "New layer: drag to paint, [ ] change the size. Alt-click a shape to remove it.",
       {"Done"}},
      {"negative",
       [](Session& s) { s.model.setShowNegative(true); },
       "",
       "Showing the scan before conversion",
       {}},
  };
  for (const Case& c : cases) {
    for (auto off : {&AppModel::setWbPickMode, &AppModel::setRedEyeMode, &AppModel::setDodgeMode,
                     &AppModel::setShowNegative}) {
      (s.model.*off)(false);
    }
    s.model.setCompareMode(CompareMode::off);
    c.setUp(s);
    EXPECT_EQ(s.bar().symbol(), c.symbol) << c.name;
    EXPECT_EQ(s.shownText(), c.text) << c.name;
    QStringList titles;
    for (auto* b : s.bar().findChildren<QAbstractButton*>()) {
      if (b->isVisibleTo(&s.bar())) titles << b->text();
    }
    QStringList expected;
    for (const char* t : c.buttons) expected << t;
    EXPECT_EQ(titles, expected) << c.name;
  }
}

TEST_F(PreviewPaneTest, TheCropBarTurnsResetsAndCommitsTheRotationBeforeLeaving) {
  s.shown();
  s.model.setCropMode(true);
  EXPECT_EQ(s.bar().angleText(), "+0.00°");
  s.button("Rotate 90° left")->click();
  s.button("Rotate 90° right")->click();
  QLabel* angle = nullptr;
  for (auto* label : s.bar().findChildren<QLabel*>()) {
    if (label->toolTip() == "Double-click to reset") angle = label;
  }
  ASSERT_NE(angle, nullptr);
  EXPECT_EQ(angle->alignment() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_EQ(angle->width(), 56);
  QTest::mouseDClick(angle, Qt::LeftButton);
  EXPECT_EQ(s.button("Cancel")->toolTip(), "Back to the crop and rotation from before (Esc)");
  s.button("Cancel")->click();
  EXPECT_EQ(s.log, (std::vector<std::string>{"rotateSelected -1", "rotateSelected 1",
                                             "resetStraighten", "cancelCrop"}));

  s.log.clear();
  s.model.setCropMode(true);
  QAbstractButton* apply = s.button("Apply");
  ASSERT_NE(apply, nullptr);
  EXPECT_EQ(apply->toolTip(), "Finish cropping and rotating (Return)");
  apply->click();
  EXPECT_EQ(s.log, std::vector<std::string>{"endLiveRotation, crop mode on"});
  EXPECT_FALSE(s.model.cropMode());
  EXPECT_FALSE(s.bar().isVisible());
}

// In a pane too narrow for the whole crop bar the slider narrows; nothing lies over anything.
TEST_F(PreviewPaneTest, TheCropBarInANarrowPaneNarrowsItsSliderAndOverlapsNothing) {
  s.shown();
  s.model.setCropMode(true);
  for (int width : {800, 520, 400}) {
    s.window.resize(width, 640);
    QApplication::processEvents();
    const PreviewToolBar& bar = s.bar();
    ASSERT_TRUE(bar.isVisible()) << width;
    if (width >= 520) {
      EXPECT_GE(bar.geometry().left(), 0) << width;
      EXPECT_LE(bar.geometry().right(), s.pane->width()) << width;
    } else {
      // Too narrow for the narrowest bar: centred, both ends cut alike.
      EXPECT_LE(std::abs(bar.geometry().left() + bar.geometry().right() - s.pane->width()), 2);
    }
    std::vector<QRect> items;
    for (auto* child : bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (child->isVisibleTo(&bar)) items.push_back(child->geometry());
    }
    std::sort(items.begin(), items.end(), [](QRect a, QRect b) { return a.left() < b.left(); });
    for (size_t i = 1; i < items.size(); ++i) {
      EXPECT_LE(items[i - 1].right(), items[i].left()) << width << " item " << i;
    }
    if (width == 800) {
      EXPECT_EQ(bar.findChild<StraightenSlider*>()->width(), 240);
    } else {
      EXPECT_LT(bar.findChild<StraightenSlider*>()->width(), 240) << width;
    }
  }
}

TEST_F(PreviewPaneTest, EachBarsButtonsDoTheirWork) {
  s.shown();
  struct Case {
    const char* name;
    SessionStep setUp;
    const char* button;
    std::vector<std::string> log;
    std::function<bool(const AppModel&)> after;
  };
  auto off = [](bool (AppModel::*flag)() const) {
    return [flag](const AppModel& m) { return !(m.*flag)(); };
  };
  auto any = [](const AppModel&) { return true; };
  const std::vector<Case> cases = {
      {"pick cancel",
       [](Session& s) { s.model.setWbPickMode(true); },
       "Cancel",
       {},
       off(&AppModel::wbPickMode)},
      {"red eye done",
       [](Session& s) { s.model.setRedEyeMode(true); },
       "Done",
       {},
       off(&AppModel::redEyeMode)},
      {"dodge done",
       [](Session& s) { s.model.setDodgeMode(true); },
       "Done",
       {},
       off(&AppModel::dodgeMode)},
      {"heal apply",
       [](Session& s) { s.model.setSpotMode(true); },
       "Apply",
       {},
       off(&AppModel::spotMode)},
      {"heal cancel",
       [](Session& s) { s.model.setSpotMode(true); },
       "Cancel",
       {"cancelHealing"},
       any},
      {"dust cancel",
       [](Session& s) { s.model.setDustCandidates(finds(2)); },
       "Cancel",
       {"clearDustCandidates"},
       any},
      {"dust remove",
       [](Session& s) { s.model.setDustCandidates(finds(2)); },
       "Remove All Dust (2)",
       {"removeDust"},
       any},
  };
  for (const Case& c : cases) {
    s.log.clear();
    s.model.setSpotMode(false);
    s.model.setDustCandidates({});
    c.setUp(s);
    QAbstractButton* b = s.button(c.button);
    ASSERT_NE(b, nullptr) << c.name;
    b->click();
    EXPECT_EQ(s.log, c.log) << c.name;
    EXPECT_TRUE(c.after(s.model)) << c.name;
  }
}

// --- Keys.

TEST_F(PreviewPaneTest, ReturnAndEscapePressTheShownBarsButtonsOnly) {
  s.shown();
  struct Case {
    const char* name;
    SessionStep setUp;
    int key;
    Qt::KeyboardModifiers modifiers;
    std::vector<std::string> log;
  };
  const std::vector<Case> cases = {
      {"crop, Escape",
       [](Session& s) { s.model.setCropMode(true); },
       Qt::Key_Escape,
       Qt::NoModifier,
       {"cancelCrop"}},
      {"crop, Return",
       [](Session& s) { s.model.setCropMode(true); },
       Qt::Key_Return,
       Qt::NoModifier,
       {"endLiveRotation, crop mode on"}},
      {"crop, keypad Enter",
       [](Session& s) { s.model.setCropMode(true); },
       Qt::Key_Enter,
       Qt::KeypadModifier,
       {"endLiveRotation, crop mode on"}},
      {"crop, Shift+Return",
       [](Session& s) { s.model.setCropMode(true); },
       Qt::Key_Return,
       Qt::ShiftModifier,
       {}},
      {"crop, Ctrl+Escape",
       [](Session& s) { s.model.setCropMode(true); },
       Qt::Key_Escape,
       Qt::ControlModifier,
       {}},
      {"healing, Escape",
       [](Session& s) { s.model.setSpotMode(true); },
       Qt::Key_Escape,
       Qt::NoModifier,
       {"cancelHealing"}},
      {"dust, Return",
       [](Session& s) { s.model.setDustCandidates(finds(2)); },
       Qt::Key_Return,
       Qt::NoModifier,
       {"removeDust"}},
      {"dust, Escape",
       [](Session& s) { s.model.setDustCandidates(finds(2)); },
       Qt::Key_Escape,
       Qt::NoModifier,
       {"clearDustCandidates"}},
      {"dust, every find kept, Return",
       [](Session& s) {
         const auto all = finds(2);
         s.model.setDustCandidates(all);
         s.model.setKeptDust(idsOf(all, 2));
       },
       Qt::Key_Return,
       Qt::NoModifier,
       {}},
      {"before note, Return and Escape",
       [](Session& s) { s.model.setCompareMode(CompareMode::before); },
       Qt::Key_Escape,
       Qt::NoModifier,
       {}},
  };
  for (const Case& c : cases) {
    s.log.clear();
    s.model.setCropMode(false);
    s.model.setSpotMode(false);
    s.model.setDustCandidates({});
    s.model.setKeptDust({});
    s.model.setCompareMode(CompareMode::off);
    c.setUp(s);
    s.field->clearFocus();
    QTest::keyClick(&s.window, static_cast<Qt::Key>(c.key), c.modifiers);
    EXPECT_EQ(s.log, c.log) << c.name;
  }

  // Escape in pick mode and Return in red-eye mode write their flags.
  s.model.setCompareMode(CompareMode::off);
  s.model.setWbPickMode(true);
  s.field->clearFocus();
  QTest::keyClick(&s.window, Qt::Key_Escape);
  EXPECT_FALSE(s.model.wbPickMode());
  s.model.setRedEyeMode(true);
  s.field->clearFocus();
  QTest::keyClick(&s.window, Qt::Key_Return);
  EXPECT_FALSE(s.model.redEyeMode());
}

TEST_F(PreviewPaneTest, KeysInAFocusedTextFieldStayThere) {
  s.shown();
  s.model.setCropMode(true);
  s.field->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::focusWidget(), s.field);
  QTest::keyClick(s.field, Qt::Key_Escape);
  QTest::keyClick(s.field, Qt::Key_Return);
  EXPECT_TRUE(s.log.empty());
  EXPECT_TRUE(s.model.cropMode());

  // A key for another window does not reach this pane's bar.
  QWidget other;
  other.show();
  QTest::keyClick(&other, Qt::Key_Escape);
  EXPECT_TRUE(s.log.empty());
}

// --- The picture host.

TEST(PreviewLayers, TheOverlayIsTheFirstRuleThatHolds) {
  struct Case {
    const char* name;
    PreviewFlags flags;
    OverlayKind overlay;
  };
  auto flags = [](auto set) {
    PreviewFlags f;
    f.hasScans = true;
    set(f);
    return f;
  };
  const std::vector<Case> cases = {
      {"nothing", flags([](PreviewFlags&) {}), OverlayKind::none},
      {"pick", flags([](PreviewFlags& f) { f.wbPickMode = true; }), OverlayKind::wbPick},
      {"pick while dust waits", flags([](PreviewFlags& f) { f.wbPickMode = f.dustWaiting = true; }),
       OverlayKind::wbPick},
      {"pick in crop mode", flags([](PreviewFlags& f) { f.wbPickMode = f.cropMode = true; }),
       OverlayKind::none},
      {"crop before the uncropped preview", flags([](PreviewFlags& f) { f.cropMode = true; }),
       OverlayKind::none},
      {"crop with the uncropped preview",
       flags([](PreviewFlags& f) { f.cropMode = f.previewIsUncropped = true; }), OverlayKind::crop},
      {"crop with dust waiting",
       flags([](PreviewFlags& f) { f.cropMode = f.previewIsUncropped = f.dustWaiting = true; }),
       OverlayKind::crop},
      {"dust over healing", flags([](PreviewFlags& f) { f.dustWaiting = f.spotMode = true; }),
       OverlayKind::dust},
      {"dust over dodge & burn", flags([](PreviewFlags& f) { f.dustWaiting = f.dodgeMode = true; }),
       OverlayKind::dust},
      {"dodge & burn", flags([](PreviewFlags& f) { f.dodgeMode = true; }), OverlayKind::dodgeBurn},
      {"red eye", flags([](PreviewFlags& f) { f.redEyeMode = true; }), OverlayKind::redEye},
      {"healing", flags([](PreviewFlags& f) { f.spotMode = true; }), OverlayKind::spot},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreviewLayers::toolOverlay(c.flags), c.overlay) << c.name;
  }

  struct Split {
    const char* name;
    PreviewFlags flags;
    bool beforeHalf;
    bool divider;
  };
  auto split = [&](auto set) {
    return flags([&](PreviewFlags& f) {
      f.compareMode = CompareMode::split;
      f.hasBefore = true;
      set(f);
    });
  };
  for (const Split& c : std::vector<Split>{
           {"split", split([](PreviewFlags&) {}), true, true},
           {"split, no before image", split([](PreviewFlags& f) { f.hasBefore = false; }), false,
            false},
           {"split in crop mode", split([](PreviewFlags& f) { f.cropMode = true; }), false, false},
           {"split while healing", split([](PreviewFlags& f) { f.spotMode = true; }), true, false},
           {"split while picking", split([](PreviewFlags& f) { f.wbPickMode = true; }), true,
            false},
           {"split in red-eye mode", split([](PreviewFlags& f) { f.redEyeMode = true; }), true,
            true},
           {"before view", split([](PreviewFlags& f) { f.compareMode = CompareMode::before; }),
            false, false}}) {
    EXPECT_EQ(PreviewLayers::beforeHalf(c.flags), c.beforeHalf) << c.name;
    EXPECT_EQ(PreviewLayers::divider(c.flags), c.divider) << c.name;
  }
}

TEST_F(PreviewPaneTest, TheHostLaysThePickOverlayAndNoCropOverlayBeforeTheUncroppedPreview) {
  s.shown();
  EXPECT_EQ(s.host().toolOverlay(), nullptr);
  s.model.setWbPickMode(true);
  EXPECT_EQ(s.host().overlayKind(), OverlayKind::wbPick);
  EXPECT_NE(dynamic_cast<WBPickOverlay*>(s.host().toolOverlay()), nullptr);
  s.model.setCropMode(true);
  EXPECT_EQ(s.host().overlayKind(), OverlayKind::none);
  EXPECT_EQ(s.host().toolOverlay(), nullptr);
  s.model.setPreviewIsUncropped(true);
  EXPECT_EQ(s.host().overlayKind(), OverlayKind::crop);
}

TEST_F(PreviewPaneTest, ClicksLandOnThePicturesPointsAtAnyZoomAndPan) {
  s.shown(300, 200);
  s.model.setWbPickMode(true);
  struct Case {
    double zoom;
    QSizeF pan;
    double u;
    double v;
  };
  for (const Case& c : std::vector<Case>{{1, {0, 0}, 0.25, 0.5},
                                         {1, {0, 0}, 0.9, 0.1},
                                         {2, {30, -20}, 0.3, 0.6},
                                         {2, {-45.5, 12}, 0.55, 0.45}}) {
    s.picks.clear();
    s.model.setZoom(c.zoom);
    s.model.setPan(c.pan);
    const QPointF at = s.widgetPointOf(c.u, c.v);
    s.click(at);
    ASSERT_EQ(s.picks.size(), 1u) << c.zoom << " " << c.u;
    // The event's point is a whole pixel here: within one screen pixel of the aim.
    const QSizeF fitted = s.host().fittedSize() * c.zoom;
    EXPECT_NEAR(s.picks[0].first, c.u, 1 / fitted.width()) << c.zoom;
    EXPECT_NEAR(s.picks[0].second, c.v, 1 / fitted.height()) << c.zoom;
  }

  // A press outside the picture reaches no overlay, in the margin or beyond the magnified edge.
  s.picks.clear();
  s.model.setZoom(1);
  s.model.setPan({0, 0});
  s.click(s.widgetPointOf(-0.02, 0.5));
  s.click(s.widgetPointOf(0.5, 1.03));
  EXPECT_TRUE(s.picks.empty());
  // A drag is not a click.
  s.mouse(QEvent::MouseButtonPress, s.widgetPointOf(0.5, 0.5), Qt::LeftButton);
  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.7, 0.5), Qt::LeftButton);
  s.mouse(QEvent::MouseButtonRelease, s.widgetPointOf(0.7, 0.5), Qt::NoButton);
  EXPECT_TRUE(s.picks.empty());
}

TEST_F(PreviewPaneTest, ThePickOverlayPassesCornersAndShowsTheCrosshairOnlyOverThePicture) {
  s.shown(300, 200);
  s.model.setWbPickMode(true);
  PreviewOverlay& overlay = *s.host().toolOverlay();
  const QSizeF size = s.host().fittedSize();
  for (QPointF corner : {QPointF(0, 0), QPointF(size.width(), size.height())}) {
    const OverlayPointer pointer{corner, Qt::LeftButton, Qt::NoModifier, {size, 1}};
    overlay.press(pointer);
    overlay.release({corner, Qt::NoButton, Qt::NoModifier, {size, 1}});
  }
  EXPECT_EQ(s.picks, (std::vector<std::pair<double, double>>{{0, 0}, {1, 1}}));

  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.5, 0.5), Qt::NoButton);
  EXPECT_EQ(s.host().cursor().shape(), Qt::CrossCursor);
  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.2, 0.7), Qt::NoButton);
  EXPECT_EQ(s.host().cursor().shape(), Qt::CrossCursor);
  s.mouse(QEvent::MouseMove, s.widgetPointOf(-0.03, 0.5), Qt::NoButton);
  EXPECT_EQ(s.host().cursor().shape(), Qt::ArrowCursor);
  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.5, 0.5), Qt::NoButton);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&s.host(), &leave);
  EXPECT_EQ(s.host().cursor().shape(), Qt::ArrowCursor);

  // Leaving pick mode takes the overlay and its crosshair away.
  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.5, 0.5), Qt::NoButton);
  s.model.setWbPickMode(false);
  EXPECT_EQ(s.host().toolOverlay(), nullptr);
  EXPECT_EQ(s.host().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PreviewPaneTest, TheDividerFollowsPressesAndDragsWithinItsLimits) {
  s.shown(300, 200, Qt::red);
  s.before(Qt::blue);
  s.model.setCompareMode(CompareMode::split);
  ASSERT_NE(s.model.currentBeforePreview(), nullptr);
  ASSERT_NE(s.host().divider(), nullptr);

  // A press without movement moves it there.
  s.mouse(QEvent::MouseButtonPress, s.widgetPointOf(0.3, 0.8), Qt::LeftButton);
  EXPECT_NEAR(s.model.splitPosition(), 0.3, 0.01);
  // Dragged beyond the edges, even outside the pane, it stops at 2 % and 98 %.
  s.mouse(QEvent::MouseMove, QPointF(-200, 100), Qt::LeftButton);
  EXPECT_DOUBLE_EQ(s.model.splitPosition(), 0.02);
  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.99, 0.5), Qt::LeftButton);
  EXPECT_DOUBLE_EQ(s.model.splitPosition(), 0.98);
  s.mouse(QEvent::MouseMove, s.widgetPointOf(0.6, 0.5), Qt::LeftButton);
  s.mouse(QEvent::MouseButtonRelease, s.widgetPointOf(0.6, 0.5), Qt::NoButton);
  EXPECT_NEAR(s.model.splitPosition(), 0.6, 0.01);

  // Labels keep clear of the edges.
  struct Labels {
    double x;
    double width;
    QPointF before;
    QPointF after;
  };
  for (const Labels& l : std::vector<Labels>{{10, 500, {34, 14}, {46, 14}},
                                             {250, 500, {210, 14}, {286, 14}},
                                             {495, 500, {455, 14}, {470, 14}}}) {
    EXPECT_EQ(SplitDivider::beforeLabelCentre(l.x), l.before) << l.x;
    EXPECT_EQ(SplitDivider::afterLabelCentre(l.x, l.width), l.after) << l.x;
  }

  // Healing hides the divider; the before half stays and a press goes nowhere.
  s.model.setSpotMode(true);
  EXPECT_EQ(s.host().divider(), nullptr);
  s.click(s.widgetPointOf(0.2, 0.5));
  EXPECT_NEAR(s.model.splitPosition(), 0.6, 0.01);
}

TEST_F(PreviewPaneTest, TheBeforeHalfIsMaskedToTheSplitPosition) {
  s.shown(300, 200, Qt::red);
  s.before(Qt::blue);
  s.model.setCompareMode(CompareMode::split);
  s.model.setSplitPosition(0.25);
  auto colourAt = [&](double u) { return s.pixel(s.widgetPointOf(u, 0.75)); };
  EXPECT_EQ(colourAt(0.1), QColor(Qt::blue));
  EXPECT_EQ(colourAt(0.2), QColor(Qt::blue));
  EXPECT_EQ(colourAt(0.3), QColor(Qt::red));
  EXPECT_EQ(colourAt(0.9), QColor(Qt::red));
  // The divider's white line at the position, whitish where it covers part of a pixel.
  const QColor line = colourAt(0.25);
  EXPECT_TRUE(line.red() > 150 && line.green() > 150 && line.blue() > 150)
      << line.name().toStdString();

  // Zoomed and moved, the mask moves with the picture.
  s.model.setZoom(2);
  s.model.setPan({40, 0});
  EXPECT_EQ(colourAt(0.22), QColor(Qt::blue));
  EXPECT_EQ(colourAt(0.28), QColor(Qt::red));

  // Crop mode shows neither half nor divider; the before view shows the before picture whole.
  s.model.setZoom(1);
  s.model.setPan({0, 0});
  s.model.setCropMode(true);
  EXPECT_EQ(colourAt(0.1), QColor(Qt::red));
  s.model.setCropMode(false);
  s.before(Qt::blue);
  s.model.setCompareMode(CompareMode::before);
  EXPECT_EQ(colourAt(0.9), QColor(Qt::blue));
}

TEST_F(PreviewPaneTest, EachPublishedImageHasItsReducedCopiesAndTheEarlierOnesGo) {
  s.shown(2400, 1600, Qt::red);
  s.grab();
  // The reduced copies come from a worker: 1200, 600 and 300 pixels wide.
  for (int i = 0; i < 500 && !s.host().pixmaps().reduced(s.model.preview().get()); ++i) {
    QTest::qWait(5);
  }
  ASSERT_TRUE(s.host().pixmaps().reduced(s.model.preview().get()));
  EXPECT_EQ(s.host().pixmaps().pixmapCount(), 4);
  // Together under a third of the image's pixels, at four bytes each.
  EXPECT_LE(s.host().pixmaps().reducedBytes() / 4 * 3, 2400 * 1600);
  s.grab();
  EXPECT_EQ(s.host().pixmaps().pixmapCount(), 4);
  s.model.setPreview(solidImage(2400, 1600, Qt::green));
  // Drawn from the image itself until its copies arrive; the earlier image's are gone.
  EXPECT_EQ(s.pixel(s.widgetPointOf(0.5, 0.5)), QColor(Qt::green));
  EXPECT_EQ(s.host().pixmaps().pixmapCount(), 1);
  for (int i = 0; i < 500 && !s.host().pixmaps().reduced(s.model.preview().get()); ++i) {
    QTest::qWait(5);
  }
  EXPECT_EQ(s.pixel(s.widgetPointOf(0.25, 0.75)), QColor(Qt::green));
  // Magnified beyond its pixels, the picture is drawn from the image itself.
  s.model.setZoom(4);
  EXPECT_EQ(s.pixel(s.widgetPointOf(0.5, 0.5)), QColor(Qt::green));
  EXPECT_EQ(s.host().pixmaps().pixmapCount(), 4);

  // The halving averages blocks of four pixels.
  QImage checks(4, 2, QImage::Format_RGB888);
  for (int x = 0; x < 4; ++x) {
    for (int y = 0; y < 2; ++y) checks.setPixelColor(x, y, (x + y) % 2 ? Qt::white : Qt::black);
  }
  const QImage big = checks.scaled(1200, 600);
  const auto chain = PicturePixmaps::reductions(big);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(chain[0].size(), QSize(600, 300));
  EXPECT_EQ(chain[1].size(), QSize(300, 150));
  EXPECT_EQ(chain[0].pixelColor(0, 0), big.pixelColor(0, 0));
  EXPECT_TRUE(PicturePixmaps::reductions(QImage(512, 300, QImage::Format_RGB888)).empty());
}

TEST(PreviewPaneSizes, AwkwardPicturesAndPanesPaintWhatTheyCan) {
  struct Case {
    const char* name;
    int width;
    int height;
    QSize pane;
  };
  for (const Case& c : std::vector<Case>{{"one pixel", 1, 1, {800, 600}},
                                         {"a long strip", 20000, 100, {800, 600}},
                                         {"a tall strip", 100, 20000, {800, 600}},
                                         {"a pane smaller than its margins", 300, 200, {30, 20}},
                                         {"no pane at all", 300, 200, {0, 0}}}) {
    Session s;
    s.shown(c.width, c.height, Qt::red);
    s.model.setWbPickMode(true);
    s.pane->setMinimumSize(0, 0);
    s.window.setMinimumSize(0, 0);
    s.pane->setFixedSize(c.pane);
    QApplication::processEvents();
    const QSizeF fitted = s.host().fittedSize();
    EXPECT_TRUE(std::isfinite(fitted.width()) && std::isfinite(fitted.height())) << c.name;
    if (!c.pane.isEmpty()) {
      const QImage picture = s.grab();
      EXPECT_EQ(picture.size(), c.pane) << c.name;
    }
    if (c.pane.width() > 200) {
      // Where the picture has no pixels the background shows.
      EXPECT_EQ(s.grab().pixelColor(0, 0).rgb(), PreviewPane::background().rgb()) << c.name;
    }
    for (QPointF at : {QPointF(0, 0), QPointF(c.pane.width() / 2.0, c.pane.height() / 2.0)}) {
      s.click(at);
    }
    for (const auto& [x, y] : s.picks) {
      EXPECT_TRUE(x >= 0 && x <= 1 && y >= 0 && y <= 1) << c.name << " " << x << " " << y;
    }
  }

  // Split view whose before image is missing: the picture alone, no divider.
  Session s;
  s.shown(300, 200, Qt::red);
  s.model.setCompareMode(CompareMode::split);
  EXPECT_EQ(s.host().divider(), nullptr);
  EXPECT_EQ(s.pixel(s.widgetPointOf(0.1, 0.5)), QColor(Qt::red));
}

}  // namespace
