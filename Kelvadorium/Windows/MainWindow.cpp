#include "Windows/MainWindow.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <array>

#include "App/ModelCalls.h"
#include "Inspector/InspectorView.h"
#include "Menus/MenuCommands.h"
#include "Model/AppModel.h"
#include "Preview/PreviewPane.h"
#include "Windows/PanePlaceholder.h"
#include "Windows/SheetPresenter.h"
#include "Windows/SymbolIcons.h"
#include "Windows/WindowTitle.h"

namespace {

struct LayoutRow {
  AppLayout layout;
  const char* title;
  const char* symbol;
};
constexpr std::array<LayoutRow, 4> layoutRows{{
    {AppLayout::standard, "Standard", "rectangle.split.3x1"},
    {AppLayout::filmstrip, "Filmstrip", "rectangle.bottomthird.inset.filled"},
    {AppLayout::swapped, "Swapped", "arrow.left.arrow.right.square"},
    {AppLayout::focus, "Focus", "rectangle.inset.filled"},
}};

const LayoutRow& rowOf(AppLayout layout) {
  for (const auto& row : layoutRows) {
    if (row.layout == layout) return row;
  }
  return layoutRows[0];
}

// A shortcut as the desktop writes it ("Ctrl+Alt+C"), for the help texts.
QString keyText(QKeyCombination key) {
  return QKeySequence(key).toString(QKeySequence::NativeText);
}

// Pane sizes: the ideal is where a layout starts; the splitter keeps each pane within its bounds.
constexpr int sidebarMin = 150, sidebarIdeal = 220, sidebarMax = 420;
constexpr int previewMinWidth = 360, previewMinHeight = 300;
constexpr int inspectorMin = 280, inspectorMax = 400;
constexpr int filmstripMin = 96, filmstripIdeal = 132, filmstripMax = 240;

std::filesystem::path localPath(const QUrl& url) {
  return std::filesystem::path(QFile::encodeName(url.toLocalFile()).toStdString())
      .lexically_normal();
}

bool carriesFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

}  // namespace

MainWindow::MainWindow(AppModel& model, const ModelCalls& calls, QWidget* parent)
    : QMainWindow(parent), model_(model), calls_(calls) {
  setMinimumSize(minimumWidth, minimumHeight);
  setAcceptDrops(true);
  setUnifiedTitleAndToolBarOnMac(true);

  holder_ = new QWidget(this);
  holder_->hide();
  sidebar_ = new PanePlaceholder("ThumbnailSidebar", QSize(sidebarIdeal, 400), holder_);
  sidebar_->setMinimumWidth(sidebarMin);
  sidebar_->setMaximumWidth(sidebarMax);
  sidebar_->setBackgroundRole(QPalette::Base);
  preview_ = new PreviewPane(model_, calls_.preview, holder_);
  preview_->setMinimumSize(previewMinWidth, previewMinHeight);
  inspector_ = new InspectorView(model_, holder_);
  inspector_->setMinimumWidth(inspectorMin);
  inspector_->setMaximumWidth(inspectorMax);
  filmstrip_ = new PanePlaceholder("FilmstripView", QSize(400, filmstripIdeal), holder_);
  filmstrip_->setMinimumHeight(filmstripMin);
  filmstrip_->setMaximumHeight(filmstripMax);
  filmstrip_->setBackgroundRole(QPalette::Base);

  buildMenus();
  buildToolbar();
  arranged_ = model_.layout();
  arrangedInspector_ = model_.showInspector();
  arrange();

  for (auto changed : {&AppModel::itemsChanged, &AppModel::selectionChanged,
                       &AppModel::markedChanged, &AppModel::projectURLChanged,
                       &AppModel::hasUnsavedChangesChanged, &AppModel::cropModeChanged,
                       &AppModel::showNegativeChanged, &AppModel::showInspectorChanged}) {
    connect(&model_, changed, this, &MainWindow::refresh);
  }
  connect(&model_.preferences(), &Preferences::changed, this, [this](const QString& key) {
    if (key == "layout") refresh();
  });
  sheets_ = new SheetPresenter(model_, calls_, model_.dialogs(), this);
  refresh();
}

QWidget* MainWindow::sidebarPane() const { return sidebar_; }
QWidget* MainWindow::previewPane() const { return preview_; }
QWidget* MainWindow::inspectorPane() const { return inspector_; }
QWidget* MainWindow::filmstripPane() const { return filmstrip_; }

void MainWindow::buildMenus() {
  quit_ = new QAction("Quit", this);
  quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit_->setMenuRole(QAction::QuitRole);
  connect(quit_, &QAction::triggered, this, &QWidget::close);
  menus_ = new MenuCommands(model_, calls_, *menuBar(), quit_, this);
}

