#include "Inspector/CropSection.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "Inspector/AdjustRow.h"
#include "Inspector/InspectorView.h"
#include "Inspector/SectionSignals.h"
#include "Inspector/WheelPass.h"
#include "Preview/StraightenSlider.h"
#include "ViewKit/MonospacedDigits.h"
#include "ViewKit/PrintfText.h"
#include "ViewKit/ShortcutText.h"
#include "ViewKit/Stepper.h"
#include "ViewKit/SymbolButton.h"
#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace CropSection {

namespace {

constexpr int rowSpacing = 8;
constexpr int itemSpacing = 10;
constexpr int rotateSpacing = 2;
constexpr int symbolSide = 16;

// The menu commands whose keys the help texts name.
const QKeySequence rotateLeftKeys(Qt::CTRL | Qt::Key_BracketLeft);
const QKeySequence rotateRightKeys(Qt::CTRL | Qt::Key_BracketRight);
const QKeySequence cropModeKeys(Qt::CTRL | Qt::ALT | Qt::Key_C);
const QKeySequence finishKeys(Qt::Key_Return);

QHBoxLayout* rowLayout(QWidget* row, int spacing = -1) {
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  if (spacing >= 0) layout->setSpacing(spacing);
  return layout;
}

QToolButton* symbolButton(const QString& name, const QString& symbol, const QString& help,
                          QWidget* parent) {
  QToolButton* button = SymbolButton::make(name, symbol, help, parent);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QPushButton* textButton(const QString& title, const QString& help, QWidget* parent) {
  auto* button = new QPushButton(title, parent);
  button->setObjectName(title);
  button->setToolTip(help);
  button->setAutoDefault(false);
  return button;
}

// The filled, accent-coloured button: the accented default button with its symbol in the
// accent's text colour.
void makeProminent(QPushButton& button, const QString& symbol) {
  button.setDefault(true);
  QPalette accent = button.palette();
  const QColor text = accent.color(QPalette::HighlightedText);
  accent.setColor(QPalette::Button, accent.color(QPalette::Highlight));
  accent.setColor(QPalette::ButtonText, text);
  button.setPalette(accent);
  button.setIcon(QIcon(TintedSymbol::pixmap(symbol, text, QSize(symbolSide, symbolSide),
                                            button.devicePixelRatioF())));
}

// The "Rotate" label, whose double-click straightens the picture again.
class ResetLabel final : public QLabel {
 public:
  ResetLabel(const QString& text, std::function<void()> reset, QWidget* parent)
      : QLabel(text, parent), reset_(std::move(reset)) {}

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QLabel::mouseDoubleClickEvent(event);
    event->accept();
    reset_();
  }

 private:
  std::function<void()> reset_;
};

InspectorRow* orientationRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("orientationRow");
  auto* label = new QLabel("Orientation", row);
  auto* left = symbolButton("rotateLeft", "rotate.left",
                            ShortcutText::help("Rotate left", rotateLeftKeys), row);
  auto* right = symbolButton("rotateRight", "rotate.right",
                             ShortcutText::help("Rotate right", rotateRightKeys), row);
  auto* mirror =
      symbolButton("mirror", "arrow.left.and.right.righttriangle.left.righttriangle.right",
                   "Mirror (scans made from the emulsion side)", row);
  mirror->setCheckable(true);
  QObject::connect(left, &QToolButton::clicked, row, [&model] { model.rotateLeft(); });
  QObject::connect(right, &QToolButton::clicked, row, [&model] { model.rotateRight(); });
  // Every position in the record is stored mirrored with the picture: the switch flips the crop,
  // the repairs, the red-eye marks and the shapes along, as the menu's Mirror does.
  const auto showMirrored = [mirror, &view] {
    const QSignalBlocker blocker(mirror);
    mirror->setChecked(view.settingValue(&ConversionSettings::mirrored));
  };
  QObject::connect(mirror, &QToolButton::clicked, row, [&model, showMirrored] {
    model.mirrorSelected();
    showMirrored();  // nothing selected: the button goes back
  });
  auto* layout = rowLayout(row, itemSpacing);
  layout->addWidget(label);
  layout->addWidget(left);
  layout->addWidget(right);
  layout->addWidget(mirror);
  layout->addStretch(1);
  row->setRefresher(showMirrored);
  return row;
}

