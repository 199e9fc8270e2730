// The Settings window over the stored preferences: the confirmation before full rendering and
// what its two answers leave, the caption of the stored mode, the older preference, a damaged
// file, and every choice kept in the settings file.
#include "Windows/SettingsView.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>

#include "Model/AppModel.h"
#include "Windows/PrivacySection.h"
#include "Testing/TestServices.h"

namespace {

class SettingsViewTest : public ::testing::Test {
 public:
  std::unique_ptr<AppModel> makeModel() { return std::make_unique<AppModel>(services.services()); }
  std::unique_ptr<SettingsView> open(AppModel& model) {
    return std::make_unique<SettingsView>(model, &services.dialogs);
  }
  template <class T>
  static T* control(SettingsView& view, const char* name) {
    T* found = view.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  // The user picks an option of a picker.
  static void choose(QComboBox* picker, const QString& option) {
    const int index = picker->findText(option);
    ASSERT_GE(index, 0) << option.toStdString();
    picker->setCurrentIndex(index);
    emit picker->activated(index);
  }

  TestServices services;
};

TEST_F(SettingsViewTest, FullRenderIsConfirmedAndKeepLeavesTheStoredMode) {
  struct Case {
    PreviewMode stored;
    int answer;
    const char* keep;
    PreviewMode after;
  };
  const std::vector<Case> cases = {
      {PreviewMode::hybrid, 1, "Keep Hybrid", PreviewMode::hybrid},
      {PreviewMode::fast, 1, "Keep Fast", PreviewMode::fast},
      {PreviewMode::hybrid, 0, "Keep Hybrid", PreviewMode::full},
      {PreviewMode::fast, 0, "Keep Fast", PreviewMode::full},
  };
  const std::map<PreviewMode, QString> labels = {{PreviewMode::full, "Full render"},
                                                 {PreviewMode::hybrid, "Hybrid (recommended)"},
                                                 {PreviewMode::fast, "Fast (1600 px)"}};
  for (const Case& c : cases) {
    auto model = makeModel();
    model->setPreviewMode(c.stored);
    auto view = open(*model);
    services.dialogs.alertsAsked.clear();
    services.dialogs.alertAnswers = {c.answer};
    auto* picker = control<QComboBox>(*view, "previewPicker");
    choose(picker, "Full render");
    ASSERT_EQ(services.dialogs.alertsAsked.size(), 1u) << c.keep;
    const DialogService::Alert& alert = services.dialogs.alertsAsked[0];
    EXPECT_EQ(alert.title, "Use full render?");
    EXPECT_TRUE(alert.text.startsWith("Every change will be rendered at full preview size."));
    EXPECT_EQ(alert.buttons, QStringList({"Use Full Render", c.keep}));
    EXPECT_EQ(model->previewMode(), c.after) << c.keep;
    EXPECT_EQ(picker->currentText(), labels.at(c.after)) << c.keep;
    EXPECT_EQ(control<QLabel>(*view, "previewCaption")->text(), SettingsView::caption(c.after));
  }
}

TEST_F(SettingsViewTest, OtherChoicesAreStoredWithoutAsking) {
  auto model = makeModel();
  auto view = open(*model);
  auto* picker = control<QComboBox>(*view, "previewPicker");
  auto* caption = control<QLabel>(*view, "previewCaption");
  EXPECT_EQ(picker->currentText(), "Hybrid (recommended)");
  EXPECT_TRUE(caption->text().startsWith("While you move a slider"));
  choose(picker, "Fast (1600 px)");
  EXPECT_EQ(model->previewMode(), PreviewMode::fast);
  EXPECT_TRUE(caption->text().startsWith("Everything is worked at 1600 px"));
  choose(picker, "Hybrid (recommended)");
  EXPECT_EQ(model->previewMode(), PreviewMode::hybrid);
  model->setPreviewMode(PreviewMode::full);
  EXPECT_EQ(picker->currentText(), "Full render") << "follows the stored mode";
  choose(picker, "Full render");
  EXPECT_TRUE(services.dialogs.alertsAsked.empty());
  EXPECT_EQ(model->previewMode(), PreviewMode::full);
}

TEST_F(SettingsViewTest, ChoicesLastInTheSettingsFile) {
  {
    auto model = makeModel();
    auto view = open(*model);
    control<QCheckBox>(*view, "askFilmType")->click();
    choose(control<QComboBox>(*view, "defaultMode"), "Positive / slide");
    choose(control<QComboBox>(*view, "defaultLook"), "Noritsu Style");
    control<QCheckBox>(*view, "saveSidecars")->click();
    choose(control<QComboBox>(*view, "previewPicker"), "Fast (1600 px)");
  }
  const Preferences stored(services.settingsPath());
  EXPECT_FALSE(stored.boolValue("askFilmType", true));
  EXPECT_EQ(stored.stringValue("defaultMode", {}), "positive");
  EXPECT_EQ(stored.stringValue("defaultLook", {}), "noritsu");
  EXPECT_FALSE(stored.boolValue("saveSidecars", true));
  EXPECT_EQ(stored.stringValue("previewMode", {}), "fast");
  // A new window over a new model shows them.
  auto model = makeModel();
  auto view = open(*model);
  EXPECT_FALSE(control<QCheckBox>(*view, "askFilmType")->isChecked());
  EXPECT_EQ(control<QComboBox>(*view, "defaultMode")->currentText(), "Positive / slide");
  EXPECT_EQ(control<QComboBox>(*view, "defaultLook")->currentText(), "Noritsu Style");
  EXPECT_FALSE(control<QCheckBox>(*view, "saveSidecars")->isChecked());
  EXPECT_EQ(control<QComboBox>(*view, "previewPicker")->currentText(), "Fast (1600 px)");
}

TEST_F(SettingsViewTest, StoredFilesOpenAsTheyRead) {
  struct Case {
    const char* file;
    const char* preview;
    bool ask;
    const char* mode;
    const char* look;
    bool sidecars;
  };
  const std::vector<Case> cases = {
      {"fullRenderPreview=true\n", "Full render", true, "Colour negative", "Neutral", true},
      {"fullRenderPreview=true\npreviewMode=fast\n", "Fast (1600 px)", true, "Colour negative",
       "Neutral", true},
      {"previewMode=sideways\naskFilmType=maybe\ndefaultMode=7\ndefaultLook=\nsaveSidecars=2\n",
       "Hybrid (recommended)", true, "Colour negative", "Neutral", true},
      {"\x01\x02[[[\nnot an ini file at all\n", "Hybrid (recommended)", true, "Colour negative",
       "Neutral", true},
  };
  for (const Case& c : cases) {
    services.writeSettingsFile(c.file);
    auto model = makeModel();
    auto view = open(*model);
    EXPECT_EQ(control<QComboBox>(*view, "previewPicker")->currentText(), c.preview) << c.file;
    EXPECT_EQ(control<QCheckBox>(*view, "askFilmType")->isChecked(), c.ask) << c.file;
    EXPECT_EQ(control<QComboBox>(*view, "defaultMode")->currentText(), c.mode) << c.file;
    EXPECT_EQ(control<QComboBox>(*view, "defaultLook")->currentText(), c.look) << c.file;
    EXPECT_EQ(control<QCheckBox>(*view, "saveSidecars")->isChecked(), c.sidecars) << c.file;
  }
}

TEST_F(SettingsViewTest, TheWindowAndItsPrivacyGroup) {
  auto model = makeModel();
  auto view = open(*model);
  EXPECT_EQ(view->windowTitle(), "Settings");
  EXPECT_EQ(view->width(), SettingsView::fixedWidth);
  EXPECT_FALSE(view->isModal());
  auto* privacy = view->findChild<QWidget*>("privacySection");
  ASSERT_NE(privacy, nullptr);
  auto* group = privacy->findChild<PrivacySection*>();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), "Privacy");
  // The fixed height leaves room for the group's wrapped note.
  EXPECT_GE(view->height(), view->layout()->minimumSize().height());
}

}  // namespace