void MainWindow::buildToolbar() {
  QToolBar* bar = addToolBar("Toolbar");
  bar->setObjectName("Toolbar");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  bar->toggleViewAction()->setVisible(false);

  auto button = [&](const QString& title, const QString& symbol, const QString& help) {
    QAction* action = bar->addAction(SymbolIcons::icon(symbol), title);
    action->setProperty("symbol", symbol);
    action->setToolTip(help.isEmpty() ? title : help);
    return action;
  };
  auto menuButton = [&](const QString& title, const QString& symbol, const QString& help) {
    QAction* action = button(title, symbol, help);
    auto* menu = new QMenu(title, this);
    action->setMenu(menu);
    if (auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
      tool->setPopupMode(QToolButton::InstantPopup);
    }
    return std::pair{action, menu};
  };

  QAction* add = button("Add Scans", "plus",
                        QString("Add scans or a folder (%1)").arg(keyText(Qt::CTRL | Qt::Key_O)));
  connect(add, &QAction::triggered, this, [this] { calls_.showAddPanel(); });

  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);

  QAction* previous = button("Previous", "chevron.left", {});
  connect(previous, &QAction::triggered, this, [this] { calls_.moveSelection(-1); });
  QAction* next = button("Next", "chevron.right", {});
  connect(next, &QAction::triggered, this, [this] { calls_.moveSelection(+1); });

  crop_ = button("Crop", "crop",
                 QString("Edit the crop (%1)").arg(keyText(Qt::CTRL | Qt::ALT | Qt::Key_C)));
  crop_->setCheckable(true);
  connect(crop_, &QAction::triggered, this, [this](bool on) { model_.setCropMode(on); });
  showNegative_ = button(
      "Show Negative", "circle.lefthalf.filled",
      QString("Show the scan before conversion (%1)").arg(keyText(Qt::CTRL | Qt::ALT | Qt::Key_N)));
  showNegative_->setCheckable(true);
  connect(showNegative_, &QAction::triggered, this,
          [this](bool on) { model_.setShowNegative(on); });

  auto [compare, compareMenu] =
      menuButton("Before / After", "square.split.2x1",
                 QString("Compare with the plain conversion (\\ toggles, %1 splits)")
                     .arg(keyText(Qt::CTRL | Qt::ALT | Qt::Key_Y)));
  connect(compareMenu->addAction("Before / After"), &QAction::triggered, this,
          [this] { calls_.toggleBeforeAfter(); });
  connect(compareMenu->addAction("Split Before / After"), &QAction::triggered, this,
          [this] { calls_.toggleSplitView(); });

  auto [exporting, exportMenu] = menuButton("Export", "square.and.arrow.up", {});
  connect(exportMenu->addAction("Export Current Image…"), &QAction::triggered, this,
          [this] { calls_.exportSelected(); });
  exportMarked_ = exportMenu->addAction("Export Selected Images…");
  connect(exportMarked_, &QAction::triggered, this, [this] { calls_.exportMarked(); });
  connect(exportMenu->addAction("Export All…"), &QAction::triggered, this,
          [this] { calls_.exportAll(); });

  // "Ctrl+Alt+1–4": the first layout's key with the range of the last digit.
  auto [layout, layoutMenu] =
      menuButton("Layout", rowOf(model_.layout()).symbol,
                 QString("Window layout (%1–4)").arg(keyText(Qt::CTRL | Qt::ALT | Qt::Key_1)));
  layout_ = layout;
  layoutMenu->addSection("Layout");
  layouts_ = new QActionGroup(this);
  for (const auto& row : layoutRows) {
    QAction* choice = layoutMenu->addAction(SymbolIcons::icon(row.symbol), row.title);
    choice->setCheckable(true);
    choice->setData(static_cast<int>(row.layout));
    layouts_->addAction(choice);
    const AppLayout chosen = row.layout;
    connect(choice, &QAction::triggered, this, [this, chosen] { chooseLayout(chosen); });
  }

  adjustments_ = button("Adjustments", "sidebar.right", "Show or hide the adjustments");
  connect(adjustments_, &QAction::triggered, this,
          [this] { model_.setShowInspector(!model_.showInspector()); });

  needScans_ = {previous, next, crop_, showNegative_, compare, exporting};
}

QAction* MainWindow::toolbarAction(const QString& title) const {
  for (QToolBar* bar : findChildren<QToolBar*>()) {
    for (QAction* action : bar->actions()) {
      if (action->text() == title) return action;
    }
  }
  return nullptr;
}

QAction* MainWindow::menuAction(const QString& menuTitle, const QString& itemTitle) const {
  QAction* owner = toolbarAction(menuTitle);
  if (!owner || !owner->menu()) return nullptr;
  for (QAction* action : owner->menu()->actions()) {
    if (action->text() == itemTitle) return action;
  }
  return nullptr;
}

