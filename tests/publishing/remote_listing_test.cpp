// Reading the server's listing lines.
#include "publishing/remote_listing.h"

#include <gtest/gtest.h>

using namespace vistrel;

namespace {

struct ListingCase {
    const char* name;
    std::string line;
    TListingEntry kind;
    std::string entryName;
};

class UnixListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(UnixListingTest, Classifies) {
    TListingLine entry = ParseUnixListLine(GetParam().line);
    EXPECT_EQ(entry.kind, GetParam().kind);
    EXPECT_EQ(entry.name, GetParam().entryName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnixListingTest,
    ::testing::Values(
        ListingCase{"Folder", "drwxr-xr-x 2 user group 512 Jan 1 12:00 bilder", TListingEntry::Folder,
                    "bilder"},
        ListingCase{"Parent", "drwxr-xr-x 2 user group 512 Jan 1 12:00 ..", TListingEntry::Ignored, ""},
        ListingCase{"Self", "drwxr-xr-x 2 user group 512 Jan  1 12:00 .", TListingEntry::Ignored, ""},
        ListingCase{"FileWithBlanksInName", "-rw-r--r-- 1 user group 10 Jan 1 12:00 my  file.txt",
                    TListingEntry::File, "my  file.txt"},
        ListingCase{"DotFile", "-rw-r--r-- 1 user group 10 Dec 31 2023 .htaccess", TListingEntry::File,
                    ".htaccess"},
        ListingCase{"NoGroupColumn", "-rw-r--r-- 1 owner 10 Mar 3 09:15 a b", TListingEntry::File, "a b"},
        ListingCase{"NumericDate", "-rw-r--r-- 1 u g 2024 Jan 1 12:00 Jan 1 12:00 x", TListingEntry::File,
                    "Jan 1 12:00 x"},
        ListingCase{"Link", "lrwxrwxrwx 1 user group 10 Jan 1 12:00 link -> x", TListingEntry::Ignored, ""},
        ListingCase{"Total", "total 12", TListingEntry::Ignored, ""},
        ListingCase{"FolderWithoutColumns", "daten", TListingEntry::Ignored, ""},
        ListingCase{"FileWithoutName", "-rw-r--r-- 1 user group 10 Jan 1 12:00", TListingEntry::Ignored, ""},
        ListingCase{"Empty", "", TListingEntry::Ignored, ""}),
    [](const auto& info) { return std::string(info.param.name); });

class MlsdListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(MlsdListingTest, Classifies) {
    TListingLine entry = ParseMlsdLine(GetParam().line);
    EXPECT_EQ(entry.kind, GetParam().kind);
    EXPECT_EQ(entry.name, GetParam().entryName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MlsdListingTest,
    ::testing::Values(ListingCase{"File", "type=file;size=10;modify=20240101120000; my file.txt",
                                  TListingEntry::File, "my file.txt"},
                      ListingCase{"FolderInUpperCase", "Type=Dir;Perm=el; bilder", TListingEntry::Folder,
                                  "bilder"},
                      ListingCase{"DotFile", "type=file;size=1; .htaccess", TListingEntry::File, ".htaccess"},
                      ListingCase{"Current", "type=cdir; .", TListingEntry::Ignored, ""},
                      ListingCase{"Parent", "type=pdir; ..", TListingEntry::Ignored, ""},
                      ListingCase{"Link", "type=OS.unix=slink:/etc/passwd; leak", TListingEntry::Ignored, ""},
                      ListingCase{"NoFacts", "name-only", TListingEntry::Ignored, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteNames, OnlyPlainNamesAndBareNlstNames) {
    EXPECT_TRUE(IsPlainRemoteName("my file.txt"));
    EXPECT_TRUE(IsPlainRemoteName(".htaccess"));
    for (const char* bad : {"", ".", "..", "a/b", "..\\x"})
        EXPECT_FALSE(IsPlainRemoteName(bad)) << bad;
    EXPECT_EQ(NlstName("./a.jpg"), "a.jpg");
    EXPECT_EQ(NlstName("web/images/a b.jpg"), "a b.jpg");
}
} // namespace
