#pragma once
// An INI file with the profile-string rules the settings file has always been read and written by:
// section and key names compared without regard to case; values read without surrounding white space
// and one enclosing pair of quotes, at most 2047 characters; a written key replaces its value where it
// stands, a new key goes to the end of its section and a new section to the end of the file.
//
// The document is read from disk once per load or save and written back whole (atomically), so a
// save of many keys opens the file once instead of once per key.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

class TIniFile {
public:
    static constexpr size_t kMaxValueLength = 2047;

    // Reads the file; a missing or unreadable file gives an empty document.
    static TIniFile Load(const std::filesystem::path& path);
    // Throws EFileWriteError.
    void Save(const std::filesystem::path& path) const;

    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    bool SectionExists(std::string_view section) const;

    void Write(std::string_view section, std::string_view key, std::string_view value);
    void EraseSection(std::string_view section);

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    // Index of the section's header line, or npos.
    size_t FindSection(std::string_view section) const;
    // One past the section's last line (the next header or the end of the file).
    size_t SectionEnd(size_t header) const;
    // Index of the key's line within the section, or npos.
    size_t FindKey(size_t header, std::string_view key) const;

    std::vector<std::string> lines_;
};

// The value as the reader gives it: trimmed, one pair of enclosing quotes removed, capped.
std::string UnquoteProfileValue(std::string_view raw);

} // namespace vistrel
