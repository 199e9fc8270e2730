#include "Preview/PicturePixmaps.h"

#include <QCoreApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QThreadPool>
#include <algorithm>
#include <cmath>

#include "Preview/BufferedFrame.h"
#include "Preview/TurnSampler.h"
#include "Rendering/PreviewImage.h"
#include "Support/ParallelFor.h"

namespace {

constexpr int smallestEdge = 256;

// Largest upright drawing kept: a fitted picture on a large screen at twice the pixels.
constexpr qint64 mostDrawnPixels = 8 << 20;

// Narrows [lo, hi) to the steps x at which start + x · step stays within [0, limit), one step
// short at each end so rounding can never leave it.
void narrow(qint64 start, qint64 step, qint64 limit, int& lo, int& hi) {
  if (step == 0) {
    if (start < 0 || start >= limit) hi = lo;
    return;
  }
  double first = -double(start) / double(step);
  double last = double(limit - start) / double(step);
  if (step < 0) std::swap(first, last);
  lo = std::max(lo, static_cast<int>(std::clamp(std::ceil(first) + 1, -1e9, 1e9)));
  hi = std::min(hi, static_cast<int>(std::clamp(std::floor(last) - 1, -1e9, 1e9)));
}

// Each pixel the mean of a 2 × 2 block of the source (RGB888); an odd last row or column
// repeats.
QImage halved(const QImage& source) {
  const int w = std::max(1, source.width() / 2);
  const int h = std::max(1, source.height() / 2);
  QImage out(w, h, QImage::Format_RGB888);
  if (out.isNull()) return out;
  parallelForRows(
      h,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) {
          const int y0 = std::min(static_cast<int>(2 * y), source.height() - 1);
          const int y1 = std::min(y0 + 1, source.height() - 1);
          const uchar* a = source.constScanLine(y0);
          const uchar* b = source.constScanLine(y1);
          uchar* o = out.scanLine(static_cast<int>(y));
          for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, source.width() - 1);
            const int x1 = std::min(x0 + 1, source.width() - 1);
            for (int c = 0; c < 3; ++c) {
              const int sum = a[3 * x0 + c] + a[3 * x1 + c] + b[3 * x0 + c] + b[3 * x1 + c];
              o[3 * x + c] = static_cast<uchar>((sum + 2) / 4);
            }
          }
        }
      },
      64);
  return out;
}

// The pixels of `rect` of an RGB888 picture as RGB32, read in place.
QImage visiblePart(const QImage& picture, const QRect& rect) {
  const QImage view(picture.constScanLine(rect.y()) + 3 * rect.x(), rect.width(), rect.height(),
                    picture.bytesPerLine(), picture.format());
  return view.convertToFormat(QImage::Format_RGB32);
}

// Draws the `source` part of `level` stretched over `at`, covering `devicePixels`. Converting
// costs a pass over the source part, sampling one over the device pixels: a magnified screen
// copy has its part in the painter's format first, so the sampling runs on the fast path.
void drawPart(QPainter& painter, const QRectF& at, const QImage& level, const QRect& source,
              double devicePixels) {
  const double sourcePixels = double(source.width()) * source.height();
  if (level.format() == QImage::Format_RGB32 || sourcePixels > devicePixels) {
    painter.drawImage(at, level, QRectF(source));
  } else {
    const QImage part = visiblePart(level, source);
    painter.drawImage(at, part, QRectF(part.rect()));
  }
}

// The whole source pixels of `level` that land on `visible` when the level covers `target`,
// and where they land.
struct Span {
  QRect source;
  QRectF target;
};
Span spanOf(const QImage& level, const QRectF& target, const QRectF& visible) {
  const QRectF shown = target.intersected(visible);
  if (shown.isEmpty()) return {};
  const double sx = target.width() / level.width();
  const double sy = target.height() / level.height();
  const QRectF inLevel((shown.x() - target.x()) / sx, (shown.y() - target.y()) / sy,
                       shown.width() / sx, shown.height() / sy);
  // One pixel more at each side, so smooth sampling at the visible edge has its neighbours.
  const QRect source = inLevel.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(level.rect());
  if (source.isEmpty()) return {};
  return {source, QRectF(target.x() + source.x() * sx, target.y() + source.y() * sy,
                         source.width() * sx, source.height() * sy)};
}

}  // namespace

