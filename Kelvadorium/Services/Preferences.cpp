#include "Services/Preferences.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cmath>

#include "Support/NumberText.h"

Preferences::Preferences(const QString& iniPath, QObject* parent)
    : QObject(parent), settings_(iniPath, QSettings::IniFormat) {}

QString Preferences::standardPath() {
  const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
  const QString base =
      configHome.isEmpty() ? QDir::homePath() + "/.config" : QFile::decodeName(configHome);
  return base + "/Kelvadorium/Kelvadorium.conf";
}

bool Preferences::isText(const QVariant& value) { return value.typeId() == QMetaType::QString; }

QVariant Preferences::raw(const QString& key) const {
  if (const auto found = written_.find(key); found != written_.end()) return *found;
  return settings_.value(key);
}

bool Preferences::contains(const QString& key) const { return raw(key).isValid(); }

bool Preferences::boolValue(const QString& key, bool fallback) const {
  const QVariant value = raw(key);
  if (!isText(value)) return fallback;
  const QString text = value.toString();
  if (text == "true") return true;
  if (text == "false") return false;
  return fallback;
}

double Preferences::doubleValue(const QString& key, double fallback) const {
  const QVariant value = raw(key);
  if (!isText(value)) return fallback;
  const auto number = NumberText::parseDouble(value.toString().trimmed().toStdString());
  return number && std::isfinite(*number) ? *number : fallback;
}

QString Preferences::stringValue(const QString& key, const QString& fallback) const {
  const QVariant value = raw(key);
  return isText(value) ? value.toString() : fallback;
}

QByteArray Preferences::bytesValue(const QString& key) const {
  const QVariant value = raw(key);
  return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

std::filesystem::path Preferences::pathValue(const QString& key) const {
  const QVariant value = raw(key);
  const QByteArray name = value.typeId() == QMetaType::QByteArray
                              ? value.toByteArray()
                              : QFile::encodeName(stringValue(key, QString()));
  return std::filesystem::path(std::string(name.constData(), static_cast<size_t>(name.size())));
}

void Preferences::setBool(const QString& key, bool value) {
  store(key, QString(value ? "true" : "false"));
}

void Preferences::setDouble(const QString& key, double value) {
  store(key, QString::fromStdString(NumberText::shortest(value)));
}

void Preferences::setString(const QString& key, const QString& value) { store(key, value); }

void Preferences::setBytes(const QString& key, const QByteArray& value) { store(key, value); }

void Preferences::setPath(const QString& key, const std::filesystem::path& value) {
  // A name that does not survive decoding (not valid UTF-8) is kept as its bytes.
  const QByteArray name = QByteArray::fromStdString(value.native());
  const QString text = QFile::decodeName(name);
  if (QFile::encodeName(text) == name) {
    store(key, text);
  } else {
    store(key, name);
  }
}

void Preferences::remove(const QString& key) { store(key, QVariant()); }

namespace {

// The text of a name, or its bytes when the name does not survive decoding (not valid UTF-8),
// percent-encoded behind a marker no decoded name starts with.
constexpr char bytesMarker[] = "\x01bytes:";

QString pathText(const std::filesystem::path& path) {
  const QByteArray name = QByteArray::fromStdString(path.native());
  const QString text = QFile::decodeName(name);
  if (QFile::encodeName(text) == name && !text.startsWith(QLatin1String(bytesMarker))) return text;
  return QLatin1String(bytesMarker) + QString::fromLatin1(name.toPercentEncoding());
}

std::filesystem::path textPath(const QString& text) {
  const QByteArray name =
      text.startsWith(QLatin1String(bytesMarker))
          ? QByteArray::fromPercentEncoding(text.mid(int(sizeof bytesMarker) - 1).toLatin1())
          : QFile::encodeName(text);
  return std::filesystem::path(std::string(name.constData(), static_cast<size_t>(name.size())));
}

}  // namespace

std::optional<std::vector<std::filesystem::path>> Preferences::pathListValue(
    const QString& key) const {
  const QVariant value = raw(key);
  QStringList texts;
  // An INI file gives a one-element list back as a plain text.
  if (value.typeId() == QMetaType::QStringList) {
    texts = value.toStringList();
  } else if (isText(value)) {
    if (!value.toString().isEmpty()) texts.append(value.toString());
  } else {
    return std::nullopt;
  }
  std::vector<std::filesystem::path> paths;
  for (const QString& text : texts) paths.push_back(textPath(text));
  return paths;
}

void Preferences::setPathList(const QString& key, const std::vector<std::filesystem::path>& value) {
  QStringList texts;
  for (const auto& path : value) texts.append(pathText(path));
  store(key, texts);
}

void Preferences::store(const QString& key, const QVariant& value) {
  written_.insert(key, value);
  if (value.isValid()) {
    settings_.setValue(key, value);
  } else {
    settings_.remove(key);
  }
  settings_.sync();
  lastWriteStored_ = settings_.status() == QSettings::NoError && settings_.isWritable();
  emit changed(key);
}
