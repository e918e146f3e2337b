// The small text services every command shares: option splitting, one-line escapes and JSON strings.
#include "cli/cli_commands.h"

#include <cstdio>
#include <ostream>

namespace vistrel::cli {

std::optional<TSplitArgs> SplitArgs(const TCommandArgs& args, const std::set<std::string>& valueOptions,
                                    const std::set<std::string>& flags) {
    TSplitArgs split;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.size() < 3 || word.rfind("--", 0) != 0) {
            split.words.push_back(word);
        } else if (flags.count(word)) {
            split.flags.insert(word);
        } else if (valueOptions.count(word) && i + 1 < args.size() && !split.values.count(word)) {
            split.values[word] = args[++i];
        } else {
            return std::nullopt;
        }
    }
    return split;
}

std::string EscapeLine(const std::string& text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            line += "\\\\";
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            line += "\\n";
            ++i;
        } else if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else {
            line += c;
        }
    }
    return line;
}

std::string UnescapeLine(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            if (next == 'n')
                result += "\r\n";
            else if (next == 't')
                result += '\t';
            else if (next == '\\')
                result += '\\';
            else
                result += std::string{c, next};
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            result += "\r\n";
            ++i;
        } else if (c == '\n') {
            result += "\r\n";
        } else {
            result += c;
        }
    }
    return result;
}

std::string JsonString(const std::string& utf8) {
    std::string json = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\r') {
            json += "\\r";
        } else if (c == '\t') {
            json += "\\t";
        } else if (c < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            json += code;
        } else {
            json += static_cast<char>(c);
        }
    }
    return json + "\"";
}

int FindAlbumOrReport(const TAlbumList& albums, const std::string& argument, TCommandIo io) {
    int album = FindAlbum(albums, argument);
    if (album < 0) io.err << "vistrel-cli: no album " << argument << '\n';
    return album;
}

} // namespace vistrel::cli
