#include "cli_program.h"
#include "settings/program_settings.h"

#include <iostream>
#include <sstream>

using namespace vistrel;
using vistrel::testing::CliProgram;
using vistrel::testing::ReadBytes;
namespace fs = std::filesystem;

namespace {

using CliSettingsCommands = CliProgram;

std::string Lines(const std::string& text) {
    std::string lines;
    for (char c : text)
        if (c != '\r') lines += c;
    return lines;
}

} // namespace

TEST_F(CliSettingsCommands, SetStoresUnderTheFilesKeysAndListShowsThem) {
    ASSERT_EQ(Run({"settings", "set", "edFTPServer", "ftp.example.org"}), 0) << err;
    ASSERT_EQ(Run({"settings", "set", "cbUsePassiveMode_Checked", "False"}), 0) << err;
    ASSERT_EQ(Run({"settings", "set", "edImpressum", "Anna Müller\\nSeestraße 1"}), 0) << err;
    ASSERT_EQ(Run({"settings", "set", "edNoOfThumbs", "0"}), 0) << "the dialog's rule, not a refusal";
    ASSERT_EQ(Run({"settings", "set", "edGamma", "1,5"}), 0) << err;
    ASSERT_EQ(Run({"settings", "set", "rgQuality", "2"}), 0) << err;
    std::string ini = Lines(ReadBytes(dir / "vistrel.ini"));
    EXPECT_NE(ini.find("edFTPServer_Text=ftp.example.org\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("cbUsePassiveMode_Checked=False\n"), std::string::npos);
    EXPECT_NE(ini.find("edNoOfThumbs_Text=1\n"), std::string::npos);
    EXPECT_NE(ini.find("[TSettingsForm.edImpressum_Lines]\nCount=2\nItem0=Anna M\xFCller\nItem1=Seestra\xDF"
                       "e 1\n"),
              std::string::npos);

    ASSERT_EQ(Run({"settings"}), 0);
    EXPECT_EQ(out.rfind("edImpressum=Anna Müller\\nSeestraße 1\n", 0), 0u) << out;
    EXPECT_NE(out.find("\nedGamma=1,5\nrgQuality=2\n"), std::string::npos);
    EXPECT_NE(out.find("\ncbUsePassiveMode=False\n"), std::string::npos);
    ASSERT_EQ(Run({"settings", "get", "edFTPServer"}), 0);
    EXPECT_EQ(out, "ftp.example.org\n");
    ASSERT_EQ(Run({"settings", "--json"}), 0);
    EXPECT_NE(out.find("\n \"edFTPServer\": \"ftp.example.org\",\n"), std::string::npos) << out;
}

TEST_F(CliSettingsCommands, RefusedValuesLeaveTheFileAsItWas) {
    ASSERT_EQ(Run({"settings", "set", "edFTPPort", "2121"}), 0);
    std::string before = ReadBytes(dir / "vistrel.ini");
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"settings", "set", "edFTPPort", "ftp"}, 1},
        {{"settings", "set", "edFTPPort", "70000"}, 1},
        {{"settings", "set", "edMaxWidth", "breit"}, 1},
        {{"settings", "set", "edMaxHeight", "-5"}, 1},
        {{"settings", "set", "edNoOfThumbs", "zwölf"}, 1},
        {{"settings", "set", "edGamma", "9,0"}, 1},
        {{"settings", "set", "cbAutoSize", "ja"}, 1},
        {{"settings", "set", "rgOverwriteFiles", "2"}, 1},
        {{"settings", "set", "edFTPPassword", "geheim"}, 2},
        {{"settings", "set", "edNothing", "x"}, 2},
        {{"settings", "set", "edFTPServer"}, 2},
        {{"settings", "get", "edNothing"}, 2},
        {{"settings", "list"}, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), c.code) << c.args[2] << " " << (c.args.size() > 3 ? c.args[3] : "");
        EXPECT_FALSE(err.empty());
    }
    EXPECT_EQ(ReadBytes(dir / "vistrel.ini"), before);
}

TEST_F(CliSettingsCommands, PasswordComesFromStandardInputAndIsNeverShown) {
    std::istringstream input("geheim\n");
    auto* saved = std::cin.rdbuf(input.rdbuf());
    int code = Run({"settings", "set-password"});
    std::cin.rdbuf(saved);
    ASSERT_EQ(code, 0) << err;
    std::string ini = ReadBytes(dir / "vistrel.ini");
    EXPECT_NE(ini.find("FTPPassword=" + ScramblePassword("geheim")), std::string::npos);
    EXPECT_EQ(ini.find("geheim"), std::string::npos);
    ASSERT_EQ(Run({"settings", "get", "edFTPPassword"}), 0);
    EXPECT_EQ(out, "********\n");
    ASSERT_EQ(Run({"settings"}), 0);
    EXPECT_EQ(out.find("geheim"), std::string::npos);
}

TEST_F(CliSettingsCommands, StylesListTheCatalogueAndStyleChoosesOne) {
    ASSERT_EQ(Run({"styles"}), 0) << err;
    EXPECT_EQ(out, "* Klassisch\n  Raster\n");
    ASSERT_EQ(Run({"style", "raster"}), 0) << err;
    EXPECT_NE(ReadBytes(dir / "vistrel.ini").find("ActStyle=Raster"), std::string::npos);
    ASSERT_EQ(Run({"styles", "--json"}), 0);
    EXPECT_EQ(out, "[\n {\"name\": \"Klassisch\", \"current\": false},\n {\"name\": \"Raster\", \"current\": "
                   "true}\n]\n");
    EXPECT_EQ(Run({"style", "Modern"}), 1);
    EXPECT_EQ(Run({"style"}), 2);
    EXPECT_EQ(Run({"styles", "all"}), 2);
    ASSERT_EQ(Run({"styles"}), 0);
    EXPECT_EQ(out, "  Klassisch\n* Raster\n");
}

// The large version's side: "0" for none or 32..8192, as the import reads it.
TEST_F(CliSettingsCommands, LargeVersionSideTakesZeroOrThirtyTwoToEightThousand) {
    ASSERT_EQ(Run({"settings", "get", "edLargeSize"}), 0);
    EXPECT_EQ(out, "2048\n");
    for (const char* refused : {"31", "8193", "gross", "-1"})
        EXPECT_EQ(Run({"settings", "set", "edLargeSize", refused}), 1) << refused;
    for (const char* taken : {"0", "32", "8192"}) {
        ASSERT_EQ(Run({"settings", "set", "edLargeSize", taken}), 0) << taken;
        EXPECT_NE(Lines(ReadBytes(dir / "vistrel.ini")).find(std::string("edLargeSize_Text=") + taken + "\n"),
                  std::string::npos);
    }
}
