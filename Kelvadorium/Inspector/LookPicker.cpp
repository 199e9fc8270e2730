#include "Inspector/LookPicker.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "Inspector/FilmTexts.h"
#include "Model/AppModel.h"
#include "Print/FilmPresets.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr int listInset = 6;
constexpr int entrySpacing = 1;
constexpr int entrySide = 8;
constexpr int headerTop = 6;
constexpr int checkGap = 6;
constexpr double hoverOpacity = 0.25;
constexpr double cornerRadius = 4;

}  // namespace

LookPicker* LookPicker::filmLook(AppModel& model) {
  // Line 0 removes the look; then each stock's header and its looks.
  auto ids = std::make_shared<std::vector<std::optional<std::string>>>();
  Kind kind;
  kind.label = "Film look";
  kind.lines.push_back({"None", false});
  ids->push_back(std::nullopt);
  for (const auto& [stock, presets] : FilmPresets::groupedByStock()) {
    kind.lines.push_back(
        {"Kelvadorium " + QString::fromStdString(FilmPresets::stockDisplayName(stock)), true});
    ids->push_back(std::nullopt);
    for (const FilmPreset& preset : presets) {
      kind.lines.push_back({QString::fromStdString(preset.title()), false});
      ids->push_back(preset.id);
    }
  }
  kind.width = 230;
  kind.height = 420;
  kind.entryInset = 3;
  auto stored = [&model]() -> std::optional<std::string> {
    const auto index = model.selectedIndex();
    if (!index) return std::nullopt;
    return model.items()[*index].settings.filmPreset;
  };
  kind.current = [stored, ids, lines = kind.lines]() {
    const std::optional<std::string> id = stored();
    for (size_t i = 0; i < ids->size(); ++i) {
      if (!lines[i].header && (*ids)[i] == id) return static_cast<int>(i);
    }
    return -1;
  };
  kind.buttonText = [stored] { return FilmTexts::filmLookName(stored()); };
  kind.show = [&model, ids](std::optional<int> line) {
    if (!line) return model.setHoverFilmLook(std::nullopt);
    model.setHoverFilmLook(HoverLook{(*ids)[static_cast<size_t>(*line)]});
  };
  kind.commit = [&model, ids](int line) { model.setFilmPreset((*ids)[static_cast<size_t>(line)]); };
  return new LookPicker(std::move(kind));
}

LookPicker* LookPicker::scanner(AppModel& model) {
  Kind kind;
  kind.label = "Scanner";
  for (ScannerLook look : allCases<ScannerLook>()) {
    kind.lines.push_back({FilmTexts::scannerName(look), false});
  }
  auto stored = [&model] {
    const auto index = model.selectedIndex();
    return index ? model.items()[*index].settings.look : ScannerLook::neutral;
  };
  auto lookAt = [](int line) { return allCases<ScannerLook>()[static_cast<size_t>(line)]; };
  // The lines follow the looks' declared order.
  kind.current = [stored] { return static_cast<int>(stored()); };
  kind.buttonText = [stored] { return FilmTexts::scannerName(stored()); };
  kind.show = [&model, lookAt](std::optional<int> line) {
    if (!line) return model.setHoverScanner(std::nullopt);
    model.setHoverScanner(lookAt(*line));
  };
  kind.commit = [&model, lookAt](int line) { model.setScannerLook(lookAt(line)); };
  return new LookPicker(std::move(kind));
}

LookPicker::LookPicker(Kind kind, QWidget* parent)
    : InspectorRow(parent),
      kind_(std::move(kind)),
      tracker_([this](std::optional<int> line) { showHover(line); }) {
  setObjectName(kind_.label);
  label_ = new QLabel(kind_.label, this);
  button_ = new QToolButton(this);
  button_->setObjectName("choice");
  button_->setIcon(SymbolIcons::icon("chevron.up.chevron.down"));
  const int side = QFontMetrics(FontRoles::font(FontRole::caption2)).height();
  button_->setIconSize({side, side});
  button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  // The symbol after the name.
  button_->setLayoutDirection(Qt::RightToLeft);
  connect(button_, &QToolButton::clicked, this, [this] { isOpen() ? close() : open(); });
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label_, 0, Qt::AlignVCenter);
  layout->addStretch(1);
  layout->addWidget(button_, 0, Qt::AlignVCenter);
}

LookPicker::~LookPicker() {
  if (list_) listGone();
}

void LookPicker::refreshValues() { button_->setText(kind_.buttonText()); }

void LookPicker::hideEvent(QHideEvent* event) {
  close();
  InspectorRow::hideEvent(event);
}

// Closing from outside (a click elsewhere, Escape) hides the list without a word to the picker.
class LookList final : public QFrame {
 public:
  LookList(std::function<void()> gone, QWidget* parent)
      : QFrame(parent, Qt::Popup), gone_(std::move(gone)) {
    // A click on the picker's button that closes the list must not open it again.
    setAttribute(Qt::WA_NoMouseReplay);
    setFrameShape(QFrame::StyledPanel);
  }

