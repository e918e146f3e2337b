#include "site_generator/style_files.h"

#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/text_utils.h"
#include "site_generator/site_texts.h"

#include <algorithm>

namespace vistrel {
namespace {

constexpr std::string_view kTemplateExtensions = ".htm.html.xhtml.xml.php.php3.php4.js.asp";

// The head lines only look for ASCII markup, so an ASCII lower-case copy is enough.
std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

int FirstLineContaining(const std::vector<std::string>& page, std::string_view needle) {
    for (size_t i = 0; i < page.size(); ++i)
        if (AsciiLower(page[i]).find(needle) != std::string::npos) return static_cast<int>(i);
    return -1;
}

// The version text: the four numbers and one blank.
constexpr const char* kVersionText = VISTREL_VERSION " ";

} // namespace

bool IsTemplateName(std::string_view fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension = AsciiLower(fileName.substr(dot));
    return kTemplateExtensions.find(extension) != std::string_view::npos;
}

TStyleFiles::TStyleFiles(const std::filesystem::path& styleFolder)
    : folder_(styleFolder), names_(ListFolderWithin(styleFolder, EntryKind::Files, styleFolder)) {}

std::string TStyleFiles::Find(std::string_view name) const {
    auto it = std::find_if(names_.begin(), names_.end(),
                           [&](const std::string& n) { return AnsiSameText(n, name); });
    return it == names_.end() ? std::string() : *it;
}

bool TStyleFiles::IsOverviewTemplate(std::string_view name) {
    return AnsiSameText(name, "thumbs.html");
}
bool TStyleFiles::IsPictureTemplate(std::string_view name) {
    return AnsiSameText(name, "images.html");
}
bool TStyleFiles::IsPreviewPicture(std::string_view name) {
    return AnsiSameText(name, "style.jpg");
}

const THeadLines& ProgramHeadLines() {
    static const std::string title = Text(site_texts::kApplicationTitle);
    static const THeadLines lines = {
        FormatMessage(Text(site_texts::kCopyrightMeta), {title, kVersionText}),
        "<meta NAME=\"Author\" CONTENT=\"" + title + "\">",
        Text(site_texts::kLegalMeta),
        FormatMessage(Text(site_texts::kGeneratorComment), {title, kVersionText}),
        Text(site_texts::kCopyrightComment),
    };
    return lines;
}

void InsertHeadLines(std::vector<std::string>& page, const THeadLines& head) {
    int anchor = -1;
    for (std::string_view needle : {"<meta", "<title>", "<head>", "<html>"}) {
        anchor = FirstLineContaining(page, needle);
        if (anchor >= 0) break;
    }
    if (anchor < 0 && !page.empty()) anchor = 0;
    page.insert(page.begin() + (anchor + 1), {head.copyright, head.author, head.legal});
    page.push_back(head.generatorComment);
    page.push_back(head.copyrightComment);
}

} // namespace vistrel