InspectorRow* cropModeRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("cropModeRow");
  auto* toggle =
      symbolButton("Crop & Straighten", "crop",
                   ShortcutText::help("Show the whole frame and drag the crop", cropModeKeys), row);
  toggle->setText("Crop && Straighten");  // a lone & would mark a mnemonic
  toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toggle->setCheckable(true);
  auto* status = new QLabel(row);
  status->setObjectName("cropStatus");
  status->setTextFormat(Qt::PlainText);
  FontRoles::apply(*status, FontRole::caption, true);
  QObject::connect(toggle, &QToolButton::clicked, row, [&model, toggle](bool on) {
    model.setCropMode(on);
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(model.cropMode());
  });
  auto* layout = rowLayout(row);
  layout->addWidget(toggle);
  layout->addStretch(1);
  layout->addWidget(status);
  row->setRefresher([toggle, status, &model] {
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(model.cropMode());
    const QString text = model.cropStatusText();
    if (status->text() != text) status->setText(text);
  });
  return row;
}

InspectorRow* cropEditButtons(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("cropEditButtons");
  auto* cancel =
      textButton("Cancel", "Back to the crop and rotation from before you started editing", row);
  auto* apply =
      textButton("Apply", ShortcutText::help("Finish cropping and rotating", finishKeys), row);
  makeProminent(*apply, "checkmark");
  QObject::connect(cancel, &QPushButton::clicked, row, [&model] { model.cancelCrop(); });
  QObject::connect(apply, &QPushButton::clicked, row, [&model] { finishCrop(model); });
  auto* layout = rowLayout(row);
  layout->addWidget(cancel);
  layout->addStretch(1);
  layout->addWidget(apply);
  row->setShownWhen([&model] { return model.cropMode(); });
  return row;
}

InspectorRow* aspectRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("aspectRow");
  auto* label = new QLabel("Aspect", row);
  auto* picker = new QComboBox(row);
  picker->setObjectName("aspect");
  picker->setFocusPolicy(Qt::StrongFocus);
  WheelPass::install(*picker);
  for (const AspectEntry& entry : aspectEntries()) {
    picker->addItem(entry.label, static_cast<int>(entry.aspect));
  }
  auto* swap = symbolButton("swapOrientation", "rectangle.portrait.rotate",
                            "Swap portrait / landscape", row);
  const auto showAspect = [picker, swap, &view] {
    const CropAspect aspect = view.settingValue(&ConversionSettings::cropAspect);
    const int index = picker->findData(static_cast<int>(aspect));
    if (picker->currentIndex() != index) {
      const QSignalBlocker blocker(picker);
      picker->setCurrentIndex(index);
    }
    swap->setEnabled(!(view.model().selectedIndex() && aspect == CropAspect::free));
  };
  QObject::connect(picker, &QComboBox::activated, row, [&model, picker, showAspect](int index) {
    chooseAspect(model, static_cast<CropAspect>(picker->itemData(index).toInt()));
    showAspect();  // nothing selected: the picker goes back
  });
  QObject::connect(swap, &QToolButton::clicked, row, [&model] { model.swapCropOrientation(); });
  auto* layout = rowLayout(row);
  layout->addWidget(label);
  layout->addWidget(picker, 1);
  layout->addWidget(swap);
  row->setRefresher(showAspect);
  return row;
}

InspectorRow* rotateRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("rotateRow");
  auto* label = new ResetLabel(
      "Rotate", [&model] { model.resetStraighten(); }, row);
  label->setObjectName("rotateLabel");
  label->setToolTip("Free rotation; right turns clockwise. Double-click to reset.");
  auto* angle = new QLabel(row);
  angle->setObjectName("angle");
  FontRoles::apply(*angle, FontRole::body, true);
  angle->setFont(MonospacedDigits::font(angle->font()));
  angle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* stepper = new Stepper(-45, 45, 0.05, row);
  stepper->setObjectName("rotateStepper");
  const Binding<double> skew = view.settingBinding(&ConversionSettings::skewDegrees);
  QObject::connect(stepper, &Stepper::valueStepped, row, [skew](double value) { skew.set(value); });
  auto* layout = rowLayout(row);
  layout->addWidget(label);
  layout->addStretch(1);
  layout->addWidget(angle);
  layout->addWidget(stepper);
  row->setRefresher([angle, stepper, skew, &model] {
    const QString text = PrintfText::format("%+.2f°", model.straightenAngle());
    if (angle->text() != text) angle->setText(text);
    stepper->showValue(skew.get());
  });
  return row;
}

