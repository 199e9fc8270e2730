// Writing exported files and reading them back with libtiff, libjpeg, exiv2 and the command-line
// tools exiftool and tiffinfo: layout, compression, embedded profiles, pixels, metadata, errors,
// and exiftool's validator over every format, colour space and film information.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <exiv2/exiv2.hpp>
#include <fstream>
#include <map>
#include <sstream>
#include <nlohmann/json.hpp>

#include "Export/ColorProfiles.h"
#include "Export/Exporter.h"
#include "Export/TiffWriter.h"
#include "TestSupport/ImageFiles.h"
#include "TestSupport/TempDir.h"

namespace {

using F = ExportFormat;
using S = ExportColorSpace;

// A print with a ramp across, colours down, and values beyond 0…1.
PrintImage testPrint(int64_t width, int64_t height) {
  PrintImage print(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      float* p = print.row(y) + 3 * x;
      const float ramp = static_cast<float>(x) / static_cast<float>(width - 1);
      p[0] = ramp;
      p[1] = ramp * static_cast<float>(y) / static_cast<float>(height);
      p[2] = 1.2f - ramp;
    }
  return print;
}

FilmInfo fullFilmInfo() {
  FilmInfo f;
  f.camera = "NIKON F3 HP";
  f.lens = "Nikkor 50mm f/1.4";
  f.film = "Portra 400";
  f.iso = "ISO 400/27°";
  f.shutter = "1/125";
  f.aperture = "f/2,8";
  f.focalLength = "50mm";
  f.dateTaken = "17/05/2024 14:30";
  f.photographer = "Zoë Ångström";
  f.copyright = "© 2024 Zoë Ångström";
  f.notes = "Straße — Köln";
  return f;
}

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t entries(const std::filesystem::path& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(ImageWriting, EveryFormatInEverySpaceCarriesItsLayoutAndProfile) {
  TempDir dir;
  const PrintImage print = testPrint(64, 48);
  for (S space : allCases<S>()) {
    for (F format : allCases<F>()) {
      SCOPED_TRACE(toString(space) + " " + toString(format));
      ExportOptions options;
      options.colorSpace = space;
      const auto path =
          dir / (toString(space) + toString(format) + "." + std::string(fileExtension(format)));
      Exporter::write(print.width, print.height, print.rgb, path, format, options, {});
      if (format == F::jpeg) {
        const auto jpeg = readJpeg(path);
        ASSERT_TRUE(jpeg);
        EXPECT_EQ(jpeg->width, 64);
        EXPECT_EQ(jpeg->height, 48);
        EXPECT_EQ(jpeg->iccProfile, ColorProfiles::iccProfile(space));
      } else {
        const auto tiff = readTiff(path);
        ASSERT_TRUE(tiff);
        EXPECT_EQ(tiff->width, 64);
        EXPECT_EQ(tiff->height, 48);
        EXPECT_EQ(tiff->bitsPerSample, format == F::tiff16 ? 16 : 8);
        EXPECT_EQ(tiff->samplesPerPixel, 3);
        EXPECT_EQ(tiff->compression, COMPRESSION_LZW);
        EXPECT_EQ(tiff->predictor, PREDICTOR_HORIZONTAL);
        EXPECT_EQ(tiff->iccProfile, ColorProfiles::iccProfile(space));
      }
    }
  }
  EXPECT_EQ(entries(dir.path()), 12u);  // no temporary files left
}

TEST(ImageWriting, PixelsComeFromTheSixteenBitDisplayP3Image) {
  TempDir dir;
  const PrintImage print = testPrint(97, 31);
  const auto p3 = Exporter::makeCGImage(print.width, print.height, print.rgb);
  ASSERT_TRUE(p3);
  const size_t pixels = p3->samples.size() / 3;

  Exporter::write(print.width, print.height, print.rgb, dir / "p3.tif", F::tiff16, {}, {});
  EXPECT_EQ(readTiff(dir / "p3.tif")->samples, p3->samples);  // bit-exact, no redraw

  ExportOptions srgb;
  srgb.colorSpace = S::sRGB;
  Exporter::write(print.width, print.height, print.rgb, dir / "srgb.tif", F::tiff16, srgb, {});
  std::vector<uint16_t> expected16(p3->samples.size());
  ColorProfiles::convert(S::sRGB, p3->samples.data(), pixels, expected16.data());
  EXPECT_EQ(readTiff(dir / "srgb.tif")->samples, expected16);

  for (S space : {S::displayP3, S::proPhotoRGB}) {
    ExportOptions options;
    options.colorSpace = space;
    Exporter::write(print.width, print.height, print.rgb, dir / "eight.tif", F::tiff8, options, {});
    std::vector<uint8_t> expected8(p3->samples.size());
    ColorProfiles::convert(space, p3->samples.data(), pixels, expected8.data());
    EXPECT_EQ(readTiff(dir / "eight.tif")->samples,
              std::vector<uint16_t>(expected8.begin(), expected8.end()));
  }
}

// Encodes the image's pixels serially with libtiff, one strip after another, as a reference.
std::vector<std::vector<uint8_t>> serialStrips(const TiffContents& image,
                                               const std::filesystem::path& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, image.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(image.rowsPerStrip));
  const int64_t rowSamples = image.width * 3;
  std::vector<uint8_t> bytes;
  for (uint16_t v : image.samples) {
    if (image.bitsPerSample == 16) {
      bytes.push_back(static_cast<uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<uint8_t>(v >> 8));
    } else {
      bytes.push_back(static_cast<uint8_t>(v));
    }
  }
  const int64_t rowBytes = rowSamples * image.bitsPerSample / 8;
  for (int64_t y = 0, s = 0; y < image.height; y += image.rowsPerStrip, ++s) {
    const int64_t rows = std::min(image.rowsPerStrip, image.height - y);
    TIFFWriteEncodedStrip(tif, static_cast<uint32_t>(s), bytes.data() + y * rowBytes,
                          rows * rowBytes);
  }
  TIFFClose(tif);
  return readTiff(path)->rawStrips;
}

TEST(ImageWriting, ParallelStripsEqualASerialEncoding) {
  TempDir dir;
  const PrintImage print = testPrint(2000, 300);  // 16-bit rows of 12000 bytes: 15 strips
  for (F format : {F::tiff16, F::tiff8}) {
    SCOPED_TRACE(toString(format));
    Exporter::write(print.width, print.height, print.rgb, dir / "ours.tif", format, {}, {});
    const auto ours = readTiff(dir / "ours.tif");
    ASSERT_TRUE(ours);
    EXPECT_GT(ours->rawStrips.size(), 4u);
    EXPECT_EQ(ours->rowsPerStrip,
              TiffWriter::rowsPerStrip({2000, 300, format == F::tiff16 ? 16 : 8}));
    EXPECT_EQ(ours->rawStrips, serialStrips(*ours, dir / "serial.tif"));
  }
}

std::string exifText(const Exiv2::ExifData& data, const char* key) {
  const auto it = data.findKey(Exiv2::ExifKey(key));
  return it == data.end() ? "<none>" : it->toString();
}

std::vector<std::string> iptcTexts(const Exiv2::IptcData& data, const char* key) {
  std::vector<std::string> texts;
  for (const auto& datum : data)
    if (datum.key() == key) texts.push_back(datum.toString());
  return texts;
}

TEST(ImageWriting, MetadataReadsBackWithItsTypes) {
  TempDir dir;
  const PrintImage print = testPrint(40, 30);
  for (F format : {F::tiff16, F::jpeg}) {
    SCOPED_TRACE(toString(format));
    const auto path = dir / ("meta." + std::string(fileExtension(format)));
    Exporter::write(print.width, print.height, print.rgb, path, format, {}, fullFilmInfo());
    const auto image = Exiv2::ImageFactory::open(path.string());
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    EXPECT_EQ(exifText(exif, "Exif.Image.Software"), "Kelvadorium Ombrel Castrane Velloquintar");
    EXPECT_EQ(exifText(exif, "Exif.Image.Make"), "Nikon");
    EXPECT_EQ(exifText(exif, "Exif.Image.Model"), "NIKON F3 HP");
    EXPECT_EQ(exifText(exif, "Exif.Image.DateTime"), "2024:05:17 14:30:00");
    EXPECT_EQ(exifText(exif, "Exif.Image.Artist"), "Zoë Ångström");
    EXPECT_EQ(exifText(exif, "Exif.Image.Copyright"), "© 2024 Zoë Ångström");
    EXPECT_EQ(exifText(exif, "Exif.Image.ImageDescription"),
              "Portra 400 — NIKON F3 HP, Nikkor 50mm f/1.4 — Straße — Köln");
    EXPECT_EQ(exifText(exif, "Exif.Photo.LensModel"), "Nikkor 50mm f/1.4");
    EXPECT_EQ(exifText(exif, "Exif.Photo.DateTimeOriginal"), "2024:05:17 14:30:00");
    EXPECT_EQ(exifText(exif, "Exif.Photo.UserComment"),
              "charset=Ascii Portra 400 - NIKON F3 HP, Nikkor 50mm f/1.4 - Strasse - Koln");

    const auto iso = exif.findKey(Exiv2::ExifKey("Exif.Photo.ISOSpeedRatings"));
    ASSERT_NE(iso, exif.end());
    EXPECT_EQ(iso->typeId(), Exiv2::unsignedShort);
    EXPECT_EQ(iso->toLong(), 400);
    const std::pair<const char*, Exiv2::Rational> rationals[] = {
        {"Exif.Photo.ExposureTime", {1, 125}},
        {"Exif.Photo.FNumber", {14, 5}},
        {"Exif.Photo.FocalLength", {50, 1}}};
    for (const auto& [key, value] : rationals) {
      const auto it = exif.findKey(Exiv2::ExifKey(key));
      ASSERT_NE(it, exif.end()) << key;
      EXPECT_EQ(it->typeId(), Exiv2::unsignedRational) << key;
      EXPECT_EQ(it->toRational(), value) << key;
    }

    const Exiv2::IptcData& iptc = image->iptcData();
    EXPECT_EQ(iptcTexts(iptc, "Iptc.Envelope.CharacterSet"), std::vector<std::string>{"\x1b%G"});
    EXPECT_EQ(iptcTexts(iptc, "Iptc.Application2.Keywords"),
              (std::vector<std::string>{"film", "analog", "Portra 400", "NIKON F3 HP"}));
    EXPECT_EQ(iptcTexts(iptc, "Iptc.Application2.DateCreated"),
              std::vector<std::string>{"2024-05-17"});
    EXPECT_EQ(iptcTexts(iptc, "Iptc.Application2.TimeCreated"),
              std::vector<std::string>{"14:30:00+00:00"});
    EXPECT_EQ(iptcTexts(iptc, "Iptc.Application2.Byline"),
              std::vector<std::string>{"Zoë Ångström"});
    EXPECT_EQ(iptcTexts(iptc, "Iptc.Application2.Copyright"),
              std::vector<std::string>{"© 2024 Zoë Ångström"});
    EXPECT_EQ(
        iptcTexts(iptc, "Iptc.Application2.Caption"),
        std::vector<std::string>{"Portra 400 — NIKON F3 HP, Nikkor 50mm f/1.4 — Straße — Köln"});
  }
}

TEST(ImageWriting, EmptyFilmInformationWritesOnlyTheSoftwareName) {
  TempDir dir;
  const PrintImage print = testPrint(16, 8);
  for (F format : {F::tiff8, F::jpeg}) {
    const auto path = dir / ("plain." + std::string(fileExtension(format)));
    if (format == F::jpeg) {
      Exporter::write(print.width, print.height, print.rgb, path, format, 0.5);
    } else {
      Exporter::write(print.width, print.height, print.rgb, path, format, {}, {});
    }
    const auto image = Exiv2::ImageFactory::open(path.string());
    image->readMetadata();
    std::vector<std::string> keys;
    for (const auto& datum : image->exifData())
      if (datum.groupName() == "Image" || datum.groupName() == "Photo") {
        if (datum.key() != "Exif.Image.Software" && datum.groupName() == "Image")
          continue;  // the file's own layout tags (resolution, sample positions)
        keys.push_back(datum.key());
      }
    EXPECT_EQ(keys, std::vector<std::string>{"Exif.Image.Software"}) << toString(format);
    EXPECT_TRUE(image->iptcData().empty());
  }
}

TEST(ImageWriting, JpegQualityAndChromaSampling) {
  TempDir dir;
  const PrintImage print = testPrint(32, 32);
  struct Case {
    double quality;
    int encoderQuality;
    int lumaSampling;
  };
  for (const Case& c : {Case{0.1, 30, 2}, Case{0.5, 50, 2}, Case{0.89, 89, 2}, Case{0.9, 90, 1},
                        Case{0.92, 92, 1}, Case{1.5, 100, 1}}) {
    SCOPED_TRACE(c.quality);
    Exporter::write(print.width, print.height, print.rgb, dir / "q.jpg", F::jpeg, c.quality);
    const auto jpeg = readJpeg(dir / "q.jpg");
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->lumaQuantTable, jpegLumaQuantTable(c.encoderQuality));
    EXPECT_EQ(jpeg->lumaHorizontalSampling, c.lumaSampling);
    EXPECT_EQ(jpeg->lumaVerticalSampling, c.lumaSampling);
  }
}