 protected:
  void hideEvent(QHideEvent* event) override {
    QFrame::hideEvent(event);
    gone_();
  }

 private:
  std::function<void()> gone_;
};

void LookPicker::open() {
  if (isOpen()) return;
  close();
  auto* list = new LookList([this] { listGone(); }, this);
  list->setObjectName("lookList");
  auto* stack = new QWidget;
  auto* column = new QVBoxLayout(stack);
  column->setContentsMargins(listInset, listInset, listInset, listInset);
  column->setSpacing(entrySpacing);
  const int current = kind_.current();
  entries_.clear();
  for (size_t i = 0; i < kind_.lines.size(); ++i) {
    const Line& line = kind_.lines[i];
    if (line.header) {
      auto* header = new QLabel(line.title, stack);
      header->setObjectName("groupHeader");
      FontRoles::apply(*header, FontRole::caption, true);
      header->setContentsMargins(entrySide, headerTop, entrySide, 0);
      column->addWidget(header);
      continue;
    }
    auto* entry = new LookEntry(*this, static_cast<int>(i), line.title,
                                static_cast<int>(i) == current, kind_.entryInset, stack);
    column->addWidget(entry);
    entries_.push_back(entry);
  }
  auto* outer = new QVBoxLayout(list);
  outer->setContentsMargins(0, 0, 0, 0);
  if (kind_.height) {
    auto* scroll = new QScrollArea(list);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setWidgetResizable(true);
    scroll->setWidget(stack);
    outer->addWidget(scroll);
    list->setFixedSize(kind_.width, *kind_.height);
  } else {
    outer->addWidget(stack);
    list->setFixedWidth(kind_.width);
    list->adjustSize();
  }
  list_ = list;
  // Below the button, from its leading edge, kept on its screen.
  QPoint at = button_->mapToGlobal(QPoint(0, button_->height()));
  if (QScreen* screen = button_->screen()) {
    const QRect area = screen->availableGeometry();
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - list->width())));
    if (at.y() + list->height() > area.bottom()) {
      at.setY(std::max(area.top(), button_->mapToGlobal(QPoint(0, 0)).y() - list->height()));
    }
  }
  list->move(at);
  list->show();
}

void LookPicker::close() {
  if (!list_) return;
  QFrame* list = list_;
  list->hide();  // runs listGone
  list->deleteLater();
}

void LookPicker::listGone() {
  if (!list_) return;
  list_ = nullptr;
  entries_.clear();
  shown_.reset();
  tracker_.rowsGone();
}

void LookPicker::entered(int line) { tracker_.enter(line); }

void LookPicker::left(int line) { tracker_.leave(line); }

void LookPicker::chosen(int line) {
  tracker_.choose();
  kind_.commit(line);
  close();
}

void LookPicker::showHover(std::optional<int> line) {
  if (shown_ != line) {
    for (LookEntry* entry : entries_) {
      if ((shown_ && entry->line() == *shown_) || (line && entry->line() == *line)) entry->update();
    }
    shown_ = line;
  }
  kind_.show(line);
}

LookEntry::LookEntry(LookPicker& picker, int line, const QString& title, bool current, int inset,
                     QWidget* parent)
    : QWidget(parent),
      picker_(picker),
      line_(line),
      title_(title),
      current_(current),
      inset_(inset) {
  setObjectName(title);
  setAttribute(Qt::WA_Hover);
  // The scrolling list must not squeeze its entries.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize LookEntry::sizeHint() const {
  const QFontMetrics body(font());
  const QFontMetrics caption(FontRoles::font(FontRole::caption));
  const int width = entrySide + caption.horizontalAdvance(QChar(0x2713)) + checkGap +
                    body.horizontalAdvance(title_) + entrySide;
  return {width, std::max(body.height(), caption.height()) + 2 * inset_};
}

void LookEntry::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  picker_.entered(line_);
}

void LookEntry::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  picker_.left(line_);
}

void LookEntry::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  event->accept();
  picker_.chosen(line_);
}

void LookEntry::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (picker_.hovered() == line_) {
    QColor fill = palette().color(QPalette::Highlight);
    fill.setAlphaF(static_cast<float>(hoverOpacity));
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(path, fill);
  }
  const QFont caption = FontRoles::font(FontRole::caption);
  const int checkWidth = QFontMetrics(caption).horizontalAdvance(QChar(0x2713));
  QRect area = rect().adjusted(entrySide, inset_, -entrySide, -inset_);
  painter.setPen(palette().color(QPalette::WindowText));
  // The mark keeps its place on every entry: drawn only on the current one.
  if (current_) {
    painter.setFont(caption);
    painter.drawText(QRect(area.left(), area.top(), checkWidth, area.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, QString(QChar(0x2713)));
  }
  painter.setFont(font());
  area.setLeft(area.left() + checkWidth + checkGap);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, title_);
}
