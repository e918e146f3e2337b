#pragma once
// A program folder with the shipped styles and scripts, a few albums of real small JPEG pictures and
// either the default (empty) settings or filled ones; the site of one style is generated into it.
#include "support/test_support.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace vistrel::testing {

enum class TSettingsFill { Empty, Filled };
inline void PrintTo(TSettingsFill fill, std::ostream* out) {
    *out << (fill == TSettingsFill::Empty ? "empty" : "filled");
}

class StyleSite {
public:
    // Copies the shipped styles and scripts, writes the albums and generates the site of `style`.
    StyleSite(const std::string& style, TSettingsFill fill);

    const std::filesystem::path& Galleries() const { return galleries_; }
    // Generates the site again, after a test changed the albums' pictures.
    void Regenerate() { Generate(style_, fill_); }
    // Every generated page (".html", ".htm") of the site root and the album folders, sorted.
    std::vector<std::filesystem::path> Pages() const;
    // The page's bytes; `relative` is a path below the galleries folder ("sommer/index.html").
    std::string Page(const std::string& relative) const;

    static const std::vector<std::string>& ShippedStyles();

    // The values the filled settings carry, for tests that look for them on the pages.
    static constexpr const char* kSiteTitle = "Anna Berger \x96 Fotografie";
    static constexpr const char* kEmail = "anna@example.org";

private:
    void WriteAlbums(TSettingsFill fill);
    void Generate(const std::string& style, TSettingsFill fill);

    TempDir dir_;
    std::filesystem::path galleries_;
    std::string style_;
    TSettingsFill fill_;
};

} // namespace vistrel::testing