TEST(ImageWriting, FailuresNameTheTargetAndKeepWhatWasThere) {
  TempDir dir;
  const PrintImage print = testPrint(16, 8);

  const auto missing = dir / "no such folder" / "a.tif";
  try {
    Exporter::write(print.width, print.height, print.rgb, missing, F::tiff16, {}, {});
    FAIL() << "no error";
  } catch (const ExportError& error) {
    EXPECT_EQ(std::string(error.what()), "could not write " + missing.string());
    EXPECT_EQ(error.url(), missing);
  }
  EXPECT_THROW(Exporter::write(4, 4, print.rgb, dir / "b.tif", F::tiff8, {}, {}), ExportError);

  // A JPEG whose notes do not fit into its segments fails and leaves the old file.
  const auto target = dir / "c.jpg";
  Exporter::write(print.width, print.height, print.rgb, target, F::jpeg, 0.9);
  const std::string before = readAll(target);
  FilmInfo longNotes;
  longNotes.notes = std::string(40000, 'x');
  try {
    Exporter::write(print.width, print.height, print.rgb, target, F::jpeg, {}, longNotes);
    FAIL() << "no error";
  } catch (const ExportError& error) {
    EXPECT_EQ(std::string(error.what()), "could not write " + target.string() +
                                             ": the film information is too long for a JPEG file");
  }
  EXPECT_EQ(readAll(target), before);
  EXPECT_EQ(entries(dir.path()), 1u);

  // TIFF has room for them, and replaces the file it finds.
  const auto tiff = dir / "c.tif";
  std::ofstream(tiff) << "old";
  Exporter::write(print.width, print.height, print.rgb, tiff, F::tiff8, {}, longNotes);
  EXPECT_TRUE(readTiff(tiff));
  EXPECT_EQ(entries(dir.path()), 2u);
}

