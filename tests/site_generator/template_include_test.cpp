// INCLUDE: where the included file's lines land, where names are looked up, and what stays out.
#include "template_fixture.h"

#include <filesystem>

using namespace vistrel;
using Lines = std::vector<std::string>;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

struct TemplateInclude : vistrel::testing::TemplateTest {
    TemplateInclude() {
        fs::create_directories(state.StyleDir);
        fs::create_directories(state.ScriptsDir);
        WriteBytes(state.StyleDir / "cell.html", "inner\r\n");
    }
    void WriteStyleFile(const std::string& name, const std::string& bytes) {
        fs::create_directories((state.StyleDir / name).parent_path());
        WriteBytes(state.StyleDir / name, bytes);
    }
};

TEST_F(TemplateInclude, ReplacesItsWholeLineAndStartsOnTheEmptiedLine) {
    EXPECT_EQ(Expand("top\r\n<td>before<!--/#INCLUDE=cell.html#/-->after</td>\r\nnext"),
              (Lines{"top", "inner", "", "next", ""}));
}

TEST_F(TemplateInclude, LinesOfTheIncludedFileAreExpanded) {
    WriteStyleFile("head.html", "<h1>/#SITETITLE#/</h1>\r\n/#GALLERYTITLE#/");
    EXPECT_EQ(Expand("/#INCLUDE=head.html#/"), (Lines{"<h1>Site</h1>", "Berge", "", ""}));
}

TEST_F(TemplateInclude, NamesAreLookedUpWithoutRegardToCase) {
    WriteStyleFile("Parts/Foot.Html", "foot");
    EXPECT_EQ(ExpandLine("/#include=parts/foot.html#/"), "foot");
    EXPECT_EQ(ExpandLine("/#INCLUDE=PARTS\\FOOT.HTML#/"), "foot") << "backslash separates folders too";
}

TEST_F(TemplateInclude, ScriptsComeFromTheScriptFolder) {
    WriteBytes(state.ScriptsDir / "nav.js", "script");
    WriteStyleFile("nav.js", "style copy");
    EXPECT_EQ(ExpandLine("/#INCLUDE=Nav.Js#/"), "script");
}

TEST_F(TemplateInclude, WithoutAFileNothingIsIncludedButTheLineStillGoes) {
    struct Row {
        const char* name;
        const char* text;
    };
    const Row rows[] = {
        {"keyword without equals sign", "a/#INCLUDE#/b\r\nc"},
        {"empty name", "a/#INCLUDE=#/b\r\nc"},
        {"missing file", "a/#INCLUDE=nothing.html#/b\r\nc"},
        {"folder instead of a file", "a/#INCLUDE=.#/b\r\nc"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Expand(row.text), (Lines{"", "c", ""})) << row.name;
}

TEST_F(TemplateInclude, FilesOutsideTheStyleAndScriptFoldersStayOut) {
    WriteBytes(dir / "secret.txt", "secret");
    fs::create_directories(dir / "styles" / "other");
    WriteBytes(dir / "styles" / "other" / "x.html", "other style");
    fs::create_symlink(dir / "secret.txt", state.StyleDir / "link.html");
    const std::string absolute = "/#INCLUDE=/" + (dir / "secret.txt").string() + "#/";
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"parent folder", "/#INCLUDE=../secret.txt#/"},
        {"sibling style", "/#INCLUDE=../styles/other/x.html#/"},
        {"absolute name is joined to the folder", absolute},
        {"link pointing outside", "/#INCLUDE=link.html#/"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExpandLine(row.text), "") << row.name;
}

TEST_F(TemplateInclude, ParentPartsThatStayInsideAreFine) {
    WriteStyleFile("sub/x.html", "x");
    EXPECT_EQ(ExpandLine("/#INCLUDE=sub/../cell.html#/"), "inner");
}

TEST_F(TemplateInclude, IncludedFileHasItsOwnCountersAndSharesTheRunState) {
    WriteStyleFile("entry.html", "/#GALLERYNUMBER#/=/#GALLERYTITLE#/");
    albums[1].Published = false;
    EXPECT_EQ(Expand("/#ALLGALLERIES#/\r\n/#INCLUDE=entry.html#/\r\n/#ENDALLGALLERIES#/"),
              (Lines{"", "0=Berge", "", "", "0=Dorf", "", "", ""}));
}

TEST_F(TemplateInclude, IncludeCycleIsCutAt16Levels) {
    WriteStyleFile("self.html", "/#INCLUDE=self.html#/\r\nx");
    Lines output;
    ExpandTemplate(state, state.StyleDir / "self.html", output);
    EXPECT_EQ(std::count(output.begin(), output.end(), "x"), 1 + kMaxIncludeDepth);
}

} // namespace
