// Handing project files to the copy of the program that already runs, over a per-user local
// socket: "$XDG_RUNTIME_DIR/kelvadorium-handover", else the temporary folder with the user id in
// the name. A message is the absolute paths as their bytes, each ended by a zero byte, and the
// connection's end closes it.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <filesystem>
#include <vector>

namespace ProjectHandOver {

QString serverName();

// Sends the paths to the running copy; false when none answers in time.
bool sendToRunning(const std::vector<std::filesystem::path>& paths, int timeoutMs = 1000);

// The running copy's end. Listens unless another copy answers on the name; a socket left by a
// copy that crashed is removed first.
class Server final : public QObject {
  Q_OBJECT

 public:
  explicit Server(QString name = serverName(), QObject* parent = nullptr);
  bool isListening() const { return server_.isListening(); }

 signals:
  void received(std::vector<std::filesystem::path> paths);

 private:
  void accept();

  QLocalServer server_;
};

// The paths of one message; anything that is not an absolute path is dropped.
std::vector<std::filesystem::path> decode(const QByteArray& message);
QByteArray encode(const std::vector<std::filesystem::path>& paths);

}  // namespace ProjectHandOver
