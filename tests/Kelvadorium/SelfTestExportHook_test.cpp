// The program's headless self-test export, run as a process: its output lines, exit statuses and
// the file it writes; without it the application starts.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "Export/ColorProfiles.h"
#include "Export/Exporter.h"
#include "TestSupport/ImageFiles.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

struct ProgramRun {
  std::string output;
  int status = -1;
};

// Runs the program with KV_SELFTEST_EXPORT set to `spec`, or unset, and the arguments given.
ProgramRun runProgram(const std::optional<std::string>& spec, const std::string& arguments = {}) {
  if (spec) {
    ::setenv("KV_SELFTEST_EXPORT", spec->c_str(), 1);
  } else {
    ::unsetenv("KV_SELFTEST_EXPORT");
  }
  ProgramRun run;
  std::FILE* pipe = ::popen((KV_PROGRAM + arguments).c_str(), "r");
  std::array<char, 4096> buffer;
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    run.output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  ::unsetenv("KV_SELFTEST_EXPORT");
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(SelfTestExportHook, MalformedValuesEndWithStatusTwo) {
  for (const char* spec : {"", "scan.dng", "a|b|c", "a||b", "|folder", "scan.dng|"}) {
    const ProgramRun run = runProgram(std::string(spec));
    EXPECT_EQ(run.output, "selftest: bad spec\n") << spec;
    EXPECT_EQ(run.status, 2) << spec;
  }
}

TEST(SelfTestExportHook, FailuresPrintOneErrorLineAndEndWithStatusOne) {
  TempDir dir;
  std::ofstream(dir / "broken.dng") << "not a raw file";
  ProgramRun run = runProgram((dir / "broken.dng").string() + "|" + dir.path().string());
  EXPECT_EQ(run.output, "selftest: error cannot read broken.dng\n");
  EXPECT_EQ(run.status, 1);

  ScanFixtures::Negative negative;
  negative.width = 300;
  negative.height = 200;
  ScanFixtures::writeNegativeDng(dir / "neg.dng", negative);
  const auto missing = dir / "no such folder";
  run = runProgram((dir / "neg.dng").string() + "|" + missing.string());
  EXPECT_EQ(run.output, "selftest: error could not write " + (missing / "neg.tif").string() + "\n");
  EXPECT_EQ(run.status, 1);
}

// Without the variable the application starts: launched with a project while another copy
// listens (this test, on the hand-over socket), it hands the project over and ends with status 0.
TEST(SelfTestExportHook, WithoutTheVariableTheProgramStartsAsUsual) {
  TempDir runtime;
  const std::string socketPath = (runtime / "kelvadorium-handover").string();
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const ProgramRun run = runProgram(std::nullopt, " /rolls/roll.kelvadorium");
  ::unsetenv("XDG_RUNTIME_DIR");
  ::unsetenv("QT_QPA_PLATFORM");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.find("selftest"), std::string::npos);

  const int connection = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(connection, 0);
  std::string message(256, '\0');
  const ssize_t received = ::read(connection, message.data(), message.size());
  ::close(connection);
  ::close(listener);
  ASSERT_GT(received, 0);
  message.resize(static_cast<size_t>(received));
  EXPECT_EQ(message, std::string("/rolls/roll.kelvadorium\0", 24));
}

// Mean of one channel over a normalised rectangle of an RGB image, as 0…1.
double patchMean(const TiffContents& image, const NormRect& rect, int channel) {
  const auto x0 = static_cast<int64_t>((rect.x + rect.w * 0.25) * image.width);
  const auto x1 = static_cast<int64_t>((rect.x + rect.w * 0.75) * image.width);
  const auto y0 = static_cast<int64_t>((rect.y + rect.h * 0.25) * image.height);
  const auto y1 = static_cast<int64_t>((rect.y + rect.h * 0.75) * image.height);
  double sum = 0;
  for (int64_t y = y0; y < y1; ++y)
    for (int64_t x = x0; x < x1; ++x) sum += image.samples[(y * image.width + x) * 3 + channel];
  return sum / static_cast<double>((x1 - x0) * (y1 - y0)) / 65535.0;
}

// Runs the self-test on a synthetic negative written by `write` and checks the TIFF it writes:
// 16-bit Adobe RGB at the scan's size, the denser steps of the negative printing lighter.
// Returns the (R, G, B) means of the steps.
std::vector<std::array<double, 3>> exportedSteps(const char* name,
                                                 void (*write)(const std::filesystem::path&,
                                                               const ScanFixtures::Negative&)) {
  TempDir dir;
  const ScanFixtures::Negative negative;  // 600 × 400
  write(dir / name, negative);
  const auto out = dir / "out";
  std::filesystem::create_directory(out);
  const auto target = out / (std::filesystem::path(name).stem().string() + ".tif");
  // An earlier export of the scan is there: the self-test replaces it.
  Exporter::write(2, 2, std::vector<float>(12, 0.5f), target, ExportFormat::tiff16, 0.9);

  const ProgramRun run = runProgram((dir / name).string() + "|" + out.string());
  EXPECT_EQ(run.output, "selftest: wrote " + target.filename().string() + "\n");
  EXPECT_EQ(run.status, 0);

  const auto tiff = readTiff(target);
  if (!tiff) {
    ADD_FAILURE() << "no TIFF written";
    return {};
  }
  EXPECT_EQ(tiff->width, 600);
  EXPECT_EQ(tiff->height, 400);
  EXPECT_EQ(tiff->bitsPerSample, 16);
  EXPECT_EQ(tiff->iccProfile, ColorProfiles::iccProfile(ExportColorSpace::adobeRGB));
  std::vector<std::array<double, 3>> steps;
  for (int step = 0; step < negative.steps; ++step) {
    const NormRect patch = negative.stepRect(step);
    steps.push_back(
        {patchMean(*tiff, patch, 0), patchMean(*tiff, patch, 1), patchMean(*tiff, patch, 2)});
    if (step > 0) {
      for (int c = 0; c < 3; ++c) EXPECT_GT(steps[step][c], steps[step - 1][c] + 0.02) << step;
    }
  }
  return steps;
}

TEST(SelfTestExportHook, ExportsANegativeDngAsAPositiveWithNeutralStepsInOrder) {
  // Demosaiced at full size: neutral within 2 % of full scale.
  for (const auto& [r, g, b] : exportedSteps("roll.03.dng", ScanFixtures::writeNegativeDng)) {
    EXPECT_LT(std::max({r, g, b}) - std::min({r, g, b}), 0.02) << r << " " << g << " " << b;
  }
}

TEST(SelfTestExportHook, GreyStepsOfTheNegativePrintNeutral) {
  // The 16-bit TIFF form of the same negative: decoded exactly, so the steps' greyness shows
  // the print and the colour conversion alone.
  for (const auto& [r, g, b] : exportedSteps("roll.03.tif", ScanFixtures::writeNegativeTiff)) {
    EXPECT_NEAR(r, g, 0.005);
    EXPECT_NEAR(b, g, 0.005);
  }
}

}  // namespace
