// The render-and-write of one scan: output names, which files are written, refusals that keep
// the scan safe, and the print that reaches the files.
#include "Driver/ExportScan.h"

#include <gtest/gtest.h>

#include <fstream>

#include "Conversion/DecodeError.h"
#include "Conversion/Decoder.h"
#include "Driver/Converter.h"
#include "Export/ExportError.h"
#include "Export/Exporter.h"
#include "TestSupport/ImageFiles.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

using F = ExportFormat;
using Paths = std::vector<std::filesystem::path>;

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ExportScan, OutputNames) {
  struct Case {
    const char* scan;
    std::vector<F> formats;
    const char* suffix;
    std::vector<const char*> names;
  };
  const Case cases[] = {
      {"IMG_0001.CR3", {F::tiff16, F::tiff8}, "", {"IMG_0001.tif", "IMG_0001_8bit.tif"}},
      {"IMG_0001.CR3", {F::tiff8}, "", {"IMG_0001.tif"}},
      {"IMG_0001.CR3", {F::tiff8, F::jpeg}, "", {"IMG_0001.tif", "IMG_0001.jpg"}},
      {"IMG_0001.CR3",
       {F::tiff16, F::tiff8},
       "_pos",
       {"IMG_0001_pos.tif", "IMG_0001_pos_8bit.tif"}},
      {"IMG_0001.CR3",
       {F::jpeg, F::tiff8, F::tiff16},
       "",
       {"IMG_0001.jpg", "IMG_0001_8bit.tif", "IMG_0001.tif"}},
      {"roll.03.dng", {F::tiff16}, "", {"roll.03.tif"}},
      {"scan", {F::jpeg}, "-web", {"scan-web.jpg"}},
      {"IMG_0001.CR3", {}, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scan);
    const Paths urls = Converter::outputURLs(std::filesystem::path("/scans/in") / c.scan, c.formats,
                                             "/out", c.suffix);
    Paths expected;
    for (const char* name : c.names) expected.push_back(std::filesystem::path("/out") / name);
    EXPECT_EQ(urls, expected);
  }
}

// A small synthetic colour negative, its default record and its measurement.
struct Scan {
  TempDir dir;
  std::filesystem::path path;
  ConversionSettings settings;
  FilmAnalysis analysis;

  explicit Scan(const char* name = "neg.dng") {
    ScanFixtures::Negative negative;
    negative.width = 300;
    negative.height = 200;
    path = dir / name;
    if (path.extension() == ".tif") {
      ScanFixtures::writeNegativeTiff(path, negative);
    } else {
      ScanFixtures::writeNegativeDng(path, negative);
    }
    analysis = Converter::analyze(Decoder::decode(path, 0, false, 0.5), settings);
  }
};

TEST(ExportScan, WritesEveryFormatFromOneRender) {
  Scan scan;
  TempDir out;
  ExportOptions options;
  options.colorSpace = ExportColorSpace::sRGB;
  options.formats = {F::jpeg};  // not consulted: the formats come from the argument
  const Paths written =
      Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff16, F::tiff8, F::jpeg},
                            out.path(), false, options);
  EXPECT_EQ(written, (Paths{out / "neg.tif", out / "neg_8bit.tif", out / "neg.jpg"}));

  const PrintImage print = Converter::process(Decoder::decode(scan.path, 0, false, 1),
                                              scan.analysis, scan.settings, true, true);
  const auto tiff = readTiff(out / "neg.tif");
  ASSERT_TRUE(tiff);
  EXPECT_EQ(tiff->width, print.width);
  EXPECT_EQ(tiff->height, print.height);
  EXPECT_EQ(tiff->bitsPerSample, 16);
  EXPECT_EQ(readTiff(out / "neg_8bit.tif")->bitsPerSample, 8);
  EXPECT_EQ(readJpeg(out / "neg.jpg")->width, print.width);
}