PicturePixmaps::PicturePixmaps(QObject* context, std::function<void()> ready)
    : context_(context), ready_(std::move(ready)), self_(std::make_shared<PicturePixmaps*>(this)) {}

PicturePixmaps::~PicturePixmaps() { *self_ = nullptr; }

std::vector<QImage> PicturePixmaps::reductions(const QImage& picture) {
  std::vector<QImage> chain;
  QImage source = picture.format() == QImage::Format_RGB888
                      ? picture
                      : picture.convertToFormat(QImage::Format_RGB888);
  while (std::max(source.width(), source.height()) > 2 * smallestEdge &&
         std::min(source.width(), source.height()) >= 2) {
    source = halved(source);
    if (source.isNull()) break;
    // Kept in the painter's own format, which it samples fastest.
    chain.push_back(source.convertToFormat(QImage::Format_RGB32));
  }
  return chain;
}

PicturePixmaps::Entry* PicturePixmaps::entryOf(const std::shared_ptr<const PreviewImage>& image) {
  if (!image || image->screen.isNull()) return nullptr;
  for (Entry& entry : entries_) {
    // The address alone could be a new image in the memory of a forgotten one.
    if (entry.address == image.get() && entry.image.lock() == image) return &entry;
  }
  Entry entry;
  entry.image = image;
  entry.address = image.get();
  entry.full = image->screen;  // shared, not copied
  entries_.push_back(std::move(entry));
  startReductions(image);
  return &entries_.back();
}

void PicturePixmaps::startReductions(const std::shared_ptr<const PreviewImage>& image) {
  using Image = std::shared_ptr<const PreviewImage>;
  auto arrive = [](const std::shared_ptr<PicturePixmaps*>& self, const Image& image,
                   std::vector<QImage> chain) {
    PicturePixmaps* pixmaps = *self;
    if (!pixmaps) return;
    for (Entry& entry : pixmaps->entries_) {
      if (entry.address != image.get() || entry.image.lock() != image || entry.reducedArrived) {
        continue;
      }
      entry.reduced = std::move(chain);
      entry.reducedArrived = true;
      entry.drawn = {};
      if (pixmaps->ready_) pixmaps->ready_();
      return;
    }
  };
  if (!context_) {
    arrive(self_, image, reductions(image->screen));
    return;
  }
  std::weak_ptr<PicturePixmaps*> weakSelf = self_;
  QThreadPool::globalInstance()->start([image, weakSelf, arrive] {
    std::vector<QImage> chain = reductions(image->screen);
    // Back on the GUI thread, where this object lives and dies: the weak reference tells there
    // whether it is still there.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [weakSelf, image, chain = std::move(chain), arrive]() mutable {
          if (auto self = weakSelf.lock()) arrive(self, image, std::move(chain));
        },
        Qt::QueuedConnection);
  });
}

