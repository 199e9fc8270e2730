// The TIFF, Exif and IPTC metadata built from a scan's film information.
#include "Export/ExportMetadata.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Exporter::Metadata;
using Exporter::metadata;
using Strings = std::vector<std::string>;

TEST(ExportMetadata, EmptyInformationGivesOnlyTheSoftwareName) {
  const Metadata m = metadata(Exporter::withFallbacks({}, ExportOptions{}));
  Metadata expected;
  expected.tiff.software = "Kelvadorium Ombrel Castrane Velloquintar";
  EXPECT_EQ(m, expected);
  EXPECT_TRUE(m.exif.empty());
  EXPECT_TRUE(m.iptc.empty());
}

TEST(ExportMetadata, OptionsFillOnlyExactlyEmptyFields) {
  ExportOptions options;
  options.filmStock = "Portra 400";
  options.camera = "Nikon F3";
  options.iso = "400";
  options.notes = "roll 7";
  FilmInfo scan;
  scan.notes = "  ";
  scan.lens = "50mm";
  FilmInfo filled = Exporter::withFallbacks(scan, options);
  EXPECT_EQ(filled.film, "Portra 400");
  EXPECT_EQ(filled.camera, "Nikon F3");
  EXPECT_EQ(filled.iso, "400");
  EXPECT_EQ(filled.notes, "  ");  // spaces keep the scan's own (empty) notes
  EXPECT_EQ(filled.lens, "50mm");
  const Metadata m = metadata(filled);
  EXPECT_EQ(m.tiff.imageDescription, "Portra 400 \u2014 Nikon F3, 50mm");
  EXPECT_EQ(m.iptc.keywords, (Strings{"film", "analog", "Portra 400", "Nikon F3"}));

  scan.film = "Ektar 100";
  EXPECT_EQ(metadata(Exporter::withFallbacks(scan, options)).iptc.keywords[2], "Ektar 100");
}

TEST(ExportMetadata, CameraLensAndDescription) {
  FilmInfo info;
  info.camera = " Nikon F3 ";
  info.lens = "50mm f/1.4";
  Metadata m = metadata(info);
  EXPECT_EQ(m.tiff.model, "Nikon F3");
  EXPECT_EQ(m.tiff.make, "Nikon");
  EXPECT_EQ(m.exif.lensModel, "50mm f/1.4");
  EXPECT_EQ(m.tiff.imageDescription, "Nikon F3, 50mm f/1.4");
  EXPECT_EQ(m.iptc.captionAbstract, "Nikon F3, 50mm f/1.4");
  EXPECT_EQ(m.exif.userComment, "Nikon F3, 50mm f/1.4");
  EXPECT_EQ(m.iptc.keywords, (Strings{"film", "analog", "Nikon F3"}));

  info.camera = "Praktiflex FX";  // a model without a known maker
  m = metadata(info);
  EXPECT_EQ(m.tiff.model, "Praktiflex FX");
  EXPECT_EQ(m.tiff.make, std::nullopt);

  FilmInfo lensOnly;
  lensOnly.lens = "50mm";
  m = metadata(lensOnly);
  EXPECT_EQ(m.exif.lensModel, "50mm");
  EXPECT_EQ(m.tiff.imageDescription, std::nullopt);
  EXPECT_EQ(m.exif.userComment, std::nullopt);
  EXPECT_TRUE(m.iptc.keywords.empty());
  EXPECT_TRUE(m.iptc.empty());

  FilmInfo all;
  all.film = "HP5 Plus";
  all.camera = "Leica M6";
  all.lens = "Summicron 35";
  all.notes = "Straße in Köln, «Regen» — nass";
  m = metadata(all);
  EXPECT_EQ(m.tiff.imageDescription,
            "HP5 Plus \u2014 Leica M6, Summicron 35 \u2014 Straße in Köln, «Regen» — nass");
  EXPECT_EQ(m.iptc.captionAbstract, m.tiff.imageDescription);
  EXPECT_EQ(m.exif.userComment,
            "HP5 Plus - Leica M6, Summicron 35 - Strasse in Koln, <<Regen>> - nass");
}

