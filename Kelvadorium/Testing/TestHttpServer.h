// A small HTTP server on 127.0.0.1 for upload tests: it records each request and answers from a
// script, one answer per request (a status, or closing the connection without one); with no
// answer left it answers `otherwise`.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <deque>

class QTcpSocket;

class TestHttpServer : public QObject {
  Q_OBJECT

 public:
  struct Request {
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
  };
  // A status to answer with; 0 closes the connection instead, a negative one answers bytes
  // that are no HTTP.
  std::deque<int> answers;
  int otherwise = 200;  // the answer once the script is used up
  QList<Request> requests;

  TestHttpServer();
  // http://127.0.0.1:<port>/telemetry
  QUrl url() const;
  // Processes events until `count` requests have arrived and been answered, or the time is up.
  bool waitForRequests(int count, int milliseconds = 5000);

 signals:
  void answered();

 private:
  void readFrom(QTcpSocket* socket);

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> pending_;
};
