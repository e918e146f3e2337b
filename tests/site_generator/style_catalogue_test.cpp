#include "settings/program_settings.h"
#include "site_generator/style_catalogue.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using namespace vistrel::testing;
namespace fs = std::filesystem;

namespace {

struct StyleCatalogueTest : ::testing::Test {
    TempDir dir;
    fs::path styles = dir / "styles";
    StyleCatalogueTest() {
        for (const char* name : {"beach", "Autumn", "city"})
            fs::create_directories(styles / name);
        WriteBytes(styles / "beach" / "Style.JPG", "jpeg");
        WriteBytes(styles / "loose-file.txt", "not a style");
    }
};

} // namespace

TEST_F(StyleCatalogueTest, SortedWithoutRegardToCaseAndOpensOnTheCurrentStyle) {
    TStyleCatalogue catalogue(styles, styles / "CITY" / "");
    EXPECT_EQ(catalogue.Names(), (std::vector<std::string>{"Autumn", "beach", "city"}));
    EXPECT_EQ(catalogue.InitialIndex(), 2);
}

TEST_F(StyleCatalogueTest, VanishedCurrentStyleOpensOnTheFirstEntry) {
    TStyleCatalogue catalogue(styles, styles / "Gone" / "");
    EXPECT_EQ(catalogue.InitialIndex(), 0);
}

TEST_F(StyleCatalogueTest, PreviewPicture) {
    TStyleCatalogue catalogue(styles, {});
    EXPECT_EQ(catalogue.PreviewFile(1), styles / "beach" / "Style.JPG");
    EXPECT_EQ(catalogue.PreviewFile(0), fs::path());
    EXPECT_EQ(catalogue.PreviewFile(3), fs::path());
}

TEST_F(StyleCatalogueTest, ChooseAndStore) {
    ScriptedPrompts prompts;
    TProgramSettings settings(TProgramFolders::For(dir.path()), prompts);
    TStyleCatalogue catalogue(styles, styles / "city" / "");
    catalogue.Choose(0);
    StoreChosenStyle(settings, catalogue);
    EXPECT_EQ(settings.ActStyle, "Autumn");
    EXPECT_EQ(settings.CurrentStyleFolder(), styles / "Autumn" / "");
    EXPECT_NE(ReadBytes(dir / "vistrel.ini").find("ActStyle=Autumn\r\n"), std::string::npos);
}

TEST_F(StyleCatalogueTest, CancelStillWritesTheUnchangedStyle) {
    ScriptedPrompts prompts;
    TProgramSettings settings(TProgramFolders::For(dir.path()), prompts);
    TStyleCatalogue catalogue(styles, styles / "city" / "");
    StoreChosenStyle(settings, catalogue);
    EXPECT_NE(ReadBytes(dir / "vistrel.ini").find("ActStyle=city\r\n"), std::string::npos);
}

TEST(StyleCatalogue, NoStyleFolder) {
    TempDir dir;
    TStyleCatalogue catalogue(dir / "missing", dir / "missing" / "x" / "");
    EXPECT_TRUE(catalogue.Names().empty());
    EXPECT_EQ(catalogue.InitialIndex(), -1);
    catalogue.Choose(0);
    EXPECT_EQ(catalogue.ChosenStyle(), dir / "missing" / "x" / "");
}

TEST(StyleCatalogue, StyleNameOf) {
    EXPECT_EQ(StyleNameOf("/p/styles/Raster/"), "Raster");
    EXPECT_EQ(StyleNameOf("/p/styles/Raster"), "Raster");
    EXPECT_EQ(StyleNameOf("C:\\p\\styles\\Raster\\"), "Raster");
    EXPECT_EQ(StyleNameOf("Raster"), "Raster");
}
