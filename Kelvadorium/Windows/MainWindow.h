// The program's main window: the scan browser, the preview and the adjustments column in one of
// the four layouts, the toolbar, the title from the session, the drop target for files and
// folders, and the sheets and alerts the model asks for. It keeps no document state: every
// control reads the model and acts through its calls.
#pragma once

#include <QMainWindow>
#include <functional>

#include "Model/AppLayout.h"

struct ModelCalls;
class AppModel;
class DialogService;
class InspectorView;
class MenuCommands;
class PanePlaceholder;
class PreviewPane;
class QAction;
class QActionGroup;
class QMenu;
class QSplitter;
class SheetPresenter;

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(AppModel& model, const ModelCalls& calls, QWidget* parent = nullptr);

  // Asked whether the window may close now; a refusal may start the quit question, whose
  // answer closes the window again. Without one the window closes at once.
  void setCloseGuard(std::function<bool()> mayClose) { mayClose_ = std::move(mayClose); }

  bool dropTargeted() const { return dropTargeted_; }
  SheetPresenter& sheets() const { return *sheets_; }

  // The panes, whether placed or not.
  QWidget* sidebarPane() const;
  QWidget* previewPane() const;
  QWidget* inspectorPane() const;
  QWidget* filmstripPane() const;
  // The outer split view of the current layout.
  QSplitter* splitter() const { return splitter_; }

  // Toolbar controls, by their titles.
  QAction* toolbarAction(const QString& title) const;
  QAction* menuAction(const QString& menuTitle, const QString& itemTitle) const;
  QAction* quitAction() const { return quit_; }
  MenuCommands& menus() const { return *menus_; }

  static constexpr int minimumWidth = 1000;
  static constexpr int minimumHeight = 640;

 signals:
  // Every show that is not the desktop's own (restoring from the task bar is not one).
  void shown();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildToolbar();
  void buildMenus();
  void arrange();
  void refresh();
  void refreshTitle();
  void chooseLayout(AppLayout layout);
  void setDropTargeted(bool targeted);

  AppModel& model_;
  const ModelCalls& calls_;
  std::function<bool()> mayClose_;
  bool dropTargeted_ = false;

  PanePlaceholder* sidebar_;
  PreviewPane* preview_;
  InspectorView* inspector_;
  PanePlaceholder* filmstrip_;
  QWidget* holder_;  // keeps the panes the current layout does not place
  QSplitter* splitter_ = nullptr;
  AppLayout arranged_ = AppLayout::standard;
  bool arrangedInspector_ = true;

  QList<QAction*> needScans_;
  QAction* crop_ = nullptr;
  QAction* showNegative_ = nullptr;
  QAction* exportMarked_ = nullptr;
  QAction* adjustments_ = nullptr;
  QAction* layout_ = nullptr;
  QActionGroup* layouts_ = nullptr;
  QAction* quit_ = nullptr;
  MenuCommands* menus_ = nullptr;
  SheetPresenter* sheets_ = nullptr;
};
