#pragma once
// Checks of generated pages that need no browser: markup faults through tidy, local references that
// lead nowhere, and the text a visitor reads in links and headings. The pages are our own templates'
// output, so a small tag reader (double-quoted attributes, no nesting of the same element) suffices.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vistrel::testing {

struct TTag {
    std::string name; // lower case, "/a" for a closing tag
    std::map<std::string, std::string> attributes;
    size_t begin = 0; // offset of "<"
    size_t end = 0;   // offset behind ">"
    bool Has(const std::string& attribute) const { return attributes.count(attribute) > 0; }
    std::string Attribute(const std::string& attribute) const;
};

// The tags of a page in order, without comments and without what stands inside <script>.
std::vector<TTag> Tags(const std::string& html);
// The text of the element that `tag` opens, up to its closing tag: inner tags removed, runs of white
// space joined to one blank, trimmed.
std::string ElementText(const std::string& html, const TTag& tag);
// The text of the first element named `name`, or nothing.
std::string FirstElementText(const std::string& html, const std::string& name);

// What tidy reports about the pages (one line each, "page:line:column: Warning: ..."), except what is
// not a fault of the markup: elements trimmed because an empty setting left them empty, and the
// "loading", "fetchpriority" and "aria-current" attributes and "sizes" on <source>, which are newer
// than Debian's tidy.
std::vector<std::string> TidyFindings(const std::filesystem::path& root,
                                      const std::vector<std::filesystem::path>& pages);

// Every src, href and srcset candidate of the page that names a local file which does not exist, as "tag
// attribute=value"; an empty value counts as missing. A <base href> moves the folder the references start
// from. An image marked data-full also needs the picture of the same name in "images/" (the page script swaps
// the thumbnail for it).
std::vector<std::string> MissingReferences(const std::filesystem::path& page, const std::string& html);

// Links a visitor cannot read: no text, no aria-label and no picture. A link to an empty mail address passes
// only when the style sheet `css` hides it.
std::vector<std::string> LinksWithoutText(const std::string& html, const std::string& css);

} // namespace vistrel::testing
