// The zoomable preview: its arithmetic (fit, placement, detail wish), scrolls and pinches, the
// event catcher's table and its behaviour in a window (text fields, menus, other windows), the
// held space and pan drags with their cursors, ends of gestures that never see their release,
// the loupe bar, the empty state and the straighten slider.
#include "Preview/ZoomablePreview.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <functional>

#include "Model/AppModel.h"
#include "Preview/CatcherRules.h"
#include "Preview/EmptyDropState.h"
#include "Preview/LoupeBar.h"
#include "Preview/LoupeReadout.h"
#include "Preview/PreviewCalls.h"
#include "Preview/PreviewFit.h"
#include "Preview/PreviewLayers.h"
#include "Preview/PreviewPane.h"
#include "Preview/ScrollZoom.h"
#include "Preview/StraightenSlider.h"
#include "Preview/ZoomEventCatcher.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

// --- Arithmetic.

TEST(PreviewFit, TheFitLeavesItsMarginsAndNeverVanishes) {
  struct Case {
    const char* name;
    QSizeF area;
    QSize pixels;
    bool crop;
    QSizeF fitted;
  };
  for (const Case& c : std::vector<Case>{
           {"landscape, width decides", {1048, 1000}, {3000, 2000}, false, {1000, 1000 * 2 / 3.0}},
           {"landscape, height decides", {2000, 448}, {3000, 2000}, false, {600, 400}},
           {"portrait", {1000, 848}, {2000, 4000}, false, {400, 800}},
           {"crop mode", {1128, 1164}, {3000, 2000}, true, {1000, 1000 * 2 / 3.0}},
           {"crop mode, height decides", {2000, 564}, {3000, 2000}, true, {600, 400}},
           {"an area below the margins", {30, 20}, {300, 200}, false, {1, 2 / 3.0}},
           {"below the crop margins", {100, 100}, {200, 100}, true, {1, 0.5}},
           {"no pixels", {800, 600}, {0, 200}, false, {}},
       }) {
    const QSizeF fitted = PreviewFit::fittedSize(c.area, c.pixels, c.crop);
    EXPECT_NEAR(fitted.width(), c.fitted.width(), 1e-9) << c.name;
    EXPECT_NEAR(fitted.height(), c.fitted.height(), 1e-9) << c.name;
  }
  EXPECT_EQ(PreviewFit::centringOffset(true), -38);
  EXPECT_EQ(PreviewFit::centringOffset(false), 0);
}

TEST(PreviewFit, OverlayPointsFollowZoomPanAndTheCropModeShift) {
  const PreviewFit::Placement crop{{1000, 800}, {600, 400}, 3, {30, -20}, -38};
  // The picture's centre lies at the area's centre moved by the pan and 38 pt up.
  const QPointF centre = PreviewFit::areaPoint(crop, {300, 200});
  EXPECT_NEAR(centre.x(), 530, 1e-9);
  EXPECT_NEAR(centre.y(), 400 - 20 - 38, 1e-9);
  for (QPointF p : {QPointF(0, 0), QPointF(600, 400), QPointF(123.5, 77.25)}) {
    const QPointF back = PreviewFit::overlayPoint(crop, PreviewFit::areaPoint(crop, p));
    EXPECT_NEAR(back.x(), p.x(), 1e-9);
    EXPECT_NEAR(back.y(), p.y(), 1e-9);
  }
  // One point of the picture is three points on screen.
  const QPointF a = PreviewFit::areaPoint(crop, {10, 10});
  const QPointF b = PreviewFit::areaPoint(crop, {11, 10});
  EXPECT_NEAR(b.x() - a.x(), 3, 1e-9);
}

TEST(PreviewFit, TheDetailWishComesWithFifteenPercentToSpare) {
  struct Case {
    const char* name;
    double pixels;
    bool quick;
    double zoom;
    bool wish;
  };
  // Fitted 1200 pt wide on a screen of backing scale 2.
  for (const Case& c : std::vector<Case>{{"full pass, fitted", 2400, false, 1, false},
                                         {"full pass at 1.15", 2400, false, 1.15, false},
                                         {"full pass at 1.16", 2400, false, 1.16, true},
                                         {"quick pass at 1.15", 1200, true, 1.15, false},
                                         {"quick pass at 1.16", 1200, true, 1.16, true},
                                         {"a quick pass counts twice", 1200, false, 1.16, true}}) {
    EXPECT_EQ(PreviewFit::detailWish(c.pixels, c.quick, 1200, c.zoom, 2), c.wish) << c.name;
  }
  EXPECT_EQ(PreviewFit::backingScale(std::nullopt), 2);
  EXPECT_EQ(PreviewFit::backingScale(1.25), 1.25);
  EXPECT_FALSE(PreviewFit::panMode(false, 1.0001, false));
  EXPECT_TRUE(PreviewFit::panMode(false, 1.01, false));
  EXPECT_FALSE(PreviewFit::panMode(false, 3, true));
  EXPECT_TRUE(PreviewFit::panMode(true, 1, true));
}

