// A session of a few tiny scans in a temporary folder, on virtual time, for the tests of edits,
// their history, copy and paste and sidecar saving.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Model/AppModel.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

struct EditSession {
  explicit EditSession(size_t scans = 3, const QString& settingsFile = {}) {
    services.writeSettingsFile(settingsFile);
    model = std::make_unique<AppModel>(services.services());
    std::vector<ImageItem> items;
    for (size_t i = 0; i < scans; ++i) {
      ImageItem item;
      item.url = folder / ("scan" + std::to_string(i) + ".tif");
      ScanFixtures::writeTiff(item.url, {});
      items.push_back(item);
    }
    model->setItems(std::move(items));
  }

  Uuid id(size_t i) const { return model->items()[i].id; }
  const ConversionSettings& settings(size_t i) const { return model->items()[i].settings; }
  void select(size_t i) { model->setSelection(id(i)); }
  void wait(double s) { services.clock.advance(seconds(s)); }
  const std::vector<HistoryEntry>& undoStack() const { return model->plain().undoStack; }
  const std::vector<HistoryEntry>& redoStack() const { return model->plain().redoStack; }
  // An edit of the selected scan that changes its exposure to a value it never had.
  void touch() {
    model->editSelected([this](ConversionSettings& s) { s.exposure = ++counter; });
  }

  TestServices services;
  TempDir folder;
  std::unique_ptr<AppModel> model;
  double counter = 0;
};
