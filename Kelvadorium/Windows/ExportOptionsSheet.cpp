#include "Windows/ExportOptionsSheet.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Model/AppModel.h"
#include "Services/TaskHandle.h"
#include "ViewKit/MenuButton.h"
#include "ViewKit/MonospacedDigits.h"
#include "ViewKit/ValueSlider.h"
#include "Windows/ExportChoices.h"
#include "Windows/FontRoles.h"

namespace {

constexpr std::array<std::pair<ExportFormat, const char*>, 3> formatRows{{
    {ExportFormat::tiff16, "TIFF 16-bit (best quality, for further editing)"},
    {ExportFormat::tiff8, "TIFF 8-bit"},
    {ExportFormat::jpeg, "JPEG"},
}};

QFormLayout* section(QVBoxLayout& column, const QString& title) {
  auto* box = new QGroupBox(title);
  auto* form = new QFormLayout(box);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  column.addWidget(box);
  return form;
}

QString text(std::string_view view) {
  return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// A picker of every case of the enumeration by its label, writing the chosen case into `field`.
template <class Enum>
QComboBox* picker(QObject& owner, Enum& field, const QString& help) {
  auto* box = new QComboBox;
  for (const auto& [value, name] : EnumNames<Enum>::cases) {
    box->addItem(text(label(value)), static_cast<int>(value));
  }
  box->setToolTip(help);
  QObject::connect(box, &QComboBox::activated, &owner, [box, &field](int index) {
    field = static_cast<Enum>(box->itemData(index).toInt());
  });
  return box;
}

}  // namespace

ExportOptionsSheet::ExportOptionsSheet(AppModel& model, std::vector<ImageItem> targets,
                                       QWidget* parent)
    : ModelSheet(parent), model_(model), targets_(std::move(targets)) {
  setWindowTitle("Export");
  auto* outer = new QVBoxLayout(this);
  outer->setSpacing(10);
  outer->setContentsMargins(20, 20, 20, 20);
  title_ = new QLabel;
  FontRoles::apply(*title_, FontRole::headline);
  title_->setTextFormat(Qt::PlainText);
  outer->addWidget(title_);

  // The form scrolls inside the fixed frame when the desktop's font makes it taller.
  auto* scroller = new QScrollArea;
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* body = new QWidget;
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(10);
  scroller->setWidget(body);
  outer->addWidget(scroller, 1);

  // File type.
  fileType_ = section(*column, "File type");
  for (size_t i = 0; i < formatRows.size(); ++i) {
    auto* toggle = new QCheckBox(formatRows[i].second);
    const ExportFormat format = formatRows[i].first;
    connect(toggle, &QCheckBox::clicked, this, [this, format](bool on) {
      o_.formats = ExportChoices::toggled(o_.formats, format, on);
      refresh();
    });
    fileType_->addRow(toggle);
    formats_[i] = toggle;
  }
  qualityRow_ = new QWidget;
  auto* qualityLine = new QHBoxLayout(qualityRow_);
  qualityLine->setContentsMargins(0, 0, 0, 0);
  quality_ = new ValueSlider(0.5, 1.0);
  quality_->setToolTip("JPEG quality");
  connect(quality_, &ValueSlider::valueMoved, this, [this](double value) {
    o_.jpegQuality = value;
    refresh();
  });
  qualityLine->addWidget(quality_, 1);
  qualityText_ = new QLabel;
  qualityText_->setFont(MonospacedDigits::font(qualityText_->font()));
  qualityText_->setFixedWidth(32);
  qualityText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  qualityLine->addWidget(qualityText_);
  fileType_->addRow("JPEG quality", qualityRow_);

  // Size and sharpening.
  size_ = section(*column, "Size and sharpening");
  resizeToggle_ = new QCheckBox("Resize");
  connect(resizeToggle_, &QCheckBox::clicked, this, [this](bool on) {
    resize_ = on;
    refresh();
  });
  size_->addRow(resizeToggle_);
  edgeRow_ = new QWidget;
  auto* edgeLine = new QHBoxLayout(edgeRow_);
  edgeLine->setContentsMargins(0, 0, 0, 0);
  edgeField_ = new QLineEdit;
  edgeField_->setFixedWidth(70);
  edgeField_->setToolTip("The longest side of the exported image, in pixels");
  // Text that does not read as a number leaves the edge as it was.
  connect(edgeField_, &QLineEdit::textEdited, this, [this](const QString& typed) {
    if (const auto value = ExportChoices::parsedEdge(typed, QLocale::system())) edge_ = *value;
  });
  connect(edgeField_, &QLineEdit::editingFinished, this, [this] { refresh(); });
  edgeLine->addWidget(edgeField_);
  edgeLine->addWidget(new QLabel("pixels"));
  presets_ = new MenuButton("Presets");
  presets_->setToolTip("Common long-edge sizes");
  for (int preset : presets) {
    connect(presets_->menu()->addAction(QString("%1 px").arg(preset)), &QAction::triggered, this,
            [this, preset] { setEdge(preset); });
  }
  edgeLine->addWidget(presets_);
  edgeLine->addStretch(1);
  size_->addRow("Long edge", edgeRow_);
  sharpening_ = picker(*this, o_.sharpening, "Sharpening for where the image will be seen");
  size_->addRow("Output sharpening", sharpening_);

  // Colour.
  QFormLayout* colour = section(*column, "Colour");
  colourSpace_ = picker(*this, o_.colorSpace, "The colour space written into the files");
  colour->addRow("Colour space", colourSpace_);

  // File name.
  QFormLayout* name = section(*column, "File name");
  suffix_ = new QLineEdit;
  suffix_->setPlaceholderText("e.g. _web");
  suffix_->setFixedWidth(140);
  suffix_->setToolTip("Added to the end of each file name");
  connect(suffix_, &QLineEdit::textEdited, this, [this](const QString& typed) {
    o_.suffix = typed.toStdString();
    refresh();
  });
  name->addRow("Add to name", suffix_);
  example_ = new QLabel;
  example_->setTextFormat(Qt::PlainText);
  FontRoles::apply(*example_, FontRole::caption, true);
  name->addRow(example_);

  // Metadata.
  QFormLayout* metadata = section(*column, "Metadata");
  auto* note = new QLabel(
      "Camera, lens, film, ISO, shutter speed and more are written into the files from each "
      "scan's Film Info section (in the adjustments panel).");
  note->setWordWrap(true);
  FontRoles::apply(*note, FontRole::caption, true);
  metadata->addRow(note);
  column->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cancel_ = new QPushButton("Cancel");
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &ExportOptionsSheet::cancel);
  buttons->addWidget(cancel_);
  // "&" would mark a mnemonic; doubled it shows as written.
  confirm_ = new QPushButton("Choose Folder && Export…");
  confirm_->setDefault(true);
  connect(confirm_, &QPushButton::clicked, this, &ExportOptionsSheet::confirm);
  buttons->addWidget(confirm_);
  outer->addLayout(buttons);
  setFixedSize(560, 640);
  refresh();
}

