// Handing project files to the running copy: server and client in one process, a socket left by
// a crashed copy, a copy that already serves, and a second launch of the real program.
#include "App/ProjectHandOver.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "TestSupport/ChildProcess.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

class ProjectHandOverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  }
  void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved_); }

  static Paths receivedBy(QSignalSpy& spy) {
    if (spy.isEmpty() && !spy.wait(5000)) return {};
    return spy.takeFirst().at(0).value<Paths>();
  }

  QTemporaryDir runtime;
  QByteArray saved_;
};

TEST_F(ProjectHandOverTest, TheNameIsPerUserInTheRuntimeFolder) {
  EXPECT_EQ(ProjectHandOver::serverName(), runtime.filePath("kelvadorium-handover"));
  qputenv("XDG_RUNTIME_DIR", "");
  EXPECT_EQ(ProjectHandOver::serverName(),
            QDir::tempPath() + QString("/kelvadorium-handover-%1").arg(getuid()));
}

TEST_F(ProjectHandOverTest, PathsArriveAsSentAndOnlyAbsoluteOnes) {
  ProjectHandOver::Server server;
  ASSERT_TRUE(server.isListening());
  QSignalSpy spy(&server, &ProjectHandOver::Server::received);
  const Paths sent = {"/roll/Roll 7.kelvadorium", "/roll/caf\xe9.kelvadorium", "/roll/a.nef"};
  ASSERT_TRUE(ProjectHandOver::sendToRunning(sent));
  EXPECT_EQ(receivedBy(spy), sent);

  QByteArray mixed = ProjectHandOver::encode({"/a/x.kelvadorium"});
  mixed += QByteArray("relative.kelvadorium\0", 21);
  mixed += QByteArray("\0\0", 2);
  EXPECT_EQ(ProjectHandOver::decode(mixed), Paths{"/a/x.kelvadorium"});
}

TEST_F(ProjectHandOverTest, ASocketLeftByACrashIsReplaced) {
  const QByteArray name = QFile::encodeName(ProjectHandOver::serverName());
  const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(stale);  // the file stays, nobody listens
  EXPECT_FALSE(ProjectHandOver::sendToRunning({"/a.kelvadorium"}, 200));

  ProjectHandOver::Server server;
  ASSERT_TRUE(server.isListening());
  QSignalSpy spy(&server, &ProjectHandOver::Server::received);
  ASSERT_TRUE(ProjectHandOver::sendToRunning({"/b.kelvadorium"}));
  EXPECT_EQ(receivedBy(spy), Paths{"/b.kelvadorium"});
}

TEST_F(ProjectHandOverTest, ACopyThatServesKeepsTheName) {
  ProjectHandOver::Server first;
  ProjectHandOver::Server second;
  EXPECT_TRUE(first.isListening());
  EXPECT_FALSE(second.isListening());
  QSignalSpy spy(&first, &ProjectHandOver::Server::received);
  ASSERT_TRUE(ProjectHandOver::sendToRunning({"/c.kelvadorium"}));
  EXPECT_EQ(receivedBy(spy), Paths{"/c.kelvadorium"});
}

// The program launched with a project while this process serves: it hands over its paths,
// absolute, and ends with status 0 without opening a window of its own.
TEST_F(ProjectHandOverTest, ASecondLaunchHandsItsProjectToTheRunningCopy) {
  ProjectHandOver::Server server;
  ASSERT_TRUE(server.isListening());
  QSignalSpy spy(&server, &ProjectHandOver::Server::received);
  QTemporaryDir work;
  const std::filesystem::path folder = work.path().toStdString();
  const int status = ChildProcess::run(
      KV_PROGRAM, {"XDG_RUNTIME_DIR=" + runtime.path().toStdString(), "QT_QPA_PLATFORM=offscreen"},
      folder,
      {"-style", "fusion", "frame.nef", "rolls/../Roll 7.kelvadorium", "--x", "b.kelvadorium"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(receivedBy(spy),
            (Paths{folder / "frame.nef", folder / "Roll 7.kelvadorium", folder / "b.kelvadorium"}));
}

}  // namespace
