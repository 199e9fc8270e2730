#include "Windows/SymbolIcons.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <map>
#include <utility>

namespace SymbolIcons {

QString themeName(const QString& symbol) {
  static const QHash<QString, QString> names{
      {"plus", "list-add"},
      {"chevron.left", "go-previous"},
      {"chevron.right", "go-next"},
      {"crop", "transform-crop"},
      {"circle.lefthalf.filled", "color-mode-invert-image"},
      {"square.split.2x1", "view-split-left-right"},
      {"square.and.arrow.up", "document-export"},
      {"rectangle.split.3x1", "view-split-left-right"},
      {"rectangle.bottomthird.inset.filled", "view-split-top-bottom"},
      {"arrow.left.arrow.right.square", "object-flip-horizontal"},
      {"rectangle.inset.filled", "view-fullscreen"},
      {"sidebar.left", "sidebar-show"},
      {"sidebar.right", "sidebar-show-right"},
      {"film", "camera-photo"},
      {"paintpalette", "color-management"},
      {"sun.max", "weather-clear"},
      {"rotate.left", "object-rotate-left"},
      {"rotate.right", "object-rotate-right"},
      {"checkmark", "dialog-ok-apply"},
      {"eyedropper", "color-picker"},
      {"eye", "view-visible"},
      {"cursorarrow.rays", "edit-select"},
      {"wand.and.rays", "tools-wizard"},
      {"trash", "edit-delete"},
      {"arrow.counterclockwise", "edit-undo"},
      {"wand.and.stars", "tools-wizard"},
  };
  return names.value(symbol);
}

QIcon icon(const QString& symbol) {
  const QString name = themeName(symbol);
  if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  const QString own = ":/Windows/Symbols/" + symbol + ".svg";
  return QFile::exists(own) ? QIcon(own) : QIcon();
}

QImage image(const QString& symbol, QSize pixels) {
  if (pixels.isEmpty()) return {};
  static QMutex lock;
  static std::map<std::pair<QString, std::pair<int, int>>, QImage> drawn;
  const auto key = std::make_pair(symbol, std::make_pair(pixels.width(), pixels.height()));
  QMutexLocker locked(&lock);
  if (const auto found = drawn.find(key); found != drawn.end()) return found->second;
  QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  {
    QPainter painter(&picture);
    icon(symbol).paint(&painter, picture.rect());
  }
  // A handful of symbols at a size or two each; zooming through many sizes starts afresh.
  if (drawn.size() >= 64) drawn.clear();
  drawn.emplace(key, picture);
  return picture;
}

}  // namespace SymbolIcons
