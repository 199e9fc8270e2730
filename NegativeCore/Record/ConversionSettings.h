// The non-destructive edit record of one scan: every choice the user makes about it. A plain
// value with field-by-field equality; no field is validated or clamped here, each stage clamps
// what it reads.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Record/BorderStyle.h"
#include "Record/CropAspect.h"
#include "Record/DodgeBurnStroke.h"
#include "Record/FilmInfo.h"
#include "Record/FilmMode.h"
#include "Record/HSLAdjustments.h"
#include "Record/LocalLayer.h"
#include "Record/NormRect.h"
#include "Record/RedEye.h"
#include "Record/RollBalance.h"
#include "Record/ScannerLook.h"
#include "Record/Spot.h"
#include "Record/ToneControls.h"
#include "Record/ToneCurves.h"

// The tone controls (highlights, shadows, whites, blacks, clarity, dehaze, sharpness, black mist)
// come from ToneControls.
struct ConversionSettings : ToneControls {
  int64_t version = 1;
  FilmMode mode = FilmMode::colorNegative;
  double contrast = 1.0;
  double exposure = 0;
  double saturation = 1.0;
  std::vector<double> cmy = {1.0, 1.0, 1.0};
  double analysisInset = 0.08;
  double blackClip = 0.002;
  double whiteClip = 0.998;
  int64_t rotationQuarterTurns = 0;
  bool mirrored = false;
  std::optional<NormRect> crop;
  CropAspect cropAspect = CropAspect::free;
  double skewDegrees = 0;
  bool autoCrop = false;
  double autoCropMargin = 0.01;
  ScannerLook look = ScannerLook::neutral;
  std::optional<RollBalance> rollBalance;
  std::optional<std::string> filmPreset;
  double lookAmount = 100;
  HSLAdjustments hsl;
  ToneCurves curves;
  double temperature = 0;
  double tint = 0;
  double grainReduction = 0;
  BorderStyle border = BorderStyle::none;
  double borderSize = 5;
  double grainAmount = 0;
  double grainSize = 25;
  double grainRoughness = 50;
  double vignetteAmount = 0;
  double vignetteMidpoint = 50;
  double vignetteFeather = 50;
  double glowAmount = 0;
  double glowSize = 30;
  std::string borderFrame;
  std::vector<DodgeBurnStroke> dodgeBurn;
  std::vector<LocalLayer> layers;
  std::vector<RedEye> redEyes;
  std::vector<Spot> spots;
  std::optional<std::string> flatField;
  FilmInfo filmInfo;

  // One shared record with every field at its default, built on first use and never changed.
  static const ConversionSettings& defaults();
  static ConversionSettings defaultsValue() { return defaults(); }

  // The key of the film measurement: the ten fields it reads, joined by "|". The default
  // record's key is "colorNegative|0.08|0.002|0.998|auto|0.0|false|0.01||".
  std::string analysisKey() const;

  friend bool operator==(const ConversionSettings&, const ConversionSettings&) = default;
};

// The record as one JSON object keyed by field name; `crop`, `filmPreset`, `rollBalance` and
// `flatField` are left out when absent. Throws the JSON library's other_error when any number
// in the record is not finite.
nlohmann::json toJson(const ConversionSettings& settings);

// Reads a record tolerantly: every key that is missing, null, mistyped or fails its member
// reader keeps the field's default, and a damaged element of a list drops only that element.
// Converts the legacy `density` and global dodge & burn strokes. Throws the JSON library's
// type_error only when `json` is not an object.
ConversionSettings settingsFromJson(const nlohmann::json& json);
