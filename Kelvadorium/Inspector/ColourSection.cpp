#include "Inspector/ColourSection.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "Inspector/AdjustRow.h"
#include "Inspector/HSLPanel.h"
#include "Inspector/InspectorView.h"
#include "ViewKit/ShortcutText.h"

namespace ColourSection {

namespace {

constexpr int rowSpacing = 10;
const QKeySequence autoBalanceKeys(Qt::CTRL | Qt::Key_B);

QWidget* buttonRow(AppModel& model) {
  auto* row = new QWidget;
  row->setObjectName("balanceRow");
  auto* balance = new QPushButton("Auto Balance", row);
  balance->setObjectName("Auto Balance");
  balance->setToolTip(ShortcutText::help(
      "Neutral colour from the film itself; resets white balance and C/M/Y", autoBalanceKeys));
  QObject::connect(balance, &QPushButton::clicked, row, [&model] { model.autoBalance(); });
  auto* reset = new QPushButton("Reset All", row);
  reset->setObjectName("Reset All");
  QObject::connect(reset, &QPushButton::clicked, row, [&model] { model.resetToDefaults(); });
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(balance);
  layout->addStretch(1);
  layout->addWidget(reset);
  return row;
}

}  // namespace

const std::array<FilterRow, 3>& filterRows() {
  static const std::array<FilterRow, 3> table{{
      {"Cyan", NamedColour::cyan, "More cyan, less red"},
      {"Magenta", NamedColour::pink, "More magenta, less green"},
      {"Yellow", NamedColour::yellow, "More yellow, less blue"},
  }};
  return table;
}

QWidget* build(InspectorView& view) {
  AppModel& model = view.model();
  auto* content = new QWidget;
  content->setObjectName("Colour content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  for (int i = 0; i < 3; ++i) {
    const FilterRow& r = filterRows()[static_cast<size_t>(i)];
    Binding<double> factor{[&model, i] { return model.cmyValue(i); },
                           [&model, i](double value) { model.setCMYValue(i, value); }};
    layout->addWidget(new AdjustRow(r.label, std::move(factor), {0.7, 1.3}, 0.01,
                                    NamedColours::colour(r.tint), "%.2f", 1, QString(r.help), 1));
  }
  layout->addWidget(new HSLPanel(model));
  layout->addWidget(buttonRow(model));
  return content;
}

}  // namespace ColourSection
