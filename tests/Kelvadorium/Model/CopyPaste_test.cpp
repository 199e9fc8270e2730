// Copy and paste of settings parts: which fields each part carries, the stored choice of parts,
// pasting as one undo step with its notice, the film information of a roll, and clearing the
// roll balance.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <map>
#include <nlohmann/json.hpp>

#include "EditSession.h"
#include "Export/FolderEdits.h"
#include "Model/SettingsParts.h"

namespace {

// A record in which every field but `version` differs from the default; one value, so that its
// ids stay the same.
ConversionSettings buildEveryFieldSet() {
  ConversionSettings r;
  r.highlights = 1;
  r.shadows = 2;
  r.whites = 3;
  r.blacks = 4;
  r.clarity = 5;
  r.dehaze = 6;
  r.sharpness = 7;
  r.blackMist = 8;
  r.mode = FilmMode::bwNegative;
  r.contrast = 1.2;
  r.exposure = 0.5;
  r.saturation = 0.8;
  r.cmy = {0.9, 1.1, 1.0};
  r.analysisInset = 0.05;
  r.blackClip = 0.01;
  r.whiteClip = 0.99;
  r.rotationQuarterTurns = 1;
  r.mirrored = true;
  r.crop = NormRect{0.1, 0.1, 0.8, 0.8};
  r.cropAspect = CropAspect::r3x2;
  r.skewDegrees = 1.5;
  r.autoCrop = true;
  r.autoCropMargin = 0.02;
  r.look = ScannerLook::noritsu;
  r.rollBalance = RollBalance{{0.1, 0, -0.1}, {1.1, 1, 0.9}, 6};
  r.filmPreset = "portra400";
  r.lookAmount = 60;
  r.hsl.hue[0] = 10;
  r.curves.regions = {5, 0, 0, 0};
  r.temperature = 12;
  r.tint = -3;
  r.grainReduction = 20;
  r.border = BorderStyle::film;
  r.borderSize = 8;
  r.grainAmount = 30;
  r.grainSize = 40;
  r.grainRoughness = 60;
  r.vignetteAmount = -20;
  r.vignetteMidpoint = 40;
  r.vignetteFeather = 70;
  r.glowAmount = 10;
  r.glowSize = 50;
  r.borderFrame = "6x7";
  r.dodgeBurn = {DodgeBurnStroke::linear({0, 0}, {1, 1}, 0.5)};
  r.layers = {LocalLayer{}};
  r.redEyes = {RedEye{}};
  r.spots = {makeSpot(0.5, 0.5, 0.01)};
  r.flatField = "blank.dng";
  r.filmInfo.notes = "roll 12";
  return r;
}

const ConversionSettings& everyFieldSet() {
  static const ConversionSettings record = buildEveryFieldSet();
  return record;
}

// The JSON keys whose values differ between two records (a key absent on one side differs).
std::set<std::string> differingKeys(const ConversionSettings& a, const ConversionSettings& b) {
  const nlohmann::json ja = toJson(a), jb = toJson(b);
  std::set<std::string> keys;
  for (const auto& [key, value] : ja.items()) {
    if (!jb.contains(key) || jb[key] != value) keys.insert(key);
  }
  for (const auto& [key, value] : jb.items()) {
    if (!ja.contains(key)) keys.insert(key);
  }
  return keys;
}

const std::map<SettingsPart, std::set<std::string>> fieldsOfPart = {
    {SettingsPart::film, {"mode", "flatField"}},
    {SettingsPart::basic,
     {"contrast", "exposure", "saturation", "clarity", "highlights", "shadows", "whites", "blacks",
      "sharpness", "dehaze", "blackMist"}},
    {SettingsPart::colour,
     {"look", "filmPreset", "lookAmount", "temperature", "tint", "cmy", "hsl", "rollBalance"}},
    {SettingsPart::curves, {"curves"}},
    {SettingsPart::effects,
     {"grainReduction", "border", "borderSize", "borderFrame", "grainAmount", "grainSize",
      "grainRoughness", "vignetteAmount", "vignetteMidpoint", "vignetteFeather", "glowAmount",
      "glowSize"}},
    {SettingsPart::healing, {"spots", "dodgeBurn", "layers", "redEyes"}},
    {SettingsPart::crop,
     {"crop", "cropAspect", "skewDegrees", "autoCrop", "autoCropMargin", "rotationQuarterTurns",
      "mirrored"}},
    {SettingsPart::measurement, {"analysisInset", "blackClip", "whiteClip"}},
    {SettingsPart::filmInfo, {"filmInfo"}},
};

// Fails when the record gains a field that the fixture or the parts do not cover.
TEST(SettingsParts, EveryFieldButTheVersionBelongsToExactlyOnePart) {
  const ConversionSettings rich = everyFieldSet();
  const ConversionSettings plain;
  std::set<std::string> all = differingKeys(rich, plain);
  std::set<std::string> jsonKeys;
  const nlohmann::json richJson = toJson(rich);
  for (const auto& [key, value] : richJson.items()) jsonKeys.insert(key);
  jsonKeys.erase("version");
  EXPECT_EQ(all, jsonKeys) << "the fixture leaves a field at its default";

  std::set<std::string> covered;
  for (const auto& [part, fields] : fieldsOfPart) {
    SCOPED_TRACE(toString(part));
    for (const auto& [from, onto] : {std::pair{rich, plain}, std::pair{plain, rich}}) {
      ConversionSettings copy = onto;
      SettingsParts::copyParts({part}, from, copy);
      EXPECT_EQ(differingKeys(copy, onto), fields);
      EXPECT_EQ(differingKeys(copy, from), [&] {
        std::set<std::string> rest = all;
        for (const auto& field : fields) rest.erase(field);
        return rest;
      }());
    }
    for (const auto& field : fields) EXPECT_TRUE(covered.insert(field).second) << field;
  }
  EXPECT_EQ(covered, all);
}

TEST(SettingsParts, AllNinePartsMakeTheRecordsEqualButForTheVersion) {
  ConversionSettings target;
  target.version = 2;
  constexpr auto cases = allCases<SettingsPart>();
  const std::set<SettingsPart> nine(cases.begin(), cases.end());
  SettingsParts::copyParts(nine, everyFieldSet(), target);
  EXPECT_EQ(target.version, 2);
  target.version = 1;
  EXPECT_EQ(target, everyFieldSet());
  ConversionSettings untouched = everyFieldSet();
  SettingsParts::copyParts({}, ConversionSettings{}, untouched);
  EXPECT_EQ(untouched, everyFieldSet());
}

TEST(SettingsParts, StoredTextIsSortedAndReadStrictly) {
  using P = SettingsPart;
  const std::vector<std::pair<std::set<SettingsPart>, QString>> written = {
      {{P::film, P::basic, P::colour, P::curves, P::effects}, "basic,colour,curves,effects,film"},
      {{P::filmInfo, P::film}, "film,filmInfo"},
      {{P::film, P::basic, P::colour, P::curves, P::effects, P::healing, P::crop, P::measurement,
        P::filmInfo},
       "basic,colour,crop,curves,effects,film,filmInfo,healing,measurement"},
      {{}, ""},
  };
  for (const auto& [parts, text] : written) {
    EXPECT_EQ(SettingsParts::storedText(parts), text);
    EXPECT_EQ(SettingsParts::parseStoredText(text), parts);
  }
  const std::vector<std::pair<QString, std::set<SettingsPart>>> read = {
      {"basic, colour", {P::basic}},
      {"Basic,film", {P::film}},
      {",,crop,,", {P::crop}},
      {"crop,bogus,crop", {P::crop}},
      {" film", {}},
      {"nothing", {}},
  };
  for (const auto& [text, parts] : read) {
    SCOPED_TRACE(text.toStdString());
    EXPECT_EQ(SettingsParts::parseStoredText(text), parts);
  }
}

TEST(CopyPaste, CopyingKeepsTheWholeRecordAndStoresTheChoice) {
  EditSession s(2);
  s.model->copySettings({SettingsPart::crop});
  EXPECT_EQ(s.model->copiedSettings(), std::nullopt);
  EXPECT_EQ(s.model->copyPartsStore(), "film,basic,colour,curves,effects");
  s.model->storeSettings(1, everyFieldSet());
  s.select(1);
  s.model->setNotice(QString("earlier"));
  s.model->copySettings({SettingsPart::film, SettingsPart::basic, SettingsPart::colour,
                         SettingsPart::curves, SettingsPart::effects});
  EXPECT_EQ(s.model->copiedSettings(), everyFieldSet());
  EXPECT_EQ(s.model->copyPartsStore(), "basic,colour,curves,effects,film");
  EXPECT_EQ(s.model->storedCopyParts(), s.model->copiedParts());
  EXPECT_EQ(s.model->notice(), std::nullopt);
}

// Three scans, one already matching: two entries in one group, undone together.
TEST(CopyPaste, PastingOntoSeveralScansIsOneStepPassingOverUnchangedScans) {
  EditSession s(3);
  ConversionSettings source;
  source.exposure = 1.5;
  source.crop = NormRect{0.2, 0.2, 0.5, 0.5};
  s.model->storeSettings(1, source);
  s.model->storeSettings(0, source);
  s.select(0);
  s.model->copySettings({SettingsPart::basic});
  s.model->storeSettings(0, ConversionSettings{});
  s.model->pasteParts({s.id(0), s.id(1), s.id(2)}, *s.model->copiedSettings());
  ASSERT_EQ(s.undoStack().size(), 2u);
  EXPECT_EQ(s.undoStack()[0].group, s.undoStack()[1].group);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(s.settings(i).exposure, 1.5);
  EXPECT_EQ(s.settings(2).crop, std::nullopt);
  s.model->undo();
  EXPECT_EQ(s.settings(0).exposure, 0);
  EXPECT_EQ(s.settings(2).exposure, 0);
  EXPECT_EQ(s.settings(1), source);
  EXPECT_FALSE(s.model->canUndo());
}

TEST(CopyPaste, PastingTellsHowManyScansItTargetedAndHowToUndo) {
  EditSession s(2);
  s.select(0);
  s.model->copySettings({SettingsPart::crop});
  s.select(1);
  s.model->pasteSettings();
  EXPECT_EQ(s.model->notice(), "Pasted onto 1 image. Ctrl+Z undoes it.");
  EXPECT_FALSE(s.model->canUndo());
}

TEST(CopyPaste, PastingWithNothingToPasteOrNowhereToPasteDoesNothing) {
  struct Case {
    const char* name;
    std::function<void(EditSession&)> arrange;
  };
  const std::vector<Case> cases = {
      {"nothing copied", [](EditSession& s) { s.select(1); }},
      {"no parts chosen",
       [](EditSession& s) {
         s.select(0);
         s.model->copySettings({});
         s.select(1);
       }},
      {"no target",
       [](EditSession& s) {
         s.select(0);
         s.model->copySettings({SettingsPart::basic});
         s.model->setSelection(std::nullopt);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(2);
    s.model->storeSettings(0, everyFieldSet());
    c.arrange(s);
    s.model->pasteSettings();
    EXPECT_EQ(s.model->notice(), std::nullopt);
    EXPECT_FALSE(s.model->canUndo());
    EXPECT_EQ(s.settings(1), ConversionSettings{});
  }
}

TEST(CopyPaste, FilmInfoTravelsInEightFieldsAndTellsWhatChanged) {
  FilmInfo source{"Nikon F3", "50mm",       "HP5", "400",     "1/125",      "f/8",
                  "50",       "2024-05-01", "Ada", "(c) Ada", "first frame"};
  FilmInfo own{"", "", "", "", "1/60", "f/4", "", "", "", "", "mine"};
  FilmInfo same = source;
  same.shutter = "1/500";
  same.notes = "other";
  struct Case {
    const char* name;
    std::vector<FilmInfo> others;
    const char* notice;
  };
  const std::vector<Case> cases = {
      {"two of four already carry it",
       {own, same, own, same},
       "Film info copied to 2 other scans (shutter speed, aperture and notes stay per photo)."},
      {"one changes",
       {same, own},
       "Film info copied to 1 other scan (shutter speed, aperture and "
       "notes stay per photo)."},
      {"a session of one scan", {}, "The other scans already have this film info."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(c.others.size() + 1);
    ConversionSettings selected;
    selected.filmInfo = source;
    s.model->storeSettings(0, selected);
    for (size_t i = 0; i < c.others.size(); ++i) {
      ConversionSettings r;
      r.filmInfo = c.others[i];
      s.model->storeSettings(i + 1, r);
    }
    s.select(0);
    s.model->applyFilmInfoToRoll();
    EXPECT_EQ(s.model->notice(), c.notice);
    for (size_t i = 0; i < c.others.size(); ++i) {
      FilmInfo expected = source;
      expected.shutter = c.others[i].shutter;
      expected.aperture = c.others[i].aperture;
      expected.notes = c.others[i].notes;
      EXPECT_EQ(s.settings(i + 1).filmInfo, expected);
    }
    EXPECT_FALSE(s.model->canUndo());
  }
}

TEST(CopyPaste, AFilmInfoFieldIsSavedButNotRecordedAndTheSameTextChangesNothing) {
  EditSession s(1);
  EXPECT_EQ(s.model->filmInfoValue(&FilmInfo::lens), "");
  s.model->setFilmInfoValue("35mm", &FilmInfo::lens);
  EXPECT_EQ(s.settings(0).filmInfo.lens, "");
  s.select(0);
  s.model->setFilmInfoValue("35mm", &FilmInfo::lens);
  EXPECT_EQ(s.model->filmInfoValue(&FilmInfo::lens), "35mm");
  EXPECT_TRUE(s.model->hasUnsavedChanges());
  EXPECT_FALSE(s.model->canUndo());
  s.wait(0.5);
  EXPECT_EQ(FolderEdits::settings(s.model->items()[0].url), s.settings(0));

  s.model->setHasUnsavedChanges(false);
  QSignalSpy itemWrites(s.model.get(), &AppModel::itemsChanged);
  s.model->setFilmInfoValue("35mm", &FilmInfo::lens);
  EXPECT_FALSE(s.model->hasUnsavedChanges());
  EXPECT_EQ(itemWrites.count(), 0);
  EXPECT_TRUE(s.model->plain().sidecarTasks.begin()->second.isFinished());
}

TEST(CopyPaste, ClearingTheRollBalanceIsOneStepAndRecordsNothingWhenNoneHasOne) {
  EditSession s(3);
  s.model->clearRollBalance({s.id(0), s.id(1)});
  EXPECT_FALSE(s.model->canUndo());
  ConversionSettings balanced;
  balanced.rollBalance = RollBalance{{0, 0, 0}, {1, 1, 1}, 3};
  for (size_t i = 0; i < 3; ++i) s.model->storeSettings(i, balanced);
  s.model->clearRollBalance({s.id(2), s.id(0)});
  EXPECT_EQ(s.settings(0).rollBalance, std::nullopt);
  EXPECT_EQ(s.settings(1).rollBalance, balanced.rollBalance);
  s.model->undo();
  EXPECT_EQ(s.settings(0), balanced);
  EXPECT_EQ(s.settings(2), balanced);
  EXPECT_FALSE(s.model->canUndo());
}

TEST(CopyPaste, TheCMYBindingReadsOneWithoutASelection) {
  EditSession s(1);
  EXPECT_EQ(s.model->cmyValue(0), 1);
  s.select(0);
  s.model->setCMYValue(1, 0.456);
  EXPECT_EQ(s.model->cmyValue(1), 0.46);
}

}  // namespace
