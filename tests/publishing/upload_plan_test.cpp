// The upload plan: which local folders and files go to which remote folder.
#include "album_library/album_list.h"
#include "publishing/upload_plan.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

struct PathCase {
    const char* name;
    std::string path;
    std::vector<std::string> parts;
};

class NextPathPartTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(NextPathPartTest, SplitsIntoComponents) {
    std::string path = GetParam().path;
    std::vector<std::string> parts;
    for (std::string part = NextPathPart(path); !part.empty(); part = NextPathPart(path))
        parts.push_back(part);
    EXPECT_EQ(parts, GetParam().parts);
    EXPECT_TRUE(path.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NextPathPartTest,
                         ::testing::Values(PathCase{"Root", "/", {}}, PathCase{"Empty", "", {}},
                                           PathCase{"Relative", "web/site/", {"web", "site"}},
                                           PathCase{"Absolute", "/web/site/", {"web", "site"}},
                                           PathCase{"DoubledSlashes", "//web//site", {"web", "site"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UploadPlan, RemoteFolderIsTheRootPlusTheLocalPathBelowTheGalleries) {
    EXPECT_EQ(RemoteFolderFor("/p/galleries/", "/web/", "/p/galleries/Urlaub/images/"),
              "/web/Urlaub/images/");
    EXPECT_EQ(RemoteFolderFor("/p/galleries/", "/", "/p/galleries/"), "/");
    EXPECT_EQ(WithTrailingSlash(""), "/");
    EXPECT_EQ(WithTrailingSlash("web/site"), "web/site/");
    EXPECT_EQ(WithTrailingSlash("/web/"), "/web/");
}

TEST(UploadPlan, RootFirstThenEachPublishedAlbumWithImagesAndThumbs) {
    TempDir dir;
    ScriptedPrompts prompts;
    TAlbumList albums(dir / "galleries", prompts);
    albums.Albums() = {{"Urlaub", "", "", "", "Urlaub", true},
                       {"Privat", "", "", "", "Privat", false},
                       {"..", "", "", "", "hostile", true},
                       {"Zoo", "", "", "", "Zoo", true}};
    TUploadPlan plan = BuildUploadPlan(albums);
    std::string root = (dir / "galleries").string() + "/";
    EXPECT_EQ(plan.localRoot, root);
    EXPECT_EQ(plan.folders, (std::vector<std::string>{root, root + "Urlaub/", root + "Urlaub/images/",
                                                      root + "Urlaub/thumbs/", root + "Zoo/",
                                                      root + "Zoo/images/", root + "Zoo/thumbs/"}));
}

TEST(UploadPlan, SendsPlainVisibleFilesOnly) {
    TempDir dir;
    WriteBytes(dir / "b.html", "12");
    WriteBytes(dir / "A.css", "1");
    WriteBytes(dir / ".hidden", "12345");
    std::filesystem::create_directories(dir / "images");
    TFolderFiles files = ListPlanFolder(dir.path().string() + "/");
    EXPECT_EQ(files.names, (std::vector<std::string>{"A.css", "b.html"}));
    EXPECT_EQ(files.bytes, 8) << "hidden files count in the folder's size";
    EXPECT_TRUE(ListPlanFolder((dir / "missing/").string()).names.empty());
}

// Links could carry outside files onto the server: only regular files inside a real album folder go.
TEST(UploadPlan, LeavesOutLinksToFilesAndFolders) {
    TempDir dir;
    const auto galleries = dir / "galleries";
    WriteBytes(dir / "outside" / "secret.txt", "secret");
    WriteBytes(galleries / "Urlaub" / "images" / "a.jpg", "a");
    WriteBytes(galleries / "Urlaub" / "thumbs" / "a.jpg", "a");
    std::filesystem::create_symlink(dir / "outside" / "secret.txt",
                                    galleries / "Urlaub" / "images" / "leak.jpg");
    std::filesystem::create_symlink(dir / "outside" / "secret.txt", galleries / "style.css");
    std::filesystem::create_symlink(dir / "outside", galleries / "Fremd");
    std::filesystem::create_directories(galleries / "Zoo");
    std::filesystem::create_symlink(dir / "outside", galleries / "Zoo" / "images");

    EXPECT_EQ(ListPlanFolder((galleries / "Urlaub" / "images").string() + "/").names,
              (std::vector<std::string>{"a.jpg"}));
    EXPECT_TRUE(ListPlanFolder(galleries.string() + "/").names.empty());

    ScriptedPrompts prompts;
    TAlbumList albums(galleries, prompts);
    albums.Albums() = {{"Urlaub", "", "", "", "Urlaub", true},
                       {"Fremd", "", "", "", "Fremd", true},
                       {"Zoo", "", "", "", "Zoo", true}};
    TUploadPlan plan = BuildUploadPlan(albums);
    std::string root = galleries.string() + "/";
    EXPECT_EQ(plan.folders,
              (std::vector<std::string>{root, root + "Urlaub/", root + "Urlaub/images/",
                                        root + "Urlaub/thumbs/", root + "Zoo/", root + "Zoo/thumbs/"}));
}

} // namespace