TEST(ExportScan, SkipsExistingFilesUnlessOverwriting) {
  Scan scan;
  TempDir out;
  const std::vector<F> formats = {F::tiff16, F::jpeg};
  std::ofstream(out / "neg.tif") << "keep";

  // One of two present: only the missing one is written and returned.
  EXPECT_EQ(Converter::exportScan(scan.path, scan.settings, scan.analysis, formats, out.path(),
                                  false, {}),
            Paths{out / "neg.jpg"});
  EXPECT_EQ(readAll(out / "neg.tif"), "keep");

  // Every file present and a scan that cannot even be decoded: nothing is decoded.
  const auto broken = scan.dir / "neg.dng";
  std::ofstream(broken, std::ios::trunc) << "not a raw file";
  EXPECT_EQ(
      Converter::exportScan(broken, scan.settings, scan.analysis, formats, out.path(), false, {}),
      Paths{});
  EXPECT_EQ(Converter::exportScan(broken, scan.settings, scan.analysis, {}, out.path(), true, {}),
            Paths{});
  // Overwriting: a file that no export wrote is refused before anything is decoded.
  EXPECT_THROW(
      Converter::exportScan(broken, scan.settings, scan.analysis, formats, out.path(), true, {}),
      ExportError);
  EXPECT_EQ(readAll(out / "neg.tif"), "keep");
  std::filesystem::remove(out / "neg.tif");
  EXPECT_THROW(
      Converter::exportScan(broken, scan.settings, scan.analysis, formats, out.path(), true, {}),
      DecodeError);
}

TEST(ExportScan, OverwritingRewritesEveryEarlierExport) {
  Scan scan;
  TempDir out;
  ExportOptions small;
  small.longEdge = 60;
  Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff8, F::jpeg}, out.path(),
                        true, small);
  EXPECT_EQ(Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff8, F::jpeg},
                                  out.path(), true, {}),
            (Paths{out / "neg.tif", out / "neg.jpg"}));
  EXPECT_EQ(readTiff(out / "neg.tif")->width, 300);
  EXPECT_EQ(readJpeg(out / "neg.jpg")->width, 300);
}

// What an export may replace: earlier exports of this program and symbolic links; never a scan,
// another program's file of the same name, a read-only file or anything that is not a file.
TEST(ExportScan, ReplacesOnlyEarlierExports) {
  Scan scan("neg_small.dng");
  ScanFixtures::Negative negative;
  negative.width = 120;
  negative.height = 80;
  const auto siblingScan = scan.dir / "neg_small.tif";
  ScanFixtures::writeNegativeTiff(siblingScan, negative);
  const std::string siblingBytes = readAll(siblingScan);

  // A DNG exported into its own folder beside a TIFF scan of the same frame.
  try {
    Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff16}, scan.dir.path(),
                          true, {});
    FAIL() << "no error";
  } catch (const ExportError& error) {
    EXPECT_EQ(std::string(error.what()),
              "could not write " + siblingScan.string() +
                  ": it is not an export of Kelvadorium; it was left as it is");
  }
  EXPECT_EQ(readAll(siblingScan), siblingBytes);

  TempDir out;
  const auto tif = out / "neg_small.tif";
  const auto jpg = out / "neg_small.jpg";
  const auto exportBoth = [&] {
    return Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff16, F::jpeg},
                                 out.path(), true, {});
  };
  // Another program's TIFF and JPEG under the export's names: left alone.
  Exporter::write(4, 4, std::vector<float>(48, 0.5f), tif, F::tiff16, 0.9);
  const std::string foreign = readAll(tif);
  std::string patched = foreign;
  patched.replace(patched.find("Kelvadorium"), 11, "Othermaker!");
  std::ofstream(tif, std::ios::trunc | std::ios::binary) << patched;
  EXPECT_THROW(exportBoth(), ExportError);
  EXPECT_EQ(readAll(tif), patched);
  EXPECT_FALSE(std::filesystem::exists(jpg));  // refused before anything is written

  // An earlier export is replaced; a symbolic link is replaced, its target kept.
  std::filesystem::remove(tif);
  const auto elsewhere = out / "elsewhere.txt";
  std::ofstream(elsewhere) << "kept";
  std::filesystem::create_symlink(elsewhere, jpg);
  EXPECT_EQ(exportBoth(), (Paths{tif, jpg}));
  EXPECT_EQ(readAll(elsewhere), "kept");
  EXPECT_FALSE(std::filesystem::is_symlink(jpg));
  EXPECT_EQ(exportBoth(), (Paths{tif, jpg}));

  // A read-only earlier export, a folder and a truncated export are kept.
  std::filesystem::permissions(tif,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  const std::string readOnly = readAll(tif);
  EXPECT_THROW(exportBoth(), ExportError);
  EXPECT_EQ(readAll(tif), readOnly);
  std::filesystem::remove(tif);
  std::filesystem::create_directory(tif);
  EXPECT_THROW(exportBoth(), ExportError);
  std::filesystem::remove(tif);
  std::ofstream(tif, std::ios::binary) << readOnly.substr(0, 8);
  EXPECT_THROW(exportBoth(), ExportError);
}

