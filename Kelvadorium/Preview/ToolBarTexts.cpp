#include "Preview/ToolBarTexts.h"

#include <cmath>

#include "Support/NumberText.h"

namespace ToolBarTexts {

namespace {
const QString sizeKeys = QStringLiteral("[ ] change the size.");
}

QString dustText(qsizetype finds) {
  return QString::number(finds) + " possible dust speck" + (finds == 1 ? "" : "s") +
         ": red ones are removed, orange ones are doubtful and kept. Click any find to switch it.";
}

QString removeDustLabel(qsizetype finds, qsizetype kept) {
  return "Remove All Dust (" + QString::number(finds - kept) + ")";
}

QString selectionText(int repairs) {
  if (repairs == 0) return QStringLiteral("Select: this image has no repairs.");
  return "Select: " + QString::number(repairs) + " repair" + (repairs == 1 ? "" : "s") +
         " outlined. Click one to pick it, then Delete removes it.";
}

QString healToolText(SpotKind tool) {
  const QString sourced =
      "click a spot or paint over it. Alt-click picks the source. Click a repair to remove it.";
  switch (tool) {
    case SpotKind::heal:
      return "Heal: " + sourced + " " + sizeKeys;
    case SpotKind::clone:
      return "Clone: " + sourced + " " + sizeKeys;
    case SpotKind::fill:
      return "Fill: click a spot or paint over it. Click a repair to remove it. " + sizeKeys;
    case SpotKind::ai:
      return "AI Remove: paint over what should go; it is filled in when you let go (a few "
             "seconds). Click a repair to remove it. " +
             sizeKeys;
  }
  return {};
}

QString healSymbol(bool selecting, SpotKind tool) {
  if (selecting) return QStringLiteral("cursorarrow.rays");
  switch (tool) {
    case SpotKind::heal:
      return QStringLiteral("bandage");
    case SpotKind::clone:
      return QStringLiteral("square.on.square.dashed");
    case SpotKind::fill:
      return QStringLiteral("wand.and.rays");
    case SpotKind::ai:
      return QStringLiteral("sparkles");
  }
  return {};
}

QString dodgeText(const QString& layerName, DodgeShape shape, bool selectedLayerIsBrushOnly) {
  QString hint;
  if (shape != DodgeShape::brush && !selectedLayerIsBrushOnly) {
    hint = "this layer has its gradient; drag the centre pin to move it, + New Layer for another.";
  } else if (shape == DodgeShape::brush) {
    hint = "drag to paint, " + sizeKeys;
  } else if (shape == DodgeShape::linear) {
    hint = "drag from full effect to none; drag a centre pin to move.";
  } else {
    hint = "drag from the centre outward; drag a centre pin to move.";
  }
  return layerName + ": " + hint + " Alt-click a shape to remove it.";
}

QString angleText(double degrees) {
  const QString sign = std::signbit(degrees) ? "" : "+";
  return sign + QString::fromStdString(NumberText::fixed(degrees, 2)) + "°";
}

}  // namespace ToolBarTexts
