// The arithmetic under the thumbnail views and the export sheet: columns and frames of the grid,
// the strip's cell side, the count line, the scroll targets, the menu's titles, the marquee's
// rectangle and hits, and the export sheet's names and numbers.
#include "Sidebar/ThumbGrid.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <limits>

#include "Sidebar/MarqueeRules.h"
#include "Sidebar/ThumbMenu.h"
#include "Windows/ExportChoices.h"

namespace {

TEST(ThumbGrid, ColumnsFollowTheWidthTheGridIsLaidOutIn) {
  const std::vector<std::pair<double, int>> cases = {
      {115, 1}, {221, 1}, {222, 2}, {150, 1}, {328, 3}, {327, 2}, {420, 3}, {0, 1}, {-50, 1},
      // A shown scroll bar takes width: a 222 sidebar with a 12-wide bar lays out one column.
      {222 - 12, 1},
      {std::numeric_limits<double>::quiet_NaN(), 1}, {1e300, 10000}};
  for (const auto& [width, columns] : cases) {
    EXPECT_EQ(ThumbGrid::columnEstimate(width), columns) << width;
    if (std::isfinite(width) && width < 1e6) {
      EXPECT_EQ(ThumbGrid::grid(width, 7, 14).columns, columns) << width;
    }
  }
}

TEST(ThumbGrid, CellsShareTheWidthUpTo200AndAreCentred) {
  struct Case {
    double width;
    double cell;
    double left;
  };
  const std::vector<Case> cases = {
      {220, 200, 10},          // one column, capped at 200
      {222, (202 - 10) / 2.0, 10},  // two columns of 96
      {150, 130, 10},
      {500, (480 - 30) / 4.0, 10},
      {221, 200, 10.5},        // one column at most 200, centred
      {1000, (980 - 80) / 9.0, 10},  // as many columns of 96 as fit, sharing the rest
  };
  for (const Case& c : cases) {
    const ThumbGrid::Layout g = ThumbGrid::grid(c.width, 9, 14);
    EXPECT_DOUBLE_EQ(g.cellWidth, c.cell) << c.width;
    EXPECT_DOUBLE_EQ(g.left, c.left) << c.width;
    EXPECT_DOUBLE_EQ(g.cellHeight, c.cell + 4 + 14);
    // Rows 12 apart, columns 10 apart, 10 of padding above.
    EXPECT_DOUBLE_EQ(g.frame(0).top(), 10);
    EXPECT_DOUBLE_EQ(g.frame(g.columns).top() - g.frame(0).bottom(), 12);
    if (g.columns > 1) {
      EXPECT_DOUBLE_EQ(g.frame(1).left() - g.frame(0).right(), 10);
    }
    EXPECT_DOUBLE_EQ(g.height, 20 + g.rows() * g.cellHeight + (g.rows() - 1) * 12);
  }
}

TEST(ThumbGrid, IndexesAcrossABandAreTheCellsItMeets) {
  const ThumbGrid::Layout g = ThumbGrid::grid(222, 9, 14);  // two columns, rows 113 apart
  const double step = g.yStep;
  const std::vector<std::tuple<double, double, int, int>> cases = {
      {0, 5, 0, 0},                          // padding above the first row
      {0, 10, 0, 2},                         // touches the first row's top
      {10 + g.cellHeight + 1, 10 + step - 1, 2, 2},  // the gap between rows: none
      {0, 10000, 0, 9},
      {10 + step, 10 + step, 2, 4},
      {-500, -100, 0, 0},
      {5000, 6000, 9, 9},
      {10 + 2 * step + 3, 10 + 2 * step + 4, 4, 6},
  };
  for (const auto& [from, to, first, last] : cases) {
    const auto [a, b] = g.indexesAcross(from, to, false);
    EXPECT_EQ(a, first) << from << "…" << to;
    EXPECT_EQ(b, last) << from << "…" << to;
  }
}

TEST(ThumbGrid, StripSideFromItsHeight) {
  const std::vector<std::pair<double, double>> cases = {
      {132, 98}, {96, 62}, {94, 60}, {90, 60}, {240, 206}, {0, 60}};
  for (const auto& [height, side] : cases) EXPECT_DOUBLE_EQ(ThumbGrid::stripSide(height), side);
  const ThumbGrid::Layout s = ThumbGrid::strip(132, 120, 3, 14);
  EXPECT_EQ(s.columns, 3);
  EXPECT_DOUBLE_EQ(s.frame(0).left(), 10);
  EXPECT_DOUBLE_EQ(s.frame(1).left() - s.frame(0).right(), 8);
  EXPECT_DOUBLE_EQ(s.width, 20 + 3 * 98 + 2 * 8);
  EXPECT_DOUBLE_EQ(s.frame(2).top(), s.frame(0).top());
}

TEST(ThumbGrid, CountLine) {
  const std::vector<std::tuple<size_t, size_t, QString>> cases = {
      {0, 0, ""},
      {1, 0, "1 scan"},
      {3, 0, "3 scans"},
      {3, 2, "3 scans \u00B7 2 skipped"},
      {12, 3, "12 scans \u00B7 3 skipped"},
      {1, 1, "1 scan \u00B7 1 skipped"},
  };
  for (const auto& [n, m, text] : cases) EXPECT_EQ(ThumbGrid::countLine(n, m), text);
}

TEST(ThumbGrid, ScrollTargets) {
  // Minimal: a cell below the view brings its bottom to the view's bottom; one above, its top to
  // the top; one inside stays; the result stays within the range.
  struct Case {
    double current, extent, start, end, maxOffset, expected;
  };
  const std::vector<Case> minimal = {
      {0, 500, 600, 700, 1000, 200},  // below
      {300, 500, 100, 200, 1000, 100},  // above
      {100, 500, 200, 300, 1000, 100},  // inside
      {0, 500, 600, 700, 150, 150},  // clamped to the end
      {0, 100, 300, 450, 1000, 300},  // taller than the view: its top
  };
  for (const Case& c : minimal) {
    EXPECT_DOUBLE_EQ(ThumbGrid::minimalScroll(c.current, c.extent, c.start, c.end, c.maxOffset),
                     c.expected)
        << c.current << " " << c.start;
  }
  EXPECT_DOUBLE_EQ(ThumbGrid::centredScroll(500, 400, 1000), 300);
  EXPECT_DOUBLE_EQ(ThumbGrid::centredScroll(50, 400, 1000), 0);     // the first stops at the start
  EXPECT_DOUBLE_EQ(ThumbGrid::centredScroll(1300, 400, 1000), 1000);  // the last at the end
  EXPECT_DOUBLE_EQ(ThumbGrid::centredScroll(500, 400, -5), 0);
}

TEST(ThumbMenu, TitlesForTheTargets) {
  const std::vector<std::tuple<size_t, bool, std::vector<QString>>> cases = {
      {1, false,
       {"Export…", "Leave Out of Export All", "Show in File Manager", "Remove from List"}},
      {1, true, {"Export…", "Include in Export All", "Show in File Manager", "Remove from List"}},
      {3, false,
       {"Export 3 Scans…", "Leave 3 Scans Out of Export All", "Show in File Manager",
        "Remove 3 Scans from List"}},
      {3, true,
       {"Export 3 Scans…", "Include 3 Scans in Export All", "Show in File Manager",
        "Remove 3 Scans from List"}},
      {2, false,
       {"Export 2 Scans…", "Leave 2 Scans Out of Export All", "Show in File Manager",
        "Remove 2 Scans from List"}},
  };
  for (const auto& [n, skipped, titles] : cases) EXPECT_EQ(ThumbMenu::titles(n, skipped), titles);
}

TEST(MarqueeRules, DragRectangleAndModifiers) {
  EXPECT_FALSE(MarqueeRules::isDrag({10, 10}, {15, 10}));
  EXPECT_FALSE(MarqueeRules::isDrag({10, 10}, {14, 13}));  // 5 from the press
  EXPECT_TRUE(MarqueeRules::isDrag({10, 10}, {16, 10}));
  EXPECT_TRUE(MarqueeRules::isDrag({10, 10}, {10, 3}));
  EXPECT_EQ(MarqueeRules::spanned({50, 40}, {20, 90}), QRectF(20, 40, 30, 50));
  EXPECT_EQ(MarqueeRules::spanned({5, 5}, {-20, -10}), QRectF(-20, -10, 25, 15));
  for (auto keys : {Qt::ShiftModifier, Qt::AltModifier, Qt::ControlModifier}) {
    EXPECT_TRUE(MarqueeRules::adds(keys));
  }
  EXPECT_FALSE(MarqueeRules::adds(Qt::NoModifier));
  EXPECT_FALSE(MarqueeRules::adds(Qt::MetaModifier));
}

TEST(MarqueeRules, HitsAreTheFramesTheBandMeets) {
  const ThumbGrid::Layout g = ThumbGrid::grid(222, 6, 14);  // two columns of 96, three rows
  std::vector<Uuid> ids;
  for (int i = 0; i < 6; ++i) ids.push_back(Uuid::random());
  const double row2 = g.frame(2).top();
  struct Case {
    const char* what;
    QRectF band;
    std::set<int> cells;
  };
  const std::vector<Case> cases = {
      {"padding only", QRectF(0, 0, 222, 8), {}},
      {"gap between columns", QRectF(106.5, 20, 8, 300), {}},
      {"one cell", QRectF(20, 20, 30, 30), {0}},
      {"two cells across", QRectF(50, 20, 100, 5), {0, 1}},
      {"a column", QRectF(20, 20, 2, row2 + 5), {0, 2}},
      {"everything", QRectF(-100, -100, 1000, 5000), {0, 1, 2, 3, 4, 5}},
      {"a band of no width", QRectF(20, 20, 0, 0), {0}},
      {"beyond the content", QRectF(0, 5000, 300, 300), {}},
  };
  for (const Case& c : cases) {
    std::set<Uuid> expected;
    for (int i : c.cells) expected.insert(ids[static_cast<size_t>(i)]);
    EXPECT_EQ(MarqueeRules::hits(g, ids, c.band, false), expected) << c.what;
  }
  const ThumbGrid::Layout s = ThumbGrid::strip(132, 132, 6, 14);
  EXPECT_EQ(MarqueeRules::hits(s, ids, QRectF(100, 10, 20, 20), true),
            (std::set<Uuid>{ids[0], ids[1]}));
  EXPECT_EQ(MarqueeRules::result({ids[0]}, {ids[3], ids[4]}),
            (std::set<Uuid>{ids[0], ids[3], ids[4]}));
}

TEST(ExportChoices, TitleQualityAndToggles) {
  EXPECT_EQ(ExportChoices::title(0), "Export 0 images");
  EXPECT_EQ(ExportChoices::title(1), "Export 1 image");
  EXPECT_EQ(ExportChoices::title(12), "Export 12 images");
  const std::vector<std::pair<double, QString>> qualities = {
      {0.57, "56"}, {0.5, "50"}, {1.0, "100"}, {0.92, "92"}, {0.999, "99"}};
  for (const auto& [q, text] : qualities) EXPECT_EQ(ExportChoices::qualityText(q), text) << q;

  using F = ExportFormat;
  using List = std::vector<F>;
  struct Case {
    List before;
    F format;
    bool on;
    List after;
  };
  const std::vector<Case> toggles = {
      {{F::tiff16}, F::jpeg, true, {F::tiff16, F::jpeg}},
      {{F::tiff16, F::jpeg}, F::tiff16, false, {F::jpeg}},
      {{F::jpeg}, F::jpeg, true, {F::jpeg}},
      {{F::jpeg, F::tiff8, F::jpeg}, F::jpeg, false, {F::tiff8}},
      {{F::tiff8}, F::tiff8, false, {}},
      {{}, F::tiff8, true, {F::tiff8}},
  };
  for (const Case& c : toggles) EXPECT_EQ(ExportChoices::toggled(c.before, c.format, c.on), c.after);
}

TEST(ExportChoices, ExampleNames) {
  using F = ExportFormat;
  using P = std::optional<std::filesystem::path>;
  const std::vector<std::tuple<P, QString, std::vector<F>, QString>> cases = {
      {std::nullopt, "_web", {F::tiff16}, "DSC_0001_web.tif"},
      {std::nullopt, "", {}, "DSC_0001.tif"},
      {P("/scans/frame07.NEF"), "", {F::jpeg}, "frame07.jpg"},
      {P("/scans/frame07.NEF"), "", {F::tiff16, F::jpeg}, "frame07.tif"},
      {P("/scans/roll.2024.tif"), "_x", {F::tiff8}, "roll.2024_x.tif"},
      {P("/scans/.hidden"), "", {F::jpeg}, ".hidden.jpg"},
      {P("/scans/noext"), "", {F::jpeg}, "noext.jpg"},
      {P("/scans/a.tif"), "/evil", {F::tiff16}, "a/evil.tif"},
      {P("/scans/a.tif"), "%1 & <b>", {F::tiff16}, "a%1 & <b>.tif"},
  };
  for (const auto& [first, suffix, formats, name] : cases) {
    EXPECT_EQ(ExportChoices::exampleName(first, suffix, formats), name);
  }
}

TEST(ExportChoices, LongEdgeAsTypedAndAsExported) {
  const QLocale c(QLocale::C);
  const QLocale german(QLocale::German, QLocale::Germany);
  struct Case {
    QString text;
    QLocale locale;
    std::optional<double> parsed;
  };
  const std::vector<Case> parses = {
      {"2048.9", c, 2048.9}, {"10", c, 10},      {"-5", c, -5},
      {"abc", c, std::nullopt}, {"1e300", c, 1e300}, {"nan", c, std::nullopt},
      {"inf", c, std::nullopt}, {"1e400", c, std::nullopt}, {"", c, std::nullopt},
      {"1.234,5", german, 1234.5}, {"3000", german, 3000}, {" 3000 ", c, 3000},
  };
  for (const Case& p : parses) {
    EXPECT_EQ(ExportChoices::parsedEdge(p.text, p.locale), p.parsed) << p.text.toStdString();
  }
  const std::vector<std::pair<double, int64_t>> edges = {
      {2048.9, 2048}, {10, 64}, {-5, 64}, {0, 64}, {63.9, 64}, {64, 64},
      {1e300, 1'000'000}, {-1e300, 64}, {std::numeric_limits<double>::quiet_NaN(), 64},
      {std::numeric_limits<double>::infinity(), 1'000'000}, {6000, 6000}};
  for (const auto& [edge, exported] : edges) EXPECT_EQ(ExportChoices::longEdge(edge), exported) << edge;
  EXPECT_EQ(ExportChoices::edgeText(3000, german), "3000");
  EXPECT_EQ(ExportChoices::edgeText(1234.5, german), "1234,5");
  EXPECT_EQ(ExportChoices::edgeText(2048, c), "2048");
}

}  // namespace
