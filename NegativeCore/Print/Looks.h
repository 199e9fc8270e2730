// The scanner looks, the draft look, and the list of looks an edit record prints with: first its
// scanner look, then its film preset weakened by lookAmount, neutral ones left out.
#pragma once

#include <vector>

#include "Print/LookParameters.h"
#include "Record/ConversionSettings.h"
#include "Record/ScannerLook.h"

// The look of a scanner rendering; `neutral` is LookParameters::neutral().
LookParameters parameters(ScannerLook look);

namespace DraftLooks {

// A further look constant; no stage of the print applies it.
LookParameters look();

}  // namespace DraftLooks

// The looks a render applies after the paper curve, in order: empty for black-and-white
// negatives; otherwise the scanner look, then the film preset scaled by lookAmount/100 (an
// unknown preset adds nothing), each dropped when neutral.
std::vector<LookParameters> lookList(const ConversionSettings& settings);
