// The preview's keys and scrolls: an application event filter, active while the preview is in a
// shown window, that sees every key press, key release and wheel event as the system hands it to
// a window, before shortcuts of widgets and before any widget. It reports what concerns the
// preview through four handlers, swallows what a handler says it handled (and every space of a
// held space bar), and passes everything else on unchanged; the rules are CatcherRules'.
#pragma once

#include <QObject>
#include <functional>

#include "Model/BrowseKey.h"
#include "Preview/ScrollZoom.h"

class QWidget;

class ZoomEventCatcher final : public QObject {
 public:
  // `area`: the preview, whose window the events must be for and whose rectangle a scroll must
  // lie in.
  explicit ZoomEventCatcher(QWidget& area);
  ~ZoomEventCatcher() override;

  // Each answers whether it handled the event; a space press and release are always taken.
  std::function<bool(const ScrollZoom::Scroll&)> onScroll;
  std::function<bool(bool larger)> onBracket;
  std::function<bool(BrowseKey, bool shift)> onBrowseKey;
  std::function<void(bool down)> onSpace;

  // Installs or removes the filter.
  void setActive(bool active);
  bool isActive() const { return active_; }
  // A space press was reported and its release not yet.
  bool spaceDown() const { return spaceDown_; }
  // Ends a held space whose release will not come here (the window lost the keyboard, the
  // preview was hidden): reports the release once.
  void releaseSpace();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool key(QEvent* event, bool ownWindow);
  bool wheel(QEvent* event);

  QWidget& area_;
  bool active_ = false;
  bool spaceDown_ = false;
};
