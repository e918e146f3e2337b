#include "common/line_file.h"
#include "settings/program_settings.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::TempProgramFolder;
using vistrel::testing::WriteBytes;

namespace {

struct SettingsFixture : ::testing::Test, TempProgramFolder {

    void WriteIni(const std::string& text) { WriteBytes(folders.SettingsFile(), text); }
    void MakeStyles(std::initializer_list<const char*> names) {
        for (auto name : names)
            std::filesystem::create_directories(folders.styles / name);
    }
};

} // namespace

TEST_F(SettingsFixture, NewInstallationStartsWithDefaultsAndFirstStyle) {
    MakeStyles({"city", "Autumn", "beach"});
    settings.Load();
    settings.ResolveStyle();
    auto size = settings.UpdateMaxPictureSize();
    EXPECT_EQ(size.width, 500);
    EXPECT_EQ(size.height, 500);
    EXPECT_EQ(settings.CurrentStyleFolder(), folders.styles / "Autumn" / "");
    EXPECT_TRUE(settings.cbAutoSize);
    EXPECT_EQ(settings.edGamma, "1,0");
    EXPECT_EQ(settings.rgQuality, 1);
    EXPECT_EQ(settings.edFTPPort, "21");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SettingsFixture, NoStylesShowsTheMessage) {
    settings.ResolveStyle();
    ASSERT_EQ(prompts.messages.size(), 2u); // once for the empty name, once for the fallback
    EXPECT_EQ(prompts.messages[0],
              "Es wurden keine Stilvorlagen gefunden. Bitte installieren Sie das Programm erneut.");
}

TEST_F(SettingsFixture, ActStyleAsAFullPathResolvesToItsLastFolder) {
    MakeStyles({"Autumn", "Klassisch"});
    WriteIni("[TSettingsForm]\r\nActStyle=C:\\Programme\\Vistrel\\styles\\Klassisch\\\r\n");
    settings.ResolveStyle();
    EXPECT_EQ(settings.CurrentStyleFolder(), folders.styles / "Klassisch" / "");
    WriteIni("[TSettingsForm]\r\nActStyle=C:\\x\\Verschwunden\\\r\n");
    settings.ResolveStyle();
    EXPECT_EQ(settings.CurrentStyleFolder(), folders.styles / "Autumn" / "");
}

TEST_F(SettingsFixture, StyleChoiceIsWrittenAtOnce) {
    MakeStyles({"Autumn", "beach"});
    settings.StoreStyleChoice((folders.styles / "beach").string() + "/");
    EXPECT_EQ(settings.ActStyle, "beach");
    EXPECT_NE(ReadBytes(folders.SettingsFile()).find("ActStyle=beach\r\n"), std::string::npos);
}

TEST_F(SettingsFixture, MaxPictureSizeClampsAndKeepsTheLastValidNumber) {
    struct Row {
        const char* width;
        int expected;
    };
    settings.edMaxWidth = "abc";
    EXPECT_EQ(settings.UpdateMaxPictureSize().width, 32) << "abc before any valid number";
    for (Row row : {Row{"20", 32}, Row{"5000", 4096}, Row{"640", 640}, Row{"abc", 640}, Row{"4096", 4096},
                    Row{"4097", 4096}, Row{"32", 32}, Row{"31", 32}}) {
        settings.edMaxWidth = row.width;
        EXPECT_EQ(settings.UpdateMaxPictureSize().width, row.expected) << row.width;
    }
}

TEST_F(SettingsFixture, ValueEncodingsOnReading) {
    WriteIni("[TSettingsForm]\r\n"
             "rgQuality_ItemIndex=x\r\n"
             "cbAutoSize_Checked=yes\r\n"
             "cbGamma_Checked=TRUE\r\n"
             "cbCheckServer_Checked=false\r\n"
             "edMaxWidth_Text=  640  \r\n");
    settings.cbAutoSize = false;
    settings.Load();
    EXPECT_EQ(settings.rgQuality, 0);
    EXPECT_FALSE(settings.cbAutoSize) << "an unknown flag word leaves the setting as it is";
    EXPECT_TRUE(settings.cbGamma);
    EXPECT_FALSE(settings.cbCheckServer);
    EXPECT_EQ(settings.edMaxWidth, "640");
    EXPECT_EQ(settings.edFTPPort, "21") << "a missing key keeps the current value";
}

TEST_F(SettingsFixture, FormVersionBelowZeroDisablesTheLoad) {
    WriteIni("[TSettingsForm]\r\nFormVersion=-1\r\nedSiteTitle_Text=Titel\r\nFTPPassword=1B\r\n");
    settings.Load();
    EXPECT_EQ(settings.edSiteTitle, "");
    EXPECT_EQ(settings.edFTPPassword, "");
}

TEST_F(SettingsFixture, SaveAndLoadRoundTripWithQuotesLinesAndPassword) {
    settings.edSiteTitle = "\"Unsere Reise\"";
    settings.edFootnote = "'x'";
    settings.edImpressum = {"Max M\xFC"
                            "ller",
                            "",
                            "Stra\xDF"
                            "e 1"};
    settings.edFTPPassword = "geheim\xE4";
    settings.rgOverwriteFiles = 0;
    ASSERT_TRUE(settings.Save());
    std::string file = ReadBytes(folders.SettingsFile());
    EXPECT_NE(file.find("edSiteTitle_Text=\"\"Unsere Reise\"\"\r\n"), std::string::npos);

    TProgramSettings loaded(folders, prompts);
    loaded.Load();
    EXPECT_EQ(loaded.edSiteTitle, "\"Unsere Reise\"");
    EXPECT_EQ(loaded.edFootnote, "'x'");
    EXPECT_EQ(loaded.edImpressum, settings.edImpressum);
    EXPECT_EQ(loaded.edFTPPassword, "geheim\xE4");
    EXPECT_EQ(loaded.rgOverwriteFiles, 0);
}

