#include "Services/Telemetry.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringConverter>
#include <QSysInfo>
#include <QTimeZone>
#include <QUuid>
#include <algorithm>
#include <cmath>

#include "Conversion/Decoder.h"
#include "Services/DialogService.h"
#include "Services/Preferences.h"
#include "Services/WallClock.h"
#include "Services/Workspace.h"

namespace {

QString qtPath(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

// The whole file as text, or nothing when it cannot be read or is not valid UTF-8.
std::optional<QString> readUTF8(const std::filesystem::path& path) {
  QFile file(qtPath(path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(bytes);
  if (decoder.hasError()) return std::nullopt;
  return text;
}

bool writeAtomically(const std::filesystem::path& path, const QByteArray& bytes) {
  QSaveFile file(qtPath(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(bytes);
  return file.commit();
}

// The folder's entries sorted by full path; empty when it cannot be listed.
std::vector<std::filesystem::path> sortedEntries(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> entries;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.native() < b.native(); });
  return entries;
}

QString present(const char* value) {
  const QString text = QString::fromUtf8(value);
  return text.isEmpty() ? QStringLiteral("?") : text;
}

// Names of files and folders are never sent: a path in the home folder or under a mount root
// that ends in an extension we open or write keeps only that extension, in the case found.
const QRegularExpression& pathPattern() {
  static const QRegularExpression pattern = [] {
    QStringList extensions{"kelvadorium", "json"};
    for (const std::string& extension : Decoder::supportedExtensions()) {
      extensions.append(QString::fromStdString(extension).toLower());
    }
    extensions.removeDuplicates();
    // Longer first, so "tiff" is never cut to "tif".
    std::stable_sort(extensions.begin(), extensions.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return QRegularExpression(
        QStringLiteral(R"((/(?:Volumes|media|run/media|mnt)/[^"\n]*|~/[^"\n]*?)\.((?i:%1)))")
            .arg(extensions.join('|')));
  }();
  return pattern;
}

// A collection's work, taken on the GUI thread. No `collected` folder: crash reports are off and
// the raw reports are only removed.
struct RawReports {
  std::filesystem::path raw;
  std::filesystem::path collected;
  QDateTime lastCheck;
  Telemetry::Identity identity;
};

// Ours: "Kelvadorium…" with the extension "ips" or "crash", both as written.
bool isOurReport(const QFileInfo& info) {
  const QString extension = info.suffix();
  return info.fileName().startsWith("Kelvadorium") && (extension == "ips" || extension == "crash");
}

// Copies each of our raw reports newer than the last check, scrubbed, and removes every raw
// report that was copied or is not to be copied. A report whose copy failed stays; false then.
bool collectRawReports(const RawReports& job) {
  std::error_code ignored;
  if (!job.collected.empty()) std::filesystem::create_directories(job.collected, ignored);
  bool allCopied = true;
  for (const auto& path : sortedEntries(job.raw)) {
    const QFileInfo info(qtPath(path));
    const QDateTime modified = info.lastModified();
    if (!job.collected.empty() && isOurReport(info) && modified.isValid() &&
        modified > job.lastCheck) {
      if (const std::optional<QString> text = readUTF8(path)) {
        const QByteArray scrubbed = Telemetry::scrub(*text, job.identity).toUtf8();
        if (!writeAtomically(job.collected / path.filename(), scrubbed)) {
          allCopied = false;
          continue;
        }
      }
    }
    std::filesystem::remove_all(path, ignored);
  }
  return allCopied;
}

// The upload document, compact: the usage payload when there is one, and the reports that read
// as UTF-8 with the environment; empty when that leaves nothing to send.
QByteArray uploadDocument(const std::optional<QJsonObject>& usage,
                          const std::vector<std::filesystem::path>& pending) {
  QJsonObject document;
  if (usage) document.insert("usage", *usage);
  QJsonArray crashes;
  for (const auto& path : pending) {
    if (std::optional<QString> text = readUTF8(path)) crashes.append(*text);
  }
  if (!crashes.isEmpty()) {
    document.insert("crashes", crashes);
    document.insert("environment", Telemetry::environmentInfo());
  }
  if (document.isEmpty()) return {};
  return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

}  // namespace

Telemetry::Telemetry(std::filesystem::path dataFolder, Preferences& preferences,
                     WallClock& clock)
    : dataFolder_(std::move(dataFolder)),
      preferences_(&preferences),
      clock_(&clock),
      analyticsEnabled_(preferences.boolValue("telemetry.analytics", false)),
      crashReportsEnabled_(preferences.boolValue("telemetry.crashes", false)),
      counts_(readCounts(usageFileURL())) {
  // One job at a time, in order: an upload reads the crash folder only after the collection
  // before it wrote it and the upload before it deleted what it sent.
  workers_.setMaxThreadCount(1);
}

Telemetry::~Telemetry() { workers_.waitForDone(); }

Telemetry& Telemetry::shared() {
  static WallClock clock;
  static Preferences preferences(Preferences::standardPath());
  static Telemetry instance(standardDataFolder(), preferences, clock);
  static const bool configured = [] {
    instance.setEndpoint(QUrl(QString::fromUtf8(KV_TELEMETRY_ENDPOINT)));
    return true;
  }();
  (void)configured;
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
  const QByteArray bytes = QJsonDocument(days).toJson(QJsonDocument::Compact);
  QSaveFile file(QFile::decodeName(usageFileURL().c_str()));
  if (file.open(QIODevice::WriteOnly)) {
    file.write(bytes);
    file.commit();
    return;
  }
  // A folder that takes no new file still lets the file be rewritten in place; left as it was,
  // it would bring back days already sent or deleted.
  QFile existing(QFile::decodeName(usageFileURL().c_str()));
  if (existing.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::ExistingOnly)) {
    existing.write(bytes);
  }
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

std::filesystem::path Telemetry::rawCrashFolder(const std::filesystem::path& dataFolder) {
  return dataFolder / "Diagnostics" / "Raw";
}
std::filesystem::path Telemetry::rawCrashFolderURL() const { return rawCrashFolder(dataFolder_); }

void Telemetry::setAnalyticsEnabled(bool on) {
  analyticsEnabled_ = on;
  if (preferences_) preferences_->setBool("telemetry.analytics", on);
  if (!on) deleteUsageData();
  emit switchesChanged();
}

void Telemetry::setCrashReportsEnabled(bool on) {
  crashReportsEnabled_ = on;
  if (preferences_) preferences_->setBool("telemetry.crashes", on);
  if (!on) deleteCrashReports();
  emit switchesChanged();
}

void Telemetry::deleteUsageData() {
  counts_.clear();
  std::error_code error;
  // A folder that lets nothing be removed still lets the file be emptied, and an empty file
  // reads as no counts: what was collected goes either way.
  if (!dataFolder_.empty() && !std::filesystem::remove(usageFileURL(), error) && error) {
    std::filesystem::resize_file(usageFileURL(), 0, error);
  }
  if (preferences_) preferences_->remove("telemetry.id");
}

void Telemetry::deleteCrashReports() {
  ++crashDeletions_;
  if (dataFolder_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(crashFolderURL(), ignored);
  // The raw reports are ours too; none of them may be collected later.
  std::filesystem::remove_all(rawCrashFolderURL(), ignored);
}

std::optional<QDateTime> Telemetry::storedDate(const QString& key) const {
  if (!preferences_) return std::nullopt;
  const QDateTime moment =
      QDateTime::fromString(preferences_->stringValue(key, {}), Qt::ISODateWithMs);
  if (!moment.isValid()) return std::nullopt;
  return moment;
}

void Telemetry::storeDate(const QString& key, const QDateTime& moment) {
  if (preferences_) preferences_->setString(key, moment.toUTC().toString(Qt::ISODateWithMs));
}

std::optional<QDateTime> Telemetry::lastSentDate() const {
  return storedDate("telemetry.lastSent");
}

QString Telemetry::anonymousID() {
  if (!preferences_) return {};
  const QString stored = preferences_->stringValue("telemetry.id", {});
  if (!stored.isEmpty()) return stored;
  const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
  preferences_->setString("telemetry.id", made);
  return made;
}

QJsonObject Telemetry::environmentInfo() {
  // The kernel release's leading numbers, e.g. "6.1.0-18-amd64" → "6.1.0".
  static const QRegularExpression leading(QStringLiteral(R"(^(\d+)(?:\.(\d+))?(?:\.(\d+))?)"));
  const QRegularExpressionMatch match = leading.match(QSysInfo::kernelVersion());
  auto part = [&](int index) {
    const QString text = match.captured(index);
    return text.isEmpty() ? QStringLiteral("0") : QString::number(text.toULongLong());
  };
  return QJsonObject{
      {"app", present(KV_VERSION) + " (" + present(KV_BUILD) + ")"},
      {"linux", part(1) + "." + part(2) + "." + part(3)},
      {"processor", QSysInfo::currentCpuArchitecture()},
  };
}

std::optional<QJsonObject> Telemetry::usagePayload() {
  if (!analyticsEnabled_) return std::nullopt;
  QJsonObject days;
  for (const auto& [day, events] : counts_) {
    QJsonObject perEvent;
    for (const auto& [event, count] : events) perEvent.insert(event, count);
    days.insert(day, perEvent);
  }
  return QJsonObject{{"id", anonymousID()}, {"environment", environmentInfo()}, {"days", days}};
}

QCoro::Task<> Telemetry::askConsentOnce(DialogService& dialogs) {
  if (!preferences_ || preferences_->boolValue("telemetry.asked", false)) co_return;
  // Stored first: a session ended during the question never asks again.
  preferences_->setBool("telemetry.asked", true);
  DialogService::Alert question{
      "Help improve Kelvadorium?",
      "Kelvadorium can keep anonymous usage statistics (which features are used, how often) and "
      "crash reports, to find bugs and decide what to improve.\n\n"
      "Never collected: your photos, file or folder names, settings or anything personal. You "
      "can see exactly what is collected, delete it, or switch it off any time in Settings > "
      "Privacy.",
      {"Share Statistics and Crash Reports", "Only Crash Reports", "Don't Share"}};
  const int answer = co_await dialogs.alert(std::move(question));
  if (answer == 0) {
    setAnalyticsEnabled(true);
    setCrashReportsEnabled(true);
  } else if (answer == 1) {
    setCrashReportsEnabled(true);
  }
}

std::vector<std::filesystem::path> Telemetry::pendingCrashFiles() const {
  if (!crashReportsEnabled_ || dataFolder_.empty()) return {};
  return sortedEntries(crashFolderURL());
}

void Telemetry::sendIfDue() {
  if (endpoint_.isEmpty() || !clock_ || inFlight_) return;
  if (collecting_) {
    sendWhenCollected_ = true;
    return;
  }
  const QDateTime now = clock_->now();
  const std::optional<QDateTime> last = lastSentDate();
  std::vector<std::filesystem::path> pending = pendingCrashFiles();
  // No upload yet: due at once. A date still to come cannot be the last upload (a clock set
  // wrong when it was stored); trusted, it would hold every upload back until then.
  if (last && *last <= now) {
    const qint64 elapsed = last->secsTo(now);
    if (elapsed < (pending.empty() ? 604'800 : 86'400)) return;
  }
  std::optional<QJsonObject> usage = usagePayload();
  if (!usage && pending.empty()) return;

  // The reports are read and the document written by the worker; the GUI thread only posts it.
  inFlight_ = true;
  workers_.start([this, usage = std::move(usage), pending = std::move(pending)] {
    const QByteArray body = uploadDocument(usage, pending);
    QMetaObject::invokeMethod(
        this, [this, body, pending] { post(body, pending); }, Qt::QueuedConnection);
  });
}

void Telemetry::post(const QByteArray& body, const std::vector<std::filesystem::path>& pending) {
  if (body.isEmpty()) {
    inFlight_ = false;
    return;
  }
  if (!network_) network_ = new QNetworkAccessManager(this);
  QNetworkReply* reply = network_->post(uploadRequest(endpoint_), body);
  connect(reply, &QNetworkReply::finished, this, [this, reply, pending] {
    reply->deleteLater();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 200 && status.toInt() <= 299) {
      uploadAccepted(pending);
    } else {
      uploadEnded(false);
    }
  });
}

void Telemetry::uploadEnded(bool accepted) {
  inFlight_ = false;
  emit uploadFinished(accepted);
}

QNetworkRequest Telemetry::uploadRequest(const QUrl& endpoint) {
  QNetworkRequest request(endpoint);
  request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
  request.setTransferTimeout(60'000);
  return request;
}

void Telemetry::uploadAccepted(const std::vector<std::filesystem::path>& sent) {
  const QDateTime now = clock_->now();
  storeDate("telemetry.lastSent", now);
  // Today goes on counting and is sent again with the next upload.
  const QString today = dayKey(now);
  Counts kept;
  if (auto found = counts_.find(today); found != counts_.end()) kept.insert(*found);
  counts_ = std::move(kept);
  saveCounts();
  // The upload lasts until the files sent are gone, so the next one cannot offer them again.
  workers_.start([this, sent] {
    std::error_code ignored;
    for (const auto& path : sent) std::filesystem::remove(path, ignored);
    QMetaObject::invokeMethod(this, [this] { uploadEnded(true); }, Qt::QueuedConnection);
  });
}

void Telemetry::collectCrashReports() {
  if (!clock_ || collecting_) return;
  const QDateTime now = clock_->now();
  const QDateTime lastCheck = storedDate("telemetry.lastCrashCheck").value_or(now);
  storeDate("telemetry.lastCrashCheck", now);
  if (dataFolder_.empty()) return;
  RawReports job{rawCrashFolderURL(), {}, lastCheck, {}};
  if (crashReportsEnabled_) {
    job.collected = crashFolderURL();
    job.identity = systemIdentity();
  }
  collecting_ = true;
  workers_.start([this, job, deletionsBefore = crashDeletions_] {
    const bool copiesFailed = !collectRawReports(job);
    // The pool is a member that waits for its jobs, so `this` is alive while the job posts;
    // the queued call is dropped when the object is gone before it runs.
    QMetaObject::invokeMethod(
        this,
        [this, previousCheck = job.lastCheck, deletionsBefore, copiesFailed] {
          collectionEnded(previousCheck, deletionsBefore, copiesFailed);
        },
        Qt::QueuedConnection);
  });
}

void Telemetry::collectionEnded(const QDateTime& previousCheck, int deletionsBefore,
                                bool copiesFailed) {
  collecting_ = false;
  if (crashDeletions_ != deletionsBefore) {
    // Switched off while the worker wrote: nothing it wrote may stay, even if switched on again.
    deleteCrashReports();
  } else if (copiesFailed) {
    // The reports that could not be copied stay raw; the next collection looks from the same
    // moment again, so they are not lost to the newer check.
    storeDate("telemetry.lastCrashCheck", previousCheck);
  }
  emit crashReportsCollected();
  if (std::exchange(sendWhenCollected_, false)) sendIfDue();
}

Telemetry::Identity Telemetry::systemIdentity() {
  Identity identity{QDir::homePath(), {}, QSysInfo::machineHostName()};
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name) {
    identity.login = QString::fromLocal8Bit(entry->pw_name);
  }
  return identity;
}

QString Telemetry::scrub(const QString& text, const Identity& identity) {
  QString result = text;
  if (!identity.home.isEmpty()) result.replace(identity.home, QStringLiteral("~"));
  if (!identity.login.isEmpty()) result.replace(identity.login, QStringLiteral("user"));
  if (!identity.host.isEmpty()) result.replace(identity.host, QStringLiteral("computer"));
  if (pathPattern().isValid()) result.replace(pathPattern(), QStringLiteral("<file>.\\2"));
  return result;
}

QString Telemetry::summaryText() {
  QString usage = QStringLiteral("USAGE STATISTICS\n");
  if (std::optional<QJsonObject> payload = usagePayload()) {
    // Indented with sorted keys: QJsonObject keeps its keys sorted.
    usage += QString::fromUtf8(QJsonDocument(*payload).toJson(QJsonDocument::Indented)).trimmed();
  } else {
    usage += QStringLiteral("Off: nothing is collected.");
  }
  QString crashes = QStringLiteral("CRASH REPORTS\n");
  if (crashReportsEnabled_) {
    QStringList lines;
    for (const auto& path : pendingCrashFiles()) {
      lines.append(QStringLiteral("• ") + QFile::decodeName(path.filename().c_str()));
    }
    crashes += lines.isEmpty() ? QStringLiteral("None so far.") : lines.join('\n');
  } else {
    crashes += QStringLiteral("Off: nothing is collected.");
  }
  const QString destination =
      endpoint_.isEmpty()
          ? QStringLiteral("Nothing is sent: no receiving service is set up in this version. "
                           "Data stays on this computer.")
          : QStringLiteral("Sent to: ") + endpoint_.host();
  return usage + "\n\n" + crashes + "\n\n" + destination;
}

QCoro::Task<> Telemetry::exportDiagnostics(DialogService& dialogs, Workspace& workspace) {
  DialogService::FolderPanel panel;
  panel.title = "Choose where to save the diagnostics (usage statistics and crash reports)";
  panel.prompt = "Save Here";
  const std::optional<std::filesystem::path> chosen = co_await dialogs.folderPanel(panel);
  if (!chosen || chosen->empty()) co_return;
  const std::filesystem::path folder = *chosen / "Kelvadorium Diagnostics";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  writeAtomically(folder / "summary.txt", summaryText().toUtf8());
  for (const auto& path : sortedEntries(dataFolder_.empty() ? std::filesystem::path()
                                                            : crashFolderURL())) {
    std::filesystem::copy_file(path, folder / path.filename(), ignored);
  }
  workspace.reveal(folder);
}
