#include "Sidebar/ThumbnailList.h"

#include <QFile>

#include "Model/AppModel.h"

ThumbnailList::ThumbnailList(AppModel& model, QObject* parent)
    : QAbstractListModel(parent), model_(model) {
  for (const ImageItem& item : model_.items()) rows_.push_back(rowOf(item));
  for (const Row& row : rows_) ids_.push_back(row.id);
  connect(&model_, &AppModel::itemsChanged, this, &ThumbnailList::follow);
}

ThumbnailList::Row ThumbnailList::rowOf(const ImageItem& item) {
  return {item.id, item.thumbnail.get(), item.skipped, item.url.filename().string()};
}

int ThumbnailList::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ThumbnailList::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  if (role == Qt::DisplayRole) {
    return QFile::decodeName(rows_[static_cast<size_t>(index.row())].name.c_str());
  }
  return {};
}

void ThumbnailList::follow() {
  const std::vector<ImageItem>& items = model_.items();
  const size_t shared = std::min(items.size(), rows_.size());
  bool sameStart = true;
  for (size_t i = 0; i < shared && sameStart; ++i) sameStart = items[i].id == rows_[i].id;
  if (!sameStart || items.size() < rows_.size()) {
    beginResetModel();
    rows_.clear();
    for (const ImageItem& item : items) rows_.push_back(rowOf(item));
    ids_.clear();
    for (const Row& row : rows_) ids_.push_back(row.id);
    endResetModel();
    return;
  }
  for (size_t i = 0; i < shared; ++i) {
    Row now = rowOf(items[i]);
    Row& before = rows_[i];
    if (now.thumbnail != before.thumbnail || now.skipped != before.skipped ||
        now.name != before.name) {
      before = std::move(now);
      const QModelIndex changed = index(static_cast<int>(i));
      emit dataChanged(changed, changed);
    }
  }
  if (items.size() > rows_.size()) {
    beginInsertRows({}, static_cast<int>(rows_.size()), static_cast<int>(items.size()) - 1);
    for (size_t i = rows_.size(); i < items.size(); ++i) {
      rows_.push_back(rowOf(items[i]));
      ids_.push_back(items[i].id);
    }
    endInsertRows();
  }
}
