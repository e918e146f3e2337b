#include "site_styles/page_checks.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cctype>

namespace fs = std::filesystem;

namespace vistrel::testing {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Reads the tag at `at` (which holds "<"); the tag ends at the first ">" outside a quoted value.
TTag ReadTag(const std::string& html, size_t at) {
    TTag tag;
    tag.begin = at;
    size_t i = at + 1;
    while (i < html.size() && !IsSpace(html[i]) && html[i] != '>')
        tag.name += html[i++];
    tag.name = Lower(tag.name);
    while (i < html.size() && html[i] != '>') {
        if (IsSpace(html[i]) || html[i] == '/') {
            ++i;
            continue;
        }
        std::string name;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != '=' && html[i] != '>')
            name += html[i++];
        std::string value;
        if (i < html.size() && html[i] == '=') {
            ++i;
            char quote = i < html.size() && (html[i] == '"' || html[i] == '\'') ? html[i++] : ' ';
            while (i < html.size() && html[i] != quote && !(quote == ' ' && html[i] == '>'))
                value += html[i++];
            if (quote != ' ' && i < html.size()) ++i;
        }
        tag.attributes[Lower(name)] = value;
    }
    tag.end = std::min(i + 1, html.size());
    return tag;
}

std::string CollapseSpace(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (!IsSpace(c))
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool IsLocal(const std::string& reference) {
    if (reference.empty()) return true;
    if (reference[0] == '#' || reference.rfind("//", 0) == 0) return false;
    size_t colon = reference.find(':');
    size_t slash = reference.find('/');
    return colon == std::string::npos || (slash != std::string::npos && slash < colon);
}

std::string WithoutQuery(const std::string& reference) {
    return reference.substr(0, reference.find_first_of("?#"));
}

// The folder relative references start from: the page's, or the one its <base href> names.
fs::path ReferenceFolder(const fs::path& page, const std::vector<TTag>& tags) {
    for (const TTag& tag : tags)
        if (tag.name == "base" && tag.Has("href"))
            return (page.parent_path() / WithoutQuery(tag.Attribute("href"))).parent_path();
    return page.parent_path();
}

} // namespace

std::string TTag::Attribute(const std::string& attribute) const {
    auto found = attributes.find(attribute);
    return found == attributes.end() ? std::string() : found->second;
}

std::vector<TTag> Tags(const std::string& html) {
    std::vector<TTag> tags;
    size_t at = html.find('<');
    while (at != std::string::npos) {
        if (html.compare(at, 4, "<!--") == 0) {
            size_t close = html.find("-->", at + 4);
            at = close == std::string::npos ? close : html.find('<', close + 3);
            continue;
        }
        char next = at + 1 < html.size() ? html[at + 1] : '\0';
        if (!std::isalpha(static_cast<unsigned char>(next)) && next != '/' && next != '!') {
            at = html.find('<', at + 1);
            continue;
        }
        TTag tag = ReadTag(html, at);
        tags.push_back(tag);
        size_t from = tag.end;
        if (tag.name == "script") {
            size_t close = Lower(html).find("</script", from);
            from = close == std::string::npos ? html.size() : close;
        }
        at = html.find('<', from);
    }
    return tags;
}

std::string ElementText(const std::string& html, const TTag& tag) {
    size_t close = Lower(html).find("</" + tag.name, tag.end);
    std::string inner =
        html.substr(tag.end, close == std::string::npos ? std::string::npos : close - tag.end);
    std::string text;
    bool inTag = false;
    for (char c : inner) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            text += c;
    }
    return CollapseSpace(text);
}

std::string FirstElementText(const std::string& html, const std::string& name) {
    for (const TTag& tag : Tags(html))
        if (tag.name == name) return ElementText(html, tag);
    return {};
}

