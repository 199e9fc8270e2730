#include "Menus/MenuCommands.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <system_error>

#include "App/ModelCalls.h"
#include "Inspector/FilmTexts.h"
#include "Model/AppModel.h"
#include "Windows/AboutView.h"
#include "Windows/SettingsView.h"

namespace {

constexpr auto ctrl = Qt::CTRL;
constexpr auto alt = Qt::ALT;
constexpr auto shift = Qt::SHIFT;

struct LayoutItem {
  AppLayout layout;
  const char* name;
};
constexpr std::array<LayoutItem, 4> layoutItems{{{AppLayout::standard, "Standard"},
                                                 {AppLayout::filmstrip, "Filmstrip"},
                                                 {AppLayout::swapped, "Swapped"},
                                                 {AppLayout::focus, "Focus"}}};

// The focused widget when it takes typed text: a line or text edit, a spin box or an editable
// combo box.
QWidget* textField() {
  QWidget* focus = QApplication::focusWidget();
  if (!focus) return nullptr;
  if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
      qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus)) {
    return focus;
  }
  auto* combo = qobject_cast<QComboBox*>(focus);
  return combo && combo->isEditable() ? focus : nullptr;
}

// The text field's own handling of a standard editing key, as if typed there.
void sendToTextField(QKeySequence::StandardKey key) {
  QWidget* field = textField();
  const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
  if (!field || bindings.isEmpty()) return;
  const QKeyCombination combination = bindings.first()[0];
  QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
  QCoreApplication::sendEvent(field, &press);
  QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
  QCoreApplication::sendEvent(field, &release);
}

// A title as a menu shows it: "&" marks the next letter as the item's access key unless doubled.
QString menuText(const QString& title) { return QString(title).replace('&', "&&"); }
QString plainText(const QString& text) { return QString(text).replace("&&", "&"); }

bool fileExists(const std::filesystem::path& url) {
  std::error_code error;
  return std::filesystem::exists(url, error);
}

}  // namespace

MenuCommands::MenuCommands(AppModel& model, const ModelCalls& calls, QMenuBar& bar, QAction* quit,
                           QWidget* window)
    : QObject(&bar), model_(model), calls_(calls), window_(window) {
  buildFile(bar, quit);
  buildEdit(bar);
  buildView(bar);
  buildImage(bar);
  buildPresets(bar);
  buildHelp(bar);
  rebuildRecent();

  for (auto changed :
       {&AppModel::itemsChanged, &AppModel::selectionChanged, &AppModel::markedChanged,
        &AppModel::canUndoChanged, &AppModel::canRedoChanged, &AppModel::copiedSettingsChanged,
        &AppModel::matchProgressChanged, &AppModel::showInspectorChanged,
        &AppModel::compareModeChanged, &AppModel::cropModeChanged, &AppModel::dodgeModeChanged,
        &AppModel::spotModeChanged, &AppModel::redEyeModeChanged, &AppModel::wbPickModeChanged,
        &AppModel::showNegativeChanged, &AppModel::showClippingChanged}) {
    connect(&model_, changed, this, &MenuCommands::update);
  }
  connect(&model_, &AppModel::recentProjectsChanged, this, [this] {
    rebuildRecent();
    update();
  });
  connect(qApp, &QApplication::focusChanged, this, &MenuCommands::update);
  update();
}

MenuCommands::~MenuCommands() { clearTask_.cancel(); }

QString MenuCommands::recentTitle(const std::filesystem::path& url, bool exists) {
  QString title = QFile::decodeName(url.stem().c_str()) + "  —  " +
                  QFile::decodeName(url.parent_path().filename().c_str());
  if (!exists) title += "  (not found)";
  return title;
}

QAction* MenuCommands::add(QMenu* menu, const QString& title, QKeySequence key, Rule rule) {
  QAction* action = menu->addAction(menuText(title));
  action->setShortcut(key);
  rows_.push_back({action, rule});
  return action;
}

QAction* MenuCommands::toggle(QMenu* menu, const QString& title, QKeySequence key, Rule rule,
                              bool (AppModel::*value)() const, void (AppModel::*write)(bool)) {
  QAction* action = add(menu, title, key, rule);
  action->setCheckable(true);
  // Written on the user's choice only; update() sets the check without triggering.
  AppModel* m = &model_;
  connect(action, &QAction::triggered, this, [m, write](bool on) { (m->*write)(on); });
  toggles_.emplace_back(action, value);
  return action;
}

