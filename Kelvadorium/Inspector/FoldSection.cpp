#include "Inspector/FoldSection.h"

#include <QFrame>
#include <QVBoxLayout>

#include "Inspector/FoldHeader.h"
#include "Inspector/InspectorRow.h"
#include "Services/Preferences.h"

namespace {
constexpr int bodyPadding = 10;
}

FoldSection::FoldSection(const QString& title, Preferences& preferences, bool openByDefault,
                         Content content, QWidget* parent)
    : QWidget(parent),
      title_(title),
      preferences_(preferences),
      openByDefault_(openByDefault),
      makeContent_(std::move(content)) {
  setObjectName(title);
  // Draws nothing itself: a change of its height repaints what moved, not the whole section.
  setAttribute(Qt::WA_StaticContents);
  const QString stored = key(title);
  header_ = new FoldHeader(
      title,
      Binding<bool>{[this] { return expanded(); },
                    [this, stored](bool open) { preferences_.setBool(stored, open); }},
      this);
  body_ = new QFrame(this);
  body_->setObjectName("body");
  body_->setFrameShape(QFrame::StyledPanel);
  body_->setAutoFillBackground(true);
  body_->setBackgroundRole(QPalette::Base);
  bodyLayout_ = new QVBoxLayout(body_);
  bodyLayout_->setContentsMargins(bodyPadding, bodyPadding - 2, bodyPadding, bodyPadding);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(header_);
  layout->addWidget(body_);

  connect(&preferences_, &Preferences::changed, this, [this, stored](const QString& changed) {
    if (changed == stored) apply();
  });
  apply();
}

bool FoldSection::expanded() const { return preferences_.boolValue(key(title_), openByDefault_); }

void FoldSection::apply() {
  const bool open = expanded();
  header_->showExpanded(open);
  if (open && !content_ && makeContent_) {
    content_ = makeContent_();
    bodyLayout_->addWidget(content_);
    rows_.clear();
    if (auto* row = qobject_cast<InspectorRow*>(content_)) rows_.push_back(row);
    for (InspectorRow* row : content_->findChildren<InspectorRow*>()) rows_.push_back(row);
    refresh();
  } else if (!open && content_) {
    rows_.clear();
    delete content_;
    content_ = nullptr;
  }
  body_->setVisible(content_ != nullptr);
}

void FoldSection::refresh() {
  if (content_) InspectorRow::refreshAll(*content_, rows_);
}
