// Saves screenshots of the invitation dialog's two tabs and of its status window into the folder
// given on the command line, for the documentation.
//   invite_screenshots OUTPUT_FOLDER        (run with QT_QPA_PLATFORM=offscreen)
#include "common/user_prompts.h"
#include "invitations/ui/invite_form.h"
#include "invitations/ui/invite_status_form.h"
#include "program/program_context.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>

#include <fstream>
#include <iostream>

namespace {

class SilentPrompts : public vistrel::UserPrompts {
public:
    void ShowMessage(const std::string&, vistrel::MessageKind) override {}
    bool AskYesNo(const std::string&) override { return true; }
    vistrel::Answer AskYesNoCancel(const std::string&) override { return vistrel::Answer::Yes; }
};

bool Save(QWidget& widget, const QString& file) {
    widget.repaint();
    QApplication::processEvents();
    bool saved = widget.grab().save(file);
    std::cout << file.toStdString() << (saved ? "" : " FAILED") << '\n';
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: invite_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    QString out = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    QTemporaryDir program;
    std::filesystem::path folder = program.path().toStdString();
    std::filesystem::create_directories(folder / "styles" / "Klassisch");
    std::ofstream(folder / "vistrel.ini", std::ios::binary)
        << "[TSettingsForm]\r\nedEmail_Text=anna@example.org\r\nedFTPServer_Text=www.example.org\r\n"
           "edFTPDirectory_Text=/alben/\r\n";
    SilentPrompts prompts;
    vistrel::TProgramContext context(folder, prompts);
    context.Start();

    vistrel::TInviteForm form(context);
    form.Prepare("Urlaub_2003", "strand.jpg");
    form.edSender->setText(QStringLiteral("Anna M\u00fcller"));
    form.edText->setPlainText(QStringLiteral("Hallo ihr Lieben,\n\ndie Bilder vom Urlaub an der Ostsee sind "
                                             "endlich im Netz. Viel Spa\u00df beim Anschauen!\n\nAnna"));
    for (const char* address :
         {"bernd@example.net", "clara.schmidt@example.com", "familie.mueller@example.de"})
        form.lbAddresses->addItem(QString::fromLatin1(address));
    form.edEMail->setText(QStringLiteral("dora@example.org"));
    form.show();
    bool ok = Save(form, out + QStringLiteral("dialog_einladung.png"));
    form.PageControl->setCurrentIndex(1);
    ok = Save(form, out + QStringLiteral("dialog_einladung_empfaenger.png")) && ok;

    vistrel::TInviteStatusForm& status = form.StatusForm();
    status.Start(3);
    status.ShowRecipient(1, "clara.schmidt@example.com");
    status.adjustSize();
    ok = Save(status, out + QStringLiteral("dialog_einladung_status.png")) && ok;
    return ok ? 0 : 1;
}
