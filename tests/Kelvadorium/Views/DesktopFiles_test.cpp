// The desktop integration as installed: the launcher entry passes the desktop's own check, the
// project type's description is accepted by the MIME database with its case-sensitive glob, and
// entry and icon carry the application's desktop file name.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

#include "App/KelvadoriumApp.h"

namespace {

int runTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(120000)) return -1;
  if (output) *output = process.readAll();
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(DesktopFiles, InstalledEntryTypeAndIcon) {
  QTemporaryDir prefix;
  QByteArray output;
  ASSERT_EQ(runTool("cmake", {"--install", KV_BINARY_DIR, "--prefix", prefix.path()}, &output), 0)
      << output.toStdString();
  const QString share = prefix.filePath("share");
  const QString name = KelvadoriumApp::desktopFileName;

  const QString entry = share + "/applications/" + name + ".desktop";
  ASSERT_TRUE(QFile::exists(entry));
  EXPECT_EQ(runTool("desktop-file-validate", {entry}, &output), 0) << output.toStdString();
  QFile entryFile(entry);
  ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
  std::map<QString, QString> keys;
  for (const QByteArray& line : entryFile.readAll().split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals > 0)
      keys[QString::fromUtf8(line.left(equals))] = QString::fromUtf8(line.mid(equals + 1));
  }
  EXPECT_EQ(keys["Exec"], "kelvadorium %F");
  EXPECT_EQ(keys["Icon"], name);
  EXPECT_EQ(keys["MimeType"], "application/x-kelvadorium-project;");
  EXPECT_EQ(keys["Categories"], "Graphics;Photography;");

  EXPECT_TRUE(QFile::exists(share + "/icons/hicolor/scalable/apps/" + name + ".svg"));

  // The MIME database compiles the description; its glob list marks the pattern case-sensitive.
  ASSERT_EQ(runTool("update-mime-database", {share + "/mime"}, &output), 0) << output.toStdString();
  QFile globs(share + "/mime/globs2");
  ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
  const QByteArray text = globs.readAll();
  EXPECT_TRUE(text.contains("application/x-kelvadorium-project:*.kelvadorium:cs"))
      << text.toStdString();
}

}  // namespace
