// Reading typed metadata values from the free text of a scan's film information.
#include "Finishing/FilmInfoParsing.h"

#include <gtest/gtest.h>

#include "TestSupport/LocaleGuard.h"

namespace {

using namespace FilmInfoParsing;

FilmInfo withCamera(std::string text) {
  FilmInfo info;
  info.camera = std::move(text);
  return info;
}

TEST(FilmInfoParsing, CameraMakerIgnoresCaseButNotAccents) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"NIKON F3", "Nikon"},
      {"  canon AE-1", "Canon"},
      {"Voigtländer Bessa R", "Voigtländer"},
      {"VOIGTLÄNDER Bessa", "Voigtländer"},
      {"Voigtla\u0308nder Bessa", "Voigtländer"},  // decomposed ä
      {"Voigtlander Bessa", "Voigtlander"},
      {"Fuji GW690", "Fuji"},
      {"fujifilm GA645", "Fujifilm"},
      {"rolleiflex 2.8F", "Rolleiflex"},
      {"\u212Aodak Retina", "Kodak"},  // Kelvin sign folds to k
      {"Canon-AE1", std::nullopt},
      {"Vöigtlander", std::nullopt},
      {"Nikon\tF3", std::nullopt},  // only spaces separate words
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"\xff\xfe", std::nullopt},
  };
  for (const auto& [camera, maker] : cases) {
    EXPECT_EQ(cameraMake(withCamera(camera)), maker) << camera;
  }
}

TEST(FilmInfoParsing, NumbersFromTypedText) {
  FilmInfo info;
  const std::string nines(400, '9');
  const std::pair<const char*, std::optional<int64_t>> isoCases[] = {
      {"400", 400},
      {"ISO 400/27°", 400},
      {"1,6", 2},
      {"2.5", 3},
      {"0.4", std::nullopt},
      {"0", std::nullopt},
      {"ISO", std::nullopt},
      {"99999999999999999999", std::nullopt},  // beyond a 64-bit integer
      {nines.c_str(), std::nullopt},
  };
  for (const auto& [iso, expected] : isoCases) {
    info.iso = iso;
    EXPECT_EQ(isoSpeed(info), expected) << iso;
  }

  const std::pair<const char*, std::optional<double>> shutterCases[] = {
      {"1/125", 0.008},     {" 1 / 60 s", 1.0 / 60}, {"2s", 2.0},         {"0,5", 0.5},
      {"1/0", 1.0},         {"B", std::nullopt},     {"0", std::nullopt}, {"", std::nullopt},
      {"\t", std::nullopt}, {"1.2.3/4", 2.3 / 4},    {"x/2 1/4", 0.25},   {"1/2.5", 0.4},
  };
  for (const auto& [shutter, expected] : shutterCases) {
    info.shutter = shutter;
    EXPECT_EQ(exposureTime(info), expected) << shutter;
  }

  const std::pair<const char*, std::optional<double>> apertureCases[] = {
      {"f/2.8", 2.8}, {"F2,8", 2.8}, {"f/0", std::nullopt}, {"f/", std::nullopt}, {"16", 16.0}};
  for (const auto& [aperture, expected] : apertureCases) {
    info.aperture = aperture;
    EXPECT_EQ(fNumber(info), expected) << aperture;
  }
  info.focalLength = "50mm";
  EXPECT_EQ(focalLengthValue(info), 50.0);
  info.focalLength = "zoom";
  EXPECT_EQ(focalLengthValue(info), std::nullopt);
}

TEST(FilmInfoParsing, DatesInEveryPatternAndNoImpossibleOnes) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"2024-05-17 14:30:05", "2024:05:17 14:30:05"},
      {"2024-05-17 14:30", "2024:05:17 14:30:00"},
      {"2024-05-17", "2024:05:17 00:00:00"},
      {"  2024-5-7\t", "2024:05:07 00:00:00"},
      {"2024:05:17 14:30:05", "2024:05:17 14:30:05"},
      {"2024:05:17", "2024:05:17 00:00:00"},
      {"17-05-2024 9:05", "2024:05:17 09:05:00"},
      {"17-05-2024", "2024:05:17 00:00:00"},
      {"17/05/2024 14:30", "2024:05:17 14:30:00"},
      {"17/5/2024", "2024:05:17 00:00:00"},
      {"17 May 2024", "2024:05:17 00:00:00"},
      {"3 september 1999", "1999:09:03 00:00:00"},
      {"3 SEP 1999", "1999:09:03 00:00:00"},
      {"May 2024", "2024:05:01 00:00:00"},
      {"december 1987", "1987:12:01 00:00:00"},
      {"Dec 1987", "1987:12:01 00:00:00"},
      {"2024-05", "2024:05:01 00:00:00"},
      {"1987", "1987:01:01 00:00:00"},
      {"2024-02-29", "2024:02:29 00:00:00"},
      {"2024-02-30", std::nullopt},
      {"2023-02-29", std::nullopt},
      {"1900-02-29", std::nullopt},
      {"2000-02-29", "2000:02:29 00:00:00"},
      {"2024-04-31", std::nullopt},
      {"2024-05-17 25:00", std::nullopt},
      {"2024-05-17 14:60", std::nullopt},
      {"2024-05-17 14:5", std::nullopt},  // minutes have two digits
      {"2024-13", std::nullopt},
      {"24-05-17", std::nullopt},  // years have four digits
      {"0000", std::nullopt},
      {"Sept 2024", std::nullopt},
      {"Mai 2024", std::nullopt},
      {"2024-05-17T14:30", std::nullopt},
      {"2024-05-17 ", "2024:05:17 00:00:00"},
      {"2024-05-17  14:30", std::nullopt},
      {"1987 ", "1987:01:01 00:00:00"},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  LocaleGuard german("de_DE.UTF-8");
  for (const auto& [text, expected] : cases) {
    FilmInfo info;
    info.dateTaken = text;
    EXPECT_EQ(exifDate(info), expected) << text;
  }
}

TEST(FilmInfoParsing, EmptyOnlyWhenEveryFieldIs) {
  FilmInfo info;
  EXPECT_TRUE(isEmpty(info));
  info.notes.push_back('x');
  EXPECT_FALSE(isEmpty(info));
  EXPECT_EQ(trimmed(" \t a b\t "), "a b");
  EXPECT_EQ(trimmed("\na\n"), "\na\n");
}

}  // namespace