void MenuCommands::buildFile(QMenuBar& bar, QAction* quit) {
  QMenu* file = bar.addMenu("File");
  menus_.push_back(file);
  AppModel* m = &model_;
  connect(add(file, "Add Scans…", ctrl | Qt::Key_O, Rule::never), &QAction::triggered, this,
          [this] { calls_.showAddPanel(); });
  connect(add(file, "Open Project…", ctrl | shift | Qt::Key_O, Rule::never), &QAction::triggered,
          this,
          [m] { TaskHandle::start([m](std::stop_token) { return m->showOpenProjectPanel(); }); });
  recent_ = file->addMenu("Open Recent Project");
  connect(recent_, &QMenu::aboutToShow, this, &MenuCommands::checkRecentFiles);
  // Closed, the first entry stays enabled so that its shortcut asks for the file when pressed.
  connect(recent_, &QMenu::aboutToHide, this, [this] {
    if (!model_.recentProjects().empty()) recent_->actions().first()->setEnabled(true);
  });
  file->addSeparator();
  connect(add(file, "Save Project", ctrl | Qt::Key_S, Rule::noScans), &QAction::triggered, this,
          [m] {
            if (const auto url = m->projectURL()) {
              m->saveProject(*url);
            } else {
              TaskHandle::start([m](std::stop_token) { return m->saveProjectAs(); });
            }
          });
  connect(add(file, "Save Project As…", ctrl | shift | Qt::Key_S, Rule::noScans),
          &QAction::triggered, this,
          [m] { TaskHandle::start([m](std::stop_token) { return m->saveProjectAs(); }); });
  file->addSeparator();
  connect(add(file, "Export Current Image…", ctrl | Qt::Key_E, Rule::noScans), &QAction::triggered,
          this, [this] { calls_.exportSelected(); });
  connect(add(file, "Export All…", ctrl | shift | Qt::Key_E, Rule::noScans), &QAction::triggered,
          this, [this] { calls_.exportAll(); });
  file->addSeparator();
  remove_ = add(file, "Remove from List", {}, Rule::noScans);
  connect(remove_, &QAction::triggered, this, [m] { m->removeItems(m->targetIDs()); });
  connect(add(file, "Clear Images", ctrl | shift | Qt::Key_Backspace, Rule::noScans),
          &QAction::triggered, this, &MenuCommands::clearImages);
  if (quit) {
    file->addSeparator();
    file->addAction(quit);
  }
}

void MenuCommands::buildEdit(QMenuBar& bar) {
  QMenu* edit = bar.addMenu("Edit");
  menus_.push_back(edit);
  AppModel* m = &model_;
  connect(add(edit, "Undo", ctrl | Qt::Key_Z, Rule::noUndo), &QAction::triggered, this,
          [m] { m->undo(); });
  connect(add(edit, "Redo", ctrl | shift | Qt::Key_Z, Rule::noRedo), &QAction::triggered, this,
          [m] { m->redo(); });
  edit->addSeparator();
  // The focused text field's own editing commands; in a field its keys reach the field first.
  const std::array<std::pair<const char*, QKeySequence::StandardKey>, 4> textCommands{{
      {"Cut", QKeySequence::Cut},
      {"Copy", QKeySequence::Copy},
      {"Paste", QKeySequence::Paste},
      {"Select All", QKeySequence::SelectAll},
  }};
  for (const auto& [title, key] : textCommands) {
    const QKeySequence::StandardKey standard = key;
    connect(add(edit, title, QKeySequence(standard), Rule::textFocus), &QAction::triggered, this,
            [standard] { sendToTextField(standard); });
  }
  edit->addSeparator();
  connect(add(edit, "Copy Settings…", ctrl | shift | Qt::Key_C, Rule::noSelection),
          &QAction::triggered, this, [m] { m->setShowCopySheet(true); });
  connect(add(edit, "Paste Settings", ctrl | shift | Qt::Key_V, Rule::noPaste), &QAction::triggered,
          this, [m] { m->pasteSettings(); });
  connect(add(edit, "Select All Frames", ctrl | shift | Qt::Key_A, Rule::noScans),
          &QAction::triggered, this, [m] { m->markAll(); });
  edit->addSeparator();
  QAction* settings = add(edit, "Settings…", ctrl | Qt::Key_Comma, Rule::never);
  settings->setMenuRole(QAction::PreferencesRole);
  connect(settings, &QAction::triggered, this, &MenuCommands::openSettings);
}

