// How the preview puts its picture on screen: the kept upright drawing must look exactly like
// drawing straight onto the device, the turned drawing like the painter's own smooth turn, and
// a frame painted on a pool thread like one painted in place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <functional>
#include <memory>

#include "Preview/BufferedFrame.h"
#include "Preview/PicturePixmaps.h"
#include "Rendering/PreviewImage.h"

namespace {

// A picture with detail in every channel, so any shift or blur shows.
std::shared_ptr<PreviewImage> texture(int width, int height) {
  auto image = std::make_shared<PreviewImage>();
  image->screen = QImage(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image->screen.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uchar>(x * 7 + y);
      row[3 * x + 1] = static_cast<uchar>(y * 5 + (x ^ y));
      row[3 * x + 2] = static_cast<uchar>(128 + 100 * std::sin(x * 0.3) * std::cos(y * 0.2));
    }
  }
  return image;
}

QImage canvas(QSize size, double ratio = 1) {
  QImage image(size * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(QColor(33, 33, 33));
  return image;
}

// The largest difference of any channel of any pixel within `area`.
int largestDifference(const QImage& a, const QImage& b, QRect area) {
  int most = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                       std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return most;
}

TEST(PictureDrawing, TheKeptFittedDrawingLooksLikeDrawingStraightOnTheDevice) {
  // Fitted at a fraction of a pixel, reduced from the screen copy, at one and two device pixels
  // per point.
  for (double ratio : {1.0, 2.0}) {
    const auto picture = texture(900, 600);
    const QRectF target(20.3, 11.6, 450.5, 300.3);
    const QRectF area(0, 0, 500, 340);
    QImage direct = canvas(area.size().toSize(), ratio);
    {
      QPainter painter(&direct);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(target, picture->screen);
    }
    PicturePixmaps pixmaps;  // copies made at once
    QImage first = canvas(area.size().toSize(), ratio);
    QImage again = canvas(area.size().toSize(), ratio);
    {
      QPainter painter(&first);
      pixmaps.draw(painter, picture, target, area);
    }
    {
      // Drawn from what was kept, a part at a time as a partial repaint would.
      QPainter painter(&again);
      pixmaps.draw(painter, picture, target, QRectF(0, 0, 250, 340));
      pixmaps.draw(painter, picture, target, QRectF(250, 0, 250, 340));
    }
    EXPECT_EQ(largestDifference(first, direct, first.rect()), 0) << ratio;
    EXPECT_EQ(largestDifference(again, first, first.rect()), 0) << ratio;
  }
}

TEST(PictureDrawing, ATurnedPictureMatchesThePaintersSmoothTurn) {
  // At one copy pixel per device pixel, and from the kept drawing of a reduced picture.
  struct Case {
    const char* name;
    QSize picture;
    QRectF target;
    double degrees;
  };
  for (const Case& c : {Case{"one to one", {400, 300}, {50, 40, 400, 300}, 3.5},
                        Case{"reduced", {900, 600}, {40.5, 30.25, 420, 280}, -12},
                        Case{"steep", {200, 150}, {150, 115, 200, 150}, 31}}) {
    const auto picture = texture(c.picture.width(), c.picture.height());
    const QSize size(500, 380);
    PicturePixmaps pixmaps;
    QImage ours = canvas(size);
    {
      QPainter painter(&ours);
      pixmaps.draw(painter, picture, c.target, QRectF(QPointF(0, 0), size), c.degrees);
    }
    // The painter's own: the copy it would draw from, drawn upright in place, then turned.
    const auto chain = PicturePixmaps::reductions(picture->screen);
    QImage level = picture->screen.convertToFormat(QImage::Format_RGB32);
    for (const QImage& reduced : chain) {
      if (reduced.width() >= c.target.width()) level = reduced;
    }
    QImage upright(size, QImage::Format_ARGB32_Premultiplied);
    upright.fill(Qt::transparent);
    {
      QPainter painter(&upright);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(c.target, level);
    }
    QImage theirs = canvas(size);
    {
      QPainter painter(&theirs);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.translate(c.target.center());
      painter.rotate(c.degrees);
      painter.translate(-c.target.center());
      painter.drawImage(QPointF(0, 0), upright);
    }
    // Inside the turned picture, away from its edges.
    const QRect inside = c.target
                             .adjusted(c.target.width() / 4, c.target.height() / 4,
                                       -c.target.width() / 4, -c.target.height() / 4)
                             .toRect();
    EXPECT_LE(largestDifference(ours, theirs, inside), 40) << c.name;
    int close = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
      for (int x = inside.left(); x <= inside.right(); ++x) {
        close += largestDifference(ours, theirs, QRect(x, y, 1, 1)) <= 3;
      }
    }
    EXPECT_GE(close, inside.width() * inside.height() * 95 / 100) << c.name;
    // Outside it the background stays; the corners are where the turned outline puts them.
    EXPECT_EQ(ours.pixelColor(2, 2), QColor(33, 33, 33)) << c.name;
    QTransform turn;
    turn.translate(c.target.center().x(), c.target.center().y());
    turn.rotate(c.degrees);
    const QPointF corner = turn.map(QPointF(-c.target.width() / 2 + 3, -c.target.height() / 2 + 3));
    EXPECT_NE(ours.pixelColor(corner.toPoint()), QColor(33, 33, 33)) << c.name;
  }
}