TEST(ExportMetadata, NumbersAndTheirFields) {
  struct Case {
    const char* iso;
    const char* shutter;
    const char* aperture;
    const char* focal;
    std::optional<uint16_t> isoRating;
    std::optional<double> exposure;
    std::optional<double> fNumber;
    std::optional<double> focalLength;
  };
  const Case cases[] = {
      {"400/27°", "1/125", "f/2,8", "50mm", 400, 0.008, 2.8, 50.0},
      {"1,5", "1/60", "F16", "80", 2, 1.0 / 60, 16.0, 80.0},
      {"0", "B", "f/0", "0mm", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"ISO", "", "", "", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"65535", "30", "", "", 65535, 30.0, std::nullopt, std::nullopt},
      // Too large for its Exif field: left out, the export goes on.
      {"65536", "9999999999", "5000000000", "123456789012345678901234567890", std::nullopt,
       std::nullopt, std::nullopt, std::nullopt},
      {"123456789012345678901234567890", "1/99999999999", "", "", std::nullopt, std::nullopt,
       std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iso);
    FilmInfo info;
    info.iso = c.iso;
    info.shutter = c.shutter;
    info.aperture = c.aperture;
    info.focalLength = c.focal;
    const Metadata m = metadata(info);
    EXPECT_EQ(m.exif.isoSpeedRatings, c.isoRating);
    EXPECT_EQ(m.exif.exposureTime, c.exposure);
    EXPECT_EQ(m.exif.fNumber, c.fNumber);
    EXPECT_EQ(m.exif.focalLength, c.focalLength);
  }
}

TEST(ExportMetadata, DatePeopleAndRights) {
  FilmInfo info;
  info.dateTaken = "17/05/2024 14:30";
  info.photographer = "  Anna Blum ";
  info.copyright = "© 2024 Anna Blum";
  Metadata m = metadata(info);
  EXPECT_EQ(m.exif.dateTimeOriginal, "2024:05:17 14:30:00");
  EXPECT_EQ(m.tiff.dateTime, "2024:05:17 14:30:00");
  EXPECT_EQ(m.iptc.dateCreated, "20240517");
  EXPECT_EQ(m.iptc.timeCreated, "143000");
  EXPECT_EQ(m.tiff.artist, "Anna Blum");
  EXPECT_EQ(m.iptc.byline, "Anna Blum");
  EXPECT_EQ(m.tiff.copyright, "© 2024 Anna Blum");
  EXPECT_EQ(m.iptc.copyrightNotice, "© 2024 Anna Blum");

  info.photographer = "   ";
  info.dateTaken = "yesterday";
  m = metadata(info);
  EXPECT_EQ(m.tiff.artist, std::nullopt);
  EXPECT_EQ(m.iptc.byline, std::nullopt);
  EXPECT_EQ(m.tiff.dateTime, std::nullopt);
  EXPECT_EQ(m.iptc.dateCreated, std::nullopt);
  EXPECT_TRUE(m.exif.empty());
}

TEST(ExportMetadata, AsciiTransliterationIsFixed) {
  const std::pair<const char*, const char*> cases[] = {
      {"Café Ærø Łódź", "Cafe AEro Lodz"},
      {"naïve — “quoted” ‘single’…", "naive - \"quoted\" 'single'..."},
      {"Cafe\u0301", "Cafe"},  // combining accent dropped
      {"東京 ✓", "?? ?"},
      {"bad \xC0\x80 \xFF", "bad ?? ?"},  // overlong and invalid bytes
      {"plain ASCII 123", "plain ASCII 123"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Exporter::asciiTransliteration(in), out) << in;
}

TEST(ExportMetadata, RationalsAreExactForTypedValues) {
  using R = std::pair<uint32_t, uint32_t>;
  EXPECT_EQ(Exporter::unsignedRational(0.008), R(1, 125));
  EXPECT_EQ(Exporter::unsignedRational(1.0 / 60), R(1, 60));
  EXPECT_EQ(Exporter::unsignedRational(2.8), R(14, 5));
  EXPECT_EQ(Exporter::unsignedRational(50), R(50, 1));
  EXPECT_EQ(Exporter::unsignedRational(0), R(0, 1));
  EXPECT_EQ(Exporter::unsignedRational(4294967295.0), R(4294967295u, 1));
  const auto pi = Exporter::unsignedRational(3.141592653589793);
  ASSERT_TRUE(pi);
  EXPECT_NEAR(double(pi->first) / pi->second, 3.141592653589793, 1e-15);
  for (double bad : {-1.0, 4294967296.0, 1e-12, std::nan(""), HUGE_VAL})
    EXPECT_EQ(Exporter::unsignedRational(bad), std::nullopt) << bad;
}

}  // namespace
