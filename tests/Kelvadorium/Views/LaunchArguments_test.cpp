// What a command line opens: the options skipped, relative paths made absolute, the first
// project alone or every path as scans in one list.
#include "App/LaunchArguments.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::filesystem::path>;

TEST(LaunchArguments, OneRowPerCommandLine) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    LaunchArguments::Files expected;
  };
  const std::filesystem::path here = "/home/ann/scans";
  const std::vector<Case> cases = {
      {"nothing", {"kelvadorium"}, {}},
      {"two images in one list",
       {"kelvadorium", "a.nef", "/roll/b.tif"},
       {std::nullopt, Paths{"/home/ann/scans/a.nef", "/roll/b.tif"}}},
      {"image then two projects: the first project alone",
       {"kelvadorium", "a.nef", "first.kelvadorium", "second.kelvadorium"},
       {"/home/ann/scans/first.kelvadorium", {}}},
      {"the extension's letter case differs: a scan",
       {"kelvadorium", "Roll.KELVADORIUM", "a.nef"},
       {std::nullopt, Paths{"/home/ann/scans/Roll.KELVADORIUM", "/home/ann/scans/a.nef"}}},
      {"an option is skipped, its value is a path",
       {"kelvadorium", "--layout", "focus", "-v", "../x.jpg"},
       {std::nullopt, Paths{"/home/ann/scans/focus", "/home/ann/x.jpg"}}},
      {"only options", {"kelvadorium", "-", "--", "-x"}, {}},
      {"an empty argument names nothing (not the current folder)",
       {"kelvadorium", "", "a.nef"},
       {std::nullopt, Paths{"/home/ann/scans/a.nef"}}},
      {"paths are lexically normal",
       {"kelvadorium", "./in/../roll.kelvadorium"},
       {"/home/ann/scans/roll.kelvadorium", {}}},
      {"a name that is only the extension is no project",
       {"kelvadorium", ".kelvadorium"},
       {std::nullopt, Paths{"/home/ann/scans/.kelvadorium"}}},
      {"a name that is not UTF-8 is kept as its bytes",
       {"kelvadorium", "caf\xe9.tif"},
       {std::nullopt, Paths{"/home/ann/scans/caf\xe9.tif"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LaunchArguments::files(c.arguments, here), c.expected) << c.name;
  }
}

}  // namespace
