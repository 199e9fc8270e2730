// The desktop's recently-used bookmark file: reading its local files newest first, and adding
// or refreshing one bookmark while every other one stays as it was.
#include "Services/RecentDocuments.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTimeZone>
#include <set>

#include "Services/DesktopWorkspace.h"
#include "TestSupport/TempDir.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

const QDateTime noon(QDate(2026, 12, 11), QTime(12, 0), Qt::UTC);

QByteArray bookmarkFile(const QByteArray& bookmarks) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<xbel version=\"1.0\"\n"
         "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
         "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n" +
         bookmarks + "</xbel>\n";
}

QByteArray bookmark(const QByteArray& href, const QByteArray& modified,
                    const QByteArray& application = "Files", int count = 3) {
  return "  <bookmark href=\"" + href + "\" added=\"2020-01-01T00:00:00Z\" modified=\"" + modified +
         "\" visited=\"" + modified +
         "\">\n    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
         "        <mime:mime-type type=\"image/tiff\"/>\n        <bookmark:applications>\n"
         "          <bookmark:application name=\"" +
         application + "\" exec=\"&apos;files %u&apos;\" modified=\"" + modified + "\" count=\"" +
         QByteArray::number(count) +
         "\"/>\n        </bookmark:applications>\n      </metadata>\n    </info>\n  </bookmark>\n";
}

TEST(RecentDocuments, ReadsLocalFilesNewestFirst) {
  struct Case {
    const char* name;
    QByteArray text;
    std::optional<Paths> expected;
  };
  const std::vector<Case> cases = {
      {"newest first, file order on a tie, microseconds as the desktop writes them",
       bookmarkFile(bookmark("file:///a/old.kelvadorium", "2024-01-01T10:00:00.123456Z") +
                    bookmark("file:///a/new.kelvadorium", "2026-05-01T10:00:00Z") +
                    bookmark("file:///a/tie1.kelvadorium", "2025-01-01T10:00:00Z") +
                    bookmark("file:///a/tie2.kelvadorium", "2025-01-01T10:00:00Z")),
       Paths{"/a/new.kelvadorium", "/a/tie1.kelvadorium", "/a/tie2.kelvadorium",
             "/a/old.kelvadorium"}},
      {"other schemes and hosts left out, escapes decoded to the name's bytes",
       bookmarkFile(bookmark("https://example.org/x.kelvadorium", "2026-01-01T00:00:00Z") +
                    bookmark("file://otherhost/x.kelvadorium", "2026-01-01T00:00:00Z") +
                    bookmark("file://localhost/l/x.kelvadorium", "2026-01-01T00:00:00Z") +
                    bookmark("file:///b/my%20roll%FF.kelvadorium", "2025-01-01T00:00:00Z")),
       Paths{"/l/x.kelvadorium", "/b/my roll\xff.kelvadorium"}},
      {"a date that does not read counts as the oldest",
       bookmarkFile(bookmark("file:///c/undated", "yesterday") +
                    bookmark("file:///c/dated", "2001-01-01T00:00:00Z")),
       Paths{"/c/dated", "/c/undated"}},
      {"no bookmarks", bookmarkFile(""), Paths{}},
      {"not a bookmark file", "<html><bookmark href=\"file:///x\"/></html>", std::nullopt},
      {"cut short", bookmarkFile(bookmark("file:///a/x", "2026-01-01T00:00:00Z")).left(200),
       std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RecentDocuments::documents(c.text), c.expected);
  }
}

