// The record of a scan's before image: its plain conversion. It keeps what makes the picture
// the same frame (film type, measurement, geometry, border, healed spots) and leaves every
// creative edit at its default, so an edit of tone, colour or look never changes it.
#pragma once

#include "Record/ConversionSettings.h"

namespace BeforeSettings {

// The default record with the film type, the measurement, the geometry, the border and the
// spots of `edited`.
ConversionSettings of(const ConversionSettings& edited);

}  // namespace BeforeSettings
