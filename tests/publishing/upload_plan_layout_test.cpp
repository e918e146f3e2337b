// The upload plan takes an album's folders from the album layout: the large versions and the
// site's renditions go to the server where the album has them, never through a link.
#include "album_library/album_list.h"
#include "publishing/upload_plan.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

TEST(UploadPlanLayout, LargeVersionsAndRenditionsGoWhereTheyExist) {
    TempDir dir;
    const auto galleries = dir / "galleries";
    WriteBytes(galleries / "Urlaub" / "large" / "a.jpg", "a");
    WriteBytes(galleries / "Urlaub" / "renditions" / "a-480.webp", "w");
    std::filesystem::create_directories(galleries / "Zoo");
    WriteBytes(dir / "outside" / "secret.txt", "secret");
    std::filesystem::create_symlink(dir / "outside", galleries / "Zoo" / "large");

    ScriptedPrompts prompts;
    TAlbumList albums(galleries, prompts);
    albums.Albums() = {{"Urlaub", "", "", "", "Urlaub", true}, {"Zoo", "", "", "", "Zoo", true}};
    TUploadPlan plan = BuildUploadPlan(albums);
    std::string root = galleries.string() + "/";
    EXPECT_EQ(plan.folders, (std::vector<std::string>{root, root + "Urlaub/", root + "Urlaub/images/",
                                                      root + "Urlaub/thumbs/", root + "Urlaub/large/",
                                                      root + "Urlaub/renditions/", root + "Zoo/",
                                                      root + "Zoo/images/", root + "Zoo/thumbs/"}));
}
