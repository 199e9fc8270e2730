// Anonymous, opt-in usage counts: per local day, how often each event happened, kept in
// "usage.json" in the data folder's "Diagnostics" and the one place through which tools, menus,
// the start-up and the model count an event. Nothing is counted or stored while usage
// statistics are off. Every file error is ignored: counting never troubles the user.
#pragma once

#include <QDateTime>
#include <QString>
#include <filesystem>
#include <map>

class Preferences;
class WallClock;

class Telemetry {
 public:
  // Day key → event name → count.
  using Counts = std::map<QString, std::map<QString, int>>;

  // The days kept; older ones are dropped at the next count.
  static constexpr size_t keptDays = 60;

  // Reads the two switches from `preferences` ("telemetry.analytics", "telemetry.crashes"; absent
  // or unreadable is off) and the counts from usage.json under `dataFolder`
  // ($XDG_DATA_HOME/Kelvadorium in the program); a file that does not read as counts is empty.
  Telemetry(std::filesystem::path dataFolder, const Preferences& preferences, WallClock& clock);
  virtual ~Telemetry() = default;
  Telemetry(const Telemetry&) = delete;
  Telemetry& operator=(const Telemetry&) = delete;

  // The process's one instance over the standard folders, made when first asked for.
  static Telemetry& shared();
  // $XDG_DATA_HOME (default ~/.local/share) + "/Kelvadorium".
  static std::filesystem::path standardDataFolder();

  // The local date of `moment` as "yyyy-MM-dd", Gregorian with ASCII digits whatever the locale,
  // so keys sort in date order as plain text.
  static QString dayKey(const QDateTime& moment);

  // Counts one `event` today and saves; nothing at all while usage statistics are off.
  virtual void record(const QString& event);

  bool analyticsEnabled() const { return analyticsEnabled_; }
  bool crashReportsEnabled() const { return crashReportsEnabled_; }
  const Counts& counts() const { return counts_; }

  // Writes the counts compact and atomically, making the folder first; failures are ignored.
  void saveCounts() const;
  std::filesystem::path usageFileURL() const;
  std::filesystem::path crashFolderURL() const;

 protected:
  // For doubles of the seam: off, with no folder, storing nothing.
  Telemetry() = default;

 private:
  std::filesystem::path diagnosticsFolder() const;
  static Counts readCounts(const std::filesystem::path& file);

  std::filesystem::path dataFolder_;
  WallClock* clock_ = nullptr;
  bool analyticsEnabled_ = false;
  bool crashReportsEnabled_ = false;
  Counts counts_;
};

// Counting that never counts, for benchmarks and tools that need none.
class NoTelemetry final : public Telemetry {
 public:
  void record(const QString&) override {}
};