void MenuCommands::buildView(QMenuBar& bar) {
  QMenu* view = bar.addMenu("View");
  menus_.push_back(view);
  AppModel* m = &model_;
  for (size_t i = 0; i < layoutItems.size(); ++i) {
    const AppLayout layout = layoutItems[i].layout;
    const auto digit = static_cast<Qt::Key>(Qt::Key_1 + i);
    connect(add(view, QString("Layout: ") + layoutItems[i].name, ctrl | alt | digit, Rule::never),
            &QAction::triggered, this, [m, layout] {
              m->setLayout(layout);
              m->setShowInspector(layout != AppLayout::focus);
            });
  }
  adjustments_ = add(view, "Hide Adjustments", ctrl | alt | Qt::Key_I, Rule::never);
  connect(adjustments_, &QAction::triggered, this,
          [m] { m->setShowInspector(!m->showInspector()); });
  before_ = add(view, "Show Before", QKeySequence(Qt::Key_Backslash), Rule::noScans);
  connect(before_, &QAction::triggered, this, [this] { calls_.toggleBeforeAfter(); });
  split_ = add(view, "Split Before / After", ctrl | alt | Qt::Key_Y, Rule::noScans);
  connect(split_, &QAction::triggered, this, [this] { calls_.toggleSplitView(); });
  toggle(view, "Show Clipping", ctrl | alt | Qt::Key_J, Rule::never, &AppModel::showClipping,
         &AppModel::setShowClipping);
  view->addSeparator();
  connect(add(view, "Fold All Sections", ctrl | alt | Qt::Key_BracketLeft, Rule::never),
          &QAction::triggered, this, [this] { foldAllSections(false); });
  connect(add(view, "Unfold All Sections", ctrl | alt | Qt::Key_BracketRight, Rule::never),
          &QAction::triggered, this, [this] { foldAllSections(true); });
  view->addSeparator();
  QAction* zoomIn = add(view, "Zoom In", ctrl | Qt::Key_Equal, Rule::noScans);
  zoomIn->setShortcuts({QKeySequence(ctrl | Qt::Key_Equal), QKeySequence(ctrl | Qt::Key_Plus)});
  connect(zoomIn, &QAction::triggered, this, [m] { m->setZoom(m->zoom() * 1.5, 0, 0); });
  connect(add(view, "Zoom Out", ctrl | Qt::Key_Minus, Rule::noScans), &QAction::triggered, this,
          [m] { m->setZoom(m->zoom() * 2 / 3, 0, 0); });
  connect(add(view, "Zoom to Fit", ctrl | Qt::Key_0, Rule::noScans), &QAction::triggered, this,
          [m] {
            m->setZoom(1.0);
            m->setPan(QSizeF(0, 0));
          });
  connect(add(view, "Actual Pixels (100%)", ctrl | Qt::Key_1, Rule::noScans), &QAction::triggered,
          this, [m] { m->setZoom(m->plain().oneToOneZoom, 0, 0); });
}

