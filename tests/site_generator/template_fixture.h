#pragma once
// A run state with three albums, a picture list and settings, and helpers that expand a template
// given as text and put the pages of an album into the state the way the site builder does.
#include "settings/program_settings.h"
#include "site_generator/template_engine.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::testing {

struct TemplateTest : ::testing::Test, TempProgramFolder {
    std::vector<TAlbumEntry> albums{
        {"Alpen", "Info A", "Text A", "a0.jpg", "Berge", true},
        {"Bodensee", "Info B", "Text B", "b0.jpg", "See", true},
        {"Chiemgau", "Info C", "Text C", "c0.jpg", "Dorf", true},
    };
    TSiteState state;

    TemplateTest() {
        settings.edSiteTitle = "Site";
        state.Albums = &albums;
        state.Settings = &settings;
        state.StyleDir = dir / "style";
        state.ScriptsDir = dir / "scripts";
    }

    std::vector<std::string> Expand(std::string_view text) {
        std::vector<std::string> output;
        ExpandTemplateText(state, text, output);
        return output;
    }
    // The first output line: the whole result of a one-line template.
    std::string ExpandLine(std::string_view text) {
        std::vector<std::string> output = Expand(text);
        return output.empty() ? "<no lines>" : output.front();
    }

    // Pictures "p0.jpg" ... with titles "T0" ...
    void SetPictures(int count) {
        state.Pictures.clear();
        for (int i = 0; i < count; ++i) {
            const std::string n = std::to_string(i);
            state.Pictures.push_back(TPictureEntry({"p" + n + ".jpg", "T" + n, ""}));
        }
    }
    static int PageCount(int pictures, int perPage) { return pictures / perPage + (pictures % perPage > 0); }
    // The album's own templates.
    void SetAlbumPhase(int album, int pictures, int perPage) {
        SetPictures(pictures);
        state.CurrentAlbum = album;
        state.ThumbsPerPage = perPage;
        state.PictureCount = pictures;
        state.FirstThumb = 0;
        state.ThumbPageIndex = 0;
        state.ThumbPageCount = PageCount(pictures, perPage);
        state.ImageScopeCount = pictures;
        state.FirstImage = state.CurrentImage = state.ImagePageIndex = 0;
        state.ImagePageCount = 1;
        state.ImagesPerPage = pictures;
        state.RootMode = false;
    }
    // Overview page `page` (0-based).
    void SetOverviewPhase(int pictures, int perPage, int page) {
        SetAlbumPhase(0, pictures, perPage);
        const bool last = page == state.ThumbPageCount - 1;
        state.PictureCount = last ? pictures - page * perPage : perPage;
        state.FirstThumb = page * perPage;
        state.ThumbPageIndex = page;
    }
    // Picture page `page` (0-based).
    void SetPicturePhase(int pictures, int page) {
        SetAlbumPhase(0, pictures, 12);
        state.ThumbPageIndex = -1;
        state.ImageScopeCount = 1;
        state.FirstImage = state.CurrentImage = state.ImagePageIndex = page;
        state.ImagePageCount = pictures;
        state.ImagesPerPage = 1;
    }
};

} // namespace vistrel::testing