QWidget* rotateStack(InspectorView& view) {
  auto* stack = new QWidget;
  stack->setObjectName("rotateStack");
  auto* layout = new QVBoxLayout(stack);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rotateSpacing);
  layout->addWidget(rotateRow(view));
  auto* slider = new StraightenSlider(view.model(), stack);
  slider->setObjectName("straighten");
  WheelPass::install(*slider);
  layout->addWidget(slider);
  return stack;
}

InspectorRow* autoCropRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("autoCropRow");
  auto* one = textButton("Auto-Crop",
                         "Find the picture inside the carrier, rebate and neighbouring frames "
                         "(replaces a manual crop).",
                         row);
  one->setIcon(SymbolIcons::icon("crop.rotate"));
  auto* all =
      textButton("Apply Auto-Crop to All",
                 "Each image gets its own detected frame. Images with a manual crop keep it.", row);
  QObject::connect(one, &QPushButton::clicked, row, [&model] { model.autoCropSelected(); });
  QObject::connect(all, &QPushButton::clicked, row, [&model] { model.autoCropAll(); });
  auto* layout = rowLayout(row);
  layout->addWidget(one);
  layout->addWidget(all);
  layout->addStretch(1);
  row->setRefresher([all, &model] { all->setEnabled(model.items().size() >= 2); });
  return row;
}

InspectorRow* marginRow(InspectorView& view) {
  auto* row = new InspectorRow;
  row->setObjectName("marginRow");
  row->setToolTip("Extra trim inside the detected frame. Right trims more.");
  auto* margin =
      new AdjustRow("Auto-crop margin", view.settingBinding(&ConversionSettings::autoCropMargin),
                    {0, 0.05}, 0.0025, std::nullopt, "%.2f%%", 100,
                    QString("Extra trim inside the detected frame."), 0.01, row);
  auto* layout = rowLayout(row);
  layout->addWidget(margin);
  row->setRefresher([row, &view] {
    const auto index = view.model().selectedIndex();
    row->setEnabled(marginEnabled(index ? &view.model().items()[*index].settings : nullptr));
  });
  return row;
}

InspectorRow* resetCropRow(InspectorView& view) {
  auto* row = new InspectorRow;
  row->setObjectName("resetCropRow");
  auto* reset = textButton("Reset Crop", "Full frame: no crop, no straightening", row);
  QObject::connect(reset, &QPushButton::clicked, row,
                   [&model = view.model()] { model.resetCrop(); });
  auto* layout = rowLayout(row);
  layout->addStretch(1);
  layout->addWidget(reset);
  return row;
}

}  // namespace

const std::array<AspectEntry, 6>& aspectEntries() {
  static const std::array<AspectEntry, 6> entries{{
      {CropAspect::free, "Free"},
      {CropAspect::r3x2, "3:2 (35 mm, 6×9)"},
      {CropAspect::r4x3, "4:3 (6×4.5)"},
      {CropAspect::r1x1, "1:1 (6×6)"},
      {CropAspect::r5x4, "5:4 (6×7)"},
      {CropAspect::r7x5, "7:5"},
  }};
  return entries;
}

QString aspectLabel(CropAspect aspect) {
  for (const AspectEntry& entry : aspectEntries()) {
    if (entry.aspect == aspect) return QString::fromUtf8(entry.label);
  }
  return {};
}

NormRect fittedCrop(CropAspect aspect, const NormRect& inEffect, QSize size) {
  return inEffect.fitted(aspect, size.width(), size.height());
}

bool marginEnabled(const ConversionSettings* selected) {
  return !selected || (selected->autoCrop && !selected->crop);
}

void chooseAspect(AppModel& model, CropAspect aspect) {
  const NormRect fitted = fittedCrop(aspect, model.effectiveCrop(), model.previewAspectSize());
  model.setCropAspect(aspect, fitted.x, fitted.y, fitted.w, fitted.h);
}

void finishCrop(AppModel& model) {
  model.endLiveRotation();
  model.setCropMode(false);
}

QWidget* build(InspectorView& view) {
  auto* content = new QWidget;
  content->setObjectName("Crop & Orientation content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  layout->addWidget(orientationRow(view));
  layout->addWidget(cropModeRow(view));
  layout->addWidget(cropEditButtons(view));
  layout->addWidget(aspectRow(view));
  layout->addWidget(rotateStack(view));
  layout->addWidget(autoCropRow(view));
  layout->addWidget(marginRow(view));
  layout->addWidget(resetCropRow(view));
  SectionSignals::follow(*content, view.model(),
                         {&AppModel::cropModeChanged, &AppModel::liveRotationChanged});
  return content;
}

}  // namespace CropSection
