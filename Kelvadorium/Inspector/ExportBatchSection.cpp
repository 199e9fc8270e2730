#include "Inspector/ExportBatchSection.h"

#include <QCheckBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "Inspector/InspectorRow.h"
#include "Inspector/InspectorView.h"

namespace ExportBatchSection {

namespace {
constexpr int rowSpacing = 10;
}

QWidget* build(InspectorView& view) {
  AppModel& model = view.model();
  auto* content = new InspectorRow;
  content->setObjectName("Export & Batch content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  auto* skip = new QCheckBox("Leave Out of Export All", content);
  skip->setObjectName("Leave Out of Export All");
  skip->setToolTip("Export All passes over this scan");
  QObject::connect(skip, &QCheckBox::clicked, content, [&model] { model.toggleSkipped(); });
  auto* apply = new QPushButton("Apply These Settings to All Images", content);
  apply->setObjectName("Apply These Settings to All Images");
  apply->setToolTip(
      "Copies the look (exposure, contrast, colour, effects). Crop, rotation and healed spots "
      "stay per image.");
  QObject::connect(apply, &QPushButton::clicked, content, [&model] { model.copyLookToAll(); });
  layout->addWidget(skip);
  layout->addWidget(apply);
  content->setRefresher([&model, skip, apply] {
    const auto index = model.selectedIndex();
    const QSignalBlocker blocker(skip);
    skip->setChecked(index && model.items()[*index].skipped);
    apply->setEnabled(model.items().size() >= 2);
  });
  return content;
}

}  // namespace ExportBatchSection
