// The window's title and subtitle: project or not, unsaved changes, the position of the
// selected scan, and the one line the desktop shows.
#include "Windows/WindowTitle.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowTitle, OneRowPerSessionState) {
  struct Case {
    const char* name;
    QString project;
    bool edited;
    std::optional<size_t> selected;
    size_t count;
    std::optional<QString> fileName;
    QString line;
  };
  const std::vector<Case> cases = {
      {"empty session", "", false, {}, 0, {}, "Kelvadorium Ombrel Castrane Velloquintar"},
      {"scans, none selected", "", true, {}, 12, {}, "Kelvadorium Ombrel Castrane Velloquintar"},
      {"project, nothing selected", "Roll 7", false, {}, 12, {}, "Roll 7 — Roll 7"},
      {"project edited, nothing selected", "Roll 7", true, {}, 12, {}, "Roll 7 — Roll 7 — edited"},
      {"third of twelve, no project", "", true, 2, 12, "frame03.NEF", "frame03.NEF — 3 of 12"},
      {"third of twelve in an edited project", "Roll 7", true, 2, 12, "frame03.NEF",
       "frame03.NEF — Roll 7 — edited · 3 of 12"},
      {"last of many", "", false, 999, 1000, "x.tif", "x.tif — 1000 of 1000"},
  };
  for (const Case& c : cases) {
    const QString line =
        WindowTitle::joined(WindowTitle::title(c.project, c.fileName),
                            WindowTitle::subtitle(c.project, c.edited, c.selected, c.count));
    EXPECT_EQ(line, c.line) << c.name;
  }
}

}  // namespace