TEST(ScrollZoom, WheelsZoomAboutThePointerAndTrackpadsPanWhileMagnified) {
  EXPECT_NEAR(ScrollZoom::factor(1, false), std::exp(0.12), 1e-12);
  EXPECT_NEAR(ScrollZoom::factor(-1, false), 1 / std::exp(0.12), 1e-12);
  EXPECT_NEAR(ScrollZoom::factor(10, true), std::exp(0.1), 1e-12);
  for (double wild : {1e300, -1e300, double(INFINITY), -double(INFINITY), double(NAN)}) {
    const double f = ScrollZoom::factor(wild, false);
    EXPECT_TRUE(std::isfinite(f) && f > 0) << wild;
    EXPECT_TRUE(std::isfinite(ScrollZoom::pinchZoom(4, wild))) << wild;
  }

  using Kind = ScrollZoom::Outcome::Kind;
  struct Case {
    const char* name;
    ScrollZoom::Scroll scroll;
    double zoom;
    Kind kind;
  };
  const QSizeF area(1000, 800);
  for (const Case& c : std::vector<Case>{
           {"wheel at the fit", {{0, 1}, false, false, {700, 100}}, 1, Kind::zoom},
           {"trackpad at the fit", {{3, 4}, true, false, {700, 100}}, 1.0001, Kind::pass},
           {"trackpad magnified", {{3, 4}, true, false, {700, 100}}, 1.01, Kind::pan},
           {"trackpad with Ctrl", {{3, 10}, true, true, {700, 100}}, 1, Kind::zoom}}) {
    const ScrollZoom::Outcome o = ScrollZoom::decide(c.scroll, c.zoom, area);
    EXPECT_EQ(o.kind, c.kind) << c.name;
    if (o.kind == Kind::zoom) {
      EXPECT_EQ(o.anchor, QPointF(200, -300)) << c.name;
      EXPECT_NEAR(o.factor, std::exp(c.scroll.precise ? 0.1 : 0.12), 1e-12) << c.name;
    }
    if (o.kind == Kind::pan) {
      EXPECT_EQ(o.panBy, QSizeF(3, 4)) << c.name;
    }
  }
  // A pixel delta makes a scroll precise; angles count in lines of 120.
  const ScrollZoom::Scroll touchpad = ScrollZoom::fromWheel({0, 0}, {0, 240}, false, {});
  EXPECT_FALSE(touchpad.precise);
  EXPECT_EQ(touchpad.delta, QPointF(0, 2));
  EXPECT_TRUE(ScrollZoom::fromWheel({2, 5}, {0, 120}, false, {}).precise);
  EXPECT_NEAR(ScrollZoom::pinchZoom(2, 0.25), 2.5, 1e-12);
}

