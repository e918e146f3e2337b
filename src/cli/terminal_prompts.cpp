#include "cli/terminal_prompts.h"

#include "cli/cli_texts.h"
#include "common/cp1252.h"

#include <iostream>
#include <string>
#include <unistd.h>

namespace vistrel::cli {
namespace {

Answer Ask(const std::string& question, bool withCancel) {
    std::cerr << AnsiToUtf8(question) << (withCancel ? " [j/n/a] " : " [j/n] ");
    if (!::isatty(STDIN_FILENO)) {
        std::cerr << "j\n";
        return Answer::Yes;
    }
    std::string line;
    if (!std::getline(std::cin, line)) return withCancel ? Answer::Cancel : Answer::No;
    if (!line.empty() && (line[0] == 'j' || line[0] == 'J' || line[0] == 'y' || line[0] == 'Y'))
        return Answer::Yes;
    if (withCancel && !line.empty() && (line[0] == 'a' || line[0] == 'A')) return Answer::Cancel;
    return Answer::No;
}

} // namespace

void TTerminalPrompts::ShowMessage(const std::string& text, MessageKind kind) {
    std::string_view prefix = kind == MessageKind::Error ? TerminalText(cli_texts::kErrorPrefix) : "";
    std::cerr << prefix << AnsiToUtf8(text) << '\n';
}

bool TTerminalPrompts::AskYesNo(const std::string& question) {
    return Ask(question, false) == Answer::Yes;
}

Answer TTerminalPrompts::AskYesNoCancel(const std::string& question) {
    return Ask(question, true);
}

} // namespace vistrel::cli
