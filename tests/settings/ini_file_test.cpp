#include "settings/ini_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

TEST(IniFile, ReaderRules) {
    TempDir dir;
    auto file = dir / "v.ini";
    std::string longValue(3000, 'x');
    WriteBytes(file, "[TSettingsForm]\r\n"
                     "  edSiteTitle_Text =   \"Mein Titel\"  \r\n"
                     "single='a'\r\n"
                     "inner=\"\"zitiert\"\"\r\n"
                     "mixed=\"a'\r\n"
                     "long=" +
                         longValue +
                         "\r\n"
                         "noequals\r\n"
                         "[other]\r\n"
                         "edSiteTitle_Text=anders\r\n");
    TIniFile ini = TIniFile::Load(file);
    struct Row {
        const char* name;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"case-insensitive names, trimmed, quotes removed", "tsettingsform", "EDSITETITLE_TEXT",
         "Mein Titel"},
        {"single quotes removed", "TSettingsForm", "single", "a"},
        {"only one pair removed", "TSettingsForm", "inner", "\"zitiert\""},
        {"unmatched quotes stay", "TSettingsForm", "mixed", "\"a'"},
        {"value capped at 2047", "TSettingsForm", "long", std::string(2047, 'x')},
        {"line without = is no key", "TSettingsForm", "noequals", std::nullopt},
        {"sections are separate", "other", "edSiteTitle_Text", "anders"},
        {"missing section", "nirgends", "x", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ini.Read(row.section, row.key), row.expected) << row.name;
}

TEST(IniFile, WriterReplacesInPlaceAndAppendsAtTheEnds) {
    TempDir dir;
    auto file = dir / "v.ini";
    WriteBytes(file, "; Kommentar\r\n[A]\r\none=1\r\ntwo=2\r\n\r\n[B]\r\nx=y\r\n");
    TIniFile ini = TIniFile::Load(file);
    ini.Write("a", "ONE", "eins");
    ini.Write("A", "three", "3");
    ini.Write("C", "neu", "ja");
    ini.Save(file);
    EXPECT_EQ(
        ReadBytes(file),
        "; Kommentar\r\n[A]\r\nONE=eins\r\ntwo=2\r\nthree=3\r\n\r\n[B]\r\nx=y\r\n\r\n[C]\r\nneu=ja\r\n");
}

TEST(IniFile, EraseSectionRemovesItWhole) {
    TIniFile ini;
    ini.Write("A", "k", "v");
    ini.Write("A.Lines", "Count", "1");
    ini.Write("A.Lines", "Item0", "x");
    ini.Write("Z", "k", "v");
    ini.EraseSection("a.lines");
    EXPECT_FALSE(ini.SectionExists("A.Lines"));
    EXPECT_EQ(ini.Read("Z", "k"), "v");
    EXPECT_EQ(ini.Read("A", "k"), "v");
}
