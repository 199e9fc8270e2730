#include "Inspector/AdvancedSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Inspector/AdjustRow.h"
#include "Inspector/FilmTexts.h"
#include "Inspector/InspectorView.h"
#include "ViewKit/MonospacedDigits.h"
#include "Windows/FontRoles.h"

namespace AdvancedSection {

namespace {

constexpr int rowSpacing = 10;
// The record's default border: what a double-click on "Ignore edges" returns to.
constexpr double defaultInset = 0.08;

QLabel* note(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  FontRoles::apply(*label, FontRole::caption, true);
  return label;
}

}  // namespace

QWidget* build(InspectorView& view) {
  AppModel& model = view.model();
  auto* content = new QWidget;
  content->setObjectName("Advanced content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  layout->addWidget(
      note("Kelvadorium measures each negative to find its black and white points. These settings "
           "control that measurement.",
           content));
  layout->addWidget(new AdjustRow(
      "Ignore edges", view.settingBinding(&ConversionSettings::analysisInset), {0, 0.3}, 0.01,
      std::nullopt, "%.0f%%", 100,
      QString("Border left out when the film is measured: rebate, sprockets, light around the "
              "frame."),
      defaultInset));
  layout->addWidget(note(
      "Skips the frame edge (rebate, sprockets, holder light) when measuring. Raise it if bright "
      "edges throw the colours off.",
      content));

  auto* density = new InspectorRow(content);
  density->setObjectName("densityRow");
  auto* densityLayout = new QVBoxLayout(density);
  densityLayout->setContentsMargins(0, 0, 0, 0);
  densityLayout->setSpacing(rowSpacing);
  auto* line = new QHBoxLayout;
  line->setContentsMargins(0, 0, 0, 0);
  auto* value = new QLabel(density);
  value->setObjectName("densityRange");
  FontRoles::apply(*value, FontRole::caption, true);
  value->setFont(MonospacedDigits::font(value->font()));
  // Three ranges outgrow a narrow column: they wrap between channels rather than clip.
  value->setWordWrap(true);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  line->addWidget(new QLabel("Density range", density), 0, Qt::AlignTop);
  line->addWidget(value, 1);
  densityLayout->addLayout(line);
  densityLayout->addWidget(
      note("Thinnest to densest part of the negative. Small = thin or flat negative, large = dense "
           "and contrasty.",
           density));
  density->setShownWhen([&model] { return model.analysis().has_value(); });
  density->setRefresher([&view, &model, value] {
    value->setText(FilmTexts::densityText(*model.analysis(), view.isMonochrome()));
  });
  layout->addWidget(density);
  return content;
}

}  // namespace AdvancedSection