TEST(CatcherRules, KeysPassOnUnlessTheyAreThePreviewsAlone) {
  using Report = CatcherRules::Decision::Report;
  struct Case {
    const char* name;
    CatcherRules::Key key;
    Report report;
    bool swallow;
    BrowseKey browse = BrowseKey::left;
    bool shift = false;
  };
  auto key = [](int code, QString text = {}, Qt::KeyboardModifiers m = Qt::NoModifier) {
    CatcherRules::Key k;
    k.key = code;
    k.text = std::move(text);
    k.modifiers = m;
    return k;
  };
  auto with = [](CatcherRules::Key k, auto change) {
    change(k);
    return k;
  };
  const auto space = key(Qt::Key_Space, " ");
  const std::vector<Case> cases = {
      {"space", space, Report::spaceDown, true},
      {"space with Ctrl", key(Qt::Key_Space, " ", Qt::ControlModifier), Report::spaceDown, true},
      {"space repeating", with(space, [](auto& k) { k.spaceDown = k.autoRepeat = true; }),
       Report::none, true},
      {"space in a text field", with(space, [](auto& k) { k.textFocus = true; }), Report::none,
       false},
      {"space in another window", with(space, [](auto& k) { k.ownWindow = false; }), Report::none,
       false},
      {"space released", with(space, [](auto& k) { k.press = false, k.spaceDown = true; }),
       Report::spaceUp, true},
      {"a repeat's release",
       with(space, [](auto& k) { k.press = false, k.spaceDown = k.autoRepeat = true; }),
       Report::none, true},
      {"released in another window",
       with(space, [](auto& k) { k.press = false, k.spaceDown = true, k.ownWindow = false; }),
       Report::spaceUp, false},
      {"a release never reported", with(space, [](auto& k) { k.press = false; }), Report::none,
       false},
      {"[", key(Qt::Key_BracketLeft, "["), Report::bracket, false},
      {"] by its text on any layout", key(Qt::Key_unknown, "]"), Report::bracket, false},
      {"[ with Meta", key(Qt::Key_BracketLeft, "[", Qt::MetaModifier), Report::none, false},
      {"[ with AltGr", key(Qt::Key_BracketLeft, "[", Qt::GroupSwitchModifier), Report::bracket,
       false},
      {"[ in a text field",
       with(key(Qt::Key_BracketLeft, "["), [](auto& k) { k.textFocus = true; }), Report::none,
       false},
      {"Backspace", key(Qt::Key_Backspace), Report::browse, false, BrowseKey::delete_},
      {"Delete", key(Qt::Key_Delete), Report::browse, false, BrowseKey::delete_},
      {"Delete with Alt", key(Qt::Key_Delete, {}, Qt::AltModifier), Report::none, false},
      {"Left", key(Qt::Key_Left), Report::browse, false, BrowseKey::left},
      {"Shift+Right", key(Qt::Key_Right, {}, Qt::ShiftModifier), Report::browse, false,
       BrowseKey::right, true},
      {"Up", key(Qt::Key_Up), Report::browse, false, BrowseKey::up},
      {"Down", key(Qt::Key_Down), Report::browse, false, BrowseKey::down},
      {"Ctrl+Left", key(Qt::Key_Left, {}, Qt::ControlModifier), Report::none, false},
      {"Left in a text field", with(key(Qt::Key_Left), [](auto& k) { k.textFocus = true; }),
       Report::none, false},
      {"Left in another window", with(key(Qt::Key_Left), [](auto& k) { k.ownWindow = false; }),
       Report::none, false},
      {"M", key(Qt::Key_M, "m"), Report::browse, false, BrowseKey::mark},
      {"Shift+M", key(Qt::Key_M, "M", Qt::ShiftModifier), Report::none, false},
      {"another key", key(Qt::Key_A, "a"), Report::none, false},
  };
  for (const Case& c : cases) {
    const CatcherRules::Decision d = CatcherRules::decide(c.key);
    EXPECT_EQ(d.report, c.report) << c.name;
    EXPECT_EQ(d.swallow, c.swallow) << c.name;
    if (c.report == Report::browse) {
      EXPECT_EQ(d.browse, c.browse) << c.name;
      EXPECT_EQ(d.shift, c.shift) << c.name;
    }
    if (c.report == Report::bracket) {
      EXPECT_EQ(d.larger, c.key.text == "]") << c.name;
    }
  }
  EXPECT_TRUE(CatcherRules::takesScroll(true, true));
  EXPECT_FALSE(CatcherRules::takesScroll(true, false));
  EXPECT_FALSE(CatcherRules::takesScroll(false, true));
}

TEST(LoupeReadout, ReadsFitPercentOrTimesAndEnablesWithinTheLimits) {
  EXPECT_EQ(LoupeReadout::text(1, 40), "Fit");
  EXPECT_EQ(LoupeReadout::text(1.0001, std::nullopt), "Fit");
  EXPECT_EQ(LoupeReadout::text(2.5, 250), "250%");
  EXPECT_EQ(LoupeReadout::text(2.5, std::nullopt), QString::fromUtf8("2.5×"));
  EXPECT_EQ(LoupeReadout::text(12.34, std::nullopt), QString::fromUtf8("12.3×"));
  EXPECT_FALSE(LoupeReadout::canZoomOut(1.0001));
  EXPECT_TRUE(LoupeReadout::canZoomOut(1.0002));
  // The largest zoom: max(4 × 1:1, 8).
  EXPECT_TRUE(LoupeReadout::canZoomIn(7.998, 1));
  EXPECT_FALSE(LoupeReadout::canZoomIn(7.9995, 1));
  EXPECT_TRUE(LoupeReadout::canZoomIn(11.99, 3));
  EXPECT_FALSE(LoupeReadout::canZoomIn(11.9995, 3));
}

TEST(PreviewLayers, TheClippingMaskShowsWhenWantedAndMeasuredOutsideCropMode) {
  struct Case {
    bool showClipping, hasMask, crop, shown;
  };
  for (const Case& c : std::vector<Case>{{true, true, false, true},
                                         {true, false, false, false},
                                         {false, true, false, false},
                                         {true, true, true, false}}) {
    PreviewFlags f;
    f.showClipping = c.showClipping;
    f.hasClipMask = c.hasMask;
    f.cropMode = c.crop;
    EXPECT_EQ(PreviewLayers::clipMask(f), c.shown) << c.showClipping << c.hasMask << c.crop;
  }
}

// --- In a window.

std::shared_ptr<const PreviewImage> solidImage(int width, int height, QColor colour) {
  auto image = std::make_shared<PreviewImage>();
  image->screen = QImage(width, height, QImage::Format_RGB888);
  image->screen.fill(colour);
  return image;
}