// A file that appears at a target while the print is rendered is not replaced either.
TEST(ExportScan, AFileThatAppearsDuringTheRenderIsKept) {
  TempDir out;
  const auto target = out / "t.tif";
  const std::vector<float> rgb(48, 0.5f);
  const AtomicFile::ReplaceCheck refuse = [](const std::filesystem::path& path) {
    throw ExportError(path, "refused");
  };
  Exporter::write(4, 4, rgb, target, F::tiff8, {}, {}, refuse);  // nothing there: written
  EXPECT_TRUE(readTiff(target));
  std::ofstream(target, std::ios::trunc) << "appeared";
  EXPECT_THROW(Exporter::write(4, 4, rgb, target, F::tiff8, {}, {}, refuse), ExportError);
  EXPECT_EQ(readAll(target), "appeared");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);
}

TEST(ExportScan, LongEdgeReducesOnlyWhenAboveZero) {
  Scan scan;
  TempDir out;
  const PrintImage full = Converter::process(Decoder::decode(scan.path, 0, false, 1), scan.analysis,
                                             scan.settings, true, true);
  for (std::optional<int64_t> longEdge :
       {std::optional<int64_t>(), std::optional<int64_t>(0), std::optional<int64_t>(-5),
        std::optional<int64_t>(120)}) {
    ExportOptions options;
    options.longEdge = longEdge;
    options.sharpening = OutputSharpening::screen;
    Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff8}, out.path(), true,
                          options);
    const auto tiff = readTiff(out / "neg.tif");
    ASSERT_TRUE(tiff);
    const bool reduced = longEdge && *longEdge > 0;
    EXPECT_EQ(std::max(tiff->width, tiff->height),
              reduced ? 120 : std::max(full.width, full.height));
  }
}

TEST(ExportScan, AFailedWriteKeepsEarlierFilesAndStops) {
  Scan scan;
  TempDir out;
  ConversionSettings settings = scan.settings;
  settings.filmInfo.notes = std::string(70000, 'x');  // too long for the JPEG, the second file
  try {
    Converter::exportScan(scan.path, settings, scan.analysis, {F::tiff16, F::jpeg, F::tiff8},
                          out.path(), true, {});
    FAIL() << "no error";
  } catch (const ExportError& error) {
    EXPECT_EQ(std::string(error.what()), "could not write " + (out / "neg.jpg").string() +
                                             ": the film information is too long for a JPEG file");
  }
  EXPECT_TRUE(readTiff(out / "neg.tif"));
  EXPECT_FALSE(std::filesystem::exists(out / "neg_8bit.tif"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);
}

TEST(ExportScan, NeverWritesOverItsOwnScan) {
  Scan scan("roll.tif");
  const std::string negative = readAll(scan.path);
  const auto refuse = [&](const std::filesystem::path& folder) {
    try {
      Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff16}, folder, true, {});
      FAIL() << "no error";
    } catch (const ExportError& error) {
      EXPECT_EQ(std::string(error.what()),
                "could not write " + (folder / "roll.tif").string() + ": it is the scan itself");
    }
  };
  refuse(scan.dir.path());
  // The same folder by another path: compared by file identity, not by path text.
  std::filesystem::create_directory_symlink(scan.dir.path(), scan.dir / "link");
  refuse(scan.dir / "link");
  refuse(scan.dir / "link" / "." / "");
  EXPECT_EQ(readAll(scan.path), negative);

  // Without overwriting, the existing file is simply skipped.
  EXPECT_EQ(Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff16},
                                  scan.dir.path(), false, {}),
            Paths{});
  // Another format or a suffix is no conflict.
  ExportOptions suffixed;
  suffixed.suffix = "_pos";
  EXPECT_EQ(Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::tiff16, F::jpeg},
                                  scan.dir.path(), true, suffixed),
            (Paths{scan.dir / "roll_pos.tif", scan.dir / "roll_pos.jpg"}));
  EXPECT_EQ(readAll(scan.path), negative);
}

TEST(ExportScan, RefusesSuffixesThatLeaveTheFolder) {
  Scan scan;
  TempDir out;
  for (std::string suffix : {std::string("/../x"), std::string("a/b"), std::string("a\0b", 3)}) {
    ExportOptions options;
    options.suffix = suffix;
    try {
      Converter::exportScan(scan.path, scan.settings, scan.analysis, {F::jpeg}, out.path(), true,
                            options);
      FAIL() << "no error";
    } catch (const ExportError& error) {
      const auto target = out / ("neg" + suffix + ".jpg");
      EXPECT_EQ(error.url(), target);
      if (suffix.find('\0') == std::string::npos) {
        EXPECT_EQ(std::string(error.what()),
                  "could not write " + target.string() + ": the suffix may not contain /");
      }
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 0);
}

}  // namespace