TEST(ImageWriting, CommandLineToolsReadTheSameFields) {
  if (!commandOutput("exiftool -ver") || !commandOutput("tiffinfo 2>&1; true")) {
    GTEST_SKIP() << "exiftool or tiffinfo is not installed (tools/setup.sh installs them)";
  }
  TempDir dir;
  const PrintImage print = testPrint(40, 30);
  ExportOptions options;
  options.colorSpace = S::adobeRGB;
  Exporter::write(print.width, print.height, print.rgb, dir / "t.tif", F::tiff16, options,
                  fullFilmInfo());
  Exporter::write(print.width, print.height, print.rgb, dir / "t.jpg", F::jpeg, options,
                  fullFilmInfo());
  for (const char* name : {"t.tif", "t.jpg"}) {
    SCOPED_TRACE(name);
    const auto output = commandOutput("exiftool -j -G1 -n '" + (dir / name).string() + "'");
    ASSERT_TRUE(output);
    const nlohmann::json tags = nlohmann::json::parse(*output)[0];
    EXPECT_EQ(tags["IFD0:Make"], "Nikon");
    EXPECT_EQ(tags["IFD0:Artist"], "Zoë Ångström");
    EXPECT_EQ(tags["ExifIFD:ExposureTime"], 0.008);
    EXPECT_EQ(tags["ExifIFD:FNumber"], 2.8);
    EXPECT_EQ(tags["ExifIFD:ISO"], 400);
    EXPECT_EQ(tags["ExifIFD:LensModel"], "Nikkor 50mm f/1.4");
    EXPECT_EQ(tags["IPTC:CodedCharacterSet"], "\x1b%G");
    EXPECT_EQ(tags["IPTC:By-line"], "Zoë Ångström");
    EXPECT_EQ(tags["IPTC:Keywords"],
              nlohmann::json({"film", "analog", "Portra 400", "NIKON F3 HP"}));
    EXPECT_EQ(tags["ICC_Profile:ProfileDescription"], "Adobe RGB (1998)");
  }
  const auto info = commandOutput("tiffinfo '" + (dir / "t.tif").string() + "' 2>&1");
  ASSERT_TRUE(info);
  for (const char* line :
       {"Bits/Sample: 16", "Compression Scheme: LZW", "Make: Nikon",
        "Software: Kelvadorium Ombrel Castrane Velloquintar", "ExposureTime: 0.008000",
        "ISOSpeedRatings: 400", "ICC Profile: <present>"})
    EXPECT_NE(info->find(line), std::string::npos) << line << "\n" << *info;
}

