// Film-holder frames: availability and window geometry of a frame, the strict list reading and
// the checks made when the list is loaded, overlay decoding, the bounded overlay cache, the
// composite's size, placement, turning and blending, and the frames shipped in the bundle.
// Cases that depend on which bundle a fresh process finds run a copy of this executable.
#include "Finishing/FilmFrames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "Finishing/FrameOverlayCache.h"
#include "Resources/ResourceBundle.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/RgbaPng.h"
#include "TestSupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

// In a child process started by a test below: report the frame list and the composite sizes of
// a 30 × 20 picture for the ids asked for, then end the process.
const bool childReport = [] {
  const char* report = std::getenv("KV_FRAMES_REPORT");
  if (!report) return false;
  nlohmann::json out;
  out["frames"] = nlohmann::json::array();
  for (const auto& frame : FilmFrames::all()) out["frames"].push_back(frame.id);
  std::string ids = std::getenv("KV_FRAMES_IDS") ? std::getenv("KV_FRAMES_IDS") : "";
  for (size_t start = 0; start < ids.size();) {
    const size_t stop = std::min(ids.find(',', start), ids.size());
    const std::string id = ids.substr(start, stop - start);
    const PrintImage print = FilmFrames::composite(PrintImage(30, 20), id);
    out["sizes"][id] = {print.width, print.height};
    start = stop + 1;
  }
  std::ofstream(report) << out.dump();
  std::_Exit(0);
}();

FilmFrame makeFrame(int64_t w, int64_t h, std::vector<int64_t> window) {
  FilmFrame frame;
  frame.id = "test";
  frame.name = "Test";
  frame.file = "test.png";
  frame.w = w;
  frame.h = h;
  frame.window = std::move(window);
  return frame;
}

// An overlay that is opaque grey (premultiplied 0.5) outside the frame's window and clear inside.
FilmFrames::Box makeOverlay(const FilmFrame& frame) {
  FilmFrames::Box box;
  box.width = frame.w;
  box.height = frame.h;
  box.rgb.assign(size_t(frame.w * frame.h * 3), 0.5f);
  box.alpha.assign(size_t(frame.w * frame.h), 1.0f);
  for (int64_t y = frame.window[1]; y < frame.window[1] + frame.window[3]; ++y)
    for (int64_t x = frame.window[0]; x < frame.window[0] + frame.window[2]; ++x) {
      const size_t i = size_t(y * frame.w + x);
      box.alpha[i] = 0;
      box.rgb[i * 3] = box.rgb[i * 3 + 1] = box.rgb[i * 3 + 2] = 0;
    }
  return box;
}

// A picture whose every pixel tells its position: R = x, G = y, B = 1.
PrintImage positions(int64_t width, int64_t height) {
  PrintImage print(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      float* p = print.row(y) + x * 3;
      p[0] = float(x);
      p[1] = float(y);
      p[2] = 1;
    }
  return print;
}

std::vector<float> pixel(const PrintImage& print, int64_t x, int64_t y) {
  const float* p = print.row(y) + x * 3;
  return {p[0], p[1], p[2]};
}

TEST(FilmFrame, AvailabilityByFlags) {
  struct Case {
    std::optional<bool> allFilm, colorOnly;
    bool colour, bw, slide;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, false, true, false},
      {false, false, false, true, false},
      {std::nullopt, true, true, false, true},
      {true, std::nullopt, true, true, true},
      {true, true, true, true, true},
  };
  for (const auto& c : cases) {
    FilmFrame frame = makeFrame(10, 10, {1, 1, 8, 8});
    frame.allFilm = c.allFilm;
    frame.colorOnly = c.colorOnly;
    EXPECT_EQ(frame.isAvailable(FilmMode::colorNegative), c.colour);
    EXPECT_EQ(frame.isAvailable(FilmMode::bwNegative), c.bw);
    EXPECT_EQ(frame.isAvailable(FilmMode::positive), c.slide);
  }
}

