#include "app/qt_prompts.h"

#include "common/cp1252.h"

#include <QApplication>
#include <QMessageBox>

namespace vistrel {
namespace {

// The application title. It is not set as Qt's display name, which the platform would append to
// every window caption.
QString Title() {
    return QStringLiteral("Vantro® Vistrel");
}

} // namespace

void TQtPrompts::ShowMessage(const std::string& text, MessageKind kind) {
    QString title = Title();
    QString message = AnsiToDisplay(text);
    switch (kind) {
    case MessageKind::Error:
        QMessageBox::critical(parent_, title, message);
        break;
    case MessageKind::Warning:
        QMessageBox::warning(parent_, title, message);
        break;
    default:
        QMessageBox::information(parent_, title, message);
        break;
    }
}

bool TQtPrompts::AskYesNo(const std::string& question) {
    return QMessageBox::question(parent_, Title(), AnsiToDisplay(question),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

Answer TQtPrompts::AskYesNoCancel(const std::string& question) {
    auto button = QMessageBox::question(parent_, Title(), AnsiToDisplay(question),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (button == QMessageBox::Yes) return Answer::Yes;
    if (button == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

} // namespace vistrel
