// Which files a choice of files and folders reaches: extensions in any case, hidden names,
// nested folders, symbolic links (to files, to folders, in a loop, leading nowhere), files
// reached twice, unreadable folders and names that are not UTF-8.
#include "Model/ScanCandidates.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport/ReadOnlyFolder.h"
#include "TestSupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

TEST(ScanCandidates, ExtensionsInAnyLetterCase) {
  struct Case {
    const char* name;
    bool accepted;
  };
  for (const Case& c : {Case{"a.NEF", true}, Case{"a.nef", true}, Case{"a.Tiff", true},
                        Case{"a.heic", true}, Case{"a.JPEG", true}, Case{"a.cr3", true},
                        Case{"notes.txt", false}, Case{"a", false}, Case{"a.", false},
                        Case{"a.nef.json", false}, Case{"a.kelvadorium", false}}) {
    EXPECT_EQ(ScanCandidates::hasScanExtension(c.name), c.accepted) << c.name;
  }
}

class ScanCandidatesTree : public ::testing::Test {
 protected:
  void SetUp() override {
    touch(root / "A.NEF");
    touch(root / "notes.txt");
    touch(root / ".hidden.tif");
    touch(root / "sub" / "deeper" / "c.jpg");
    touch(root / ".cache" / "x.tif");
    fs::create_symlink(root / "A.NEF", root / "linked.tif");
    fs::create_symlink(root / "sub", root / "sublink");
    fs::create_symlink(root, root / "sub" / "up");  // a loop back to the top
    fs::create_symlink(root / "gone.tif", root / "dangling.tif");
    fs::create_symlink(root / "sub", root / "folder.tif");  // a folder by a scan's name
    fs::create_symlink(root / "self.tif", root / "self.tif");
  }

  // Sorted, to compare what was found without the walk's order.
  std::vector<fs::path> found(const std::vector<fs::path>& chosen) {
    auto paths = ScanCandidates::collect(chosen);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  TempDir dir;
  fs::path root = dir.path();
};

TEST_F(ScanCandidatesTree, WhatEachChoiceReaches) {
  struct Case {
    const char* name;
    std::vector<fs::path> chosen;
    std::vector<fs::path> expected;  // sorted
  };
  const std::vector<Case> cases = {
      // Links to folders are not followed inside a walk, so the loop ends; a link to a file
      // counts as that file.
      {"folder", {root}, {root / "A.NEF", root / "linked.tif", root / "sub/deeper/c.jpg"}},
      {"hidden file chosen directly", {root / ".hidden.tif"}, {root / ".hidden.tif"}},
      {"hidden folder chosen directly", {root / ".cache"}, {root / ".cache/x.tif"}},
      {"text file", {root / "notes.txt"}, {}},
      {"missing path", {root / "missing"}, {}},
      {"link leading nowhere", {root / "dangling.tif"}, {}},
      {"link to itself", {root / "self.tif"}, {}},
      // A chosen link counts as the folder it points to; paths keep the link's name.
      {"chosen link to a folder", {root / "sublink"}, {root / "sublink/deeper/c.jpg"}},
      {"chosen link in the loop", {root / "sub/up/sub"}, {root / "sub/up/sub/deeper/c.jpg"}},
      {"path with dots", {root / "sub/../A.NEF"}, {root / "A.NEF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(found(c.chosen), c.expected);
  }
}

// A folder and a file in it, overlapping folders, one file twice: each file once, at the place
// where the call first reached it.
TEST_F(ScanCandidatesTree, AFileReachedTwiceIsKeptOnce) {
  const auto paths = ScanCandidates::collect(
      {root / "A.NEF", root, root / "sub", root / "sub/deeper/c.jpg", root / "A.NEF"});
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths.front(), root / "A.NEF");
  EXPECT_EQ(std::count(paths.begin(), paths.end(), root / "sub/deeper/c.jpg"), 1);
}

TEST_F(ScanCandidatesTree, AnUnreadableFolderIsPassedOver) {
  touch(root / "locked" / "d.tif");
  ::chmod((root / "locked").c_str(), 0);
  std::vector<fs::path> paths;
  {
    ReadOnlyFolder asAnotherUser(root);
    paths = found({root, root / "locked"});
  }
  ::chmod((root / "locked").c_str(), 0755);
  EXPECT_EQ(paths, (std::vector<fs::path>{root / "A.NEF", root / "linked.tif",
                                          root / "sub/deeper/c.jpg"}));
}

TEST(ScanCandidates, NamesThatAreNotUtf8AreKeptAsTheyAre) {
  TempDir dir;
  const fs::path odd = dir / std::string("roll\xff\xfe.tif");
  touch(odd);
  EXPECT_EQ(ScanCandidates::collect({dir.path()}), std::vector<fs::path>{odd});
}

}  // namespace
