// The stored preferences: one observable wrapper over QSettings in INI form. An INI file holds
// text, so every typed read checks what it finds (a Bool is "true" or "false", a Double a finite
// number read without the locale, an enum one of its raw values, bytes a byte array) and gives
// the caller's default otherwise. Writes are stored at once and announced with changed(key);
// when the file cannot be written (a read-only config folder) the values written are kept for
// the rest of the session.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Record/EnumText.h"

class Preferences : public QObject {
  Q_OBJECT

 public:
  // The settings file at `iniPath`; standardPath() for the program.
  explicit Preferences(const QString& iniPath, QObject* parent = nullptr);

  // $XDG_CONFIG_HOME (default ~/.config) + "/Kelvadorium/Kelvadorium.conf".
  static QString standardPath();

  // Whether the key holds anything at all, valid or not.
  bool contains(const QString& key) const;

  bool boolValue(const QString& key, bool fallback) const;
  double doubleValue(const QString& key, double fallback) const;
  QString stringValue(const QString& key, const QString& fallback) const;
  QByteArray bytesValue(const QString& key) const;  // empty when absent or not bytes
  // A path stored as its name in the file-name encoding (QFile::decodeName), or as its bytes
  // when the name does not decode (not valid UTF-8), so no name is ever changed.
  std::filesystem::path pathValue(const QString& key) const;
  // The enum whose raw value the key holds, or nothing.
  template <class E>
  std::optional<E> storedEnum(const QString& key) const {
    const QVariant value = raw(key);
    if (!isText(value)) return std::nullopt;
    return fromString<E>(value.toString().toStdString());
  }
  template <class E>
  E enumValue(const QString& key, E fallback) const {
    return storedEnum<E>(key).value_or(fallback);
  }

  void setBool(const QString& key, bool value);
  void setDouble(const QString& key, double value);
  void setString(const QString& key, const QString& value);
  void setBytes(const QString& key, const QByteArray& value);
  void setPath(const QString& key, const std::filesystem::path& value);
  template <class E>
  void setEnum(const QString& key, E value) {
    setString(key, QString::fromStdString(toString(value)));
  }
  void remove(const QString& key);
  // A list of paths, each kept as pathValue keeps one; nothing when the key holds no list.
  std::optional<std::vector<std::filesystem::path>> pathListValue(const QString& key) const;
  void setPathList(const QString& key, const std::vector<std::filesystem::path>& value);

  // Whether the last write reached the file.
  bool lastWriteStored() const { return lastWriteStored_; }

 signals:
  void changed(const QString& key);

 private:
  static bool isText(const QVariant& value);
  QVariant raw(const QString& key) const;
  void store(const QString& key, const QVariant& value);

  mutable QSettings settings_;
  // What this session wrote; an invalid QVariant marks a removed key.
  QHash<QString, QVariant> written_;
  bool lastWriteStored_ = true;
};
