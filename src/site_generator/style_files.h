#pragma once
// The files of one style folder as the site builder sees them: templates, which are expanded, and
// other files, which are copied. Names are compared without regard to case, as on the file system
// the styles were first made for.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

// True when the name's extension, lower-cased with its dot, occurs in ".htm.html.xhtml.xml.php.php3.
// php4.js.asp". Shorter pieces of that text count too (".ht", ".p"); a name without a dot does not.
bool IsTemplateName(std::string_view fileName);

class TStyleFiles {
public:
    // The plain files directly in `styleFolder` (subfolders are ignored), sorted without regard to case.
    explicit TStyleFiles(const std::filesystem::path& styleFolder);

    const std::filesystem::path& Folder() const { return folder_; }
    const std::vector<std::string>& Names() const { return names_; }
    int Count() const { return static_cast<int>(names_.size()); }

    // The stored spelling of `name`, or empty when the style has no such file.
    std::string Find(std::string_view name) const;
    std::filesystem::path PathOf(const std::string& name) const { return folder_ / name; }

    // "thumbs.html", "images.html" and "style.jpg" are never written under their own names.
    static bool IsOverviewTemplate(std::string_view name);
    static bool IsPictureTemplate(std::string_view name);
    static bool IsPreviewPicture(std::string_view name);

private:
    std::filesystem::path folder_;
    std::vector<std::string> names_;
};

// The program's five head lines of every generated page (see InsertHeadLines).
struct THeadLines {
    std::string copyright;
    std::string author;
    std::string legal;
    std::string generatorComment;
    std::string copyrightComment;
};

// The head lines of this program with its application title and version text.
const THeadLines& ProgramHeadLines();

// Puts the three meta lines behind the first line that contains "<meta", else "<title>", else
// "<head>", else "<html>" (case ignored), else behind the first line; an empty page gets them as its
// first lines. The two comment lines go to the end.
void InsertHeadLines(std::vector<std::string>& page, const THeadLines& head);

} // namespace vistrel
