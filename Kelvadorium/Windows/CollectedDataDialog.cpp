#include "Windows/CollectedDataDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Windows/FontRoles.h"

CollectedDataDialog::CollectedDataDialog(const QString& summary, QWidget* parent)
    : QDialog(parent) {
  setObjectName("CollectedDataDialog");
  setWindowTitle("Collected data");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(10);

  auto* title = new QLabel("Collected data");
  title->setObjectName("collectedDataTitle");
  FontRoles::apply(*title, FontRole::headline);
  column->addWidget(title, 0, Qt::AlignLeft);

  auto* text = new QPlainTextEdit(summary);
  text->setObjectName("collectedDataText");
  text->setReadOnly(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSizeF(FontRoles::font(FontRole::caption).pointSizeF());
  text->setFont(fixed);
  text->setFixedSize(460, 320);
  column->addWidget(text);

  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* close = new QPushButton("Close");
  close->setObjectName("closeCollectedData");
  close->setDefault(true);
  row->addWidget(close);
  column->addLayout(row);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  // Return reaches the default button, not the text.
  text->setFocusPolicy(Qt::ClickFocus);
  close->setFocus();
}
