// The session's scans as a list model for the thumbnail views. The model announces its items as
// a whole; this list tells what changed: a new thumbnail, a scan left out or taken back is one
// row changed, found by id; scans appended are rows inserted; only removals and reordering
// reset the list. Selection and marks stay the model's.
#pragma once

#include <QAbstractListModel>
#include <memory>
#include <vector>

#include "Support/Uuid.h"

class AppModel;
struct PreviewImage;

class ThumbnailList final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit ThumbnailList(AppModel& model, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const std::vector<Uuid>& ids() const { return ids_; }

 private:
  struct Row {
    Uuid id;
    const PreviewImage* thumbnail;
    bool skipped;
    std::string name;
  };
  static Row rowOf(const struct ImageItem& item);
  void follow();

  AppModel& model_;
  std::vector<Row> rows_;
  std::vector<Uuid> ids_;
};
