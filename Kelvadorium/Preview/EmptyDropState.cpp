#include "Preview/EmptyDropState.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ViewKit/ShortcutText.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr int spacing = 14;
constexpr int symbolSize = 54;

// White at opacity 0.9 over the dark pane; secondary items at the palette's reduced opacity of it.
QPalette foreground(const QPalette& base, bool secondary) {
  QPalette palette = base;
  QColor text = QColor::fromRgbF(1, 1, 1, secondary ? 0.9f * 0.55f : 0.9f);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Text, text);
  return palette;
}

QLabel* line(QWidget* parent, const QString& text, FontRole role, bool secondary) {
  auto* label = new QLabel(text, parent);
  label->setFont(FontRoles::font(role));
  label->setPalette(foreground(label->palette(), secondary));
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

EmptyDropState::EmptyDropState(std::function<void()> showAddPanel, QWidget* parent)
    : QWidget(parent) {
  setObjectName("EmptyDropState");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(spacing);
  column->addStretch(1);

  auto* symbol = new QLabel(this);
  symbol->setAlignment(Qt::AlignCenter);
  symbol->setPixmap(SymbolIcons::icon("film").pixmap(symbolSize, symbolSize, QIcon::Disabled));
  column->addWidget(symbol);
  column->addWidget(line(this, "Drop negative scans or a folder here", FontRole::title3, false));
  column->addWidget(line(this,
                         QString::fromUtf8("Camera RAW (NEF, RAF, DNG, ARW, CR3…), TIFF or JPEG"),
                         FontRole::callout, true));

  add_ = new QPushButton(QString::fromUtf8("Add Scans…"), this);
  add_->setToolTip(ShortcutText::help("Add scans or a folder", QKeySequence(Qt::CTRL | Qt::Key_O)));
  QFont large = add_->font();
  large.setPointSizeF(large.pointSizeF() * 1.15);
  add_->setFont(large);
  add_->setMinimumHeight(add_->sizeHint().height() + 6);
  connect(add_, &QPushButton::clicked, this, [call = std::move(showAddPanel)] {
    if (call) call();
  });
  column->addWidget(add_, 0, Qt::AlignHCenter);
  column->addStretch(1);
}