void MainWindow::chooseLayout(AppLayout layout) {
  model_.setLayout(layout);
  model_.setShowInspector(layout != AppLayout::focus);
}

void MainWindow::arrange() {
  const bool withInspector = arrangedInspector_;
  auto* outer = new QSplitter(Qt::Horizontal);
  outer->setChildrenCollapsible(false);
  QWidget* centre = preview_;
  switch (arranged_) {
    case AppLayout::standard:
      outer->addWidget(sidebar_);
      outer->addWidget(preview_);
      if (withInspector) outer->addWidget(inspector_);
      break;
    case AppLayout::swapped:
      if (withInspector) outer->addWidget(inspector_);
      outer->addWidget(preview_);
      outer->addWidget(sidebar_);
      break;
    case AppLayout::filmstrip: {
      auto* column = new QSplitter(Qt::Vertical);
      column->setChildrenCollapsible(false);
      column->addWidget(preview_);
      column->addWidget(filmstrip_);
      column->setStretchFactor(0, 1);
      column->setStretchFactor(1, 0);
      outer->addWidget(column);
      if (withInspector) outer->addWidget(inspector_);
      centre = column;
      break;
    }
    case AppLayout::focus:
      outer->addWidget(preview_);
      if (withInspector) outer->addWidget(inspector_);
      break;
  }
  // Panes left out wait in the holder, so deleting the previous arrangement never takes them.
  const std::initializer_list<QWidget*> panes{sidebar_, preview_, inspector_, filmstrip_};
  for (QWidget* pane : panes) {
    if (!outer->isAncestorOf(pane)) pane->setParent(holder_);
  }
  for (int i = 0; i < outer->count(); ++i) outer->setStretchFactor(i, outer->widget(i) == centre);
  splitter_ = outer;
  setCentralWidget(outer);  // deletes the previous arrangement, emptied above
  // Shown now rather than at the next turn of the event loop, so the window never shows a gap.
  outer->show();
  for (QWidget* pane : panes) {
    if (outer->isAncestorOf(pane)) pane->show();
  }
}

void MainWindow::refresh() {
  const bool hasScans = !model_.items().empty();
  for (QAction* action : needScans_) action->setEnabled(hasScans);
  exportMarked_->setEnabled(!model_.marked().empty());
  {
    const QSignalBlocker cropBlocker(crop_);
    crop_->setChecked(model_.cropMode());
    const QSignalBlocker negativeBlocker(showNegative_);
    showNegative_->setChecked(model_.showNegative());
  }
  const AppLayout layout = model_.layout();
  for (QAction* choice : layouts_->actions()) {
    const QSignalBlocker blocker(choice);
    choice->setChecked(choice->data().toInt() == static_cast<int>(layout));
  }
  layout_->setProperty("symbol", rowOf(layout).symbol);
  layout_->setIcon(SymbolIcons::icon(rowOf(layout).symbol));
  const char* sidebar = layout == AppLayout::swapped ? "sidebar.left" : "sidebar.right";
  adjustments_->setProperty("symbol", sidebar);
  adjustments_->setIcon(SymbolIcons::icon(sidebar));
  if (layout != arranged_ || model_.showInspector() != arrangedInspector_) {
    arranged_ = layout;
    arrangedInspector_ = model_.showInspector();
    arrange();
  }
  refreshTitle();
}

void MainWindow::refreshTitle() {
  const QString project = model_.projectName();
  std::optional<QString> fileName;
  const auto index = model_.selectedIndex();
  if (index) fileName = QFile::decodeName(model_.items()[*index].url.filename().c_str());
  const QString title = WindowTitle::joined(
      WindowTitle::title(project, fileName),
      WindowTitle::subtitle(project, model_.hasUnsavedChanges(), index, model_.items().size()));
  // "[*]" in a title is Qt's placeholder for the modified mark; doubled, it shows as written.
  setWindowTitle(QString(title).replace("[*]", "[*][*]"));
}

void MainWindow::setDropTargeted(bool targeted) {
  dropTargeted_ = targeted;
  preview_->setDropTargeted(targeted);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) emit shown();
}

void MainWindow::closeEvent(QCloseEvent* event) { event->setAccepted(!mayClose_ || mayClose_()); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!carriesFiles(event->mimeData())) return;
  event->acceptProposedAction();
  setDropTargeted(true);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (carriesFiles(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dragLeaveEvent(QDragLeaveEvent*) { setDropTargeted(false); }

// Every dropped file and folder goes to the model in the order delivered, and the drop counts
// as accepted whatever the model then finds in it.
void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::filesystem::path> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(localPath(url));
  }
  setDropTargeted(false);
  event->acceptProposedAction();
  calls_.addScans(std::move(paths));
}
