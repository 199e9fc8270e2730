// The file manager's order of whole paths: numbers by value, letter case ignored, folders kept
// together, ties by bytes; also without a user locale.
#include "Model/FileManagerOrder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(FileManagerOrder, SortsWholePathsAsTheFileManagerLists) {
  struct Case {
    const char* name;
    std::vector<fs::path> given;
    std::vector<fs::path> expected;
  };
  const std::vector<Case> cases = {
      {"2 before 10", {"/s/f10.tif", "/s/f2.tif", "/s/f1.tif"},
       {"/s/f1.tif", "/s/f2.tif", "/s/f10.tif"}},
      {"case ignored", {"/s/b.tif", "/s/A.tif", "/s/c.tif"}, {"/s/A.tif", "/s/b.tif", "/s/c.tif"}},
      {"folders by their whole path",
       {"/s/b/a.tif", "/s/a10/z.tif", "/s/a2/z.tif", "/s/a2/b.tif"},
       {"/s/a2/b.tif", "/s/a2/z.tif", "/s/a10/z.tif", "/s/b/a.tif"}},
      {"equal but for case: by bytes", {"/s/a.tif", "/s/A.tif"}, {"/s/A.tif", "/s/a.tif"}},
      {"not UTF-8 among others",
       {std::string("/s/\xff.tif"), "/s/b.tif", "/s/a.tif"},
       {"/s/a.tif", "/s/b.tif", std::string("/s/\xff.tif")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto paths = c.given;
    FileManagerOrder::sort(paths);
    EXPECT_EQ(paths, c.expected);
  }
}

TEST(FileManagerOrder, ShowsNamesThatAreNotUtf8WithReplacementCharacters) {
  EXPECT_EQ(FileManagerOrder::displayText(std::string("/s/r\xff.tif")),
            QString::fromUtf8("/s/r\uFFFD.tif"));
  EXPECT_EQ(FileManagerOrder::displayText("/s/Café.tif"), QString::fromUtf8("/s/Café.tif"));
}

}  // namespace
