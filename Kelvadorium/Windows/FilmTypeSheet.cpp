#include "Windows/FilmTypeSheet.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "App/ModelCalls.h"
#include "Model/AppModel.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {
struct Answer {
  const char* title;
  const char* symbol;
  Qt::Key key;
  FilmMode mode;
};
constexpr std::array<Answer, 3> answerTable{{
    {"B&W negative", "circle.lefthalf.filled", Qt::Key_1, FilmMode::bwNegative},
    {"Colour negative", "paintpalette", Qt::Key_2, FilmMode::colorNegative},
    {"Positive / slide", "sun.max", Qt::Key_3, FilmMode::positive},
}};
}  // namespace

FilmTypeSheet::FilmTypeSheet(AppModel& model, const ModelCalls& calls, QWidget* parent)
    : ModelSheet(parent), model_(model) {
  setWindowTitle("What film is this?");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(16);
  column->setContentsMargins(24, 24, 24, 24);

  const QIcon film = SymbolIcons::icon("film");
  if (!film.isNull()) {
    auto* symbol = new QLabel;
    symbol->setPixmap(film.pixmap(34, 34, QIcon::Disabled));
    column->addWidget(symbol, 0, Qt::AlignHCenter);
  }
  auto* title = new QLabel("What film is this?");
  QFont titleFont = FontRoles::font(FontRole::title3);
  titleFont.setBold(true);
  title->setFont(titleFont);
  column->addWidget(title, 0, Qt::AlignHCenter);

  message_ = new QLabel;
  FontRoles::apply(*message_, FontRole::callout, true);
  message_->setAlignment(Qt::AlignHCenter);
  message_->setWordWrap(true);
  column->addWidget(message_);

  auto* row = new QHBoxLayout;
  row->setSpacing(12);
  for (size_t i = 0; i < answerTable.size(); ++i) {
    const Answer& answer = answerTable[i];
    auto* button = new QToolButton;
    // "&" would mark a mnemonic ("B&W" showing as an underlined W); doubled it shows as written.
    button->setText(QString(answer.title).replace("&", "&&"));
    button->setIcon(SymbolIcons::icon(answer.symbol));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFont(FontRoles::font(FontRole::callout));
    button->setMinimumHeight(64);
    button->setIconSize(QSize(22, 22));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    const FilmMode mode = answer.mode;
    connect(button, &QToolButton::clicked, this, [&calls, mode] { calls.answerFilmType(mode); });
    // A shortcut of its own answers at once; a button's shortcut would wait for its press
    // animation, long enough for a second key to answer again.
    auto* key = new QShortcut(QKeySequence(answer.key), this);
    connect(key, &QShortcut::activated, button, &QToolButton::click);
    row->addWidget(button, 1);
    answers_[i] = button;
  }
  column->addLayout(row);

  ask_ = new QCheckBox("Ask every time scans are added");
  FontRoles::apply(*ask_, FontRole::caption);
  connect(ask_, &QCheckBox::clicked, this, [this](bool on) { model_.setAskFilmType(on); });
  column->addWidget(ask_, 0, Qt::AlignHCenter);
  fixWidth(*column, 460);

  connect(&model_, &AppModel::filmTypeQuestionChanged, this, &FilmTypeSheet::refresh);
  connect(&model_.preferences(), &Preferences::changed, this, [this](const QString& key) {
    if (key == "askFilmType") refresh();
  });
  refresh();
}

QString FilmTypeSheet::message(size_t count) {
  return QString("%1 new scan%2. You can still change the type per image later.")
      .arg(count)
      .arg(count == 1 ? "" : "s");
}

void FilmTypeSheet::refresh() {
  const auto& question = model_.filmTypeQuestion();
  message_->setText(message(question ? question->size() : 0));
  const QSignalBlocker blocker(ask_);
  ask_->setChecked(model_.askFilmType());
}
