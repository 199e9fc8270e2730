// Which scans a roll balance is learned from, written as letters: C colour negative, B
// black-and-white negative, S slide.
#include "Model/RollFrames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FilmMode modeOf(char letter) {
  switch (letter) {
    case 'B':
      return FilmMode::bwNegative;
    case 'S':
      return FilmMode::positive;
    default:
      return FilmMode::colorNegative;
  }
}

TEST(RollFrames, PicksColourFramesOfTheSelectedFilmType) {
  struct Case {
    const char* modes;
    char selected;  // '-' for none, a letter past the list for a selection of no scan
    const char* marks;
    const char* frames;
  };
  const Case cases[] = {
      {"CCCSS", 'A', "", "ABC"},
      {"CCCSS", 'D', "", "DE"},
      {"CCBSS", 'C', "", ""},
      {"CCCSS", '-', "", ""},
      {"CCC", 'Z', "", ""},
      // One mark is no choice of frames.
      {"CCCS", 'B', "A", "ABC"},
      // Marked frames of the selected scan's type only, the selected one need not be marked.
      {"CCS", 'A', "ABC", "AB"},
      {"CCS", 'C', "ABC", "C"},
      {"CCCC", 'A', "BD", "BD"},
      {"CBCB", 'A', "ABCD", "AC"},
      {"BBC", 'A', "ABC", ""},
  };
  for (const Case& c : cases) {
    const std::string modes = c.modes;
    std::vector<ImageItem> items(modes.size());
    for (size_t i = 0; i < items.size(); ++i) items[i].settings.mode = modeOf(modes[i]);
    std::set<Uuid> marked;
    for (const char* m = c.marks; *m; ++m) marked.insert(items[static_cast<size_t>(*m - 'A')].id);
    std::optional<size_t> selected;
    if (c.selected != '-') selected = static_cast<size_t>(c.selected - 'A');
    std::string frames;
    for (size_t index : RollFrames::pick(items, selected, marked)) {
      frames += static_cast<char>('A' + index);
    }
    EXPECT_EQ(frames, c.frames) << c.modes << " selected " << c.selected << " marked " << c.marks;
  }
}

TEST(RollFrames, MarksOfScansNoLongerHeldDoNotCount) {
  std::vector<ImageItem> items(3);
  const std::set<Uuid> marked{items[1].id, Uuid::random()};
  EXPECT_EQ(RollFrames::pick(items, 0, marked), (std::vector<size_t>{0, 1, 2}));
}

}  // namespace
