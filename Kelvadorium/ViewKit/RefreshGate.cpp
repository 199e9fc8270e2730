#include "ViewKit/RefreshGate.h"

#include <QMetaObject>

RefreshGate::RefreshGate(std::function<void()> refresh, QObject* parent)
    : QObject(parent), refresh_(std::move(refresh)) {}

void RefreshGate::request() {
  if (pending_) return;
  pending_ = true;
  QMetaObject::invokeMethod(this, &RefreshGate::run, Qt::QueuedConnection);
}

void RefreshGate::flush() {
  if (pending_) run();
}

void RefreshGate::run() {
  // A flush ran it already; the queued call finds nothing to do.
  if (!pending_) return;
  pending_ = false;
  refresh_();
}
