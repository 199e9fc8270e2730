// Export options: defaults, labels, and the tolerant JSON reader.
#include "Export/ExportOptions.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

using F = ExportFormat;

TEST(ExportOptions, DefaultsLabelsAndExtensions) {
  const ExportOptions o;
  EXPECT_EQ(o.formats, std::vector<F>{F::tiff16});
  EXPECT_EQ(o.jpegQuality, 0.92);
  EXPECT_FALSE(o.longEdge);
  EXPECT_EQ(o.sharpening, OutputSharpening::none);
  EXPECT_EQ(o.colorSpace, ExportColorSpace::displayP3);
  EXPECT_EQ(o.suffix + o.filmStock + o.camera + o.iso + o.notes, "");

  EXPECT_EQ(fileExtension(F::tiff16), "tif");
  EXPECT_EQ(fileExtension(F::tiff8), "tif");
  EXPECT_EQ(fileExtension(F::jpeg), "jpg");
  EXPECT_EQ(label(ExportColorSpace::sRGB), "sRGB (web, social media)");
  EXPECT_EQ(label(ExportColorSpace::displayP3), "Display P3 (wide-gamut screens)");
  EXPECT_EQ(label(ExportColorSpace::adobeRGB), "Adobe RGB (print)");
  EXPECT_EQ(label(ExportColorSpace::proPhotoRGB), "ProPhoto RGB (editing)");
  EXPECT_EQ(label(OutputSharpening::matte), "Matte paper");
  EXPECT_EQ(label(OutputSharpening::glossy), "Glossy paper");
  EXPECT_EQ((allCases<ExportColorSpace>()),
            (std::array{ExportColorSpace::sRGB, ExportColorSpace::displayP3,
                        ExportColorSpace::adobeRGB, ExportColorSpace::proPhotoRGB}));
  EXPECT_EQ(fromString<ExportFormat>("png"), std::nullopt);
}

TEST(ExportOptions, ReaderIsTolerantKeyByKey) {
  struct Case {
    const char* json;
    ExportOptions expected;
  };
  ExportOptions ordered;
  ordered.formats = {F::jpeg, F::tiff16};
  ExportOptions empty;
  empty.formats = {};
  ExportOptions set;
  set.jpegQuality = 1.5;
  set.longEdge = 2000;
  set.sharpening = OutputSharpening::glossy;
  set.colorSpace = ExportColorSpace::proPhotoRGB;
  set.suffix = "_pos";
  set.notes = "Ü";
  const Case cases[] = {
      {"{}", {}},
      {R"({"formats":["jpeg","tiff16"]})", ordered},
      {R"({"formats":[]})", empty},
      {R"({"formats":["png"]})", {}},
      {R"({"formats":["jpeg","png"]})", {}},
      {R"({"formats":"jpeg"})", {}},
      {R"({"formats":null,"longEdge":null,"jpegQuality":null})", {}},
      {R"({"colorSpace":"AdobeRGB","sharpening":3})", {}},
      {R"({"longEdge":1200.5,"jpegQuality":"0.5","suffix":7,"camera":null})", {}},
      {R"({"longEdge":99999999999999999999})", {}},
      {R"({"unknown":1})", {}},
      {R"({"jpegQuality":1.5,"longEdge":2000,"sharpening":"glossy","colorSpace":"proPhotoRGB",
          "suffix":"_pos","notes":"Ü"})",
       set},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const auto read = exportOptionsFromJSON(std::string_view(c.json));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, c.expected);
  }
  for (const char* bad : {"[]", "\"text\"", "42", "{broken", ""}) {
    EXPECT_FALSE(exportOptionsFromJSON(std::string_view(bad))) << bad;
  }
}

TEST(ExportOptions, WrittenAndReadBackCompareEqual) {
  ExportOptions o;
  EXPECT_FALSE(toJSON(o).contains("longEdge"));
  EXPECT_EQ(exportOptionsFromJSON(toJSON(o)), o);

  o.formats = {F::tiff8, F::jpeg, F::tiff16};
  o.jpegQuality = 0.7;
  o.longEdge = -5;
  o.sharpening = OutputSharpening::screen;
  o.colorSpace = ExportColorSpace::sRGB;
  o.suffix = "_web";
  o.filmStock = "Portra 400";
  o.camera = "Nikon F3";
  o.iso = "400";
  o.notes = "Grand café";
  const nlohmann::json json = toJSON(o);
  EXPECT_EQ(json["formats"], nlohmann::json({"tiff8", "jpeg", "tiff16"}));
  EXPECT_EQ(json["longEdge"], -5);
  EXPECT_EQ(json["colorSpace"], "sRGB");
  EXPECT_EQ(json.size(), 10u);
  EXPECT_EQ(exportOptionsFromJSON(std::string_view(json.dump())), o);
}

}  // namespace
