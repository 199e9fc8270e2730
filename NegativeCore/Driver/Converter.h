// The conversion driver: turns a scan and its edit record into a finished positive print by
// chaining the stages in one fixed order and under fixed conditions. It keeps no state; images
// and records come in by value or constant reference, so a caller's scan is never changed.
#pragma once

#include <cstdint>
#include <filesystem>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/Geometry.h"
#include "Conversion/LinearImage.h"
#include "Print/PrintImage.h"
#include "Record/ConversionSettings.h"

namespace Converter {

struct Result {
  PrintImage print;
  FilmAnalysis analysis;
  double decodeSeconds;   // wall-clock seconds of decoding, both decodes when there are two
  double processSeconds;  // wall-clock seconds of analyze and process together
};

// The crop an edit prints with, and whether the frame detector found it.
struct FrameCrop {
  NormRect rect;
  bool autoCropped;

  friend bool operator==(const FrameCrop&, const FrameCrop&) = default;
};

// A whole conversion of one scan file: decoded at `scale`, measured on a decode at
// analysisScale when that is smaller (else on the render image itself), processed with crop and
// border. Throws the decoder's DecodeError.
Result convert(const std::filesystem::path& url, const ConversionSettings& settings, double scale,
               double analysisScale);

// The film measurement of a decoded scan (before straightening), with the crop it prints with.
// Whenever the film frame can be found, the film is measured inside it, even under a user crop.
FilmAnalysis analyze(const LinearImage& scan, const ConversionSettings& settings);
// analyze without the record's roll balance: the unbalanced measurement a roll is learned from.
FilmAnalysis analyzeWithoutRollBalance(const LinearImage& scan, const ConversionSettings& settings);

// The crop of a straightened scan: the stored crop, else the detected frame less its margin when
// auto-crop is on, else the whole frame; clamped with a minimum side of 0.02.
FrameCrop frameCrop(const LinearImage& straightened, const ConversionSettings& settings);

// The print of a decoded scan with the given analysis. applyCrop cuts it to analysis.crop (else
// the whole straightened frame); addBorder adds the border or film-holder frame, but only
// together with applyCrop. The scan's pixels are let go as soon as the print is made, so a caller
// that hands over its only copy (std::move) frees them before the finishing stages run.
PrintImage process(LinearImage scan, const FilmAnalysis& analysis,
                   const ConversionSettings& settings, bool applyCrop, bool addBorder);

}  // namespace Converter