void MenuCommands::buildImage(QMenuBar& bar) {
  QMenu* image = bar.addMenu("Image");
  menus_.push_back(image);
  AppModel* m = &model_;
  connect(add(image, "Previous Scan", ctrl | Qt::Key_Left, Rule::never), &QAction::triggered, this,
          [this] { calls_.moveSelection(-1); });
  connect(add(image, "Next Scan", ctrl | Qt::Key_Right, Rule::never), &QAction::triggered, this,
          [this] { calls_.moveSelection(+1); });
  image->addSeparator();
  connect(add(image, "Rotate Left", ctrl | Qt::Key_BracketLeft, Rule::never), &QAction::triggered,
          this, [m] { m->rotateSelected(-1); });
  connect(add(image, "Rotate Right", ctrl | Qt::Key_BracketRight, Rule::never), &QAction::triggered,
          this, [m] { m->rotateSelected(+1); });
  connect(add(image, "Mirror", ctrl | alt | Qt::Key_M, Rule::never), &QAction::triggered, this,
          [m] { m->mirrorSelected(); });
  toggle(image, "Crop & Straighten", ctrl | alt | Qt::Key_C, Rule::noScans, &AppModel::cropMode,
         &AppModel::setCropMode);
  connect(add(image, "Auto-Crop", ctrl | alt | Qt::Key_A, Rule::noScans), &QAction::triggered, this,
          [m] { m->autoCropSelected(); });
  connect(add(image, "Apply Auto-Crop to All Images", {}, Rule::fewerThanTwo), &QAction::triggered,
          this, [m] { m->autoCropAll(); });
  connect(add(image, "Reset Crop", {}, Rule::noScans), &QAction::triggered, this,
          [m] { m->resetCrop(); });
  toggle(image, "Dodge & Burn", ctrl | alt | Qt::Key_D, Rule::noScans, &AppModel::dodgeMode,
         &AppModel::setDodgeMode);
  toggle(image, "Healing Brush", ctrl | alt | Qt::Key_S, Rule::noScans, &AppModel::spotMode,
         &AppModel::setSpotMode);
  toggle(image, "Red Eye", ctrl | alt | Qt::Key_E, Rule::redEye, &AppModel::redEyeMode,
         &AppModel::setRedEyeMode);
  image->addSeparator();
  toggle(image, "Pick White Balance", ctrl | alt | Qt::Key_G, Rule::noScans, &AppModel::wbPickMode,
         &AppModel::setWbPickMode);
  connect(add(image, "Analyse Roll", {}, Rule::noScans), &QAction::triggered, this,
          [m] { m->analyseRoll(); });
  connect(add(image, "Auto Balance", ctrl | Qt::Key_B, Rule::never), &QAction::triggered, this,
          [m] { m->autoBalance(); });
  connect(add(image, "Reset to Defaults", ctrl | alt | Qt::Key_R, Rule::never), &QAction::triggered,
          this, [m] { m->resetToDefaults(); });
  connect(add(image, "Match Reference Photo…", ctrl | alt | Qt::Key_T, Rule::matching),
          &QAction::triggered, this,
          [m] { TaskHandle::start([m](std::stop_token) { return m->chooseReferencePhoto(); }); });
  connect(add(image, "Reset Everything", ctrl | alt | shift | Qt::Key_R, Rule::never),
          &QAction::triggered, this, [m] { m->resetSelectedScan(); });
  connect(add(image, "Apply Settings to All Images", {}, Rule::never), &QAction::triggered, this,
          [m] { m->copyLookToAll(); });
  image->addSeparator();
  connect(add(image, "Leave Out of Export All", ctrl | Qt::Key_K, Rule::never), &QAction::triggered,
          this, [m] { m->toggleSkipped(); });
  toggle(image, "Show Negative", ctrl | alt | Qt::Key_N, Rule::never, &AppModel::showNegative,
         &AppModel::setShowNegative);
}

void MenuCommands::buildPresets(QMenuBar& bar) {
  presets_ = bar.addMenu("Presets");
  menus_.push_back(presets_);
}

void MenuCommands::buildHelp(QMenuBar& bar) {
  QMenu* help = bar.addMenu("Help");
  menus_.push_back(help);
  QAction* about = add(help, "About Kelvadorium", {}, Rule::never);
  about->setMenuRole(QAction::AboutRole);
  connect(about, &QAction::triggered, this, &MenuCommands::openAbout);
}

bool MenuCommands::enabled(Rule rule, const State& state) const {
  switch (rule) {
    case Rule::never:
      return true;
    case Rule::noScans:
      return state.scans;
    case Rule::fewerThanTwo:
      return state.twoScans;
    case Rule::noSelection:
      return state.selected;
    case Rule::noPaste:
      return state.selected && model_.copiedSettings().has_value();
    case Rule::noUndo:
      return model_.canUndo();
    case Rule::noRedo:
      return model_.canRedo();
    case Rule::redEye:
      return state.scans && state.selectedMode != FilmMode::bwNegative;
    case Rule::matching:
      return state.scans && !model_.matchProgress();
    case Rule::textFocus:
      return textField() != nullptr;
  }
  return true;
}

void MenuCommands::update() {
  State state;
  const auto& items = model_.items();
  state.scans = !items.empty();
  state.twoScans = items.size() >= 2;
  if (const auto index = model_.selectedIndex()) {
    state.selected = true;
    state.selectedMode = items[*index].settings.mode;
  }
  for (const Row& row : rows_) row.action->setEnabled(enabled(row.rule, state));
  for (const auto& [action, value] : toggles_) action->setChecked((model_.*value)());

  // The marks are counted only when there are two or more of them.
  const size_t targets = model_.marked().size() < 2 ? 1 : model_.targetIDs().size();
  remove_->setText(targets < 2 ? QString("Remove from List")
                               : QString("Remove %1 Scans from List").arg(targets));
  adjustments_->setText(model_.showInspector() ? "Hide Adjustments" : "Show Adjustments");
  before_->setText(model_.compareMode() == CompareMode::before ? "Show After" : "Show Before");
  split_->setText(model_.compareMode() == CompareMode::split ? "End Split View"
                                                             : "Split Before / After");
  clearRecent_->setEnabled(!model_.recentProjects().empty());

  const FilmMode presetMode = state.selectedMode.value_or(FilmMode::colorNegative);
  if (presetsFor_ != presetMode) rebuildPresets(presetMode);
}

