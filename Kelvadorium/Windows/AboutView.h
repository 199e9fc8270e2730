// The About window: the program's icon, name, edition and version, links to the web site, to
// support by e-mail and to the privacy page, a way to the privacy settings, and the credits.
// One non-modal window, raised when asked for again; the snapshot hook renders it headless.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class WallClock;

class AboutView final : public QDialog {
  Q_OBJECT

 public:
  // What the window tells of the program; a value that is missing or empty counts as absent.
  struct Facts {
    std::optional<QString> version;
    std::optional<QString> build;
    QUrl website;
    QUrl privacyPage;
    QString supportAddress;
    // The values this program was built with (CMake's project version and cache values).
    static Facts ofThisBuild();
  };

  static constexpr int fixedWidth = 480;

  // `openSettings` opens the Settings window, for "Privacy Settings…".
  AboutView(Facts facts, const WallClock& clock, std::function<void()> openSettings,
            QWidget* parent = nullptr);

  // Where the links go; the desktop's handler of the URL's scheme unless replaced.
  void setUrlOpener(std::function<void(const QUrl&)> open) { openUrl_ = std::move(open); }

  // "Version 1.2 (build 7)"; "development build" stands for a missing version, and the build's
  // part is left out without one.
  static QString versionText(const std::optional<QString>& version,
                             const std::optional<QString>& build);
  // "2026" until 2026 ends, then the range from 2026 to `year` ("2026–2031").
  static QString yearsText(int year);
  // A new message to support whose subject names the version and build, "?" for each missing.
  static QUrl supportMailURL(const QString& address, const std::optional<QString>& version,
                             const std::optional<QString>& build);

 private:
  QWidget* linksRow();
  QWidget* credits(int year);

  Facts facts_;
  std::function<void()> openSettings_;
  std::function<void(const QUrl&)> openUrl_;
};