QCheckBox* ExportOptionsSheet::formatToggle(ExportFormat format) const {
  for (size_t i = 0; i < formatRows.size(); ++i) {
    if (formatRows[i].first == format) return formats_[i];
  }
  return nullptr;
}

bool ExportOptionsSheet::standsFor(const std::vector<ImageItem>& request) const {
  return std::equal(targets_.begin(), targets_.end(), request.begin(), request.end(),
                    [](const ImageItem& a, const ImageItem& b) { return a.id == b.id; });
}

bool ExportOptionsSheet::qualityRowShown() const { return fileType_->isRowVisible(qualityRow_); }
bool ExportOptionsSheet::edgeRowShown() const { return size_->isRowVisible(edgeRow_); }

void ExportOptionsSheet::showEvent(QShowEvent* event) {
  load();
  ModelSheet::showEvent(event);
}

void ExportOptionsSheet::load() {
  o_ = model_.storedExportOptions();
  o_.filmStock.clear();
  o_.camera.clear();
  o_.iso.clear();
  o_.notes.clear();
  resize_ = o_.longEdge.has_value();
  edge_ = o_.longEdge ? static_cast<double>(*o_.longEdge) : ExportChoices::defaultEdge;
  edgeField_->setText(ExportChoices::edgeText(edge_, QLocale::system()));
  refresh();
}

void ExportOptionsSheet::setEdge(double edge) {
  edge_ = edge;
  edgeField_->setText(ExportChoices::edgeText(edge_, QLocale::system()));
}

void ExportOptionsSheet::refresh() {
  title_->setText(ExportChoices::title(targets_.size()));
  for (size_t i = 0; i < formatRows.size(); ++i) {
    const QSignalBlocker blocker(formats_[i]);
    formats_[i]->setChecked(std::find(o_.formats.begin(), o_.formats.end(),
                                      formatRows[i].first) != o_.formats.end());
  }
  const bool jpeg = formatToggle(ExportFormat::jpeg)->isChecked();
  fileType_->setRowVisible(qualityRow_, jpeg);
  quality_->showValue(o_.jpegQuality);
  qualityText_->setText(ExportChoices::qualityText(o_.jpegQuality));
  {
    const QSignalBlocker blocker(resizeToggle_);
    resizeToggle_->setChecked(resize_);
  }
  size_->setRowVisible(edgeRow_, resize_);
  sharpening_->setCurrentIndex(sharpening_->findData(static_cast<int>(o_.sharpening)));
  colourSpace_->setCurrentIndex(colourSpace_->findData(static_cast<int>(o_.colorSpace)));
  const QString suffix = QString::fromStdString(o_.suffix);
  if (suffix_->text() != suffix) suffix_->setText(suffix);
  const std::optional<std::filesystem::path> first =
      targets_.empty() ? std::nullopt : std::optional(targets_.front().url);
  example_->setText("Example: " + ExportChoices::exampleName(first, suffix, o_.formats));
  confirm_->setEnabled(!o_.formats.empty());
}

void ExportOptionsSheet::confirm() {
  if (o_.formats.empty()) return;
  o_.longEdge = resize_ ? std::optional<int64_t>(ExportChoices::longEdge(edge_)) : std::nullopt;
  AppModel* model = &model_;
  TaskHandle::start([model, targets = targets_, options = o_](std::stop_token) {
    return model->confirmExport(targets, options);
  });
}

void ExportOptionsSheet::cancel() { model_.setExportRequest(std::nullopt); }

void ExportOptionsSheet::reject() { cancel(); }

void ExportOptionsSheet::closeEvent(QCloseEvent* event) {
  // The window's close button withdraws the request; the presenter then ends the sheet.
  cancel();
  ModelSheet::closeEvent(event);
}
