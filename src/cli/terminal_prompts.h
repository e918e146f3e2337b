#pragma once
#include "common/user_prompts.h"

#include <cstdio>

namespace vistrel::cli {

// Messages go to stderr in UTF-8. Questions are asked on the terminal when there is one; without a
// terminal (scripts, CI) every question is answered with yes, and the question is still printed.
class TTerminalPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& question) override;
    Answer AskYesNoCancel(const std::string& question) override;
};

} // namespace vistrel::cli
