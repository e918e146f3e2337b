#include "settings/setting_table.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

#include <set>

using namespace vistrel;
using vistrel::testing::TempProgramFolder;

namespace {

struct SettingTableFixture : ::testing::Test, TempProgramFolder {};

bool KindFitsMember(const TSettingDescription& setting) {
    switch (setting.kind) {
    case TSettingKind::Flag:
        return std::holds_alternative<bool TProgramSettings::*>(setting.member);
    case TSettingKind::Text:
    case TSettingKind::Password:
        return std::holds_alternative<std::string TProgramSettings::*>(setting.member);
    case TSettingKind::Choice:
        return std::holds_alternative<int TProgramSettings::*>(setting.member) &&
               setting.check.rule == TValueRule::Choice && setting.check.high > 0;
    case TSettingKind::Lines:
        return std::holds_alternative<std::vector<std::string> TProgramSettings::*>(setting.member);
    }
    return false;
}

// A value unlike the default of every kind, so a round trip shows each setting kept on its own.
void SetOtherValue(TProgramSettings& settings, const TSettingDescription& setting, int index) {
    struct TOther {
        TProgramSettings& settings;
        int index;
        void operator()(bool TProgramSettings::*m) const { settings.*m = !(settings.*m); }
        void operator()(std::string TProgramSettings::*m) const {
            settings.*m = "W\xE4rt " + std::to_string(index);
        }
        void operator()(int TProgramSettings::*m) const { settings.*m = settings.*m == 0 ? 1 : 0; }
        void operator()(std::vector<std::string> TProgramSettings::*m) const {
            settings.*m = {"Zeile " + std::to_string(index), "", "Ende"};
        }
    };
    std::visit(TOther{settings, index}, setting.member);
}

bool SameValue(const TProgramSettings& a, const TProgramSettings& b, const TSettingDescription& setting) {
    return std::visit([&](auto member) { return a.*member == b.*member; }, setting.member);
}

} // namespace

TEST(SettingTable, RowsAreConsistent) {
    std::set<std::string> names;
    std::set<std::string> keys;
    for (const TSettingDescription& setting : SettingDescriptions()) {
        SCOPED_TRACE(setting.name);
        EXPECT_TRUE(names.insert(setting.name).second) << "name twice";
        EXPECT_TRUE(keys.insert(StoredKey(setting)).second) << "stored key twice";
        EXPECT_TRUE(KindFitsMember(setting));
        if (setting.kind == TSettingKind::Flag) {
            const std::string value = setting.defaultValue;
            EXPECT_TRUE(value == "True" || value == "False");
        }
    }
    // Pages follow the dialog's order, so the CLI lists page after page.
    auto rows = SettingDescriptions();
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(rows[i - 1].page, rows[i].page) << rows[i].name;
}

TEST(SettingTable, StoredKeysAndLookUp) {
    EXPECT_EQ(StoredKey(*FindSettingDescription("cbAutoSize")), "cbAutoSize_Checked");
    EXPECT_EQ(StoredKey(*FindSettingDescription("edFTPServer")), "edFTPServer_Text");
    EXPECT_EQ(StoredKey(*FindSettingDescription("rgQuality")), "rgQuality_ItemIndex");
    EXPECT_EQ(StoredKey(*FindSettingDescription("edImpressum")), "TSettingsForm.edImpressum_Lines");
    EXPECT_EQ(StoredKey(*FindSettingDescription("edFTPPassword")), "FTPPassword");

    EXPECT_EQ(FindSettingDescription("edFTPServer_Text"), FindSettingDescription("edFTPServer"));
    EXPECT_EQ(FindSettingDescription("edImpressum_Lines"), FindSettingDescription("edImpressum"));
    EXPECT_EQ(FindSettingDescription("rgQuality_ItemIndex"), FindSettingDescription("rgQuality"));
    EXPECT_EQ(FindSettingDescription("edIndexText1")->name, std::string("edIndexText1"));
    for (const char* unknown : {"", "edIndexText", "edIndexText12", "edFTPServer_", "edFTPServer_Textx",
                                "FTPPassword", "edftpserver"})
        EXPECT_EQ(FindSettingDescription(unknown), nullptr) << unknown;
}

TEST(SettingTable, FileOrderHoldsEveryRowOncePasswordLast) {
    auto order = SettingsInFileOrder();
    ASSERT_EQ(order.size(), SettingDescriptions().size());
    std::set<const TSettingDescription*> seen(order.begin(), order.end());
    EXPECT_EQ(seen.size(), order.size());
    EXPECT_EQ(seen.count(nullptr), 0u);
    EXPECT_EQ(order.front()->name, std::string("cbAutoSize"));
    EXPECT_EQ(order.back()->kind, TSettingKind::Password);
}

// Each row reads back what it wrote, through its own key, whatever the neighbouring rows hold.
TEST_F(SettingTableFixture, EverySettingSurvivesSaveAndLoad) {
    int index = 0;
    for (const TSettingDescription& setting : SettingDescriptions())
        SetOtherValue(settings, setting, index++);
    ASSERT_TRUE(settings.Save());

    TProgramSettings loaded(folders, prompts);
    for (const TSettingDescription& setting : SettingDescriptions())
        ASSERT_FALSE(SameValue(settings, loaded, setting)) << setting.name << " still has its default";
    loaded.Load();
    for (const TSettingDescription& setting : SettingDescriptions())
        EXPECT_TRUE(SameValue(loaded, settings, setting)) << setting.name;
}

TEST_F(SettingTableFixture, DefaultsOfANewInstallation) {
    EXPECT_TRUE(settings.cbAutoSize);
    EXPECT_EQ(settings.edMaxWidth, "500");
    EXPECT_EQ(settings.edNoOfThumbs, "12");
    EXPECT_EQ(settings.rgOverwriteFiles, 1);
    EXPECT_TRUE(settings.cbAllowInvitations);
    EXPECT_TRUE(settings.cbCheckServer);
    EXPECT_FALSE(settings.cbParallelUploads);
    EXPECT_TRUE(settings.edImpressum.empty());
}
