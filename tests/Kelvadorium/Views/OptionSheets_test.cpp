// The export options and copy settings sheets over the main window: what they open with, how
// their controls change the private copy, the one way out through Cancel, Escape and the close
// button, and what reaches the model on confirming.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <nlohmann/json.hpp>

#include "App/ModelCalls.h"
#include "Model/AppModel.h"
#include "Testing/TestServices.h"
#include "ViewKit/MenuButton.h"
#include "ViewKit/ValueSlider.h"
#include "Windows/CopySettingsSheet.h"
#include "Windows/ExportOptionsSheet.h"
#include "Windows/MainWindow.h"
#include "Windows/SheetPresenter.h"

namespace {

class OptionSheetsTest : public ::testing::Test {
 protected:
  OptionSheetsTest() {
    std::vector<ImageItem> items;
    for (const char* name : {"frame07.NEF", "frame08.NEF"}) {
      ImageItem item;
      item.url = std::filesystem::path("/scans") / name;
      items.push_back(item);
    }
    model.setItems(items);
    window.show();
  }
  static void settle() { QApplication::processEvents(); }
  template <class Sheet>
  Sheet* shownSheet() {
    settle();
    auto* sheet = qobject_cast<Sheet*>(window.sheets().sheet());
    return sheet && sheet->isVisible() ? sheet : nullptr;
  }
  void store(const ExportOptions& options) {
    model.setExportOptionsData(QByteArray::fromStdString(toJSON(options).dump()));
  }
  ExportOptionsSheet* openExport(size_t targets = 1) {
    model.setExportRequest(std::vector<ImageItem>(model.items().begin(),
                                                  model.items().begin() + long(targets)));
    return shownSheet<ExportOptionsSheet>();
  }
  std::vector<ExportFormat> formats(ExportOptionsSheet& sheet) { return sheet.options().formats; }
  static void type(QLineEdit& field, const QString& text) {
    field.selectAll();
    QTest::keyClicks(&field, text);
  }

  TestServices services;
  AppModel model{services.services()};
  ModelCalls calls = ModelCalls::of(model);
  MainWindow window{model, calls};
};

TEST_F(OptionSheetsTest, ExportSheetOpensWithTheStoredOptions) {
  auto* sheet = openExport();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->size(), QSize(560, 640));
  EXPECT_EQ(sheet->titleLabel()->text(), "Export 1 image");
  EXPECT_TRUE(sheet->formatToggle(ExportFormat::tiff16)->isChecked());
  EXPECT_FALSE(sheet->formatToggle(ExportFormat::tiff8)->isChecked());
  EXPECT_FALSE(sheet->formatToggle(ExportFormat::jpeg)->isChecked());
  EXPECT_FALSE(sheet->resizeToggle()->isChecked());
  EXPECT_FALSE(sheet->edgeRowShown());
  EXPECT_FALSE(sheet->qualityRowShown());
  EXPECT_EQ(sheet->exampleLine()->text(), "Example: frame07.tif");
  EXPECT_EQ(sheet->colourSpacePicker()->currentText(), "Display P3 (wide-gamut screens)");
  QStringList presets;
  for (QAction* action : sheet->presetsButton()->menu()->actions()) presets << action->text();
  EXPECT_EQ(presets, (QStringList{"1080 px", "2048 px", "3000 px", "4000 px", "6000 px"}));
  sheet->cancelButton()->click();
  EXPECT_FALSE(model.exportRequest().has_value());
  EXPECT_EQ(shownSheet<ExportOptionsSheet>(), nullptr);

  model.setExportRequest(std::vector<ImageItem>{});
  sheet = shownSheet<ExportOptionsSheet>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->titleLabel()->text(), "Export 0 images");
  type(*sheet->suffixField(), "_web");
  EXPECT_EQ(sheet->exampleLine()->text(), "Example: DSC_0001_web.tif");
  // Withdrawn and asked again in one turn: the new request gets its own sheet.
  sheet->cancelButton()->click();
  sheet = openExport(2);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->titleLabel()->text(), "Export 2 images");
  EXPECT_EQ(sheet->targets().size(), 2u);
}

