// The About window: the version line's cases, the years of the rights notice by the wall clock,
// the support mail's address and subject, the links it opens, and one window however often it
// is asked for.
#include "Windows/AboutView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "App/ModelCalls.h"
#include "Menus/MenuCommands.h"
#include "Model/AppModel.h"
#include "Services/WallClock.h"
#include "Testing/TestServices.h"
#include "Windows/MainWindow.h"
#include "Windows/SettingsView.h"

namespace {

AboutView::Facts facts(std::optional<QString> version, std::optional<QString> build) {
  AboutView::Facts f;
  f.version = std::move(version);
  f.build = std::move(build);
  f.website = QUrl("https://kelvadorium.example");
  f.privacyPage = QUrl("https://kelvadorium.example/privacy");
  f.supportAddress = "help@kelvadorium.example";
  return f;
}

TEST(AboutView, VersionLineCases) {
  const std::vector<std::tuple<std::optional<QString>, std::optional<QString>, const char*>> cases =
      {
          {"1.4.2", "311", "Version 1.4.2 (build 311)"},
          {"1.4.2", std::nullopt, "Version 1.4.2"},
          {std::nullopt, std::nullopt, "Version development build"},
          {std::nullopt, "311", "Version development build (build 311)"},
      };
  for (const auto& [version, build, text] : cases) {
    EXPECT_EQ(AboutView::versionText(version, build), text);
    const WallClock clock;
    const AboutView view(facts(version, build), clock, {});
    EXPECT_EQ(view.findChild<QLabel*>("versionText")->text(), text);
  }
}

TEST(AboutView, RightsNoticeYearsFollowTheWallClock) {
  for (const auto& [year, years] :
       {std::pair{2026, "2026"}, std::pair{2027, "2026–2027"}, std::pair{2031, "2026–2031"}}) {
    EXPECT_EQ(AboutView::yearsText(year), years);
    WallClock clock;
    clock.set(QDateTime(QDate(year, 6, 30), QTime(12, 0)));
    const AboutView view(facts("1.0", std::nullopt), clock, {});
    EXPECT_EQ(view.findChild<QLabel*>("rightsNotice")->text(),
              QString("© %1 The Kelvadorium authors").arg(years));
  }
}

TEST(AboutView, SupportMailCarriesVersionAndBuildEncoded) {
  EXPECT_EQ(AboutView::supportMailURL("help@kelvadorium.example", "1.4.2", "311").toEncoded(),
            "mailto:help@kelvadorium.example?subject=Kelvadorium%201.4.2%20(311)");
  EXPECT_EQ(
      AboutView::supportMailURL("help@kelvadorium.example", std::nullopt, std::nullopt).toEncoded(),
      "mailto:help@kelvadorium.example?subject=Kelvadorium%20?%20(?)");
  EXPECT_EQ(AboutView::supportMailURL("a@b.example", "2.0 beta", "7#&").toEncoded(),
            "mailto:a@b.example?subject=Kelvadorium%202.0%20beta%20(7%23&)");
}

TEST(AboutView, LinksOpenTheirPagesAndPrivacySettingsOpensSettings) {
  int settingsOpened = 0;
  const WallClock clock;
  AboutView view(facts("1.4.2", std::nullopt), clock, [&] { ++settingsOpened; });
  QStringList opened;
  view.setUrlOpener([&](const QUrl& url) { opened << QString::fromUtf8(url.toEncoded()); });
  EXPECT_EQ(view.windowTitle(), "About Kelvadorium");
  EXPECT_EQ(view.width(), AboutView::fixedWidth);
  auto button = [&](const QString& title) {
    for (QPushButton* b : view.findChildren<QPushButton*>()) {
      if (b->text() == title) return b;
    }
    ADD_FAILURE() << title.toStdString();
    return static_cast<QPushButton*>(nullptr);
  };
  button("Website")->click();
  button("Support")->click();
  button("Privacy Policy")->click();
  EXPECT_EQ(opened,
            QStringList({"https://kelvadorium.example",
                         "mailto:help@kelvadorium.example?subject=Kelvadorium%201.4.2%20(?)",
                         "https://kelvadorium.example/privacy"}));
  button("Privacy Settings…")->click();
  EXPECT_EQ(settingsOpened, 1);
}

// From the menu: one About window, brought forward when asked for again; its privacy button
// opens the one Settings window.
TEST(AboutView, OneWindowBroughtForward) {
  TestServices services;
  AppModel model(services.services());
  const ModelCalls calls = ModelCalls::of(model);
  MainWindow window(model, calls);
  window.show();
  MenuCommands& menus = window.menus();
  menus.item("Help", "About Kelvadorium")->trigger();
  AboutView* about = menus.aboutWindow();
  ASSERT_NE(about, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowActive(about));
  EXPECT_FALSE(about->isModal());

  menus.item("Edit", "Settings…")->trigger();
  ASSERT_NE(menus.settingsWindow(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowActive(menus.settingsWindow()));
  menus.item("Help", "About Kelvadorium")->trigger();
  EXPECT_EQ(menus.aboutWindow(), about);
  EXPECT_TRUE(QTest::qWaitForWindowActive(about));
  int abouts = 0;
  for (QWidget* top : QApplication::topLevelWidgets())
    abouts += qobject_cast<AboutView*>(top) != nullptr;
  EXPECT_EQ(abouts, 1);

  SettingsView* settings = menus.settingsWindow();
  settings->close();
  for (QPushButton* b : about->findChildren<QPushButton*>()) {
    if (b->text() == "Privacy Settings…") b->click();
  }
  EXPECT_EQ(menus.settingsWindow(), settings);
  EXPECT_TRUE(settings->isVisible());
}

}  // namespace
