// Preferences over an INI file: typed reads that fall back on what does not read, writes that
// reach the file and are announced, paths that are not UTF-8, and a config folder that cannot be
// written.
#include "Services/Preferences.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cmath>

#include "Record/FilmMode.h"
#include "TestSupport/InEachLocale.h"
#include "TestSupport/ReadOnlyFolder.h"

namespace {

class PreferencesTest : public ::testing::Test {
 protected:
  QString path() const { return folder.filePath("Kelvadorium.conf"); }
  void writeFile(const QByteArray& text) const {
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  QTemporaryDir folder;
};

// A damaged file: each key that does not read as its type gives the default; the keys that do
// read keep their values.
TEST_F(PreferencesTest, WhatDoesNotReadGivesTheDefaultAndTheRestStays) {
  writeFile(
      "[General]\n"
      "goodBool=false\nbadBool=yes\nnumberBool=1\n"
      "goodDouble=0.25\ncommaDouble=\"0,25\"\nnanDouble=nan\ninfDouble=inf\ntextDouble=wide\n"
      "goodEnum=bwNegative\ncaseEnum=BWNegative\nbadEnum=colour\n"
      "goodBytes=@ByteArray({\\\"a\\\":1})\ntextBytes=plain\n"
      "\x01\x02garbage line without equals\n");
  const Preferences preferences(path());
  struct BoolCase {
    const char* key;
    bool fallback;
    bool expected;
  };
  for (const BoolCase& c :
       {BoolCase{"goodBool", true, false}, BoolCase{"badBool", true, true},
        BoolCase{"numberBool", false, false}, BoolCase{"missing", true, true}}) {
    EXPECT_EQ(preferences.boolValue(c.key, c.fallback), c.expected) << c.key;
  }
  EXPECT_EQ(preferences.doubleValue("goodDouble", 7), 0.25);
  for (const char* key : {"commaDouble", "nanDouble", "infDouble", "textDouble", "missing"}) {
    EXPECT_EQ(preferences.doubleValue(key, 7), 7) << key;
  }
  EXPECT_EQ(preferences.enumValue("goodEnum", FilmMode::positive), FilmMode::bwNegative);
  for (const char* key : {"caseEnum", "badEnum", "goodDouble", "missing"}) {
    EXPECT_EQ(preferences.enumValue(key, FilmMode::positive), FilmMode::positive) << key;
  }
  EXPECT_EQ(preferences.bytesValue("goodBytes"), QByteArray("{\"a\":1}"));
  EXPECT_TRUE(preferences.bytesValue("textBytes").isEmpty());
  EXPECT_TRUE(preferences.contains("badEnum"));
  EXPECT_FALSE(preferences.contains("missing"));
}

class PreferencesLocaleTest : public InEachLocale {};

// Numbers are written and read without the process locale, or a German desktop would store
// "0,008" and read every size back as its default.
TEST_P(PreferencesLocaleTest, WritesAreStoredAnnouncedAndReadBackInAnyLocale) {
  QTemporaryDir folder;
  const QString path = folder.filePath("Kelvadorium.conf");
  {
    Preferences preferences(path);
    QSignalSpy changed(&preferences, &Preferences::changed);
    preferences.setDouble("spotBrush", 0.008);
    preferences.setBool("askFilmType", false);
    preferences.setEnum("defaultMode", FilmMode::positive);
    preferences.setString("copyParts", "film,crop");
    preferences.setBytes("exportOptions", QByteArray("{\"suffix\":\"_x\"}"));
    ASSERT_EQ(changed.count(), 5);
    EXPECT_EQ(changed.at(0).at(0).toString(), "spotBrush");
    EXPECT_TRUE(preferences.lastWriteStored());
  }
  const Preferences reread(path);
  EXPECT_EQ(reread.doubleValue("spotBrush", 1), 0.008);
  EXPECT_FALSE(reread.boolValue("askFilmType", true));
  EXPECT_EQ(reread.enumValue("defaultMode", FilmMode::colorNegative), FilmMode::positive);
  EXPECT_EQ(reread.stringValue("copyParts", ""), "film,crop");
  EXPECT_EQ(reread.bytesValue("exportOptions"), QByteArray("{\"suffix\":\"_x\"}"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("spotBrush=0.008")) << text.constData();
  EXPECT_TRUE(text.contains("defaultMode=positive")) << text.constData();
}

INSTANTIATE_TEST_SUITE_P(Locales, PreferencesLocaleTest, eachLocale(), localeName);

TEST_F(PreferencesTest, PathsKeepNamesThatAreNotUtf8) {
  const std::filesystem::path odd = std::string(
      "/exports/caf\xe9/r\xfc"
      "ck");
  {
    Preferences preferences(path());
    preferences.setPath("lastExportDirectory", odd);
  }
  EXPECT_EQ(Preferences(path()).pathValue("lastExportDirectory"), odd);
  EXPECT_EQ(Preferences(path()).pathValue("missing"), std::filesystem::path());
}

TEST_F(PreferencesTest, AReadOnlyConfigFolderKeepsValuesForTheSession) {
  writeFile("[General]\nspotBrush=0.02\n");
  Preferences preferences(path());
  {
    ReadOnlyFolder readOnly(folder.path().toStdString());
    preferences.setDouble("spotBrush", 0.05);
    preferences.setBool("saveSidecars", false);
    EXPECT_FALSE(preferences.lastWriteStored());
    EXPECT_EQ(preferences.doubleValue("spotBrush", 1), 0.05);
    EXPECT_FALSE(preferences.boolValue("saveSidecars", true));
    preferences.remove("spotBrush");
    EXPECT_EQ(preferences.doubleValue("spotBrush", 1), 1);
  }
}

// Lists of paths come back from the file as they were stored, whatever their length or bytes:
// an INI file turns a one-element list into plain text and splits unquoted text at commas.
TEST_F(PreferencesTest, PathListsSurviveTheFile) {
  const std::vector<std::vector<std::filesystem::path>> cases = {
      {"/a/one.kelvadorium"},
      {"/a/one.kelvadorium", "/b/two.kelvadorium"},
      {"/a/with, comma.kelvadorium", "/b/\"quoted\" name"},
      {"/a/\xff\xfe not utf-8.kelvadorium", "/\x01bytes:looks like a marker"},
  };
  for (const auto& paths : cases) {
    SCOPED_TRACE(paths.front().native());
    QFile::remove(path());
    Preferences(path()).setPathList("recentProjects", paths);
    EXPECT_EQ(Preferences(path()).pathListValue("recentProjects"), paths);
  }
  EXPECT_EQ(Preferences(path()).pathListValue("missing"), std::nullopt);
  writeFile("[General]\nrecentProjects=@ByteArray(x)\n");
  EXPECT_EQ(Preferences(path()).pathListValue("recentProjects"), std::nullopt);
}

}  // namespace