TEST_F(SettingsFixture, EmptyLinesSettingHasNoSectionAndLoadingKeepsTheField) {
    settings.edImpressum = {"alt"};
    ASSERT_TRUE(settings.Save());
    settings.edImpressum.clear();
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ReadBytes(folders.SettingsFile()).find("edImpressum_Lines"), std::string::npos);
    settings.edImpressum = {"getippt"};
    settings.Revert();
    EXPECT_EQ(settings.edImpressum, std::vector<std::string>{"getippt"});
}

TEST_F(SettingsFixture, NewFileHasTheStoredKeyOrder) {
    settings.screen = {1024, 768, 96};
    ASSERT_TRUE(settings.Save());
    std::vector<std::string> lines;
    ReadLineFile(folders.SettingsFile(), lines);
    std::vector<std::string> keys;
    for (const auto& line : lines)
        keys.push_back(line.substr(0, line.find('=')));
    std::vector<std::string> expectedStart = {
        "[TSettingsForm]", "FormVersion",        "Flags",
        "ShowCmd",         "PixelsPerInch",      "MinMaxPos(1024x768)",
        "MinMaxPos",       "NormPos(1024x768)",  "NormPos",
        "Visible",         "cbAutoSize_Checked", "cbDontEnlarge_Checked"};
    ASSERT_GE(keys.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 12), expectedStart);
    EXPECT_EQ(keys.back(), "FTPPassword");
}

TEST_F(SettingsFixture, UnwritableFileShowsTheMessage) {
    std::filesystem::create_directories(folders.SettingsFile()); // a folder in the file's place
    EXPECT_FALSE(settings.Save());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0],
              "In " + folders.SettingsFile().string() + " kann nicht geschrieben werden");
}

TEST_F(SettingsFixture, MainPlacementRoundTripAndScreenRules) {
    settings.screen = {1920, 1080, 96};
    TWindowPlacement placement;
    placement.show = TShowState::Maximized;
    placement.normal = {10, 20, 810, 620};
    ASSERT_TRUE(settings.SaveMainPlacement(placement, 240));
    int width = 0;
    auto loaded = settings.LoadMainPlacement(width);
    EXPECT_EQ(width, 240);
    EXPECT_EQ(loaded.show, TShowState::Maximized);
    ASSERT_TRUE(loaded.hasRect);
    EXPECT_EQ(loaded.placement.normal.right, 810);

    settings.screen.pixelsPerInch = 144;
    EXPECT_FALSE(settings.LoadMainPlacement(width).hasRect) << "positions only at the same pixels per inch";
}

TEST(PasswordScrambling, KeyPositionsAndBadInput) {
    // The first byte pairs with the key's second character ('E'), the 16th with its first ('Z').
    EXPECT_EQ(ScramblePassword("E"), "00");
    EXPECT_EQ(ScramblePassword(std::string(16, 'Z')).substr(30, 2), "00");
    EXPECT_EQ(ScramblePassword(std::string(32, 'Z')).substr(62, 2), "00");
    EXPECT_EQ(ScramblePassword(""), "");
    std::string password = "Ein langes Passwort \xFC\xDF mit mehr als 32 Zeichen!";
    EXPECT_EQ(UnscramblePassword(ScramblePassword(password)), password);
    EXPECT_EQ(UnscramblePassword("  " + ScramblePassword("ab") + " \r"), "ab");
    EXPECT_EQ(UnscramblePassword("ABC"), "") << "odd length";
    EXPECT_EQ(UnscramblePassword(""), "");
    // A pair that is not hexadecimal repeats the number before it: "00" then "zz" read as 0, 0.
    EXPECT_EQ(UnscramblePassword("00zz"), std::string("E") + "K");
    EXPECT_EQ(UnscramblePassword("0a"), UnscramblePassword("0A"));
}

// FTPS is on for a new installation; one that already published in plain FTP keeps doing so until
// the user switches it on. Trusted fingerprints go to their own section, one key per host:port.
TEST_F(SettingsFixture, EncryptionDefaultsAndTrustedCertificates) {
    settings.Load();
    EXPECT_TRUE(settings.cbUseTLS);
    EXPECT_FALSE(settings.cbRequireTLS);

    WriteIni("[TSettingsForm]\r\nedFTPServer_Text=ftp.example.org\r\n");
    TProgramSettings older{folders, prompts};
    older.Load();
    EXPECT_FALSE(older.cbUseTLS);
    older.cbUseTLS = true;
    older.cbRequireTLS = true;
    ASSERT_TRUE(older.Save());
    const std::string fingerprint(64, 'A');
    ASSERT_TRUE(older.StoreTrustedCertificate("ftp.example.org:21", fingerprint));

    TProgramSettings again{folders, prompts};
    again.Load();
    EXPECT_TRUE(again.cbUseTLS);
    EXPECT_TRUE(again.cbRequireTLS);
    EXPECT_EQ(again.TrustedCertificate("ftp.example.org:21"), fingerprint);
    EXPECT_EQ(again.TrustedCertificate("ftp.example.org:2121"), "");
    EXPECT_NE(
        ReadBytes(folders.SettingsFile()).find("[TrustedCertificates]\r\nftp.example.org:21=" + fingerprint),
        std::string::npos);
}
