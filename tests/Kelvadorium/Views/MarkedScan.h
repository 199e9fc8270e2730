// One selected scan whose preview maps one to one: a 2:1 scan shown whole, without crop, turn or
// border, so a preview point (u, v) is the image point (u, v) and a length of the long edge is the
// same share of the preview's width. The overlays are driven through their interface on a W × H
// overlay, painted into images, or reached through the picture host in a window of their own.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <memory>

#include "Model/AppModel.h"
#include "Preview/PreviewCalls.h"
#include "Preview/PreviewOverlay.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

struct MarkedScan {
  MarkedScan() {
    std::vector<ImageItem> items(1);
    items[0].url = "/scans/a.tif";
    // The selection goes first, so no render starts for a file that does not exist.
    model.setSelection(items[0].id);
    model.setItems(items);
    model.setProxySize(QSize(2000, 1000));
    model.setPreviewIsUncropped(false);
    FilmAnalysis analysis;
    analysis.crop = NormRect{0, 0, 1, 1};
    model.setAnalysis(analysis);
    model.plain().previewImageID = model.selection();
    auto image = std::make_shared<PreviewImage>();
    image->screen = QImage(600, 300, QImage::Format_RGB888);
    image->screen.fill(QColor(90, 80, 70));
    model.setPreview(image);
  }

  ConversionSettings record() const { return model.items()[0].settings; }
  void store(const ConversionSettings& settings) { model.storeSettings(0, settings); }
  // The mapping no longer holds: the analysis is gone.
  void unmapped() { model.setAnalysis(std::nullopt); }

  TestServices services;
  AppModel model{services.services()};
};

// A pointer event on an overlay of `size` at `zoom`.
inline OverlayPointer pointerAt(QPointF at, QSizeF size, double zoom = 1,
                                Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                                Qt::MouseButtons buttons = Qt::LeftButton) {
  return OverlayPointer{at, buttons, modifiers, OverlayFrame{size, zoom}};
}

// A press at `from`, moves through `via` and a release at `to`, the option key as given at the
// start and at the release.
inline void dragOn(PreviewOverlay& overlay, QSizeF size, QPointF from, std::vector<QPointF> via,
                   QPointF to, Qt::KeyboardModifiers atStart = Qt::NoModifier,
                   Qt::KeyboardModifiers atEnd = Qt::NoModifier) {
  overlay.press(pointerAt(from, size, 1, atStart));
  for (const QPointF& p : via) overlay.move(pointerAt(p, size, 1, atStart));
  overlay.release(pointerAt(to, size, 1, atEnd, Qt::NoButton));
}

// What the overlay paints over a transparent image the size of the overlay at `zoom`.
inline QImage painted(PreviewOverlay& overlay, QSizeF size, double zoom = 1) {
  QImage image((size * zoom).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.scale(zoom, zoom);
  overlay.paint(painter, OverlayFrame{size, zoom});
  return image;
}

// The picture host in a window of its own, over the scan.
struct HostedScan : MarkedScan {
  HostedScan() : calls(PreviewCalls::of(model)) {
    host = new ZoomablePreview(model, calls, &window);
    window.resize(800, 640);
    host->resize(800, 640);
    window.show();
    QApplication::processEvents();
  }
  // The widget point of an overlay point.
  QPointF at(QPointF overlayPoint) const { return host->widgetPoint(overlayPoint); }
  void mouse(QEvent::Type type, QPointF overlayPoint, Qt::KeyboardModifiers modifiers) {
    const QPointF p = at(overlayPoint);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, p, host->mapToGlobal(p), button, held, modifiers);
    QApplication::sendEvent(host, &event);
  }
  void click(QPointF overlayPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    mouse(QEvent::MouseButtonPress, overlayPoint, modifiers);
    mouse(QEvent::MouseButtonRelease, overlayPoint, modifiers);
  }

  PreviewCalls calls;
  QWidget window;
  ZoomablePreview* host = nullptr;
};