std::vector<std::string> TidyFindings(const fs::path& root, const std::vector<fs::path>& pages) {
    QStringList arguments = {QStringLiteral("-errors"),          QStringLiteral("-quiet"),
                             QStringLiteral("--gnu-emacs"),      QStringLiteral("yes"),
                             QStringLiteral("--input-encoding"), QStringLiteral("win1252")};
    for (const fs::path& page : pages)
        arguments << QString::fromStdString(fs::relative(page, root).generic_string());
    QProcess tidy;
    tidy.setWorkingDirectory(QString::fromStdString(root.string()));
    tidy.start(QStringLiteral("tidy"), arguments);
    if (!tidy.waitForStarted(10000)) return {"tidy could not be started: install the Debian package tidy"};
    tidy.waitForFinished(60000);
    std::vector<std::string> findings;
    std::string line;
    for (char c : tidy.readAllStandardError().toStdString() + "\n") {
        if (c != '\n') {
            line += c;
            continue;
        }
        bool reported =
            line.find(": Warning: ") != std::string::npos || line.find(": Error: ") != std::string::npos;
        bool harmless = line.find("Warning: trimming empty <") != std::string::npos ||
                        line.find("proprietary attribute \"loading\"") != std::string::npos ||
                        line.find("proprietary attribute \"fetchpriority\"") != std::string::npos ||
                        line.find("<source> proprietary attribute \"sizes\"") != std::string::npos ||
                        line.find("proprietary attribute \"aria-current\"") != std::string::npos;
        if (reported && !harmless) findings.push_back(line);
        line.clear();
    }
    if (tidy.exitStatus() != QProcess::NormalExit) findings.push_back("tidy did not finish");
    return findings;
}

std::vector<std::string> MissingReferences(const fs::path& page, const std::string& html) {
    std::vector<TTag> tags = Tags(html);
    fs::path folder = ReferenceFolder(page, tags);
    std::vector<std::string> missing;
    auto check = [&](const TTag& tag, const std::string& attribute, const std::string& reference) {
        if (!IsLocal(reference)) return;
        std::string file = WithoutQuery(reference);
        if (file.empty() || !fs::is_regular_file(folder / file))
            missing.push_back("<" + tag.name + "> " + attribute + "=\"" + reference + "\"");
    };
    for (const TTag& tag : tags) {
        if (tag.name == "base") continue;
        for (const char* attribute : {"src", "href"})
            if (tag.Has(attribute)) check(tag, attribute, tag.Attribute(attribute));
        // Every candidate of a srcset ("url 480w, url 800w") must exist as well.
        if (tag.Has("srcset")) {
            std::string list = tag.Attribute("srcset");
            for (size_t at = 0; at < list.size();) {
                size_t comma = list.find(',', at);
                std::string candidate =
                    list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
                size_t first = candidate.find_first_not_of(' ');
                if (first != std::string::npos) {
                    candidate = candidate.substr(first);
                    check(tag, "srcset", candidate.substr(0, candidate.find(' ')));
                }
                at = comma == std::string::npos ? list.size() : comma + 1;
            }
        }
        std::string source = tag.Attribute("src");
        size_t thumbs = source.rfind("thumbs/");
        if (tag.Has("data-full") && thumbs != std::string::npos)
            check(tag, "data-full", source.substr(0, thumbs) + "images/" + source.substr(thumbs + 7));
    }
    return missing;
}

std::vector<std::string> LinksWithoutText(const std::string& html, const std::string& css) {
    bool emptyMailHidden = css.find("a[href=\"mailto:\"] { display: none; }") != std::string::npos;
    std::vector<std::string> unreadable;
    for (const TTag& tag : Tags(html)) {
        if (tag.name != "a" || !ElementText(html, tag).empty() || !tag.Attribute("aria-label").empty())
            continue;
        // A picture link reads as its picture: its alt text is the picture's title, which is the user's.
        size_t close = html.find("</a>", tag.end);
        if (html.substr(tag.end, close - tag.end).find("<img") != std::string::npos) continue;
        if (tag.Attribute("href") == "mailto:" && emptyMailHidden) continue;
        unreadable.push_back(html.substr(tag.begin, tag.end - tag.begin));
    }
    return unreadable;
}

} // namespace vistrel::testing