// Records what reaches it, in overlay points; stands in the healing overlay's place.
class RecordingOverlay final : public PreviewOverlay {
 public:
  void paint(QPainter&, const OverlayFrame&) override {}
  void press(const OverlayPointer& p) override { presses.push_back(p.point); }
  void move(const OverlayPointer& p) override { moves.push_back(p.point); }
  void release(const OverlayPointer&) override { ++releases; }
  void hover(const OverlayPointer&) override { ++hovers; }
  std::vector<QPointF> presses;
  std::vector<QPointF> moves;
  int releases = 0;
  int hovers = 0;
};

// A main window with a menu command on Ctrl+Left, a text field above the preview pane, and a
// session of two scans, the first selected and shown.
struct Window {
  Window() {
    calls = PreviewCalls::of(model);
    calls.showAddPanel = [this] { ++addPanels; };
    auto* centre = new QWidget(&window);
    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    field = new QLineEdit(centre);
    pane = new PreviewPane(model, calls, centre);
    column->addWidget(field);
    column->addWidget(pane, 1);
    window.setCentralWidget(centre);
    previous = window.menuBar()->addMenu("Go")->addAction("Previous");
    previous->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left));
    QObject::connect(previous, &QAction::triggered, [this] { ++previousCommands; });
    host().makeSpotOverlay = [this](AppModel&) {
      auto made = std::make_unique<RecordingOverlay>();
      overlay = made.get();
      return made;
    };
    window.resize(1000, 800);
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    // The text field took the keyboard as the window came up; the tests give it back.
    field->clearFocus();
  }

  void scans(int count = 2) {
    std::vector<ImageItem> items(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) items[static_cast<size_t>(i)].url = "/scans/a.tif";
    model.setSelection(items.front().id);
    model.setItems(items);
  }
  void shown(int width = 300, int height = 200) {
    scans();
    model.setPreview(solidImage(width, height, Qt::red));
    QApplication::processEvents();
  }

  ZoomablePreview& host() const { return *pane->picture(); }
  QWindow* handle() const { return window.windowHandle(); }

  // A key as the system hands it to the window: through shortcuts, the catcher, then widgets.
  void key(Qt::Key code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(handle(), code, modifiers);
  }
  // A key as the system hands it to the window, with its repeat flag.
  void rawKey(QEvent::Type type, Qt::Key code, bool repeat = false) {
    qt_handleKeyEvent(handle(), type, code, Qt::NoModifier, code == Qt::Key_Space ? " " : "",
                      repeat);
  }
  // A wheel event at a point of the pane.
  void wheel(QPointF inPane, QPoint angle, QPoint pixels = {},
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF at = pane->mapTo(&window, inPane);
    QWheelEvent event(at, window.mapToGlobal(at), pixels, angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(handle(), &event);
  }
  void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, host().mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&host(), &event);
  }
  void drag(QPointF from, QPointF to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
  }
  Qt::CursorShape cursor() const { return host().cursor().shape(); }

  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls;
  int addPanels = 0;
  int previousCommands = 0;
  QMainWindow window;
  QLineEdit* field = nullptr;
  PreviewPane* pane = nullptr;
  QAction* previous = nullptr;
  RecordingOverlay* overlay = nullptr;
};

// Another window of the application takes the keyboard, then closes.
void activateAnotherWindow() {
  auto* other = new QWidget;
  other->setAttribute(Qt::WA_DeleteOnClose);
  other->show();
  QApplication::setActiveWindow(other);
  QApplication::processEvents();
  other->close();
}

// Counts the events of one type that reach a widget.
class Arrivals final : public QObject {
 public:
  Arrivals(QObject& watched, QEvent::Type type) : type_(type) { watched.installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++count;
    return false;
  }
  int count = 0;

 private:
  QEvent::Type type_;
};

TEST(ZoomablePreviewWindow, TheWheelZoomsAboutThePointerAndPassesOnOutside) {
  Window w;
  w.shown(600, 400);
  // Magnified first, so that the pan limits leave the point its place.
  w.model.setZoom(2, 0, 0);
  const QPointF at(w.host().width() * 0.7, w.host().height() * 0.35);
  const QPointF under = w.host().overlayPoint(at);
  Arrivals reached(w.host(), QEvent::Wheel);
  w.wheel(at, {0, 120});
  EXPECT_NEAR(w.model.zoom(), 2 * std::exp(0.12), 1e-9);
  const QPointF still = w.host().overlayPoint(at);
  EXPECT_NEAR(still.x(), under.x(), 1e-6);
  EXPECT_NEAR(still.y(), under.y(), 1e-6);
  EXPECT_EQ(reached.count, 0) << "handled scrolls are swallowed";

  // Over the text field above the pane: not the preview's.
  const double zoom = w.model.zoom();
  Arrivals field(*w.field, QEvent::Wheel);
  const QPointF aboveField = w.pane->mapFrom(&w.window, w.field->mapTo(&w.window, QPointF(10, 5)));
  w.wheel(aboveField, {0, 120});
  EXPECT_EQ(w.model.zoom(), zoom);
  EXPECT_EQ(field.count, 1);

  // A wild wheel still asks for a finite zoom, which the model holds at its largest.
  w.wheel(at, {0, 120 * 100000});
  EXPECT_TRUE(std::isfinite(w.model.zoom()));
  EXPECT_DOUBLE_EQ(w.model.zoom(), 8);
  w.wheel(at, {0, -120 * 100000});
  EXPECT_DOUBLE_EQ(w.model.zoom(), 1);
}

