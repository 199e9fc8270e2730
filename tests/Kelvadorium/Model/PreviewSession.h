// A model over a few small scans written for the test, with virtual time: the rows the preview
// tests select and render.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Model/AppModel.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

struct PreviewSession {
  // `scans` TIFFs of 40 × 30 in distinct colours, named s0.tif, s1.tif, …
  explicit PreviewSession(int scans = 3, PreviewMode mode = PreviewMode::hybrid) {
    std::vector<ImageItem> list;
    for (int i = 0; i < scans; ++i) {
      ImageItem item;
      item.url = dir / ("s" + std::to_string(i) + ".tif");
      ScanFixtures::Tiff tiff;
      tiff.pattern = ScanFixtures::flat(0.3f + 0.1f * i, 0.5f, 0.6f);
      ScanFixtures::writeTiff(item.url, tiff);
      list.push_back(item);
    }
    services.writeSettingsFile(
        QString("[General]\npreviewMode=%1\n").arg(QString::fromStdString(toString(mode))));
    model = std::make_unique<AppModel>(services.services());
    model->setItems(list);
  }

  const ImageItem& item(size_t i) const { return model->items()[i]; }
  const Uuid& id(size_t i) const { return model->items()[i].id; }

  // Selects a scan and asks for its render, as the selection observer does.
  void show(size_t i) {
    model->setSelection(id(i));
    model->requestRender();
  }
  // An edit of the scan's record followed by its render request.
  void edit(size_t i, const std::function<void(ConversionSettings&)>& change) {
    std::vector<ImageItem> list = model->items();
    change(list[i].settings);
    model->setItems(list);
    model->requestRender();
  }
  // Selects a scan and lets its first pass finish.
  void showAndSettle(size_t i) {
    show(i);
    clock().advance(seconds(0.1));
  }

  VirtualClock& clock() { return services.clock; }
  Renderer& preview() { return model->previewRenderer(); }
  Renderer& fast() { return model->fastRenderer(); }
  Renderer& light() { return model->lightRenderer(); }

  TempDir dir;
  TestServices services;
  std::unique_ptr<AppModel> model;
};
