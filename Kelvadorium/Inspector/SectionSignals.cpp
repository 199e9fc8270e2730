#include "Inspector/SectionSignals.h"

#include <QWidget>
#include <memory>
#include <vector>

#include "Inspector/InspectorRow.h"
#include "Model/AppModel.h"
#include "ViewKit/RefreshGate.h"

namespace SectionSignals {

RefreshGate* follow(QWidget& content, AppModel& model, std::initializer_list<Signal> changes,
                    bool preferences) {
  // The rows are made with the content and stay: looked up once, at the first refresh.
  auto rows = std::make_shared<std::vector<InspectorRow*>>();
  auto* gate = new RefreshGate(
      [&content, rows] {
        if (rows->empty()) {
          const QList<InspectorRow*> found = content.findChildren<InspectorRow*>();
          rows->assign(found.begin(), found.end());
        }
        InspectorRow::refreshAll(content, *rows);
      },
      &content);
  for (Signal changed : changes) QObject::connect(&model, changed, gate, &RefreshGate::request);
  if (preferences) {
    QObject::connect(&model.preferences(), &Preferences::changed, gate, &RefreshGate::request);
  }
  return gate;
}

}  // namespace SectionSignals