TEST(RecentDocuments, NotingAddsOrRefreshesOneBookmark) {
  const std::filesystem::path project = "/home/u/Rolls 2026/summer.kelvadorium";
  const QByteArray others = bookmark("file:///a/other.tif", "2026-06-01T00:00:00Z") +
                            bookmark("file:///a/older.tif", "2020-06-01T00:00:00Z");

  // Added: the newest document, other bookmarks untouched.
  const auto added = RecentDocuments::withDocument(bookmarkFile(others), project, noon);
  ASSERT_TRUE(added);
  EXPECT_EQ(RecentDocuments::documents(*added), (Paths{project, "/a/other.tif", "/a/older.tif"}));
  EXPECT_TRUE(added->contains("href=\"file:///home/u/Rolls%202026/summer.kelvadorium\""));
  EXPECT_TRUE(added->contains("name=\"Kelvadorium\""));
  EXPECT_TRUE(added->contains("count=\"1\""));
  EXPECT_TRUE(added->contains("name=\"Files\" exec=\"&apos;files %u&apos;\"") ||
              added->contains("name=\"Files\" exec=\"'files %u'\""));

  // Refreshed a day later: still one bookmark, its dates moved, our count raised.
  const QDateTime later = noon.addDays(1);
  const auto refreshed = RecentDocuments::withDocument(*added, project, later);
  ASSERT_TRUE(refreshed);
  EXPECT_EQ(refreshed->count("summer.kelvadorium"), 1);
  EXPECT_TRUE(refreshed->contains("count=\"2\""));
  EXPECT_TRUE(refreshed->contains("modified=\"2026-12-12T12:00:00.000Z\""));
  EXPECT_TRUE(refreshed->contains("added=\"2026-12-11T12:00:00.000Z\""));
  EXPECT_EQ(refreshed->count("count=\"3\""), 2);

  // A bookmark another program made gains our application beside its own.
  const auto shared = RecentDocuments::withDocument(
      bookmarkFile(bookmark("file:///a/other.tif", "2026-06-01T00:00:00Z")), "/a/other.tif", later);
  ASSERT_TRUE(shared);
  EXPECT_TRUE(shared->contains("name=\"Files\""));
  EXPECT_TRUE(shared->contains("name=\"Kelvadorium\""));
  EXPECT_EQ(RecentDocuments::documents(*shared), Paths{"/a/other.tif"});

  // A new file; text that is no bookmark file is not rewritten.
  const auto fresh = RecentDocuments::withDocument("", project, noon);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(RecentDocuments::documents(*fresh), Paths{project});
  EXPECT_EQ(RecentDocuments::withDocument("<html/>", project, noon), std::nullopt);
  EXPECT_EQ(RecentDocuments::withDocument(bookmarkFile(others).left(150), project, noon),
            std::nullopt);
}

TEST(RecentDocuments, NotingAFileLeavesADamagedOneAlone) {
  TempDir folder;
  const auto file = folder / "share" / "recently-used.xbel";
  EXPECT_TRUE(RecentDocuments::noteDocument(file, "/p/a.kelvadorium", noon));
  EXPECT_TRUE(RecentDocuments::noteDocument(file, "/p/b.kelvadorium", noon.addSecs(1)));
  EXPECT_EQ(RecentDocuments::documentsIn(file), (Paths{"/p/b.kelvadorium", "/p/a.kelvadorium"}));

  const QByteArray damaged = "<xbel version=\"1.0\"><bookmark href=";
  {
    QFile out(QString::fromStdString(file.native()));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(damaged);
  }
  EXPECT_FALSE(RecentDocuments::noteDocument(file, "/p/c.kelvadorium", noon));
  QFile in(QString::fromStdString(file.native()));
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  EXPECT_EQ(in.readAll(), damaged);
  EXPECT_EQ(RecentDocuments::documentsIn(file), Paths{});
  EXPECT_EQ(RecentDocuments::documentsIn(folder / "absent.xbel"), Paths{});
}

// The program's desktop notes documents in the user's own bookmark file.
TEST(RecentDocuments, TheDesktopNotesDocumentsInTheUsersFile) {
  TempDir home;
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.path().native()));
  EXPECT_EQ(RecentDocuments::standardPath(), home / "recently-used.xbel");
  DesktopWorkspace workspace;
  workspace.noteRecentDocument("/p/a.kelvadorium");
  workspace.noteRecentDocument("/p/b.kelvadorium");
  workspace.noteRecentDocument("/p/a.kelvadorium");
  const Paths noted = RecentDocuments::documentsIn(home / "recently-used.xbel");
  EXPECT_EQ(std::set<std::filesystem::path>(noted.begin(), noted.end()),
            (std::set<std::filesystem::path>{"/p/a.kelvadorium", "/p/b.kelvadorium"}));
  EXPECT_EQ(noted.size(), 2u);
  qputenv("XDG_DATA_HOME", saved);
}

}  // namespace