void PicturePixmaps::draw(QPainter& painter, const std::shared_ptr<const PreviewImage>& image,
                          const QRectF& target, const QRectF& visible, double degrees,
                          bool smooth) {
  Entry* entry = entryOf(image);
  if (!entry || !(target.width() > 0) || !(target.height() > 0)) return;
  const double ratio = BufferedFrame::deviceRatio(painter);
  // The smallest copy with at least as many pixels across as the drawing's device pixels.
  const double across = target.width() * ratio;
  const QImage* level = &entry->full;
  for (const QImage& reduced : entry->reduced) {
    if (reduced.width() < across) break;
    level = &reduced;
  }
  const bool turned = degrees != 0 && std::isfinite(degrees);
  // The painter's points to device pixels; only an upright painter is drawn on directly.
  const QTransform toDevice = painter.worldTransform() * QTransform::fromScale(ratio, ratio);
  if (toDevice.type() <= QTransform::TxScale &&
      drawFast(painter, *entry, *level, ratio, target, visible, degrees, smooth)) {
    return;
  }

  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  QRectF placed = target;
  QRectF seen = visible;
  if (turned) {
    // Drawn about the target's centre in a turned frame: the visible rectangle seen from it.
    const QPointF centre = target.center();
    painter.translate(centre);
    painter.rotate(degrees);
    QTransform back;
    back.rotate(-degrees);
    back.translate(-centre.x(), -centre.y());
    placed = target.translated(-centre);
    seen = back.mapRect(visible);
  }
  const Span span = spanOf(*level, placed, seen);
  if (!span.source.isEmpty()) {
    QRectF at = span.target;
    // One copy pixel per device pixel: whole device pixels, so the copy is blitted as it is.
    const bool blit = !turned && std::abs(at.width() * ratio - span.source.width()) < 0.01 &&
                      std::abs(at.height() * ratio - span.source.height()) < 0.01;
    if (blit) {
      at = QRectF(std::round(at.x() * ratio) / ratio, std::round(at.y() * ratio) / ratio,
                  span.source.width() / ratio, span.source.height() / ratio);
    }
    if (blit) {
      painter.drawImage(at, *level, QRectF(span.source));
    } else {
      drawPart(painter, at, *level, span.source, at.width() * at.height() * ratio * ratio);
    }
  }
  painter.restore();
}

bool PicturePixmaps::drawFast(QPainter& painter, Entry& entry, const QImage& level, double ratio,
                              const QRectF& target, const QRectF& visible, double degrees,
                              bool smooth) {
  const QTransform toDevice = painter.worldTransform() * QTransform::fromScale(ratio, ratio);
  const QRectF device = toDevice.mapRect(target);
  const QRect clip = toDevice.mapRect(visible).toAlignedRect();
  const bool turned = degrees != 0 && std::isfinite(degrees);
  // One level pixel per device pixel: the level itself is the upright drawing.
  const bool oneToOne = std::abs(device.width() - level.width()) < 0.01 &&
                        std::abs(device.height() - level.height()) < 0.01;
  if (!turned) {
    if (oneToOne) return false;  // a plain blit already
    const QRect shownPart = clip.intersected(device.toAlignedRect());
    if (shownPart.isEmpty()) return true;
    const bool whole = shownPart == device.toAlignedRect();
    const Drawn* drawn = drawnOf(entry, level, device, smooth, whole);
    if (!drawn) return false;
    const QRect from = shownPart.translated(-drawn->at).intersected(drawn->image.rect());
    painter.save();
    painter.resetTransform();
    painter.drawImage(QRectF((from.x() + drawn->at.x()) / ratio, (from.y() + drawn->at.y()) / ratio,
                             from.width() / ratio, from.height() / ratio),
                      drawn->image, QRectF(from));
    painter.restore();
    return true;
  }

  // Turned: sample the upright drawing at one pixel per device pixel, turned about the
  // target's centre.
  const QPointF centre = toDevice.map(target.center());
  QTransform turn;
  turn.translate(centre.x(), centre.y());
  turn.rotate(degrees);
  turn.translate(-centre.x(), -centre.y());
  if (oneToOne && level.format() == QImage::Format_RGB32) {
    const QTransform levelToDevice = QTransform::fromTranslate(device.x(), device.y()) * turn;
    drawTurned(painter, level, levelToDevice, clip, ratio);
    return true;
  }
  const Drawn* drawn = drawnOf(entry, level, device, smooth, true);
  if (!drawn) return false;
  drawTurned(painter, drawn->image, QTransform::fromTranslate(drawn->at.x(), drawn->at.y()) * turn,
             clip, ratio);
  return true;
}

