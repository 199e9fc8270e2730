// The texts and symbols of the preview's tool bars, built fresh from the model's values at every
// refresh: counts as plain decimals with their plurals, the healing and dodge & burn hints, and
// the straighten angle. Pure functions over values.
#pragma once

#include <QString>

#include "Record/DodgeShape.h"
#include "Record/SpotKind.h"

namespace ToolBarTexts {

// The dust bar's text for `finds` dust finds.
QString dustText(qsizetype finds);
// The removing button: the finds that do not stay.
QString removeDustLabel(qsizetype finds, qsizetype kept);

// The repair-selection text for `repairs` repairs of the image.
QString selectionText(int repairs);
// The healing tool's name, instruction and the size keys.
QString healToolText(SpotKind tool);
QString healSymbol(bool selecting, SpotKind tool);

// The dodge & burn bar's text: the layer's name ("New layer" when none is selected), the hint for
// the shape, and the removing click. A gradient shape on a layer that has its gradient gets the
// layer's own hint whatever the shape.
QString dodgeText(const QString& layerName, DodgeShape shape, bool selectedLayerIsBrushOnly);

// The straighten angle as "%+.2f°" in the C locale.
QString angleText(double degrees);

}  // namespace ToolBarTexts
