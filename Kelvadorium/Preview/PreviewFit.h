// The zoomable preview's arithmetic: the room kept around the picture, the fitted size, the crop
// mode's upward shift, the mapping between points of the preview area and overlay points (the
// fitted picture's own points), pan mode, the backing scale and whether a full-resolution detail
// render is worth having. Sizes in points unless named pixels. Pure functions over values.
#pragma once

#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <optional>

namespace PreviewFit {

// Room kept around the fitted picture: across (both sides together), above and below. Crop
// mode leaves room for the handles at the sides and for the tool bar below.
struct Margins {
  double across = 48;
  double top = 24;
  double bottom = 24;
};
Margins margins(bool cropMode);

// The picture of `pixels` fitted into `area` within the margins; each usable extent is at least
// 1 pt. Empty for an image without pixels.
QSizeF fittedSize(QSizeF area, QSize pixels, bool cropMode);

// The vertical shift of the picture from the area's centre: half of (top − bottom margin), so
// in crop mode the picture sits centred between the margins, 38 pt up.
double centringOffset(bool cropMode);

// Where the picture lies: the area, the fitted size, the zoom, the pan and the centring offset.
struct Placement {
  QSizeF area;
  QSizeF fitted;
  double zoom = 1;
  QSizeF pan{0, 0};
  double centring = 0;
};
// (p − area centre − pan − (0, centring)) / zoom + fitted / 2, and back.
QPointF overlayPoint(const Placement& placement, QPointF areaPoint);
QPointF areaPoint(const Placement& placement, QPointF overlayPoint);

// Drags pan instead of reaching a tool: space held, or magnified with no tool mode on.
bool panMode(bool spaceHeld, double zoom, bool anyToolMode);

// The screen's device pixel ratio, or 2 without a screen.
double backingScale(std::optional<double> screenRatio);

// More device pixels across than the preview image has, with 15 % to spare; a quick pass counts
// at twice its width.
bool detailWish(double previewPixelWidth, bool quickPass, double fittedWidth, double zoom,
                double backingScale);

}  // namespace PreviewFit
