#include "App/ProjectHandOver.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>

namespace ProjectHandOver {

namespace {
// A message longer than this is not from our program; it is dropped unread.
constexpr qint64 largestMessage = 1 << 20;
}  // namespace

QString serverName() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QFile::decodeName(runtime)).exists()) {
    return QFile::decodeName(runtime) + "/kelvadorium-handover";
  }
  return QDir::tempPath() + QString("/kelvadorium-handover-%1").arg(getuid());
}

QByteArray encode(const std::vector<std::filesystem::path>& paths) {
  QByteArray message;
  for (const auto& path : paths) {
    message.append(path.native().data(), static_cast<qsizetype>(path.native().size()));
    message.append('\0');
  }
  return message;
}

std::vector<std::filesystem::path> decode(const QByteArray& message) {
  std::vector<std::filesystem::path> paths;
  for (const QByteArray& part : message.split('\0')) {
    const std::filesystem::path path(part.toStdString());
    if (path.is_absolute()) paths.push_back(path.lexically_normal());
  }
  return paths;
}

bool sendToRunning(const std::vector<std::filesystem::path>& paths, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(serverName());
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(encode(paths));
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}

Server::Server(QString name, QObject* parent) : QObject(parent) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &Server::accept);
  {
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(200)) return;  // another copy serves; it keeps the name
  }
  if (!server_.listen(name)) {
    QLocalServer::removeServer(name);  // what a crashed copy left behind
    server_.listen(name);
  }
}

void Server::accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    auto* message = new QByteArray;
    connect(socket, &QLocalSocket::readyRead, socket, [socket, message] {
      message->append(socket->readAll());
      if (message->size() > largestMessage) socket->abort();
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, message] {
      if (socket->isOpen()) message->append(socket->readAll());
      const bool whole = message->size() <= largestMessage;
      const QByteArray text = std::move(*message);
      delete message;
      socket->deleteLater();
      // A copy that only looked whether someone serves sends nothing.
      std::vector<std::filesystem::path> paths = whole ? decode(text) : decltype(paths){};
      if (!paths.empty()) emit received(std::move(paths));
    });
  }
}

}  // namespace ProjectHandOver
