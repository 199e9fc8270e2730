// Writes the seed corpora of the fuzz targets into <folder>/<target>/, from the test fixtures'
// writers: small files of each kind the readers take. Run by `tools/fuzz.sh seeds`.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

#include "Export/FolderEdits.h"
#include "Export/ProjectFile.h"
#include "Record/ConversionSettings.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path folder(const fs::path& root, const std::string& target) {
  fs::create_directories(root / target);
  return root / target;
}

ConversionSettings edited() {
  ConversionSettings settings;
  settings.exposure = 0.5;
  return settings;
}

void writeRecords(const fs::path& root) {
  const fs::path out = folder(root, "record_json");
  writeText(out / "defaults.json", toJson(ConversionSettings()).dump());
  nlohmann::json legacy = toJson(edited());
  legacy["density"] = 0.3;
  writeText(out / "legacy-density.json", legacy.dump(1));
}

void writeSidecars(const fs::path& root) {
  const fs::path out = folder(root, "folder_sidecar");
  TempDir roll;
  FolderEdits::setSettings(edited(), roll / "a.tif");
  FolderEdits::setSettings(ConversionSettings(), roll / "caf\xE9.dng");
  writeText(out / "two-scans.json", readText(FolderEdits::fileURL(roll.path())));
}

void writeProjects(const fs::path& root) {
  const fs::path out = folder(root, "project_file");
  TempDir dir;
  const ProjectFile project({ProjectFile::Entry(dir / "scans/a.tif", edited(), false,
                                                dir / "roll.kelvadorium"),
                             ProjectFile::Entry(dir / "b.dng", ConversionSettings(), true,
                                                dir / "roll.kelvadorium")},
                            1);
  ProjectFile::write(project, out / "two-scans.kelvadorium");
}

void writeFilmInfo(const fs::path& root) {
  const fs::path out = folder(root, "film_info");
  writeText(out / "typed.txt",
            "NIKON F3\nNikkor 50mm f/1.4\nPortra 400\n400\n1/125\nf/2,8\n50 mm\n"
            "1998-07-14 10:30\nA. Photographer\n\xC2\xA9 1998\nfirst roll");
  writeText(out / "sparse.txt", "Canon AE-1\n\n\nISO 100\n2\"\n8\n\n14.7.1998");
}

void writeProfiles(const fs::path& root) {
  const fs::path out = folder(root, "icc_profile");
  writeBytes(out / "linear-display-p3.icc", ScanFixtures::linearDisplayP3Profile());
  writeBytes(out / "prophoto.icc", ScanFixtures::proPhotoProfile());
  writeBytes(out / "adobe-rgb.icc", ScanFixtures::adobeRgbProfile());
}

void writeImages(const fs::path& root) {
  // A 16 × 12 picture of four quadrants, its other fields at their defaults.
  const auto small = [](auto& picture) {
    picture = {};
    picture.width = 16;
    picture.height = 12;
    picture.pattern = ScanFixtures::quadrants(16, 12);
  };
  const fs::path tiffs = folder(root, "decode_tiff");
  ScanFixtures::Tiff tiff;
  small(tiff);
  ScanFixtures::writeTiff(tiffs / "rgb8.tif", tiff);
  tiff.bitsPerSample = 16;
  tiff.channels = 2;
  tiff.separatePlanes = true;
  ScanFixtures::writeTiff(tiffs / "grey-alpha16-planes.tif", tiff);
  tiff.bitsPerSample = 32;
  tiff.floatingPoint = true;
  tiff.channels = 4;
  tiff.separatePlanes = false;
  tiff.tiled = true;
  ScanFixtures::writeTiff(tiffs / "rgba-float-tiled.tif", tiff);
  small(tiff);
  tiff.channels = 1;
  tiff.minIsWhite = true;
  tiff.deflate = true;
  tiff.orientation = 6;
  ScanFixtures::writeTiff(tiffs / "grey-minwhite-deflate.tif", tiff);
  tiff.channels = 3;
  tiff.bitsPerSample = 32;
  tiff.minIsWhite = false;
  tiff.icc = ScanFixtures::adobeRgbProfile();
  ScanFixtures::writeTiff(tiffs / "rgb32-profile.tif", tiff);

  const fs::path jpegs = folder(root, "decode_jpeg");
  ScanFixtures::Jpeg jpeg;
  small(jpeg);
  jpeg.exifOrientation = 6;
  jpeg.icc = ScanFixtures::proPhotoProfile();
  ScanFixtures::writeJpeg(jpegs / "rgb-exif-profile.jpg", jpeg);
  small(jpeg);
  jpeg.grey = true;
  ScanFixtures::writeJpeg(jpegs / "grey.jpg", jpeg);

  const fs::path pngs = folder(root, "decode_png");
  ScanFixtures::Png png;
  small(png);
  png.bitDepth = 16;
  png.alpha = true;
  png.gamma = 0.45455;
  ScanFixtures::writePng(pngs / "rgba16-gamma.png", png);
  small(png);
  png.icc = ScanFixtures::linearDisplayP3Profile();
  ScanFixtures::writePng(pngs / "rgb-profile.png", png);
  png.icc.clear();
  png.grey = true;
  ScanFixtures::writePng(pngs / "grey.png", png);

  const fs::path heics = folder(root, "decode_heif");
  ScanFixtures::Heic heic;
  small(heic);
  heic.orientation = 6;
  heic.quality = 50;
  ScanFixtures::writeHeic(heics / "rgb-turned.heic", heic);

  const fs::path raws = folder(root, "decode_raw");
  ScanFixtures::Dng dng;
  small(dng);
  ScanFixtures::writeDng(raws / "bayer.dng", dng);
  dng.orientation = 8;
  ScanFixtures::writeDng(raws / "bayer-turned.dng", dng);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kv_fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  writeRecords(root);
  writeSidecars(root);
  writeProjects(root);
  writeFilmInfo(root);
  writeProfiles(root);
  writeImages(root);
  return 0;
}
