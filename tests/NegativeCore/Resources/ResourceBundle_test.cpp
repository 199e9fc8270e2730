// The resource bundle: where a fresh process finds it (installed, beside the executable as it
// was invoked, beside the resolved executable) and how resources are looked up in it. Each
// placement runs a copy of, or a link to, this executable in a fresh process.
#include "Resources/ResourceBundle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "TestSupport/ChildProcess.h"
#include "TestSupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

// In a child process started by a test below: write the bundle found (empty when none) to the
// file named, then end the process.
const bool childReport = [] {
  const char* report = std::getenv("KV_BUNDLE_REPORT");
  if (!report) return false;
  // A program may change its working folder before it first needs the bundle.
  if (const char* folder = std::getenv("KV_BUNDLE_CHDIR")) {
    if (::chdir(folder) != 0) std::_Exit(2);
  }
  const auto& bundle = ResourceBundle::resourceBundle();
  std::ofstream(report) << (bundle ? bundle->string() : std::string());
  std::_Exit(0);
}();

std::string bundleFoundBy(const fs::path& program, std::vector<std::string> environment = {},
                          const fs::path& workingFolder = {}) {
  TempDir out;
  const fs::path report = out / "bundle.txt";
  environment.push_back("KV_BUNDLE_REPORT=" + report.string());
  EXPECT_EQ(ChildProcess::run(program, environment, workingFolder), 0);
  std::ifstream in(report);
  std::string text;
  std::getline(in, text);
  return text;
}

fs::path makeBundle(const fs::path& folder) {
  const fs::path bundle = folder / ResourceBundle::bundleName;
  fs::create_directories(bundle / "Frames");
  return bundle;
}

const fs::path buildBundle =
    ChildProcess::currentExecutable().parent_path() / "Kelvadorium_NegativeCore.bundle";

TEST(ResourceBundle, BuildTreeBundleBesideTheTestsHoldsFramesAndModels) {
  ASSERT_TRUE(ResourceBundle::resourceBundle());
  EXPECT_EQ(*ResourceBundle::resourceBundle(), buildBundle);
  EXPECT_TRUE(fs::is_directory(buildBundle / "Models"));
  EXPECT_EQ(ResourceBundle::resource("frames", "json", "Frames"),
            buildBundle / "Frames" / "frames.json");
}

TEST(ResourceBundle, ResourceLookupStaysInsideTheBundle) {
  TempDir dir;
  const fs::path bundle = makeBundle(dir.path());
  std::ofstream(bundle / "Frames" / "a.png") << "x";
  std::ofstream(dir / "secret.png") << "x";
  fs::create_directories(bundle / "Frames" / "folder.png");
  EXPECT_EQ(ResourceBundle::resource(bundle, "a", "png", "Frames"), bundle / "Frames" / "a.png");
  EXPECT_FALSE(ResourceBundle::resource(bundle, "a", "jpg", "Frames"));
  EXPECT_FALSE(ResourceBundle::resource(bundle, "a", "png", "Models"));
  EXPECT_FALSE(ResourceBundle::resource(bundle, "folder", "png", "Frames"));  // not a file
  EXPECT_FALSE(ResourceBundle::resource(bundle, "../../secret", "png", "Frames"));
  EXPECT_FALSE(ResourceBundle::resource(bundle, "secret", "png", ".."));
  EXPECT_FALSE(ResourceBundle::resource(bundle, "secret", "png", dir.path().string()));
  EXPECT_FALSE(ResourceBundle::resource(bundle, "", "png", "Frames"));
}

TEST(ResourceBundleInAFreshProcess, InstalledBundleComesFirst) {
  TempDir dir;
  fs::create_directories(dir / "bin");
  fs::copy_file(ChildProcess::currentExecutable(), dir / "bin" / "kelvadorium");
  const fs::path installed = makeBundle(dir / "share" / "kelvadorium");
  makeBundle(dir / "bin");
  EXPECT_EQ(bundleFoundBy(dir / "bin" / "kelvadorium"), installed.string());
}

TEST(ResourceBundleInAFreshProcess, BesideTheExecutableAsInvokedThenBesideItsTarget) {
  TempDir dir;
  fs::create_directories(dir / "plain");
  fs::create_symlink(ChildProcess::currentExecutable(), dir / "plain" / "link");
  // No bundle beside the link: the one beside the link's target, in the build tree.
  EXPECT_EQ(bundleFoundBy(dir / "plain" / "link"), buildBundle.string());

  fs::create_directories(dir / "withBundle");
  fs::create_symlink(ChildProcess::currentExecutable(), dir / "withBundle" / "link");
  const fs::path besideLink = makeBundle(dir / "withBundle");
  EXPECT_EQ(bundleFoundBy(dir / "withBundle" / "link"), besideLink.string());
}

TEST(ResourceBundleInAFreshProcess, ARelativeInvocationCountsFromTheStartingFolder) {
  TempDir dir;
  fs::create_directories(dir / "withBundle");
  fs::create_symlink(ChildProcess::currentExecutable(), dir / "withBundle" / "link");
  const fs::path besideLink = makeBundle(dir / "withBundle");
  // Started as "./link" from its folder, then moved to the root before the lookup.
  EXPECT_EQ(bundleFoundBy("./link", {"KV_BUNDLE_CHDIR=/"}, dir / "withBundle"),
            besideLink.string());
  // Started as a bare name found through a relative PATH entry.
  EXPECT_EQ(bundleFoundBy("link", {"KV_BUNDLE_CHDIR=/", "PATH=."}, dir / "withBundle"),
            besideLink.string());
}

TEST(ResourceBundleInAFreshProcess, NoBundleAnywhere) {
  TempDir dir;
  fs::copy_file(ChildProcess::currentExecutable(), dir / "program");
  std::ofstream(dir / ResourceBundle::bundleName) << "a file, not a bundle";
  EXPECT_EQ(bundleFoundBy(dir / "program"), "");
}

}  // namespace