TEST(ZoomablePreviewWindow, TrackpadScrollsPanWhenMagnifiedAndPassOnAtTheFit) {
  Window w;
  w.shown(600, 400);
  const QPointF at = w.host().rect().center();
  Arrivals reached(w.host(), QEvent::Wheel);
  w.wheel(at, {0, 30}, {0, 30});
  EXPECT_EQ(w.model.zoom(), 1);
  EXPECT_EQ(w.model.pan(), QSizeF(0, 0));
  EXPECT_EQ(reached.count, 1) << "at the fit the scroll goes on to the window";

  w.model.setZoom(3, 0, 0);
  w.wheel(at, {-20, 30}, {-20, 30});
  EXPECT_EQ(w.model.pan(), QSizeF(-20, 30));
  EXPECT_EQ(reached.count, 1);
  // With Ctrl a precise scroll zooms by e^(dy · 0.01).
  w.wheel(at, {0, 10}, {0, 10}, Qt::ControlModifier);
  EXPECT_NEAR(w.model.zoom(), 3 * std::exp(0.1), 1e-9);
}

TEST(ZoomablePreviewWindow, HeldSpacePansWithItsHandsAndTheOverlayHearsNothing) {
  Window w;
  w.shown(600, 400);
  w.model.setSpotMode(true);
  ASSERT_NE(w.overlay, nullptr);
  w.model.setZoom(3, 0, 0);
  int reports = 0;
  auto onSpace = w.host().catcher().onSpace;
  w.host().catcher().onSpace = [&](bool down) {
    ++reports;
    onSpace(down);
  };

  const QPointF centre = w.host().rect().center();
  // Without space a drag in healing mode goes to the overlay, in picture points.
  w.drag(centre, centre + QPointF(30, 0));
  ASSERT_EQ(w.overlay->presses.size(), 1u);
  const QPointF expected = w.host().overlayPoint(centre);
  EXPECT_NEAR(w.overlay->presses[0].x(), expected.x(), 1e-9);
  EXPECT_EQ(w.model.pan(), QSizeF(0, 0));
  *w.overlay = RecordingOverlay();

  w.rawKey(QEvent::KeyPress, Qt::Key_Space);
  for (int i = 0; i < 5; ++i) w.rawKey(QEvent::KeyPress, Qt::Key_Space, true);
  w.rawKey(QEvent::KeyRelease, Qt::Key_Space, true);  // a repeat's release
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(w.host().spaceHeld());
  EXPECT_EQ(w.cursor(), Qt::OpenHandCursor);

  w.mouse(QEvent::MouseButtonPress, centre, Qt::LeftButton);
  w.mouse(QEvent::MouseMove, centre + QPointF(1, 0), Qt::LeftButton);
  EXPECT_EQ(w.model.pan(), QSizeF(0, 0)) << "under 2 points a drag has not begun";
  w.mouse(QEvent::MouseMove, centre + QPointF(40, -25), Qt::LeftButton);
  EXPECT_EQ(w.model.pan(), QSizeF(40, -25));
  EXPECT_EQ(w.cursor(), Qt::ClosedHandCursor);
  w.mouse(QEvent::MouseButtonRelease, centre + QPointF(40, -25), Qt::NoButton);
  EXPECT_EQ(w.cursor(), Qt::OpenHandCursor);
  // A click with space held reaches nothing either.
  w.mouse(QEvent::MouseButtonPress, centre, Qt::LeftButton);
  w.mouse(QEvent::MouseButtonRelease, centre, Qt::NoButton);
  EXPECT_TRUE(w.overlay->presses.empty());
  EXPECT_TRUE(w.overlay->moves.empty());
  EXPECT_EQ(w.overlay->releases, 0);
  EXPECT_EQ(w.overlay->hovers, 0);

  w.rawKey(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(reports, 2);
  EXPECT_FALSE(w.host().spaceHeld());
  EXPECT_TRUE(w.host().pushedCursors().empty());

  // In the margin, with no tool on and magnified, a drag pans too.
  w.model.setSpotMode(false);
  w.model.setPan({0, 0});
  w.drag({3, 3}, {13, 3});
  EXPECT_EQ(w.model.pan(), QSizeF(10, 0));
  // At the fit a plain drag does nothing.
  w.model.setZoom(1.0);
  w.model.setPan({0, 0});
  w.drag(centre, centre + QPointF(50, 0));
  EXPECT_EQ(w.model.pan(), QSizeF(0, 0));
}

TEST(ZoomablePreviewWindow, OverlaysGetPicturePointsAtZoomThreeWithPan) {
  Window w;
  w.shown(600, 400);
  w.model.setSpotMode(true);
  w.model.setZoom(3, 0, 0);
  w.model.setPan(w.model.clampedPan({45, -30}));
  ASSERT_EQ(w.model.pan(), QSizeF(45, -30));
  const QSizeF fitted = w.host().fittedSize();
  for (QPointF p : {QPointF(fitted.width() / 2, fitted.height() / 2),
                    QPointF(fitted.width() * 0.45, fitted.height() * 0.55)}) {
    w.overlay->presses.clear();
    // The widget point of picture point p: centre + pan + (p − fitted/2) × 3.
    const QPointF at(w.host().width() / 2.0 + 45 + (p.x() - fitted.width() / 2) * 3,
                     w.host().height() / 2.0 - 30 + (p.y() - fitted.height() / 2) * 3);
    w.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    w.mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    ASSERT_EQ(w.overlay->presses.size(), 1u);
    EXPECT_NEAR(w.overlay->presses[0].x(), p.x(), 1e-9);
    EXPECT_NEAR(w.overlay->presses[0].y(), p.y(), 1e-9);
  }
}

TEST(ZoomablePreviewWindow, KeysGoToAFocusedTextFieldAndCtrlArrowsToTheMenu) {
  Window w;
  w.shown();
  const auto first = w.model.selection();
  w.field->setText("ab");
  w.field->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::focusWidget(), w.field);
  w.key(Qt::Key_Left);
  w.key(Qt::Key_Space);
  w.key(Qt::Key_BracketLeft);
  w.key(Qt::Key_M);
  EXPECT_EQ(w.field->text(), "a [mb");
  w.key(Qt::Key_Backspace);
  EXPECT_EQ(w.field->text(), "a [b");
  EXPECT_FALSE(w.host().spaceHeld());
  EXPECT_EQ(w.model.selection(), first);

  // Without a text field the arrow browses, and Ctrl+Left is the menu's.
  w.field->clearFocus();
  w.host().setFocus();
  QApplication::processEvents();
  w.key(Qt::Key_Right);
  EXPECT_EQ(w.model.selection(), w.model.items()[1].id);
  w.key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(w.previousCommands, 1);
  EXPECT_EQ(w.model.selection(), w.model.items()[1].id);
  // A key meant for another window is left alone.
  QWidget other;
  other.show();
  QTest::keyClick(other.windowHandle(), Qt::Key_Left);
  EXPECT_EQ(w.model.selection(), w.model.items()[1].id);
}

