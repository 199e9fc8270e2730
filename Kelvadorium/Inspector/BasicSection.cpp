#include "Inspector/BasicSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "Inspector/AdjustRow.h"
#include "Inspector/InspectorView.h"
#include "ViewKit/ShortcutText.h"
#include "Windows/SymbolIcons.h"

namespace BasicSection {

namespace {

constexpr int rowSpacing = 10;
using S = ConversionSettings;

// Made when first asked, not while statics start: a key sequence needs Qt set up.
QKeySequence pickWhiteBalanceKeys() { return QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G); }

InspectorRow* whiteBalanceRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("whiteBalanceRow");
  auto* label = new QLabel("White balance", row);
  auto* pick = new QToolButton(row);
  pick->setObjectName("Pick");
  pick->setText("Pick");
  pick->setIcon(SymbolIcons::icon("eyedropper"));
  pick->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  pick->setCheckable(true);
  pick->setToolTip(
      ShortcutText::help("Click something neutral grey in the picture to set Temperature and Tint",
                         pickWhiteBalanceKeys()));
  QObject::connect(pick, &QToolButton::clicked, row,
                   [&model](bool on) { model.setWbPickMode(on); });
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label);
  layout->addStretch(1);
  layout->addWidget(pick);
  row->setShownWhen([&view] { return !view.isMonochrome(); });
  row->setRefresher([pick, &model] {
    const QSignalBlocker blocker(pick);
    pick->setChecked(model.wbPickMode());
  });
  return row;
}

InspectorRow* resetAllRow(InspectorView& view) {
  auto* row = new InspectorRow;
  row->setObjectName("resetAllRow");
  auto* reset = new QPushButton("Reset All", row);
  reset->setObjectName("Reset All");
  QObject::connect(reset, &QPushButton::clicked, row,
                   [&model = view.model()] { model.resetToDefaults(); });
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch(1);
  layout->addWidget(reset);
  row->setShownWhen([&view] { return view.isMonochrome(); });
  return row;
}

AdjustRow* sliderRow(InspectorView& view, const Row& r) {
  std::optional<QColor> tint;
  if (r.tint) tint = NamedColours::colour(*r.tint);
  std::optional<QString> help;
  if (r.help) help = QString(r.help);
  auto* row = new AdjustRow(r.label, view.settingBinding(r.field), {r.lowest, r.highest}, r.step,
                            tint, r.format, r.scale, help, r.neutral);
  if (r.colourOnly) row->setShownWhen([&view] { return !view.isMonochrome(); });
  return row;
}

}  // namespace

const std::array<Row, 13>& rows() {
  static const std::array<Row, 13> table{{
      {"Temperature", &S::temperature, -100, 100, 1, NamedColour::orange, "%+.0f", 1,
       "Cooler (blue) to warmer (yellow-red).", 0, true},
      {"Tint", &S::tint, -100, 100, 1, NamedColour::purple, "%+.0f", 1, "Green to magenta.", 0,
       true},
      {"Exposure", &S::exposure, -3, 3, 0.05, std::nullopt, "%+.2f", 1,
       "Print exposure in stops. Right is brighter.", 0, false},
      {"Contrast", &S::contrast, 0.5, 2, 0.05, std::nullopt, "%.2f", 1, "Right is more contrast.",
       1, false},
      {"Highlights", &S::highlights, -100, 100, 1, std::nullopt, "%+.0f", 1,
       "Bright areas. Left recovers detail, right brightens.", 0, false},
      {"Shadows", &S::shadows, -100, 100, 1, std::nullopt, "%+.0f", 1,
       "Dark areas. Right opens them up, left deepens.", 0, false},
      {"Whites", &S::whites, -100, 100, 1, std::nullopt, "%+.0f", 1,
       "The brightest tones. Right is brighter.", 0, false},
      {"Blacks", &S::blacks, -100, 100, 1, std::nullopt, "%+.0f", 1,
       "The darkest tones. Right lifts them, left deepens.", 0, false},
      {"Clarity", &S::clarity, -100, 100, 1, std::nullopt, "%+.0f", 1,
       "Local midtone contrast, like Lightroom's Clarity. Right is stronger; left softens.", 0,
       false},
      {"Dehaze", &S::dehaze, -100, 100, 1, std::nullopt, "%+.0f", 1,
       "Right removes haze, left adds it.", 0, false},
      {"Sharpness", &S::sharpness, 0, 150, 1, std::nullopt, "%.0f", 1, "Right is sharper.", 0,
       false},
      {"Black Mist", &S::blackMist, 0, 100, 1, std::nullopt, "%.0f", 1,
       "Black Pro-Mist style diffusion: glowing highlights, softer contrast. Right is stronger.", 0,
       false},
      {"Saturation", &S::saturation, 0, 2, 0.05, std::nullopt, "%.2f", 1, nullptr, 1, true},
  }};
  return table;
}

QWidget* build(InspectorView& view) {
  auto* content = new QWidget;
  content->setObjectName("Basic Settings content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  layout->addWidget(whiteBalanceRow(view));
  for (const Row& row : rows()) layout->addWidget(sliderRow(view, row));
  layout->addWidget(resetAllRow(view));
  return content;
}

}  // namespace BasicSection