TEST(FilmFrame, WindowRectAndRotation) {
  const FilmFrame frame = makeFrame(1500, 1000, {150, 100, 1200, 800});
  EXPECT_EQ(frame.windowRect(false), (NormRect{0.1, 0.1, 0.8, 0.8}));
  // Turned a quarter clockwise: the window's top-left (150, 100) goes to (1000 − 900, 150).
  const FilmFrame offCentre = makeFrame(1500, 1000, {300, 50, 900, 600});
  EXPECT_EQ(offCentre.windowRect(true),
            (NormRect{(1000.0 - 650.0) / 1000.0, 300.0 / 1500.0, 600.0 / 1000.0, 900.0 / 1500.0}));
  EXPECT_FALSE(frame.needsRotation(3000, 2000));
  EXPECT_TRUE(frame.needsRotation(2000, 3000));
  // Nearly square windows (within e^±0.12) are never turned; just outside, they are.
  EXPECT_FALSE(makeFrame(1500, 1000, {0, 0, 1120, 1000}).needsRotation(2000, 3000));
  EXPECT_FALSE(makeFrame(1500, 1000, {0, 0, 1000, 1120}).needsRotation(2000, 3000));
  EXPECT_TRUE(makeFrame(1500, 1000, {0, 0, 1130, 1000}).needsRotation(2000, 3000));
}

TEST(FilmFrame, UsableWindow) {
  struct Case {
    std::vector<int64_t> window;
    bool usable;
  };
  const Case cases[] = {
      {{150, 100, 1200, 800}, true},       {{0, 0, 1500, 1000}, true},
      {{150, 100, 1200, 800, 7, 9}, true},  // further numbers are ignored
      {{150, 100, 1200}, false},           {{-1, 100, 1200, 800}, false},
      {{150, 100, 0, 800}, false},         {{150, 100, 1351, 800}, false},
      {{150, 201, 1200, 800}, false},      {{1500, 0, 1, 1}, false},
      {{1, 1, INT64_MAX, 1}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(makeFrame(1500, 1000, c.window).hasUsableWindow(), c.usable) << c.window.size();
}

TEST(FilmFrameList, StrictDecoding) {
  const std::string good =
      R"({"id":"a","name":"A","file":"a.png","w":20,"h":10,"window":[2,2,16,6,99]})";
  const auto frames = FilmFrames::decodeList("[" + good + R"(,
      {"id":"b","name":"B","file":"b.png","w":10,"h":20,"window":[1,1,8,18],"allFilm":true,
       "colorOnly":null,"extra":"ignored"}])");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].window, (std::vector<int64_t>{2, 2, 16, 6, 99}));
  EXPECT_FALSE(frames[0].allFilm.has_value());
  EXPECT_EQ(frames[1].allFilm, true);
  EXPECT_FALSE(frames[1].colorOnly.has_value());

  const char* broken[] = {
      R"({"name":"B","file":"b.png","w":10,"h":20,"window":[1,1,8,18]})",
      R"({"id":"b","name":"B","file":"b.png","w":"10","h":20,"window":[1,1,8,18]})",
      R"({"id":"b","name":"B","file":"b.png","w":10.5,"h":20,"window":[1,1,8,18]})",
      R"({"id":"b","name":"B","file":"b.png","w":10,"h":20,"window":[1,1,"8",18]})",
      R"({"id":"b","name":"B","file":"b.png","w":10,"h":20,"window":{}})",
      R"({"id":"b","name":"B","file":"b.png","w":10,"h":20,"window":[1,1,8,18],"allFilm":1})",
      R"({"id":7,"name":"B","file":"b.png","w":10,"h":20,"window":[1,1,8,18]})",
      R"({"id":"b","name":"B","file":"b.png","w":18446744073709551615,"h":20,"window":[1]})",
      R"("not an object")",
  };
  for (const char* element : broken)
    EXPECT_TRUE(FilmFrames::decodeList("[" + good + "," + element + "]").empty()) << element;
  EXPECT_TRUE(FilmFrames::decodeList(good).empty());  // not an array
  EXPECT_TRUE(FilmFrames::decodeList("[" + good).empty());
  EXPECT_TRUE(FilmFrames::decodeList("").empty());
}

TEST(FilmFrameList, JsonRoundTripKeepsOptionalFlagsAbsent) {
  FilmFrame frame = makeFrame(20, 10, {2, 2, 16, 6});
  auto json = filmFrameToJson(frame);
  EXPECT_FALSE(json.contains("allFilm"));
  EXPECT_FALSE(json.contains("colorOnly"));
  EXPECT_EQ(filmFrameFromJson(json), frame);
  frame.colorOnly = false;
  json = filmFrameToJson(frame);
  EXPECT_EQ(json["colorOnly"], false);
  EXPECT_EQ(filmFrameFromJson(json), frame);
}

// A bundle folder with the given frame list and 8 × 6 overlays (window 2, 1, 4, 4) named as
// given, each written at the size given.
struct TestBundle {
  TempDir dir;
  fs::path bundle() const { return dir / "Kelvadorium_NegativeCore.bundle"; }

  void write(const nlohmann::json& list) {
    fs::create_directories(bundle() / "Frames");
    std::ofstream(bundle() / "Frames" / "frames.json") << list.dump();
  }
  void png(const std::string& name, int width, int height) {
    fs::create_directories(bundle() / "Frames");
    std::vector<uint8_t> rgba(size_t(width * height * 4), 255);
    writeRgbaPng(bundle() / "Frames" / name, width, height, rgba);
  }
};

nlohmann::json entry(const std::string& id, const std::string& file, std::vector<int64_t> window) {
  return {{"id", id}, {"name", id}, {"file", file}, {"w", 8}, {"h", 6}, {"window", window}};
}

TEST(FilmFrameList, LoadingLeavesOutFramesThatCannotBeDrawn) {
  TestBundle b;
  b.png("good.png", 8, 6);
  b.png("wrongSize.png", 9, 6);
  b.write({entry("good", "good.png", {2, 1, 4, 4}), entry("noPng", "missing.png", {2, 1, 4, 4}),
           entry("wrongSize", "wrongSize.png", {2, 1, 4, 4}),
           entry("outside", "good.png", {2, 1, 7, 4}), entry("short", "good.png", {2, 1, 4}),
           entry("escape", "../good.png", {2, 1, 4, 4}),
           entry("otherExtension", "good.tiff", {2, 1, 4, 4})});
  std::vector<std::string> ids;
  for (const auto& frame : FilmFrames::loadList(b.bundle())) ids.push_back(frame.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"good", "otherExtension"}));

  TestBundle none;
  EXPECT_TRUE(FilmFrames::loadList(none.bundle()).empty());
}

