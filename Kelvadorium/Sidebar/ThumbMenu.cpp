#include "Sidebar/ThumbMenu.h"

#include <QMenu>
#include <QPointer>
#include <algorithm>

#include "Model/AppModel.h"

namespace ThumbMenu {

std::vector<QString> titles(size_t n, bool clickedSkipped) {
  const bool many = n >= 2;
  const QString count = QString::number(n);
  return {
      many ? QString("Export %1 Scans…").arg(count) : QString("Export…"),
      clickedSkipped
          ? (many ? QString("Include %1 Scans in Export All").arg(count)
                  : QString("Include in Export All"))
          : (many ? QString("Leave %1 Scans Out of Export All").arg(count)
                  : QString("Leave Out of Export All")),
      QString("Show in File Manager"),
      many ? QString("Remove %1 Scans from List").arg(count) : QString("Remove from List"),
  };
}

namespace {
// The targets still in the session, in the order given.
std::vector<Uuid> present(const AppModel& model, const std::vector<Uuid>& ids) {
  std::vector<Uuid> kept;
  for (const Uuid& id : ids) {
    const auto& items = model.items();
    if (std::any_of(items.begin(), items.end(), [&](const ImageItem& i) { return i.id == id; })) {
      kept.push_back(id);
    }
  }
  return kept;
}
}  // namespace

QMenu* build(AppModel& model, const Uuid& clicked, QWidget* parent) {
  const auto& items = model.items();
  const auto item = std::find_if(items.begin(), items.end(),
                                 [&](const ImageItem& i) { return i.id == clicked; });
  if (item == items.end()) return nullptr;
  const bool skipped = item->skipped;
  const std::vector<Uuid> targets = model.contextTargets(clicked);
  const std::vector<QString> title = titles(targets.size(), skipped);

  auto* menu = new QMenu(parent);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QPointer<AppModel> m(&model);
  // Every command works on the list taken now, less what has left the session since.
  auto onTargets = [m, targets](auto act) {
    return [m, targets, act] {
      if (!m) return;
      const std::vector<Uuid> ids = present(*m, targets);
      if (!ids.empty()) act(*m, ids);
    };
  };
  QObject::connect(menu->addAction(title[0]), &QAction::triggered, menu,
                   onTargets([](AppModel& a, const std::vector<Uuid>& ids) { a.exportItems(ids); }));
  menu->addSeparator();
  QObject::connect(menu->addAction(title[1]), &QAction::triggered, menu,
                   onTargets([skipped](AppModel& a, const std::vector<Uuid>& ids) {
                     a.setSkipped(ids, !skipped);
                   }));
  QObject::connect(menu->addAction(title[2]), &QAction::triggered, menu, [m, clicked] {
    if (m) m->revealInFinder(clicked);
  });
  menu->addSeparator();
  QObject::connect(menu->addAction(title[3]), &QAction::triggered, menu,
                   onTargets([](AppModel& a, const std::vector<Uuid>& ids) { a.removeItems(ids); }));
  return menu;
}

}  // namespace ThumbMenu
