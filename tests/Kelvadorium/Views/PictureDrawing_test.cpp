// How the preview puts its picture on screen: the kept upright drawing must look exactly like
// drawing straight onto the device, the turned drawing like the painter's own smooth turn, and
// a frame painted on a pool thread like one painted in place.
#include <gtest/gtest.h>

#include <QPainter>
#include <QSemaphore>
#include <QThreadPool>
#include <cmath>
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
                        Case{"reduced", {900, 600}, {40.5, 30.25, 420, 280}, -12}}) {
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

}  // namespace