const PicturePixmaps::Drawn* PicturePixmaps::drawnOf(Entry& entry, const QImage& level,
                                                     const QRectF& device, bool smooth, bool make) {
  const Drawn& kept = entry.drawn;
  if (kept.level == &level && kept.device == device && kept.smooth == smooth) return &kept;
  const QRect pixels = device.toAlignedRect();
  if (!make || pixels.isEmpty() || qint64(pixels.width()) * pixels.height() > mostDrawnPixels) {
    return nullptr;
  }
  Drawn drawn{&level, device, smooth, pixels.topLeft(),
              QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied)};
  if (drawn.image.isNull()) return nullptr;
  drawn.image.fill(Qt::transparent);
  {
    // The same sampling as drawing straight onto the device, at the same fraction of a pixel.
    QPainter painter(&drawn.image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    const QRectF at = device.translated(-drawn.at);
    drawPart(painter, at, level, level.rect(), at.width() * at.height());
  }
  entry.drawn = std::move(drawn);
  return &entry.drawn;
}

void PicturePixmaps::drawTurned(QPainter& painter, const QImage& source, const QTransform& toDevice,
                                const QRect& clip, double ratio) {
  if (source.isNull() || source.depth() != 32 || !(ratio > 0)) return;
  bool invertible = false;
  const QTransform back = toDevice.inverted(&invertible);
  if (!invertible) return;
  QRect area =
      toDevice.mapRect(QRectF(source.rect())).toAlignedRect().adjusted(-1, -1, 1, 1) & clip;
  // Painting on a 32-bit image with nothing but a rectangular clip: the samples go straight
  // onto it, blended over what is there, instead of through a second image and a blit.
  auto* device = dynamic_cast<QImage*>(painter.device());
  bool direct = device &&
                (device->format() == QImage::Format_RGB32 ||
                 device->format() == QImage::Format_ARGB32_Premultiplied) &&
                painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
                painter.opacity() == 1;
  if (direct) {
    area &= device->rect();
    if (painter.hasClipping()) {
      const QRegion region = painter.clipRegion();
      const QTransform logicalToDevice =
          painter.worldTransform() * QTransform::fromScale(ratio, ratio);
      direct = region.rectCount() == 1 && logicalToDevice.type() <= QTransform::TxScale;
      if (direct) {
        // Only the device pixels wholly inside the clip.
        const QRectF inside = logicalToDevice.mapRect(QRectF(region.boundingRect()));
        const QPoint from(static_cast<int>(std::ceil(inside.left() - 1e-9)),
                          static_cast<int>(std::ceil(inside.top() - 1e-9)));
        const QPoint to(static_cast<int>(std::floor(inside.right() + 1e-9)) - 1,
                        static_cast<int>(std::floor(inside.bottom() + 1e-9)) - 1);
        area &= QRect(from, to);
      }
    }
  }
  if (area.isEmpty()) return;
  if (!direct && (turned_.width() < area.width() || turned_.height() < area.height())) {
    turned_ =
        QImage(std::max(turned_.width(), area.width()), std::max(turned_.height(), area.height()),
               QImage::Format_ARGB32_Premultiplied);
    if (turned_.isNull()) return;
  }
  const int w = source.width();
  const int h = source.height();
  const qsizetype stride = source.bytesPerLine() / 4;
  const auto* pixels = reinterpret_cast<const quint32*>(source.constBits());
  QImage& written = direct ? *device : turned_;
  const QPoint origin = direct ? area.topLeft() : QPoint(0, 0);
  auto* target = reinterpret_cast<quint32*>(written.bits()) +
                 origin.y() * (written.bytesPerLine() / 4) + origin.x();
  const qsizetype targetStride = written.bytesPerLine() / 4;
  const int width = area.width();
  // Steps in 1/65536 of a source pixel per device pixel across.
  const qint64 stepU = std::llround(back.m11() * 65536);
  const qint64 stepV = std::llround(back.m12() * 65536);
  parallelForRows(
      area.height(),
      [=, &back](int64_t begin, int64_t end) {
        // A texel, transparent beyond the source's edges.
        auto texel = [=](int x, int y) -> quint32 {
          return x >= 0 && y >= 0 && x < w && y < h ? pixels[y * stride + x] : 0;
        };
        // Premultiplied source over what is there.
        auto put = [direct](quint32& out, quint32 sample) {
          if (direct) {
            TurnSampler::over(out, sample);
          } else {
            out = sample;
          }
        };
        for (int64_t row = begin; row < end; ++row) {
          quint32* out = target + row * targetStride;
          // The first device pixel's centre in the source, where texel centres sit at +0.5.
          const QPointF first = back.map(QPointF(area.x() + 0.5, area.y() + row + 0.5));
          qint64 u = std::llround((first.x() - 0.5) * 65536);
          qint64 v = std::llround((first.y() - 0.5) * 65536);
          // Where all four texels lie inside the source no test is needed; the columns are
          // found a little narrower than they are, and the rest takes the careful way.
          int lo = 0;
          int hi = width;
          narrow(u, stepU, qint64(w - 1) << 16, lo, hi);
          narrow(v, stepV, qint64(h - 1) << 16, lo, hi);
          if (hi < lo) hi = lo;
          auto careful = [&](int from, int to) {
            qint64 cu = u + from * stepU;
            qint64 cv = v + from * stepV;
            for (int x = from; x < to; ++x, cu += stepU, cv += stepV) {
              const int ix = static_cast<int>(cu >> 16);
              const int iy = static_cast<int>(cv >> 16);
              if (ix < -1 || iy < -1 || ix >= w || iy >= h) {
                if (!direct) out[x] = 0;
                continue;
              }
              const quint32 fx = static_cast<quint32>(cu >> 8) & 0xff;
              const quint32 fy = static_cast<quint32>(cv >> 8) & 0xff;
              put(out[x], TurnSampler::mix(texel(ix, iy), texel(ix + 1, iy), texel(ix, iy + 1),
                                           texel(ix + 1, iy + 1), fx, fy));
            }
          };
          // Beyond these columns no sample touches the source: a steep turn leaves many.
          int touching = 0;
          int touchingEnd = width;
          narrow(u + 65536, stepU, qint64(w + 1) << 16, touching, touchingEnd);
          narrow(v + 65536, stepV, qint64(h + 1) << 16, touching, touchingEnd);
          touching = std::clamp(touching - 2, 0, width);
          touchingEnd = std::clamp(touchingEnd + 2, touching, width);
          if (!direct) {
            std::fill(out, out + touching, 0u);
            std::fill(out + touchingEnd, out + width, 0u);
          }
          lo = std::clamp(lo, touching, touchingEnd);
          hi = std::clamp(hi, lo, touchingEnd);
          careful(touching, lo);
          TurnSampler::inner(pixels, w, stride, u + lo * stepU, v + lo * stepV, stepU, stepV,
                             out + lo, hi - lo, direct);
          careful(hi, touchingEnd);
        }
      },
      16);
  if (direct) return;
  painter.save();
  painter.resetTransform();
  painter.drawImage(
      QRectF(area.x() / ratio, area.y() / ratio, area.width() / ratio, area.height() / ratio),
      turned_, QRectF(0, 0, area.width(), area.height()));
  painter.restore();
}

void PicturePixmaps::drawBlocks(QPainter& painter, const QImage& picture, const QRectF& target,
                                const QRectF& visible) {
  if (picture.isNull() || !(target.width() > 0) || !(target.height() > 0)) return;
  const Span span = spanOf(picture, target, visible);
  if (span.source.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(span.target, picture, QRectF(span.source));
  painter.restore();
}

void PicturePixmaps::keepOnly(std::initializer_list<const PreviewImage*> images) {
  std::erase_if(entries_, [&](const Entry& entry) {
    return entry.image.expired() ||
           std::find(images.begin(), images.end(), entry.address) == images.end();
  });
}

int PicturePixmaps::pixmapCount() const {
  int count = 0;
  for (const Entry& entry : entries_) count += 1 + static_cast<int>(entry.reduced.size());
  return count;
}

qint64 PicturePixmaps::reducedBytes() const {
  qint64 bytes = 0;
  for (const Entry& entry : entries_) {
    for (const QImage& reduced : entry.reduced) bytes += reduced.sizeInBytes();
  }
  return bytes;
}

bool PicturePixmaps::reduced(const PreviewImage* image) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    return entry.address == image && entry.reducedArrived;
  });
}
