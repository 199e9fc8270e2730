#include "Inspector/FilmInfoSection.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Inspector/InspectorRow.h"
#include "Inspector/InspectorView.h"
#include "Windows/FontRoles.h"

namespace FilmInfoSection {

namespace {
constexpr int rowSpacing = 10;
using F = FilmInfo;
}  // namespace

const std::array<Field, 11>& fields() {
  static const std::array<Field, 11> table{{
      {"Camera", &F::camera, "Pentax 67"},
      {"Lens", &F::lens, "SMC Takumar 105mm f/2.4"},
      {"Film", &F::film, "Kodak Portra 400"},
      {"ISO", &F::iso, "400"},
      {"Focal length", &F::focalLength, "105mm"},
      {"Shutter speed", &F::shutter, "1/125"},
      {"Aperture", &F::aperture, "f/8"},
      {"Date taken", &F::dateTaken, "2026-07-14"},
      {"Photographer", &F::photographer, "Your name"},
      {"Copyright", &F::copyright, "© 2026 Your name"},
      {"Notes", &F::notes, "Pushed one stop, lab: …"},
  }};
  return table;
}

QWidget* build(InspectorView& view) {
  AppModel& model = view.model();
  auto* content = new QWidget;
  content->setObjectName("Film Info content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  auto* intro = new QLabel(
      "Written into exported files (EXIF), so photo apps show your film camera, film and "
      "exposure. All fields are optional.",
      content);
  intro->setWordWrap(true);
  FontRoles::apply(*intro, FontRole::caption, true);
  layout->addWidget(intro);

  auto* form = new InspectorRow(content);
  form->setObjectName("filmInfoFields");
  auto* formLayout = new QFormLayout(form);
  formLayout->setContentsMargins(0, 0, 0, 0);
  formLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  std::vector<std::pair<QLineEdit*, std::string FilmInfo::*>> edits;
  for (const Field& f : fields()) {
    auto* edit = new QLineEdit(form);
    edit->setObjectName(f.title);
    edit->setPlaceholderText(f.placeholder);
    edit->setToolTip(f.title);
    // Only the user's typing writes; showing a scan's text never does.
    QObject::connect(edit, &QLineEdit::textEdited, form,
                     [&model, field = f.field](const QString& text) {
                       model.setFilmInfoValue(text.toStdString(), field);
                     });
    formLayout->addRow(f.title, edit);
    edits.emplace_back(edit, f.field);
  }
  form->setRefresher([&model, edits] {
    for (const auto& [edit, field] : edits) {
      const QString stored = QString::fromStdString(model.filmInfoValue(field));
      // Set only when it differs, so the cursor stays where the user types.
      if (edit->text() != stored) {
        const QSignalBlocker blocker(edit);
        edit->setText(stored);
      }
    }
  });
  layout->addWidget(form);

  auto* applyRow = new InspectorRow(content);
  applyRow->setObjectName("applyFilmInfoRow");
  auto* apply = new QPushButton("Apply Film Info to Whole Roll", applyRow);
  apply->setObjectName("Apply Film Info to Whole Roll");
  apply->setToolTip(
      "Copies camera, lens, film, ISO, focal length, date, photographer and copyright to every "
      "scan in the list. Shutter speed, aperture and notes stay per photo.");
  QObject::connect(apply, &QPushButton::clicked, applyRow,
                   [&model] { model.applyFilmInfoToRoll(); });
  auto* applyLayout = new QVBoxLayout(applyRow);
  applyLayout->setContentsMargins(0, 0, 0, 0);
  applyLayout->addWidget(apply);
  applyRow->setRefresher([&model, apply] { apply->setEnabled(model.items().size() >= 2); });
  layout->addWidget(applyRow);
  return content;
}

}  // namespace FilmInfoSection
