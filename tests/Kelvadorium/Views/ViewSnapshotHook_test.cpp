// The program's snapshot hook, run as a process without any display: the PNG it writes, that it
// runs before the self-test, and the status that tells a build script when nothing was written.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>

#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

struct ProgramRun {
  int status = -1;
  QString output;
  QString errors;
};

// The program with only the given variables added to an environment without any display.
ProgramRun runProgram(const std::vector<std::pair<QString, QString>>& variables) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(name);
  }
  for (const auto& [name, value] : variables) environment.insert(name, value);
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(KV_PROGRAM, {});
  ProgramRun run;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.output = QString::fromUtf8(process.readAllStandardOutput());
  run.errors = QString::fromUtf8(process.readAllStandardError());
  return run;
}

TEST(ViewSnapshotHook, WritesTheAboutWindowAtTwiceItsSize) {
  TempDir dir;
  const QString png = QString::fromStdString((dir / "about.png").string());
  const ProgramRun run = runProgram({{"KV_RENDER_ABOUT", png}});
  EXPECT_EQ(run.status, 0) << run.errors.toStdString();
  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 960);
  EXPECT_GT(image.height(), 2 * 300);
  const QColor window = QApplication::palette().color(QPalette::Window);
  for (const QPoint corner :
       {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
        QPoint(image.width() - 1, image.height() - 1)}) {
    EXPECT_EQ(image.pixelColor(corner).rgb(), window.rgb()) << corner.x() << "," << corner.y();
  }
  // Not only the background: the window's text and icon are there.
  int others = 0;
  for (int y = 0; y < image.height(); y += 4) {
    for (int x = 0; x < image.width(); x += 4)
      others += image.pixelColor(x, y).rgb() != window.rgb();
  }
  EXPECT_GT(others, 500);
}

TEST(ViewSnapshotHook, RunsBeforeTheSelfTestWhichThenNeverRuns) {
  TempDir dir;
  ScanFixtures::Negative negative;
  negative.width = 300;
  negative.height = 200;
  ScanFixtures::writeNegativeDng(dir / "neg.dng", negative);
  std::filesystem::create_directories(dir / "out");
  const QString png = QString::fromStdString((dir / "about.png").string());
  const ProgramRun run =
      runProgram({{"KV_RENDER_ABOUT", png},
                  {"KV_SELFTEST_EXPORT", QString::fromStdString((dir / "neg.dng").string() + "|" +
                                                                (dir / "out").string())}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_FALSE(QImage(png).isNull());
  EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

TEST(ViewSnapshotHook, NothingWrittenEndsWithStatusOne) {
  TempDir dir;
  std::ofstream(dir / "a file") << "not a folder";
  for (const std::filesystem::path& path :
       {std::filesystem::path(), dir / "no such folder" / "about.png", dir / "a file" / "about.png",
        dir.path()}) {
    const ProgramRun run = runProgram({{"KV_RENDER_ABOUT", QString::fromStdString(path.string())}});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_TRUE(run.errors.startsWith("snapshot: could not write")) << run.errors.toStdString();
    EXPECT_EQ(run.errors.count('\n'), 1) << run.errors.toStdString();
    EXPECT_EQ(run.output, "");
    if (!path.empty() && path != dir.path()) {
      EXPECT_FALSE(std::filesystem::exists(path)) << path;
    }
  }
}

}  // namespace