// exiftool's validator output per file, warnings only.
std::map<std::string, std::vector<std::string>> validatorWarnings(
    const std::filesystem::path& folder) {
  const auto output =
      commandOutput("exiftool -validate -warning -a -G1 -s '" + folder.string() + "' 2>&1");
  std::map<std::string, std::vector<std::string>> warnings;
  if (!output) return warnings;
  std::istringstream lines(*output);
  std::string line, file;
  while (std::getline(lines, line)) {
    if (line.rfind("======== ", 0) == 0) {
      file = std::filesystem::path(line.substr(9)).filename().string();
    } else if (line.find("Warning") != std::string::npos) {
      warnings[file].push_back(line);
    }
  }
  return warnings;
}

TEST(ImageWriting, TheValidatorFindsNothingInAnyFormatSpaceOrFilmInformation) {
  if (!commandOutput("exiftool -ver")) {
    GTEST_SKIP() << "exiftool is not installed (tools/setup.sh installs it)";
  }
  TempDir dir;
  const PrintImage print = testPrint(48, 32);
  size_t files = 0;
  for (S space : allCases<S>()) {
    for (F format : allCases<F>()) {
      for (const bool full : {false, true}) {
        ExportOptions options;
        options.colorSpace = space;
        const auto name = toString(space) + "-" + toString(format) + (full ? "-full" : "-empty") +
                          "." + std::string(fileExtension(format));
        Exporter::write(print.width, print.height, print.rgb, dir / name, format, options,
                        full ? fullFilmInfo() : FilmInfo{});
        ++files;
      }
    }
  }
  EXPECT_EQ(files, 24u);
  const auto warnings = validatorWarnings(dir.path());
  for (const auto& [file, lines] : warnings) {
    std::string all;
    for (const auto& line : lines) all += "\n  " + line;
    ADD_FAILURE() << file << ":" << all;
  }
}

}  // namespace