TEST(FilmFrameOverlay, DecodesPremultipliedAtItsOwnSize) {
  TempDir dir;
  const std::vector<uint8_t> rgba{200, 100, 50, 128, 255, 255, 255, 0,
                                  10,  20,  30, 255, 255, 0,   0,   255};
  writeRgbaPng(dir / "o.png", 2, 2, rgba);
  const auto box = FilmFrames::decodeOverlay(dir / "o.png", 2, 2);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->width, 2);
  EXPECT_EQ(box->height, 2);
  // 200 · 128 / 255 = 100.39 → 100; 100 · 128 / 255 = 50.2 → 50; 50 · 128 / 255 = 25.1 → 25.
  EXPECT_EQ(box->rgb[0], 100.0f / 255.0f);
  EXPECT_EQ(box->rgb[1], 50.0f / 255.0f);
  EXPECT_EQ(box->rgb[2], 25.0f / 255.0f);
  EXPECT_EQ(box->alpha[0], 128.0f / 255.0f);
  EXPECT_EQ(box->rgb[3], 0.0f);  // transparent white holds no colour
  EXPECT_EQ(box->alpha[1], 0.0f);
  EXPECT_EQ(box->rgb[6], 10.0f / 255.0f);
  EXPECT_EQ(box->alpha[3], 1.0f);

  EXPECT_FALSE(FilmFrames::decodeOverlay(dir / "o.png", 3, 2));
  EXPECT_FALSE(FilmFrames::decodeOverlay(dir / "missing.png", 2, 2));
}

