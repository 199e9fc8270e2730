#include "Inspector/FoldSection.h"

#include <QFrame>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

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
  // A change of the content's height repaints what moved and the frame's bottom edge (see
  // eventFilter), not the whole body and every row of the section.
  body_->setAttribute(Qt::WA_StaticContents);
  body_->installEventFilter(this);
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

bool FoldSection::eventFilter(QObject* watched, QEvent* event) {
  if (watched == body_ && event->type() == QEvent::Resize) {
    const QSize old = static_cast<QResizeEvent*>(event)->oldSize();
    if (old.width() != body_->width()) {
      body_->update();
    } else {
      // The frame's bottom edge, where it was and where it is.
      body_->update(QRect(0, std::min(old.height(), body_->height()) - bodyPadding, body_->width(),
                          bodyPadding));
      body_->update(QRect(0, body_->height() - bodyPadding, body_->width(), bodyPadding));
    }
  }
  return QWidget::eventFilter(watched, event);
}
