#include "ViewSnapshotHook.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLayout>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

#include "Services/WallClock.h"
#include "Windows/AboutView.h"

namespace {

// The status the process ends with.
int writeSnapshot(int& argc, char** argv, const QString& path) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const WallClock clock;
  AboutView view(AboutView::Facts::ofThisBuild(), clock, {});
  view.ensurePolished();
  view.layout()->activate();

  constexpr qreal scale = 2;
  QImage image(view.size() * scale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(view.palette().color(QPalette::Window));
  view.render(&image);
  // A plain write: a failure leaves whatever QImageWriter managed, which is reported below.
  QImageWriter writer(path, "png");
  if (path.isEmpty() || !writer.write(image)) {
    std::fprintf(stderr, "snapshot: could not write \"%s\"%s%s\n", qUtf8Printable(path),
                 path.isEmpty() ? "" : ": ", qUtf8Printable(writer.errorString()));
    return 1;
  }
  return 0;
}

}  // namespace

void renderViewSnapshotHook(int& argc, char** argv) {
  const char* value = std::getenv("KV_RENDER_ABOUT");
  if (!value) return;
  const int status = writeSnapshot(argc, argv, QFile::decodeName(value));
  std::fflush(stdout);
  std::exit(status);
}