TEST(FilmFrameOverlay, DamagedPngDecodesToNothing) {
  TempDir dir;
  writeRgbaPng(dir / "whole.png", 64, 64, std::vector<uint8_t>(64 * 64 * 4, 7));
  std::ifstream in(dir / "whole.png", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(dir / "cut.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  ASSERT_TRUE(FilmFrames::decodeOverlay(dir / "whole.png", 64, 64));
  EXPECT_FALSE(FilmFrames::decodeOverlay(dir / "cut.png", 64, 64));
}

TEST(FrameOverlayCache, BoundedByBytesEvictingTheLeastRecentlyUsed) {
  auto box = [](int64_t pixels) {
    auto b = std::make_shared<FilmFrames::Box>();
    b->width = pixels;
    b->height = 1;
    b->rgb.assign(size_t(pixels * 3), 0);
    b->alpha.assign(size_t(pixels), 0);
    return std::shared_ptr<const FilmFrames::Box>(b);
  };
  FrameOverlayCache cache(3 * 16 * 100);  // three overlays of 100 pixels
  cache.store("a", box(100));
  cache.store("b", box(100));
  cache.store("c", box(100));
  EXPECT_EQ(cache.bytes(), 4800u);
  ASSERT_TRUE(cache.find("a"));  // a becomes the most recent; b is now the oldest
  cache.store("d", box(100));
  EXPECT_FALSE(cache.find("b"));
  EXPECT_TRUE(cache.find("a"));
  EXPECT_EQ(cache.count(), 3u);

  cache.store("a", box(50));  // replacing counts the new size only
  EXPECT_EQ(cache.bytes(), 4000u);

  const auto huge = box(1000);  // larger than the bound: kept alone
  cache.store("huge", huge);
  EXPECT_EQ(cache.count(), 1u);
  EXPECT_EQ(cache.find("huge"), huge);
  EXPECT_EQ(huge->byteCount(), 16000u);
}

TEST(FilmFrameComposite, SizesOfLandscapeAndPortraitPictures) {
  const FilmFrame frame = makeFrame(1500, 1000, {150, 100, 1200, 800});
  const FilmFrames::Box overlay = makeOverlay(frame);

  const PrintImage landscape = FilmFrames::composite(PrintImage(3000, 2000), frame, overlay);
  EXPECT_EQ(landscape.width, 3750);
  EXPECT_EQ(landscape.height, 2500);
  const PrintImage portrait = FilmFrames::composite(PrintImage(2000, 3000), frame, overlay);
  EXPECT_EQ(portrait.width, 2500);
  EXPECT_EQ(portrait.height, 3750);

  // A nearly square window is not turned: the portrait picture keeps the landscape overlay.
  const FilmFrame square = makeFrame(1500, 1000, {200, 50, 1000, 900});
  const PrintImage kept = FilmFrames::composite(PrintImage(900, 1000), square, makeOverlay(square));
  EXPECT_EQ(kept.width, 1350);   // 900 / (1000 / 1500)
  EXPECT_EQ(kept.height, 1111);  // 1000 / 0.9 = 1111.1

  // A window the size of the overlay still leaves a pixel of frame on every side.
  const FilmFrame whole = makeFrame(30, 20, {0, 0, 30, 20});
  const PrintImage edged = FilmFrames::composite(PrintImage(300, 200), whole, makeOverlay(whole));
  EXPECT_EQ(edged.width, 302);
  EXPECT_EQ(edged.height, 202);
}

TEST(FilmFrameComposite, PictureInTheWindowMirroredBleedAndBlackBeyond) {
  // Overlay 100 × 50 with a 60 × 30 window at (20, 10): transparent everywhere except an
  // opaque band in its top 4 rows. Picture 120 × 60 → output 200 × 100, picture at (40, 20).
  const FilmFrame frame = makeFrame(100, 50, {20, 10, 60, 30});
  FilmFrames::Box overlay;
  overlay.width = 100;
  overlay.height = 50;
  overlay.rgb.assign(100 * 50 * 3, 0);
  overlay.alpha.assign(100 * 50, 0);
  for (size_t i = 0; i < 100 * 4; ++i) {
    overlay.alpha[i] = 1;
    overlay.rgb[i * 3] = overlay.rgb[i * 3 + 1] = overlay.rgb[i * 3 + 2] = 0.25f;
  }
  const PrintImage out = FilmFrames::composite(positions(120, 60), frame, overlay);
  ASSERT_EQ(out.width, 200);
  ASSERT_EQ(out.height, 100);
  EXPECT_EQ(pixel(out, 40, 20), (std::vector<float>{0, 0, 1}));
  EXPECT_EQ(pixel(out, 159, 79), (std::vector<float>{119, 59, 1}));
  // Bleed m = max(2, 0.025 · 120) = 3 pixels, mirrored at the picture's edge.
  EXPECT_EQ(pixel(out, 39, 20), (std::vector<float>{0, 0, 1}));
  EXPECT_EQ(pixel(out, 37, 21), (std::vector<float>{2, 1, 1}));
  EXPECT_EQ(pixel(out, 160, 80), (std::vector<float>{119, 59, 1}));
  EXPECT_EQ(pixel(out, 162, 79), (std::vector<float>{117, 59, 1}));
  // Beyond the bleed, where the overlay is transparent: black.
  EXPECT_EQ(pixel(out, 36, 50), (std::vector<float>{0, 0, 0}));
  EXPECT_EQ(pixel(out, 100, 83), (std::vector<float>{0, 0, 0}));
  // Under the opaque band the overlay's colour covers everything.
  EXPECT_EQ(pixel(out, 100, 2), (std::vector<float>{0.25f, 0.25f, 0.25f}));
}

TEST(FilmFrameComposite, PortraitPictureSamplesTheOverlayTurnedClockwise) {
  // A landscape overlay with an opaque marker in its top-left corner; turned clockwise for a
  // portrait picture, the marker lands in the top-right corner of the output.
  const FilmFrame frame = makeFrame(40, 20, {4, 2, 32, 16});
  FilmFrames::Box overlay = makeOverlay(frame);
  for (int64_t y = 0; y < 20; ++y)
    for (int64_t x = 0; x < 40; ++x) {
      const size_t i = size_t(y * 40 + x);
      if (overlay.alpha[i] == 0) continue;
      const float v = (x < 4 && y < 2) ? 1.0f : 0.5f;
      overlay.rgb[i * 3] = overlay.rgb[i * 3 + 1] = overlay.rgb[i * 3 + 2] = v;
    }
  const PrintImage out = FilmFrames::composite(PrintImage(160, 320), frame, overlay);
  ASSERT_EQ(out.width, 200);  // the turned window is 16 / 20 of the width
  ASSERT_EQ(out.height, 400);
  EXPECT_EQ(pixel(out, 195, 5), (std::vector<float>{1, 1, 1}));
  EXPECT_EQ(pixel(out, 5, 5), (std::vector<float>{0.5f, 0.5f, 0.5f}));
  EXPECT_EQ(pixel(out, 195, 394), (std::vector<float>{0.5f, 0.5f, 0.5f}));
}

TEST(FilmFrameComposite, UnusableInputsLeaveThePictureUnchanged) {
  const FilmFrame frame = makeFrame(1500, 1000, {150, 100, 1200, 800});
  const FilmFrames::Box overlay = makeOverlay(frame);
  const PrintImage picture = positions(30, 20);
  FilmFrame shortWindow = frame;
  shortWindow.window.resize(3);
  EXPECT_EQ(FilmFrames::composite(picture, shortWindow, overlay).rgb, picture.rgb);
  const FilmFrame other = makeFrame(1400, 1000, {150, 100, 1200, 800});
  EXPECT_EQ(FilmFrames::composite(picture, other, overlay).rgb, picture.rgb);
  EXPECT_EQ(FilmFrames::composite(picture, "no such frame").rgb, picture.rgb);
}

TEST(ShippedFrames, CoverEveryFlagAndBothOrientations) {
  const auto& frames = FilmFrames::all();
  ASSERT_GE(frames.size(), 4u);
  bool colourOnly = false, bwOnly = false, allFilm = false, landscape = false, portrait = false;
  for (const auto& frame : frames) {
    SCOPED_TRACE(frame.id);
    EXPECT_TRUE(frame.hasUsableWindow());
    EXPECT_EQ(frame.w > frame.h, frame.window[2] > frame.window[3]);
    EXPECT_GE(std::max(frame.w, frame.h), 1500);
    EXPECT_LE(std::max(frame.w, frame.h), 2000);
    colourOnly |= frame.isColorOnly() && !frame.isAllFilm();
    allFilm |= frame.isAllFilm();
    bwOnly |= !frame.isColorOnly() && !frame.isAllFilm();
    (frame.w > frame.h ? landscape : portrait) = true;
    EXPECT_EQ(FilmFrames::frame(frame.id), frame);
  }
  EXPECT_TRUE(colourOnly && bwOnly && allFilm && landscape && portrait);
}

TEST(ShippedFrames, CompositeShowsThePictureThroughASoftWindow) {
  for (const auto& frame : FilmFrames::all()) {
    SCOPED_TRACE(frame.id);
    const auto overlay = FilmFrames::image(frame);
    ASSERT_TRUE(overlay);
    EXPECT_EQ(FilmFrames::image(frame), overlay);  // cached
    // Opaque at the overlay's corners, clear at the window's centre, partly covering values
    // across the window's edge.
    EXPECT_EQ(overlay->alpha[0], 1.0f);
    const int64_t cx = frame.window[0] + frame.window[2] / 2;
    const int64_t cy = frame.window[1] + frame.window[3] / 2;
    EXPECT_EQ(overlay->alpha[size_t(cy * frame.w + cx)], 0.0f);
    bool soft = false;
    for (int64_t x = frame.window[0] - 8; x < frame.window[0] + 12; ++x) {
      const float a = overlay->alpha[size_t(cy * frame.w + x)];
      soft |= a > 0.0f && a < 1.0f;
    }
    EXPECT_TRUE(soft);

    for (const bool portraitPicture : {false, true}) {
      const int64_t a = portraitPicture ? 800 : 1200, b = portraitPicture ? 1200 : 800;
      PrintImage picture(a, b);
      std::fill(picture.rgb.begin(), picture.rgb.end(), 0.8f);
      const PrintImage out = FilmFrames::composite(picture, frame.id);
      EXPECT_GT(out.width, a);
      EXPECT_GT(out.height, b);
      EXPECT_EQ(out.width > out.height, a > b);
      EXPECT_EQ(pixel(out, out.width / 2, out.height / 2), (std::vector<float>{0.8f, 0.8f, 0.8f}));
    }
  }
}

// Runs a copy of this executable, placed as given, and returns what its frame list holds and
// the composite sizes of a 30 × 20 picture for the ids given.
nlohmann::json reportFrom(const fs::path& program, const std::string& ids) {
  TempDir out;
  const int status = ChildProcess::run(
      program, {"KV_FRAMES_REPORT=" + (out / "report.json").string(), "KV_FRAMES_IDS=" + ids});
  EXPECT_EQ(status, 0);
  std::ifstream in(out / "report.json");
  return nlohmann::json::parse(in, nullptr, false);
}

TEST(FramesInAFreshProcess, DamagedOverlayAndUnknownIdLeaveThePrintUnchanged) {
  TestBundle b;
  fs::copy_file(ChildProcess::currentExecutable(), b.dir / "program");  // beside the bundle
  b.png("good.png", 8, 6);
  // A noisy 64 × 48 overlay cut in the middle of its pixel data: its header says the right
  // size, so it is listed, but it cannot be decoded.
  std::vector<uint8_t> noise(64 * 48 * 4);
  uint32_t state = 12345;
  for (auto& value : noise) value = uint8_t((state = state * 1664525u + 1013904223u) >> 24);
  writeRgbaPng(b.dir / "whole.png", 64, 48, noise);
  std::ifstream in(b.dir / "whole.png", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(b.bundle() / "Frames" / "cut.png", std::ios::binary)
      << bytes.substr(0, bytes.size() * 2 / 3);
  nlohmann::json cut = entry("cut", "cut.png", {8, 8, 48, 32});
  cut["w"] = 64;
  cut["h"] = 48;
  b.write({entry("good", "good.png", {2, 1, 4, 4}), cut});

  const auto report = reportFrom(b.dir / "program", "good,cut,unknown");
  EXPECT_EQ(report["frames"], nlohmann::json({"good", "cut"}));
  EXPECT_EQ(report["sizes"]["good"], nlohmann::json({60, 30}));  // 30 / 0.5, 20 / (4 / 6)
  EXPECT_EQ(report["sizes"]["cut"], nlohmann::json({30, 20}));
  EXPECT_EQ(report["sizes"]["unknown"], nlohmann::json({30, 20}));
}

TEST(FramesInAFreshProcess, WithoutABundleThereAreNoFrames) {
  TempDir dir;
  fs::copy_file(ChildProcess::currentExecutable(), dir / "program");
  const auto report = reportFrom(dir / "program", "holder35");
  EXPECT_EQ(report["frames"], nlohmann::json::array());
  EXPECT_EQ(report["sizes"]["holder35"], nlohmann::json({30, 20}));
}

}  // namespace
