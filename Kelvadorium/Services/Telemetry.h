// Anonymous, opt-in usage counts: per local day, how often each event happened, kept in
// "usage.json" in the data folder's "Diagnostics" and the one place through which tools, menus,
// the start-up and the model count an event. Nothing is counted or stored while usage
// statistics are off. Every file error is ignored: counting never troubles the user.
//
// It also asks once for consent, collects our own crash reports (scrubbed of personal details)
// into "Diagnostics/CrashReports", uploads counts and reports as one JSON document when due, and
// deletes what was kept of a kind of data when it is switched off.
#pragma once

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

class DialogService;
class Preferences;
class QNetworkAccessManager;
class QNetworkRequest;
class WallClock;
class Workspace;

class Telemetry : public QObject {
  Q_OBJECT

 public:
  // Day key → event name → count.
  using Counts = std::map<QString, std::map<QString, int>>;

  // The days kept; older ones are dropped at the next count.
  static constexpr size_t keptDays = 60;

  // Reads the two switches from `preferences` ("telemetry.analytics", "telemetry.crashes"; absent
  // or unreadable is off) and the counts from usage.json under `dataFolder`
  // ($XDG_DATA_HOME/Kelvadorium in the program); a file that does not read as counts is empty.
  Telemetry(std::filesystem::path dataFolder, Preferences& preferences, WallClock& clock);
  ~Telemetry() override;
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
  // Where the fatal-signal handler writes the reports the next collection reads.
  std::filesystem::path rawCrashFolderURL() const;
  static std::filesystem::path rawCrashFolder(const std::filesystem::path& dataFolder);

  // Each assignment stores the switch and, when off, deletes what was kept of that kind; it runs
  // also when the value does not change.
  void setAnalyticsEnabled(bool on);
  void setCrashReportsEnabled(bool on);

  // The receiving service; empty: nothing is ever sent.
  QUrl endpoint() const { return endpoint_; }
  void setEndpoint(QUrl endpoint) { endpoint_ = std::move(endpoint); }

  // The first-run question, shown at most once per installation.
  QCoro::Task<> askConsentOnce(DialogService& dialogs);
  // Starts the upload when one is due and none is in flight; returns at once. While a crash-report
  // collection runs, the decision waits for its end, so the upload carries what it copied. The
  // reports are read and the document written on a worker.
  void sendIfDue();
  // From the decision to send until the answer is handled (the files sent are deleted).
  bool uploadInFlight() const { return inFlight_; }
  // The POST of a JSON document, with a 60 s time-out and the default cache policy.
  static QNetworkRequest uploadRequest(const QUrl& endpoint);

  // "id", "environment" and "days"; nothing while usage statistics are off.
  std::optional<QJsonObject> usagePayload();
  // The stored id, or a new random one stored first.
  QString anonymousID();
  // "app", "linux" and "processor".
  static QJsonObject environmentInfo();
  void deleteUsageData();
  void deleteCrashReports();
  // The last accepted upload; nothing when there was none or the stored value is not a date.
  std::optional<QDateTime> lastSentDate() const;

  // Copies our newer raw crash reports, scrubbed, into the crash folder when allowed. The check
  // date is read and stored at once; a worker reads, scrubs and writes the files, so the launch
  // step never waits on the disk. A call while a collection runs does nothing.
  void collectCrashReports();
  bool collectingCrashReports() const { return collecting_; }
  // The personal details a report is scrubbed of; empty parts are left alone.
  struct Identity {
    QString home;
    QString login;
    QString host;
  };
  static Identity systemIdentity();
  static QString scrub(const QString& text, const Identity& identity);
  QString scrub(const QString& text) const { return scrub(text, systemIdentity()); }
  // What is stored, as shown in Settings and written by the export.
  QString summaryText();
  // Writes the summary and copies of the crash reports into a folder the user picks.
  QCoro::Task<> exportDiagnostics(DialogService& dialogs, Workspace& workspace);

 signals:
  // Either switch was assigned.
  void switchesChanged();
  // An upload's answer was handled (accepted or not) or it failed.
  void uploadFinished(bool accepted);
  // A collection's worker has finished with the raw reports.
  void crashReportsCollected();

 protected:
  // For doubles of the seam: off, with no folder, storing nothing.
  Telemetry() = default;

 private:
  std::filesystem::path diagnosticsFolder() const;
  static Counts readCounts(const std::filesystem::path& file);
  std::optional<QDateTime> storedDate(const QString& key) const;
  void storeDate(const QString& key, const QDateTime& moment);
  std::vector<std::filesystem::path> pendingCrashFiles() const;
  void post(const QByteArray& body, const std::vector<std::filesystem::path>& pending);
  void uploadAccepted(const std::vector<std::filesystem::path>& sent);
  void uploadEnded(bool accepted);
  void collectionEnded(const QDateTime& previousCheck, int deletionsBefore, bool copiesFailed);

  std::filesystem::path dataFolder_;
  Preferences* preferences_ = nullptr;
  QUrl endpoint_;
  QNetworkAccessManager* network_ = nullptr;
  bool inFlight_ = false;
  WallClock* clock_ = nullptr;
  bool analyticsEnabled_ = false;
  bool crashReportsEnabled_ = false;
  Counts counts_;
  bool collecting_ = false;
  bool sendWhenCollected_ = false;
  // How often the crash reports were deleted, so a collection sees a deletion while it ran.
  int crashDeletions_ = 0;
  // Last, so it is destroyed first: a running job ends before anything it reports to goes.
  QThreadPool workers_;
};

// Counting that never counts, for benchmarks and tools that need none.
class NoTelemetry final : public Telemetry {
 public:
  void record(const QString&) override {}
};