// A held space, a pan or a pinch that never sees its end must not outlive the window's focus
// or the preview: every drag would pan and the tools would get nothing.
TEST(ZoomablePreviewWindow, GesturesEndWhenTheWindowLosesTheKeyboardOrThePreviewGoes) {
  struct Case {
    const char* name;
    std::function<void(Window&)> interrupt;
  };
  for (const Case& c : std::vector<Case>{
           {"window deactivated", [](Window&) { activateAnotherWindow(); }},
           {"preview hidden", [](Window& w) { w.model.setItems({}); }},
       }) {
    Window w;
    w.shown(600, 400);
    w.model.setZoom(3, 0, 0);
    int ups = 0;
    auto onSpace = w.host().catcher().onSpace;
    w.host().catcher().onSpace = [&](bool down) {
      ups += down ? 0 : 1;
      onSpace(down);
    };
    w.rawKey(QEvent::KeyPress, Qt::Key_Space);
    const QPointF centre = w.host().rect().center();
    w.mouse(QEvent::MouseButtonPress, centre, Qt::LeftButton);
    w.mouse(QEvent::MouseMove, centre + QPointF(20, 0), Qt::LeftButton);
    ASSERT_TRUE(w.host().panning()) << c.name;
    ASSERT_EQ(w.host().pushedCursors().size(), 2u) << c.name;

    c.interrupt(w);
    EXPECT_EQ(ups, 1) << c.name;
    EXPECT_FALSE(w.host().spaceHeld()) << c.name;
    EXPECT_FALSE(w.host().catcher().spaceDown()) << c.name;
    EXPECT_FALSE(w.host().panning()) << c.name;
    EXPECT_TRUE(w.host().pushedCursors().empty()) << c.name;
    EXPECT_NE(w.host().cursor().shape(), Qt::ClosedHandCursor) << c.name;
    // The late release of the space is passed on, reported no more.
    w.rawKey(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(ups, 1) << c.name;
  }

  // The preview destroyed mid-gesture: the catcher goes with it.
  auto w = std::make_unique<Window>();
  w->shown(600, 400);
  w->rawKey(QEvent::KeyPress, Qt::Key_Space);
  QWindow* handle = w->handle();
  delete w->pane;
  qt_handleKeyEvent(handle, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
  w.reset();
}

TEST(ZoomablePreviewWindow, PinchesZoomFromTheirStartAndWildOnesStayFinite) {
  Window w;
  w.shown(600, 400);
  w.model.setZoom(2, 0, 0);
  auto gesture = [&](Qt::NativeGestureType type, double value) {
    const QPointF at = w.host().rect().center();
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                              w.host().mapToGlobal(at), value, {}, 0);
    QApplication::sendEvent(&w.host(), &event);
  };
  gesture(Qt::BeginNativeGesture, 0);
  gesture(Qt::ZoomNativeGesture, 0.005);
  EXPECT_EQ(w.model.zoom(), 2) << "below the least change";
  gesture(Qt::ZoomNativeGesture, 0.245);
  EXPECT_NEAR(w.model.zoom(), 2.5, 1e-9);
  gesture(Qt::ZoomNativeGesture, 1e308);
  EXPECT_TRUE(std::isfinite(w.model.zoom()));
  gesture(Qt::EndNativeGesture, 0);
}

TEST(ZoomablePreviewWindow, ThePreviewPublishesItsGeometryAndWishesForDetail) {
  Window w;
  w.shown(2400, 1600);
  const QSizeF fitted = w.host().fittedSize();
  EXPECT_EQ(w.model.plain().viewportContainer, QSizeF(w.host().size()));
  EXPECT_EQ(w.model.plain().viewportFitted, fitted);
  EXPECT_EQ(w.model.plain().oneToOneZoom, 1) << "kept while the full size is unknown";
  w.model.setFullPixelSize({6000, 4000});
  const double b = w.host().backingScale();
  EXPECT_NEAR(w.model.plain().oneToOneZoom, 6000 / (fitted.width() * b), 1e-9);

  // Crop mode publishes the smaller fit, 38 pt higher.
  w.model.setCropMode(true);
  EXPECT_LT(w.model.plain().viewportFitted.width(), fitted.width());
  EXPECT_NEAR(w.host().widgetPoint({0, 0}).y() + w.model.plain().viewportFitted.height() / 2,
              w.host().height() / 2.0 - 38, 1e-9);
  w.model.setCropMode(false);

  // Detail once the picture spans 15 % more device pixels than the preview has.
  const double threshold = 2400 * 1.15 / (fitted.width() * b);
  w.model.setZoom(threshold * 0.99, 0, 0);
  EXPECT_FALSE(w.model.plain().wantsDetail);
  w.model.setZoom(threshold * 1.01, 0, 0);
  EXPECT_TRUE(w.model.plain().wantsDetail);

  // A picture without pixels publishes nothing.
  Window empty;
  empty.scans();
  empty.model.setPreview(solidImage(0, 0, Qt::red));
  EXPECT_EQ(empty.model.plain().viewportFitted, QSizeF(0, 0));
  EXPECT_FALSE(empty.pane->grab().isNull());
}

TEST(ZoomablePreviewWindow, TheLoupeBarZoomsAboutTheCentreAndFitsDirectly) {
  Window w;
  w.shown(600, 400);
  LoupeBar& loupe = *w.pane->loupeBar();
  EXPECT_TRUE(loupe.isVisible());
  EXPECT_EQ(loupe.readout(), "Fit");
  EXPECT_FALSE(loupe.zoomOutButton()->isEnabled());
  EXPECT_EQ(loupe.zoomOutButton()->toolTip(), "Zoom out (Ctrl+-, or scroll)");
  loupe.zoomInButton()->click();
  EXPECT_DOUBLE_EQ(w.model.zoom(), 1.5);
  EXPECT_EQ(w.model.pan(), QSizeF(0, 0));
  EXPECT_EQ(loupe.readout(), QString::fromUtf8("1.5×"));
  EXPECT_TRUE(loupe.zoomOutButton()->isEnabled());
  w.model.setFullPixelSize({6000, 4000});
  EXPECT_EQ(loupe.readout(), QString::number(*w.model.zoomPercent()) + "%");
  loupe.oneToOneButton()->click();
  EXPECT_DOUBLE_EQ(w.model.zoom(), w.model.plain().oneToOneZoom);
  EXPECT_EQ(loupe.readout(), "100%");
  w.model.setZoom(8, 0, 0);
  w.model.setPan(w.model.clampedPan({100, 100}));
  EXPECT_EQ(loupe.zoomInButton()->isEnabled(),
            w.model.zoom() < std::max(4 * w.model.plain().oneToOneZoom, 8.0) - 0.001);
  loupe.fitButton()->click();
  EXPECT_EQ(w.model.zoom(), 1);
  EXPECT_EQ(w.model.pan(), QSizeF(0, 0));
  EXPECT_EQ(loupe.readout(), "Fit");
  // No button binds the menu's keys.
  for (auto* button : loupe.findChildren<QToolButton*>()) {
    EXPECT_TRUE(button->shortcut().isEmpty());
  }
}

TEST(ZoomablePreviewWindow, TheEmptyStateShowsWithoutScansAndOpensTheAddPanel) {
  Window w;
  EmptyDropState& empty = *w.pane->emptyState();
  EXPECT_TRUE(empty.isVisible());
  EXPECT_FALSE(w.pane->loupeCorner()->isVisible());
  bool said = false;
  for (auto* label : empty.findChildren<QLabel*>()) {
    said = said || label->text() == "Drop negative scans or a folder here";
  }
  EXPECT_TRUE(said);
  empty.addButton()->click();
  EXPECT_EQ(w.addPanels, 1);
  EXPECT_TRUE(empty.addButton()->shortcut().isEmpty());
  w.shown();
  EXPECT_FALSE(empty.isVisible());
  EXPECT_TRUE(w.host().isVisible());
}

TEST(ZoomablePreviewWindow, TheCropOverlaysRotateHandleExplainsItself) {
  Window w;
  w.shown(600, 400);
  w.model.setCropMode(true);
  w.model.setPreviewIsUncropped(true);
  w.pane->grab();  // the overlay learns its size as it paints
  PreviewOverlay* crop = w.host().toolOverlay();
  ASSERT_NE(crop, nullptr);
  const QSizeF fitted = w.host().fittedSize();
  const QPointF handle(std::min(fitted.width() - 16, fitted.width() + 28),
                       std::min(fitted.height() - 16, fitted.height() / 2 + 56));
  EXPECT_EQ(crop->toolTip(handle), "Drag to rotate freely");
  EXPECT_EQ(crop->toolTip({fitted.width() / 2, fitted.height() / 2}), "");
}

// --- The straighten slider.

struct SliderSession {
  SliderSession() {
    ImageItem item;
    item.url = "/scans/a.tif";
    model.setSelection(item.id);
    model.setItems({item});
    model.setPreview(solidImage(300, 200, Qt::red));
    slider = new StraightenSlider(model, &window);
    slider->setGeometry(0, 0, 240, 24);
    window.resize(300, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
  }
  QPoint knob() const {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
        .center();
  }
  void press() { QTest::mousePress(slider, Qt::LeftButton, {}, knob()); }
  void moveBy(int dx) {
    const QPoint to = knob() + QPoint(dx, 0);
    QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(slider, &move);
  }
  void release() { QTest::mouseRelease(slider, Qt::LeftButton, {}, knob()); }
  size_t steps() const { return model.plain().undoStack.size(); }
  double skew() const { return model.items().front().settings.skewDegrees; }

  TestServices services;
  AppModel model{services.services()};
  QWidget window;
  StraightenSlider* slider = nullptr;
};

TEST(StraightenSliderWindow, ADragTurnsThePictureOnlyAndItsEndCommitsOnce) {
  SliderSession s;
  const size_t before = s.steps();
  s.press();
  s.moveBy(30);
  EXPECT_GT(s.model.liveRotation(), 0);
  EXPECT_EQ(s.skew(), 0) << "the record waits for the end";
  EXPECT_EQ(s.steps(), before);
  s.release();
  EXPECT_EQ(s.steps(), before + 1);
  EXPECT_GT(s.skew(), 0);

  // Pressed and let go without moving: nothing.
  const size_t after = s.steps();
  s.press();
  s.release();
  EXPECT_EQ(s.steps(), after);
}

TEST(StraightenSliderWindow, ADragCutShortEndsAsAReleaseAndAKeyStepIsAWholeEdit) {
  struct Case {
    const char* name;
    std::function<void(SliderSession&)> cut;
  };
  for (const Case& c : std::vector<Case>{
           {"hidden", [](SliderSession& s) { s.slider->hide(); }},
           {"destroyed", [](SliderSession& s) { delete s.slider; }},
           {"window deactivated", [](SliderSession&) { activateAnotherWindow(); }},
       }) {
    SliderSession s;
    const size_t before = s.steps();
    s.press();
    s.moveBy(30);
    ASSERT_GT(s.model.liveRotation(), 0) << c.name;
    c.cut(s);
    EXPECT_EQ(s.steps(), before + 1) << c.name;
    EXPECT_GT(s.skew(), 0) << c.name;
    EXPECT_FALSE(s.model.plain().isRotating) << c.name;
  }

  SliderSession s;
  s.slider->setFocus();
  const size_t before = s.steps();
  QTest::keyClick(s.slider, Qt::Key_Right);
  EXPECT_EQ(s.steps(), before + 1);
  EXPECT_NEAR(s.skew(), 0.05, 1e-9);
  EXPECT_FALSE(s.model.plain().isRotating);
  // The next step within 0.7 s merges into the same undo step.
  QTest::keyClick(s.slider, Qt::Key_PageDown);
  EXPECT_EQ(s.steps(), before + 1);
  EXPECT_LT(s.skew(), 0);
  EXPECT_FALSE(s.model.plain().isRotating);
}

}  // namespace
