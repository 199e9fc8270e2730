// The white-balance pick through the session model: a click on the shown preview samples the
// scan on the preview renderer and sets temperature and tint as one undoable edit, or says why
// it cannot; a click off the picture does nothing; a late answer for a scan no longer selected
// is dropped.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <vector>

#include "Model/AppModel.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

const QString bwNotice = "White balance picking is for colour film and slides.";
const QString spotNotice =
    "That spot is too bright or too dark to judge colour. Click a mid-tone that should be grey "
    "(a grey wall, concrete, a white shirt in the shade).";

// The library's synthetic colour negative, with a blown highlight (very dense on the film) in
// the middle of its second step.
ScanFixtures::Negative negative() { return {}; }

NormRect highlightRect() {
  const NormRect step = negative().stepRect(1);
  return {step.x + step.w * 0.25, step.y + step.h * 0.35, step.w * 0.5, step.h * 0.3};
}

void writeScan(const std::filesystem::path& file) {
  const ScanFixtures::Negative n = negative();
  ScanFixtures::Tiff tiff;
  tiff.width = n.width;
  tiff.height = n.height;
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  const NormRect blown = highlightRect();
  tiff.pattern = [base = n.pattern(), blown, w = n.width, h = n.height](int64_t x, int64_t y) {
    const double px = (x + 0.5) / w, py = (y + 0.5) / h;
    if (px > blown.x && px < blown.maxX() && py > blown.y && py < blown.maxY())
      return std::array<float, 4>{0.0003f, 0.0003f, 0.0003f, 1};
    return base(x, y);
  };
  ScanFixtures::writeTiff(file, tiff);
}

struct PickSession {
  explicit PickSession(const std::function<void(ConversionSettings&)>& record = {}) {
    model = std::make_unique<AppModel>(services.services());
    std::vector<ImageItem> list(2);
    for (size_t i = 0; i < list.size(); ++i) {
      list[i].url = folder / ("scan" + std::to_string(i) + ".tif");
      writeScan(list[i].url);
      if (record) record(list[i].settings);
    }
    model->setItems(list);
    model->setSelection(id(0));
    // The first full pass publishes the preview, its analysis and the proxy size.
    services.clock.advance(seconds(1));
    model->setWbPickMode(true);
  }

  const Uuid& id(size_t i) const { return model->items()[i].id; }
  const ConversionSettings& settings() const { return model->items()[0].settings; }

  // The preview point that shows this image point.
  QPointF shown(QPointF image) const {
    const auto p = model->previewPoint(image.x(), image.y());
    EXPECT_TRUE(p.has_value());
    return p.value_or(QPointF(-1, -1));
  }
  static QPointF centre(const NormRect& r) { return {r.x + r.w / 2, r.y + r.h / 2}; }

  void pickAt(QPointF preview) {
    model->pickWhiteBalance(preview.x(), preview.y());
    VirtualClock::settle();
  }

  TestServices services;
  TempDir folder;
  std::unique_ptr<AppModel> model;
};

TEST(PickWhiteBalance, AMidGreyStepSetsWholeNumbersAsOneUndoableEdit) {
  // A cast set by hand, which the pick on a neutral step takes back.
  const auto cast = [](ConversionSettings& s) {
    s.temperature = 37;
    s.tint = -23;
  };
  PickSession session(cast);
  ConversionSettings before;
  cast(before);
  ASSERT_TRUE(session.model->analysis().has_value());
  const size_t undoBefore = session.model->plain().undoStack.size();
  session.pickAt(session.shown(PickSession::centre(negative().stepRect(4))));
  EXPECT_FALSE(session.model->wbPickMode());
  EXPECT_FALSE(session.model->notice().has_value());
  const ConversionSettings& s = session.settings();
  EXPECT_EQ(s.temperature, std::round(s.temperature));
  EXPECT_EQ(s.tint, std::round(s.tint));
  EXPECT_LE(std::abs(s.temperature), 100);
  EXPECT_LE(std::abs(s.tint), 100);
  EXPECT_LT(std::abs(s.temperature), 10);
  EXPECT_LT(std::abs(s.tint), 10);
  EXPECT_EQ(session.model->plain().undoStack.size(), undoBefore + 1);
  session.model->undo();
  EXPECT_EQ(session.settings(), before);
}

