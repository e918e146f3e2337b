#pragma once
// Fakes and helpers shared by the tests.
#include "common/user_prompts.h"

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel::testing {

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Records every message and question and answers questions from a script (default: Yes).
class ScriptedPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& question) override;
    Answer AskYesNoCancel(const std::string& question) override;

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<Answer> answers;

private:
    Answer NextAnswer();
};

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& path);

} // namespace vistrel::testing
