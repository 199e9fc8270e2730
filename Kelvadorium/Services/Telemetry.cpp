#include "Services/Telemetry.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cmath>

#include "Services/Preferences.h"
#include "Services/WallClock.h"

Telemetry::Telemetry(std::filesystem::path dataFolder, const Preferences& preferences,
                     WallClock& clock)
    : dataFolder_(std::move(dataFolder)),
      clock_(&clock),
      analyticsEnabled_(preferences.boolValue("telemetry.analytics", false)),
      crashReportsEnabled_(preferences.boolValue("telemetry.crashes", false)),
      counts_(readCounts(usageFileURL())) {}

Telemetry& Telemetry::shared() {
  static WallClock clock;
  static Preferences preferences(Preferences::standardPath());
  static Telemetry instance(standardDataFolder(), preferences, clock);
  return instance;
}

std::filesystem::path Telemetry::standardDataFolder() {
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const std::filesystem::path base =
      dataHome.isEmpty()
          ? std::filesystem::path(QFile::encodeName(QDir::homePath()).toStdString()) / ".local" /
                "share"
          : std::filesystem::path(dataHome.toStdString());
  return base / "Kelvadorium";
}

QString Telemetry::dayKey(const QDateTime& moment) {
  // The format form of toString writes ASCII digits in the Gregorian calendar in every locale.
  return moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
}

void Telemetry::record(const QString& event) {
  if (!analyticsEnabled_ || !clock_) return;
  ++counts_[dayKey(clock_->now())][event];
  while (counts_.size() > keptDays) counts_.erase(counts_.begin());
  saveCounts();
}

std::filesystem::path Telemetry::diagnosticsFolder() const { return dataFolder_ / "Diagnostics"; }
std::filesystem::path Telemetry::usageFileURL() const { return diagnosticsFolder() / "usage.json"; }
std::filesystem::path Telemetry::crashFolderURL() const {
  return diagnosticsFolder() / "CrashReports";
}

void Telemetry::saveCounts() const {
  if (dataFolder_.empty()) return;
  std::error_code ignored;
  std::filesystem::create_directories(diagnosticsFolder(), ignored);
  QJsonObject days;
  for (const auto& [day, events] : counts_) {
    QJsonObject perEvent;
    for (const auto& [event, count] : events) perEvent.insert(event, count);
    days.insert(day, perEvent);
  }
  QSaveFile file(QFile::decodeName(usageFileURL().c_str()));
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(QJsonDocument(days).toJson(QJsonDocument::Compact));
  file.commit();
}

Telemetry::Counts Telemetry::readCounts(const std::filesystem::path& path) {
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
  if (!document.isObject()) return {};
  Counts counts;
  const QJsonObject days = document.object();
  for (auto day = days.begin(); day != days.end(); ++day) {
    if (!day.value().isObject()) return {};
    const QJsonObject events = day.value().toObject();
    auto& perEvent = counts[day.key()];
    for (auto event = events.begin(); event != events.end(); ++event) {
      // A count is a whole number; anything else is not the shape of the file.
      const double value = event.value().toDouble(-1);
      if (!event.value().isDouble() || value < 0 || value > 1e9 || value != std::floor(value)) {
        return {};
      }
      perEvent[event.key()] = static_cast<int>(value);
    }
  }
  return counts;
}
