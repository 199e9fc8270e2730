// An inspector over its own session of tiny scans on virtual time, for the tests of its
// sections; the view goes before the model.
#pragma once

#include <QApplication>
#include <functional>
#include <memory>
#include <optional>

#include "Inspector/InspectorView.h"
#include "Kelvadorium/Model/EditSession.h"

struct InspectorSession {
  // `open`: sections folded by default that the test opens first.
  explicit InspectorSession(size_t scans = 3, std::initializer_list<const char*> open = {})
      : session(scans) {
    for (const char* title : open)
      session.model->preferences().setBool(QString("fold.") + title, true);
    view = std::make_unique<InspectorView>(*session.model);
    view->resize(310, 5000);
    view->show();
  }
  AppModel& model() { return *session.model; }
  // What the next turn of the event loop would run, now.
  void settle() {
    QApplication::sendPostedEvents();
    view->refreshNow();
  }
  // Stores a record as if it had been read from a sidecar: no undo entry, no bookkeeping.
  void store(size_t index, const std::function<void(ConversionSettings&)>& change) {
    ConversionSettings settings = session.settings(index);
    change(settings);
    model().storeSettings(index, settings);
    settle();
  }
  void select(std::optional<size_t> index) {
    model().setSelection(index ? std::optional(session.id(*index)) : std::nullopt);
    settle();
  }
  template <class T>
  T* find(const QString& name) const {
    return view->findChild<T*>(name);
  }
  bool shown(const QString& name) const {
    QWidget* widget = find<QWidget>(name);
    return widget && widget->isVisibleTo(view.get());
  }

  EditSession session;
  std::unique_ptr<InspectorView> view;
};
