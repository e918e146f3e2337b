#pragma once
#include "common/user_prompts.h"

class QWidget;

namespace vistrel {

// Messages and questions of the logic as message boxes over the given window.
class TQtPrompts : public UserPrompts {
public:
    explicit TQtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& question) override;
    Answer AskYesNoCancel(const std::string& question) override;

private:
    QWidget* parent_;
};

} // namespace vistrel
