#include "Services/RecentDocuments.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>

namespace RecentDocuments {

namespace {

const QString bookmarkNamespace = "http://www.freedesktop.org/standards/desktop-bookmarks";
const QString mimeNamespace = "http://www.freedesktop.org/standards/shared-mime-info";
constexpr QLatin1StringView filePrefix("file://");

// The href of a local file; the path's bytes percent-encoded, so no name is changed.
QString hrefOf(const std::filesystem::path& document) {
  const QByteArray bytes = QByteArray::fromStdString(document.native());
  return filePrefix + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

std::optional<std::filesystem::path> localFile(QStringView href) {
  if (!href.startsWith(filePrefix)) return std::nullopt;
  QStringView rest = href.mid(filePrefix.size());
  // "file://localhost/…" names this machine too; any other host does not.
  if (rest.startsWith(u"localhost/")) rest = rest.mid(9);
  if (!rest.startsWith(u'/')) return std::nullopt;
  const QByteArray bytes = QByteArray::fromPercentEncoding(rest.toUtf8());
  return std::filesystem::path(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QString dateText(const QDateTime& moment) { return moment.toUTC().toString(Qt::ISODateWithMs); }

void writeApplication(QXmlStreamWriter& out, const Noting& noting, const QString& date, int count) {
  out.writeEmptyElement(bookmarkNamespace, "application");
  out.writeAttribute("name", noting.application);
  out.writeAttribute("exec", noting.exec);
  out.writeAttribute("modified", date);
  out.writeAttribute("count", QString::number(count));
}

void writeBookmark(QXmlStreamWriter& out, const QString& href, const Noting& noting,
                   const QString& date) {
  out.writeStartElement("bookmark");
  out.writeAttribute("href", href);
  out.writeAttribute("added", date);
  out.writeAttribute("modified", date);
  out.writeAttribute("visited", date);
  out.writeStartElement("info");
  out.writeStartElement("metadata");
  out.writeAttribute("owner", "http://freedesktop.org");
  out.writeEmptyElement(mimeNamespace, "mime-type");
  out.writeAttribute("type", noting.mimeType);
  out.writeStartElement(bookmarkNamespace, "applications");
  writeApplication(out, noting, date, 1);
  out.writeEndElement();
  out.writeEndElement();
  out.writeEndElement();
  out.writeEndElement();
}

QByteArray newFile(const QString& href, const Noting& noting, const QString& date) {
  QByteArray text;
  QXmlStreamWriter out(&text);
  out.setAutoFormatting(true);
  out.writeStartDocument();
  out.writeStartElement("xbel");
  out.writeAttribute("version", "1.0");
  out.writeNamespace(bookmarkNamespace, "bookmark");
  out.writeNamespace(mimeNamespace, "mime");
  writeBookmark(out, href, noting, date);
  out.writeEndElement();
  out.writeEndDocument();
  return text;
}

// The attributes with the named ones set to new values.
QXmlStreamAttributes replaced(const QXmlStreamAttributes& attributes,
                              const std::vector<std::pair<QString, QString>>& values) {
  QXmlStreamAttributes result;
  for (const auto& attribute : attributes) {
    const bool replacedHere = std::any_of(values.begin(), values.end(), [&](const auto& value) {
      return attribute.namespaceUri().isEmpty() && attribute.name() == value.first;
    });
    if (!replacedHere) result.append(attribute);
  }
  for (const auto& [name, value] : values) result.append(name, value);
  return result;
}

}  // namespace

std::filesystem::path standardPath() {
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const QByteArray base =
      dataHome.isEmpty() ? QFile::encodeName(QDir::homePath()) + "/.local/share" : dataHome;
  return std::filesystem::path(base.toStdString()) / "recently-used.xbel";
}

std::optional<std::vector<std::filesystem::path>> documents(const QByteArray& xbel) {
  struct Found {
    std::filesystem::path path;
    QDateTime modified;
  };
  std::vector<Found> found;
  QXmlStreamReader in(xbel);
  bool sawRoot = false;
  while (!in.atEnd()) {
    if (in.readNext() != QXmlStreamReader::StartElement) continue;
    if (!sawRoot) {
      if (in.name() != u"xbel") return std::nullopt;
      sawRoot = true;
      continue;
    }
    if (in.name() != u"bookmark" || !in.namespaceUri().isEmpty()) continue;
    const auto attributes = in.attributes();
    if (auto path = localFile(attributes.value("href"))) {
      found.push_back(
          {std::move(*path),
           QDateTime::fromString(attributes.value("modified").toString(), Qt::ISODateWithMs)});
    }
  }
  if (in.hasError() || !sawRoot) return std::nullopt;
  // An unreadable date counts as the oldest.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (a.modified.isValid() != b.modified.isValid()) return a.modified.isValid();
    return a.modified.isValid() && a.modified > b.modified;
  });
  std::vector<std::filesystem::path> paths;
  for (auto& f : found) paths.push_back(std::move(f.path));
  return paths;
}

std::vector<std::filesystem::path> documentsIn(const std::filesystem::path& file) {
  QFile in(QFile::decodeName(QByteArray::fromStdString(file.native())));
  if (!in.open(QIODevice::ReadOnly)) return {};
  return documents(in.readAll()).value_or(std::vector<std::filesystem::path>{});
}

std::optional<QByteArray> withDocument(const QByteArray& xbel,
                                       const std::filesystem::path& document, const QDateTime& now,
                                       const Noting& noting) {
  const QString href = hrefOf(document);
  const QString date = dateText(now);
  if (xbel.trimmed().isEmpty()) return newFile(href, noting, date);

  QByteArray text;
  QXmlStreamWriter out(&text);
  QXmlStreamReader in(xbel);
  int depth = 0;
  bool sawRoot = false;
  bool foundBookmark = false;
  bool inOurs = false;  // inside the document's bookmark
  bool countedUs = false;
  while (!in.atEnd()) {
    const auto token = in.readNext();
    if (in.hasError()) return std::nullopt;
    if (token == QXmlStreamReader::StartElement) {
      ++depth;
      if (depth == 1) {
        if (in.name() != u"xbel") return std::nullopt;
        sawRoot = true;
      }
      const bool isBookmark = depth == 2 && in.name() == u"bookmark" && in.namespaceUri().isEmpty();
      const bool ours = isBookmark && !foundBookmark &&
                        localFile(in.attributes().value("href")) == std::optional(document);
      if (ours) {
        foundBookmark = inOurs = true;
        out.writeStartElement("bookmark");
        out.writeAttributes(replaced(in.attributes(), {{"modified", date}, {"visited", date}}));
        continue;
      }
      if (inOurs && in.namespaceUri() == bookmarkNamespace && in.name() == u"application" &&
          in.attributes().value("name") == noting.application) {
        countedUs = true;
        const int count = in.attributes().value("count").toInt();
        out.writeStartElement(bookmarkNamespace, "application");
        out.writeAttributes(
            replaced(in.attributes(), {{"modified", date}, {"count", QString::number(count + 1)}}));
        continue;
      }
    } else if (token == QXmlStreamReader::EndElement) {
      if (inOurs && in.namespaceUri() == bookmarkNamespace && in.name() == u"applications" &&
          !countedUs) {
        writeApplication(out, noting, date, 1);
        countedUs = true;
      }
      if (depth == 2) inOurs = false;
      if (depth == 1 && !foundBookmark) writeBookmark(out, href, noting, date);
      --depth;
    }
    out.writeCurrentToken(in);
  }
  if (in.hasError() || !sawRoot) return std::nullopt;
  return text;
}

bool noteDocument(const std::filesystem::path& file, const std::filesystem::path& document,
                  const QDateTime& now, const Noting& noting) {
  const QString name = QFile::decodeName(QByteArray::fromStdString(file.native()));
  QByteArray old;
  if (QFile::exists(name)) {
    QFile in(name);
    if (!in.open(QIODevice::ReadOnly)) return false;
    old = in.readAll();
  }
  const auto text = withDocument(old, document, now, noting);
  if (!text) return false;
  QDir().mkpath(QFileInfo(name).absolutePath());
  QSaveFile out(name);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write(*text);
  return out.commit();
}

}  // namespace RecentDocuments