TEST(PickWhiteBalance, SpotsThatCannotBeJudgedTellWhyAndEndTheMode) {
  struct Case {
    const char* name;
    FilmMode mode;
    bool onHighlight;
    QString notice;
  };
  const std::vector<Case> cases = {
      {"black-and-white negative", FilmMode::bwNegative, false, bwNotice},
      {"blown highlight", FilmMode::colorNegative, true, spotNotice},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PickSession session([&](ConversionSettings& s) { s.mode = c.mode; });
    const ConversionSettings before = session.settings();
    const QPointF image =
        PickSession::centre(c.onHighlight ? highlightRect() : negative().stepRect(4));
    session.pickAt(session.shown(image));
    EXPECT_FALSE(session.model->wbPickMode());
    EXPECT_EQ(session.model->notice(), c.notice);
    EXPECT_EQ(session.settings(), before);
  }
}

// A scan that no longer decodes answers like a spot that cannot be judged.
TEST(PickWhiteBalance, AScanThatNoLongerDecodesGivesTheNoticeOfItsMode) {
  for (const FilmMode mode : {FilmMode::positive, FilmMode::bwNegative}) {
    PickSession session([&](ConversionSettings& s) { s.mode = mode; });
    const QPointF click = session.shown(PickSession::centre(negative().stepRect(4)));
    std::ofstream(session.model->items()[0].url, std::ios::trunc) << "no longer a scan";
    auto forgetting = session.model->previewRenderer().invalidate(session.model->items()[0].url);
    VirtualClock::settle();
    session.pickAt(click);
    EXPECT_FALSE(session.model->wbPickMode());
    EXPECT_EQ(session.model->notice(), mode == FilmMode::bwNegative ? bwNotice : spotNotice);
    EXPECT_EQ(session.settings().temperature, 0);
  }
}

TEST(PickWhiteBalance, AClickOffThePictureDoesNothingAndKeepsTheMode) {
  PickSession session([](ConversionSettings& s) {
    s.border = BorderStyle::white;
    s.borderSize = 10;
  });
  const QRectF photo = session.model->photoRect();
  ASSERT_GT(photo.x(), 0.02);
  for (const QPointF click : {QPointF(photo.x() / 2, 0.5), QPointF(0.5, -0.1)}) {
    session.pickAt(click);
    EXPECT_TRUE(session.model->wbPickMode());
    EXPECT_FALSE(session.model->notice().has_value());
    EXPECT_TRUE(session.model->plain().undoStack.empty());
  }
  // The photo's own edge is inside: the pick runs and ends the mode.
  session.pickAt(photo.bottomRight());
  EXPECT_FALSE(session.model->wbPickMode());
}

TEST(PickWhiteBalance, WithoutAnAnalysisOrASelectionNothingStarts) {
  PickSession session;
  const QPointF click = session.shown(PickSession::centre(negative().stepRect(4)));
  session.model->setAnalysis(std::nullopt);
  session.pickAt(click);
  EXPECT_TRUE(session.model->wbPickMode());
  session.model->setSelection(std::nullopt);
  session.model->setWbPickMode(true);
  session.pickAt(click);
  EXPECT_TRUE(session.model->wbPickMode());
  EXPECT_FALSE(session.model->notice().has_value());
  EXPECT_TRUE(session.model->plain().undoStack.empty());
}

TEST(PickWhiteBalance, AnAnswerForAScanNoLongerSelectedIsDropped) {
  PickSession session;
  const QPointF click = session.shown(PickSession::centre(negative().stepRect(4)));
  session.model->previewRenderer().hold();
  session.model->pickWhiteBalance(click.x(), click.y());
  session.model->setSelection(session.id(1));
  session.model->previewRenderer().release();
  VirtualClock::settle();
  EXPECT_FALSE(session.model->notice().has_value());
  EXPECT_TRUE(session.model->plain().undoStack.empty());
  EXPECT_EQ(session.settings(), ConversionSettings{});
}

}  // namespace
