// Whether every number of an edit record is finite. The record writer refuses the others, so an
// edit that would store one is turned away before it reaches the sidecar or a project.
#pragma once

#include "Record/ConversionSettings.h"

namespace FiniteRecord {

bool allFinite(const ConversionSettings& settings);

}  // namespace FiniteRecord
