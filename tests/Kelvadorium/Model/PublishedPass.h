// Scans of a session with what a finished full preview pass publishes (the analysis, the scan it
// belongs to, the crop state and the full pixel size), set as the render loop would, for tests
// of the renders that follow a pass: the 1:1 detail and the before image.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "Model/AppModel.h"
#include "Rendering/RenderCache.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace PublishedPass {

// A small colour negative wider than the preview's long edge, so a full-size decode shows.
inline constexpr int64_t scanWidth = 2448;
inline constexpr int64_t scanHeight = 96;

inline ImageItem writeScan(const std::filesystem::path& file) {
  ScanFixtures::Negative negative;
  negative.width = scanWidth;
  negative.height = scanHeight;
  ScanFixtures::writeNegativeTiff(file, negative);
  ImageItem item;
  item.url = file;
  return item;
}

// The analysis a 2400-pixel pass measures for the record.
inline FilmAnalysis measured(const ImageItem& item) {
  RenderCache cache(2400, 1);
  return cache.analysis(item.url, item.settings);
}

// What publishing a full pass of the selected scan leaves behind, with `analysis` measured for
// the scan `shown`.
inline void publish(AppModel& model, const ImageItem& shown, const FilmAnalysis& analysis) {
  model.setAnalysis(analysis);
  model.plain().previewImageID = shown.id;
  model.setPreviewIsUncropped(model.cropMode());
  model.setFullPixelSize(QSizeF(scanWidth, scanHeight));
}

// The stored record of the scan `id`, changed by `edit`, as a settings edit stores it.
template <class Edit>
void editRecord(AppModel& model, const Uuid& id, Edit edit) {
  auto items = model.items();
  for (ImageItem& item : items) {
    if (item.id == id) edit(item.settings);
  }
  model.setItems(std::move(items));
}

// A session of two scans, the first selected and its full pass published.
class TwoScans : public ::testing::Test {
 protected:
  void SetUp() override {
    a = writeScan(dir / "a.tif");
    b = writeScan(dir / "b.tif");
    model.setItems({a, b});
    model.setSelection(a.id);
    // Whatever the selection set going runs to its end first.
    services.clock.advance(seconds(1));
    publish(model, a, measured(a));
  }

  TempDir dir;
  TestServices services;
  AppModel model{services.services()};
  ImageItem a;
  ImageItem b;
};

}  // namespace PublishedPass