// Formats are listed in the order they were switched on; the example and the quality row follow
// the list; with none the confirming button is off.
TEST_F(OptionSheetsTest, FormatTogglesKeepTheirOrder) {
  auto* sheet = openExport();
  ASSERT_NE(sheet, nullptr);
  using F = ExportFormat;
  sheet->formatToggle(F::jpeg)->click();
  EXPECT_EQ(formats(*sheet), (std::vector<F>{F::tiff16, F::jpeg}));
  EXPECT_EQ(sheet->exampleLine()->text(), "Example: frame07.tif");
  EXPECT_TRUE(sheet->qualityRowShown());
  EXPECT_EQ(sheet->qualityNumber()->text(), "92");
  sheet->formatToggle(F::tiff16)->click();
  EXPECT_EQ(formats(*sheet), std::vector<F>{F::jpeg});
  EXPECT_EQ(sheet->exampleLine()->text(), "Example: frame07.jpg");
  sheet->formatToggle(F::tiff8)->click();
  sheet->formatToggle(F::tiff16)->click();
  EXPECT_EQ(formats(*sheet), (std::vector<F>{F::jpeg, F::tiff8, F::tiff16}));
  for (F f : {F::jpeg, F::tiff8, F::tiff16}) sheet->formatToggle(f)->click();
  EXPECT_TRUE(formats(*sheet).empty());
  EXPECT_FALSE(sheet->qualityRowShown());
  EXPECT_FALSE(sheet->confirmButton()->isEnabled());
  QTest::keyClick(sheet, Qt::Key_Return);
  EXPECT_TRUE(model.exportRequest().has_value()) << "Return with no format confirms nothing";
  sheet->formatToggle(F::tiff8)->click();
  EXPECT_TRUE(sheet->confirmButton()->isEnabled());
}

// Stored options come back as they were, less the four film notes, which the confirmed (and so
// stored) options carry empty; the suffix survives.
TEST_F(OptionSheetsTest, StoredOptionsRoundTripWithTheNotesEmptied) {
  ExportOptions stored;
  stored.formats = {ExportFormat::jpeg, ExportFormat::tiff8};
  stored.jpegQuality = 0.57;
  stored.longEdge = 3000;
  stored.sharpening = OutputSharpening::matte;
  stored.colorSpace = ExportColorSpace::adobeRGB;
  stored.suffix = "_print";
  stored.filmStock = "Portra 400";
  stored.camera = "F3";
  stored.iso = "400";
  stored.notes = "roll 12";
  store(stored);
  auto* sheet = openExport();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->resizeToggle()->isChecked());
  EXPECT_TRUE(sheet->edgeRowShown());
  EXPECT_EQ(sheet->edgeField()->text(), "3000");
  EXPECT_EQ(sheet->qualityNumber()->text(), "56");
  EXPECT_EQ(sheet->sharpeningPicker()->currentText(), "Matte paper");
  EXPECT_EQ(sheet->colourSpacePicker()->currentText(), "Adobe RGB (print)");
  EXPECT_EQ(sheet->suffixField()->text(), "_print");
  EXPECT_EQ(sheet->exampleLine()->text(), "Example: frame07_print.jpg");
  EXPECT_TRUE(sheet->options().filmStock.empty());
  QTest::keyClick(sheet, Qt::Key_Return);
  settle();
  EXPECT_FALSE(model.exportRequest().has_value());
  EXPECT_EQ(shownSheet<ExportOptionsSheet>(), nullptr);
  ExportOptions expected = stored;
  expected.filmStock = expected.camera = expected.iso = expected.notes = "";
  EXPECT_EQ(model.storedExportOptions(), expected);
  ASSERT_EQ(services.dialogs.folderAsked.size(), 1u);
}

TEST_F(OptionSheetsTest, LongEdgeAsTypedReachesTheExport) {
  struct Case {
    const char* typed;
    std::optional<int64_t> exported;
  };
  const std::vector<Case> cases = {
      {"2048.9", 2048}, {"10", 64}, {"-5", 64}, {"abc", 2048}, {"1e300", 1'000'000},
      {"nan", 2048}, {"3000x", 3000},
  };
  for (const Case& c : cases) {
    auto* sheet = openExport();
    ASSERT_NE(sheet, nullptr) << c.typed;
    sheet->resizeToggle()->click();
    ASSERT_TRUE(sheet->edgeRowShown());
    EXPECT_EQ(sheet->edgeField()->text(), "2048");
    type(*sheet->edgeField(), c.typed);
    sheet->confirmButton()->click();
    settle();
    EXPECT_EQ(model.storedExportOptions().longEdge, c.exported) << c.typed;
    store(ExportOptions{});
  }
  // A preset fills the field; switching Resize off exports at full size and keeps the edge.
  auto* sheet = openExport();
  ASSERT_NE(sheet, nullptr);
  sheet->resizeToggle()->click();
  sheet->presetsButton()->menu()->actions().last()->trigger();
  EXPECT_EQ(sheet->edgeField()->text(), "6000");
  EXPECT_DOUBLE_EQ(sheet->edge(), 6000);
  sheet->resizeToggle()->click();
  EXPECT_FALSE(sheet->edgeRowShown());
  EXPECT_DOUBLE_EQ(sheet->edge(), 6000);
  sheet->confirmButton()->click();
  settle();
  EXPECT_EQ(model.storedExportOptions().longEdge, std::nullopt);
}