TEST(PictureDrawing, AFramePaintedOnAPoolThreadLooksLikeOnePaintedInPlace) {
  const QSize size(300, 200);
  auto scene = [](QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.drawEllipse(QPointF(150, 100), 60, 40);
    painter.fillRect(QRectF(10.5, 20.25, 80, 150), QColor(200, 40, 40, 128));
  };
  for (double ratio : {1.0, 2.0}) {
    QImage inPlace = canvas(size, ratio);
    {
      QPainter painter(&inPlace);
      painter.fillRect(QRect(QPoint(0, 0), size), QColor(33, 33, 33));
      scene(painter);
    }
    BufferedFrame frame;
    QImage buffered = canvas(size, ratio);
    {
      QPainter painter(&buffered);
      frame.paint(painter, size, QRect(QPoint(0, 0), size), QColor(33, 33, 33), scene);
    }
    EXPECT_EQ(largestDifference(buffered, inPlace, buffered.rect()), 0) << ratio;

    // Asked on a pool thread itself: painted in place, all the same.
    QImage inPool = canvas(size, ratio);
    QSemaphore done;
    QThreadPool::globalInstance()->start([&] {
      {
        QPainter painter(&inPool);
        BufferedFrame another;
        another.paint(painter, size, QRect(QPoint(0, 0), size), QColor(33, 33, 33), scene);
      }
      done.release();
    });
    done.acquire();
    EXPECT_EQ(largestDifference(inPool, inPlace, inPool.rect()), 0) << ratio;

    // A part only: the rest of the device is left as it was.
    QImage part = canvas(size, ratio);
    part.fill(Qt::blue);
    {
      QPainter painter(&part);
      frame.paint(painter, size, QRect(0, 0, 100, 200), QColor(33, 33, 33), scene);
    }
    EXPECT_EQ(largestDifference(part, inPlace, QRect(0, 0, int(100 * ratio), part.height())), 0);
    EXPECT_EQ(part.pixelColor(part.width() - 1, 0), QColor(Qt::blue));
  }
}

// A child widget that paints its frame through a BufferedFrame, as the preview does.
class FramedWidget final : public QWidget {
 public:
  using Scene = std::function<void(QPainter&)>;
  FramedWidget(QWidget* parent, Scene scene) : QWidget(parent), scene_(std::move(scene)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QPainter painter(this);
    frame_.paint(painter, size(), event->rect(), QColor(33, 33, 33), scene_);
  }

 private:
  Scene scene_;
  BufferedFrame frame_;
};

class BlueWidget final : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::blue); }
};

// In a window the frame goes straight into the window's pixels: placed at the widget's offset,
// within the part Qt asked for, and nowhere over the widgets around it.
TEST(PictureDrawing, AWidgetsFrameLandsAtItsPlaceInTheWindowAndNowhereElse) {
  const QSize size(200, 120);
  int scenePaints = 0;
  auto scene = [&](QPainter& painter) {
    ++scenePaints;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.drawEllipse(QPointF(100, 60), 60, 40);
    painter.fillRect(QRectF(10.5, 20.25, 80, 90), QColor(200, 40, 40, 128));
  };
  QImage expected = canvas(size);
  {
    QPainter painter(&expected);
    scene(painter);
  }
  BlueWidget window;
  window.resize(300, 200);
  FramedWidget framed(&window, scene);
  framed.setGeometry(40, 30, size.width(), size.height());
  BlueWidget above;  // a sibling that covers part of the frame
  above.setParent(&window);
  above.setGeometry(180, 100, 60, 60);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto shot = [&] {
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };
  const QImage whole = shot();
  ASSERT_EQ(whole.size(), window.size());
  ASSERT_GT(framed.paints, 0);
  // Inside, but left of the sibling: the scene as painted on its own.
  EXPECT_EQ(largestDifference(whole.copy(40, 30, 140, 70), expected.copy(0, 0, 140, 70),
                              QRect(0, 0, 140, 70)),
            0);
  EXPECT_EQ(whole.pixelColor(20, 20), QColor(Qt::blue));    // the window around it
  EXPECT_EQ(whole.pixelColor(200, 120), QColor(Qt::blue));  // the sibling above it

  // A part asked for again: the rest of the window keeps what it shows.
  framed.repaint(QRect(0, 0, 50, 120));
  const QImage again = shot();
  EXPECT_EQ(largestDifference(again, whole, again.rect()), 0);
}

}  // namespace