QMenu* MenuCommands::menu(const QString& title) const {
  for (QMenu* menu : menus_) {
    if (menu->title() == title) return menu;
  }
  return nullptr;
}

QAction* MenuCommands::item(const QString& menuTitle, const QString& title) const {
  QMenu* owner = menuTitle == recent_->title() ? recent_ : menu(menuTitle);
  if (!owner) return nullptr;
  for (QAction* action : owner->actions()) {
    if (plainText(action->text()) == title) return action;
  }
  return nullptr;
}

// Titles without asking the file system: a folder on a missing network drive could block.
void MenuCommands::rebuildRecent() {
  recent_->clear();
  const auto& urls = model_.recentProjects();
  for (size_t i = 0; i < urls.size(); ++i) {
    const std::filesystem::path url = urls[i];
    QAction* entry = recent_->addAction(menuText(recentTitle(url, true)));
    if (i == 0) {
      entry->setShortcut(ctrl | alt | shift | Qt::Key_O);
      connect(entry, &QAction::triggered, this, &MenuCommands::openFirstRecent);
    } else {
      connect(entry, &QAction::triggered, this, [this, url] { calls_.openProject(url); });
    }
  }
  if (!urls.empty()) recent_->addSeparator();
  clearRecent_ = recent_->addAction("Clear Menu");
  connect(clearRecent_, &QAction::triggered, this, [this] { model_.clearRecentProjects(); });
}

void MenuCommands::checkRecentFiles() {
  const auto& urls = model_.recentProjects();
  const QList<QAction*> entries = recent_->actions();
  for (size_t i = 0; i < urls.size() && i < size_t(entries.size()); ++i) {
    const bool exists = fileExists(urls[i]);
    entries[i]->setText(menuText(recentTitle(urls[i], exists)));
    entries[i]->setEnabled(exists);
  }
}

void MenuCommands::openFirstRecent() {
  if (model_.recentProjects().empty()) return;
  const std::filesystem::path url = model_.recentProjects().front();
  if (fileExists(url)) calls_.openProject(url);
}

void MenuCommands::rebuildPresets(FilmMode mode) {
  presetsFor_ = mode;
  presets_->clear();
  AppModel* m = &model_;
  for (const auto& [preset, title] : FilmTexts::presetsFor(mode)) {
    const BuiltInPreset chosen = preset;
    connect(presets_->addAction(menuText(title)), &QAction::triggered, this,
            [m, chosen] {
              m->applyBuiltInPreset(chosen);
              m->telemetry().record("preset");
            });
  }
}

void MenuCommands::foldAllSections(bool open) {
  for (const char* title : foldTitles) {
    model_.preferences().setBool(QString("fold.") + title, open);
  }
}

void MenuCommands::clearImages() {
  if (clearTask_ && !clearTask_.isFinished()) return;
  clearTask_ = TaskHandle::start([this](std::stop_token stop) { return clearImagesSteps(stop); });
}

QCoro::Task<> MenuCommands::clearImagesSteps(std::stop_token stop) {
  const bool mayClose = co_await calls_.confirmSaveBeforeClosing();
  if (stop.stop_requested() || !mayClose) co_return;
  model_.closeSession();
}

AboutView* MenuCommands::aboutWindow() const { return about_; }
SettingsView* MenuCommands::settingsWindow() const { return settings_; }

void MenuCommands::openAbout() {
  if (!about_) {
    about_ = new AboutView(
        AboutView::Facts::ofThisBuild(), wallClock_, [this] { openSettings(); }, window_);
    // Opened in the middle of the screen the main window is on.
    if (QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen()) {
      about_->move(screen->availableGeometry().center() - about_->rect().center());
    }
  }
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void MenuCommands::openSettings() {
  if (!settings_) settings_ = new SettingsView(model_, nullptr, window_);
  settings_->show();
  settings_->raise();
  settings_->activateWindow();
}
