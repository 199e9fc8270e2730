// The desktop's list of recently used documents: the freedesktop bookmark file
// recently-used.xbel, which file choosers and launchers share. Reading gives the local files
// newest first; noting a document adds its bookmark or refreshes it, rewriting the file
// atomically and leaving every other bookmark as it was. A file that does not parse is left
// alone.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

namespace RecentDocuments {

// $XDG_DATA_HOME (default ~/.local/share) + "/recently-used.xbel".
std::filesystem::path standardPath();

// The local files bookmarked in `xbel`, most recently modified first (file order on a tie);
// nothing when the text is not a bookmark file.
std::optional<std::vector<std::filesystem::path>> documents(const QByteArray& xbel);
// The same from a file; an absent or unreadable file holds none.
std::vector<std::filesystem::path> documentsIn(const std::filesystem::path& file);

// Who notes a document: the application's name and command, and the document's type.
struct Noting {
  QString application = "Kelvadorium";
  QString exec = "'kelvadorium %u'";
  QString mimeType = "application/x-kelvadorium";
};

// `xbel` (empty: a new file) with the document's bookmark added, or refreshed: its modified and
// visited dates set to `now` and this application's use counted once more. Nothing when the
// text is not a bookmark file.
std::optional<QByteArray> withDocument(const QByteArray& xbel,
                                       const std::filesystem::path& document, const QDateTime& now,
                                       const Noting& noting = {});
// The same on a file, replaced atomically; false when the file exists but does not parse or
// cannot be read or written.
bool noteDocument(const std::filesystem::path& file, const std::filesystem::path& document,
                  const QDateTime& now, const Noting& noting = {});

}  // namespace RecentDocuments
