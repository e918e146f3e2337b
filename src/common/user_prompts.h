#pragma once
// Logic never opens a window: messages and questions for the user go through this interface. The GUI
// answers with message boxes, the CLI with the terminal, tests with a scripted fake. All texts are
// Windows-1252 bytes, like every other text of the logic.
#include <string>

namespace vistrel {

enum class MessageKind { Information, Warning, Error };
enum class Answer { Yes, No, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    virtual void ShowMessage(const std::string& text, MessageKind kind = MessageKind::Information) = 0;
    virtual bool AskYesNo(const std::string& question) = 0;
    virtual Answer AskYesNoCancel(const std::string& question) = 0;
};

} // namespace vistrel
