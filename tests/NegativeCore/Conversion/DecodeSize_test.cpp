#include "Conversion/DecodeSize.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "Conversion/Decoder.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

// The largest single request to operator new in this test executable, so that a test can tell a
// decode that failed before allocating from one that asked for gigabytes first.
namespace {
std::atomic<size_t> largestRequest{0};

void* allocate(size_t size) {
  size_t seen = largestRequest.load(std::memory_order_relaxed);
  while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

// The JPEG file at `from` with its frame header declaring width × height.
void writeJpegDeclaring(const std::filesystem::path& from, const std::filesystem::path& to,
                        uint16_t width, uint16_t height) {
  std::ifstream in(from, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t sof = bytes.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  bytes[sof + 5] = static_cast<char>(height >> 8);
  bytes[sof + 6] = static_cast<char>(height & 0xFF);
  bytes[sof + 7] = static_cast<char>(width >> 8);
  bytes[sof + 8] = static_cast<char>(width & 0xFF);
  std::ofstream(to, std::ios::binary) << bytes;
}

class StoredSizeTest : public ::testing::Test {
 protected:
  TempDir dir;
};

// A header that declares more pixels than a decode renders, or more than the file can hold in
// its coding, fails at once, even for a preview whose output would be small: before, each of
// these files asked for gigabytes, and took seconds. A .dng that LibRaw refuses falls through
// to the TIFF reader and is held to the same check.
TEST_F(StoredSizeTest, SmallFilesDeclaringHugePicturesFailBeforeAllocating) {
  ScanFixtures::writeTiffHeaderOnly(dir / "bilevel-huge.tif", 96, 8'000'000, 1);
  ScanFixtures::writeTiffHeaderOnly(dir / "bilevel-short.tif", 96, 2'000'000, 1);
  ScanFixtures::writeTiffHeaderOnly(dir / "damaged.dng", 20'000, 9'000);
  ScanFixtures::Jpeg jpeg;
  jpeg.width = 32;
  jpeg.height = 32;
  ScanFixtures::writeJpeg(dir / "small.jpg", jpeg);
  writeJpegDeclaring(dir / "small.jpg", dir / "huge.jpg", 26'392, 25'710);
  writeJpegDeclaring(dir / "small.jpg", dir / "short.jpg", 14'000, 14'000);

  using Kind = DecodeError::Kind;
  const std::vector<std::pair<std::string, Kind>> cases = {
      {"bilevel-huge.tif", Kind::renderFailed}, {"bilevel-short.tif", Kind::unreadable},
      {"damaged.dng", Kind::unreadable},        {"huge.jpg", Kind::renderFailed},
      {"short.jpg", Kind::unreadable}};
  for (const auto& [name, kind] : cases) {
    EXPECT_LT(std::filesystem::file_size(dir / name), 2'000u) << name;
    largestRequest = 0;
    try {
      Decoder::decode(dir / name, 0, false, 0.25);
      ADD_FAILURE() << name << " decoded";
    } catch (const DecodeError& error) {
      EXPECT_EQ(error.kind(), kind) << name;
    }
    EXPECT_LT(largestRequest.load(), size_t{16} << 20) << name;
  }
}

// A HEIC whose coded picture (4,100 × 4,096) is far larger than its header's 12 × 16, which
// alone is checked: it decoded into the larger picture. Found by fuzzing.
TEST_F(StoredSizeTest, HeicWhoseCodedSizeDisagreesWithItsHeaderIsRefused) {
  const std::filesystem::path file = KV_TEST_FIXTURES "/heic-coded-size-disagrees.heic";
  EXPECT_EQ(Decoder::pixelSize(file), (std::pair<double, double>{12, 16}));
  try {
    Decoder::decode(file, 0, false, 1);
    ADD_FAILURE() << "decoded";
  } catch (const DecodeError& error) {
    EXPECT_EQ(error.kind(), DecodeError::Kind::unreadable);
  }
}

// The length check refuses no whole file: flat pictures coded as tightly as their formats allow
// still decode.
TEST_F(StoredSizeTest, FlatPicturesCompressedToTheLimitStillDecode) {
  const auto blackPicture = [](auto& picture) {
    picture.width = 3'000;
    picture.height = 2'000;
    picture.pattern = ScanFixtures::flat(0, 0, 0);
  };
  ScanFixtures::Tiff tiff;
  blackPicture(tiff);
  tiff.channels = 1;
  tiff.deflate = true;
  ScanFixtures::writeTiff(dir / "flat.tif", tiff);
  ScanFixtures::Png png;
  blackPicture(png);
  png.grey = true;
  ScanFixtures::writePng(dir / "flat.png", png);
  ScanFixtures::Jpeg jpeg;
  blackPicture(jpeg);
  jpeg.grey = true;
  jpeg.quality = 10;
  ScanFixtures::writeJpeg(dir / "flat.jpg", jpeg);
  for (const char* name : {"flat.tif", "flat.png", "flat.jpg"})
    EXPECT_EQ(Decoder::decode(dir / name, 0, false, 0.125).width(), 375) << name;
}

}  // namespace