// Cancel, Escape and the window's close button are one path: the request goes, nothing stored.
TEST_F(OptionSheetsTest, EveryWayOutOfTheExportSheetCancels) {
  const std::vector<std::pair<const char*, std::function<void(ExportOptionsSheet&)>>> ways = {
      {"Cancel", [](ExportOptionsSheet& s) { s.cancelButton()->click(); }},
      {"Escape", [](ExportOptionsSheet& s) { QTest::keyClick(&s, Qt::Key_Escape); }},
      {"close button", [](ExportOptionsSheet& s) { s.close(); }},
  };
  for (const auto& [way, leave] : ways) {
    auto* sheet = openExport();
    ASSERT_NE(sheet, nullptr) << way;
    sheet->formatToggle(ExportFormat::jpeg)->click();
    type(*sheet->suffixField(), "_x");
    leave(*sheet);
    EXPECT_FALSE(model.exportRequest().has_value()) << way;
    EXPECT_EQ(shownSheet<ExportOptionsSheet>(), nullptr) << way;
    EXPECT_EQ(model.storedExportOptions(), ExportOptions{}) << way;
    EXPECT_TRUE(services.dialogs.folderAsked.empty()) << way;
  }
}

TEST_F(OptionSheetsTest, CopySheetFirstUseAndARememberedChoice) {
  model.setSelection(model.items()[0].id);
  model.setShowCopySheet(true);
  auto* sheet = shownSheet<CopySettingsSheet>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->width(), 520);
  std::vector<bool> ticked;
  QStringList labels;
  for (const auto& [part, name] : EnumNames<SettingsPart>::cases) {
    ticked.push_back(sheet->box(part)->isChecked());
    labels << sheet->box(part)->accessibleName();
  }
  EXPECT_EQ(ticked, (std::vector<bool>{true, true, true, true, true, false, false, false, false}));
  EXPECT_EQ(labels[5], "Healed spots, red-eye fixes, dodge & burn");
  EXPECT_EQ(labels[3], "Tone Curve");
  // The wrapped text beside a box ticks it too.
  for (QLabel* label : sheet->findChildren<QLabel*>()) {
    if (label->text() != "Crop, rotation, mirroring") continue;
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_TRUE(sheet->box(SettingsPart::crop)->isChecked());
    EXPECT_TRUE(sheet->parts().contains(SettingsPart::crop));
    QTest::mouseClick(label, Qt::LeftButton);
  }
  EXPECT_FALSE(sheet->parts().contains(SettingsPart::crop));
  sheet->noneButton()->click();
  EXPECT_FALSE(sheet->copyButton()->isEnabled());
  sheet->box(SettingsPart::crop)->click();
  EXPECT_TRUE(sheet->copyButton()->isEnabled());
  sheet->allButton()->click();
  EXPECT_EQ(sheet->parts().size(), 9u);
  // Escape copies nothing and stores nothing.
  QTest::keyClick(sheet, Qt::Key_Escape);
  EXPECT_FALSE(model.showCopySheet());
  EXPECT_EQ(shownSheet<CopySettingsSheet>(), nullptr);
  EXPECT_FALSE(model.copiedSettings().has_value());

  model.setShowCopySheet(true);
  sheet = shownSheet<CopySettingsSheet>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->parts().size(), 5u) << "the stored choice again, after a cancel";
  sheet->noneButton()->click();
  sheet->box(SettingsPart::curves)->click();
  QTest::keyClick(sheet, Qt::Key_Return);
  EXPECT_FALSE(model.showCopySheet());
  EXPECT_TRUE(model.copiedSettings().has_value());
  EXPECT_EQ(model.copiedParts(), std::set<SettingsPart>{SettingsPart::curves});
  EXPECT_EQ(shownSheet<CopySettingsSheet>(), nullptr);

  model.setShowCopySheet(true);
  sheet = shownSheet<CopySettingsSheet>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->parts(), std::set<SettingsPart>{SettingsPart::curves});
  EXPECT_TRUE(sheet->box(SettingsPart::curves)->isChecked());
  sheet->close();
  EXPECT_FALSE(model.showCopySheet());
}

// With no scan selected there is nothing to copy: Copy stays off, and comes on with a selection.
TEST_F(OptionSheetsTest, CopyNeedsASelectedScan) {
  model.setSelection(std::nullopt);
  model.setShowCopySheet(true);
  auto* sheet = shownSheet<CopySettingsSheet>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_FALSE(sheet->copyButton()->isEnabled());
  QTest::keyClick(sheet, Qt::Key_Return);
  EXPECT_TRUE(model.showCopySheet());
  model.setSelection(model.items()[1].id);
  EXPECT_TRUE(sheet->copyButton()->isEnabled());
  sheet->copyButton()->click();
  EXPECT_FALSE(model.showCopySheet());
  EXPECT_TRUE(model.copiedSettings().has_value());
}

}  // namespace
