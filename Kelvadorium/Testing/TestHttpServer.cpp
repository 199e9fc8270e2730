#include "Testing/TestHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

TestHttpServer::TestHttpServer() {
  server_.listen(QHostAddress::LocalHost);
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

QUrl TestHttpServer::url() const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1/telemetry").arg(server_.serverPort()));
}

void TestHttpServer::readFrom(QTcpSocket* socket) {
  QByteArray& buffer = pending_[socket];
  buffer += socket->readAll();
  const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
  if (headerEnd < 0) return;
  Request request;
  const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
  const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
  request.method = first.value(0);
  request.path = first.value(1);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0) {
      request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                             lines[i].mid(colon + 1).trimmed());
    }
  }
  const qsizetype length = request.headers.value("content-length", "0").toLongLong();
  if (buffer.size() < headerEnd + 4 + length) return;
  request.body = buffer.mid(headerEnd + 4, length);
  pending_.remove(socket);
  requests.append(request);

  const int status = answers.empty() ? otherwise : answers.front();
  if (!answers.empty()) answers.pop_front();
  if (status == 0) {
    socket->abort();
  } else if (status < 0) {
    socket->write("garbage, not an answer\r\n\r\n");
    socket->disconnectFromHost();
  } else {
    socket->write("HTTP/1.1 " + QByteArray::number(status) +
                  " Scripted\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    socket->disconnectFromHost();
  }
  emit answered();
}

bool TestHttpServer::waitForRequests(int count, int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  while (requests.size() < count && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return requests.size() >= count;
}
