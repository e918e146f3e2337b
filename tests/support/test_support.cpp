#include "support/test_support.h"

#include "common/atomic_file.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace vistrel::testing {

TempDir::TempDir() {
    std::random_device random;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("vistrel-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void ScriptedPrompts::ShowMessage(const std::string& text, MessageKind) {
    messages.push_back(text);
}

bool ScriptedPrompts::AskYesNo(const std::string& question) {
    questions.push_back(question);
    return NextAnswer() == Answer::Yes;
}

Answer ScriptedPrompts::AskYesNoCancel(const std::string& question) {
    questions.push_back(question);
    return NextAnswer();
}

Answer ScriptedPrompts::NextAnswer() {
    if (answers.empty()) return Answer::Yes;
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

} // namespace vistrel::testing
