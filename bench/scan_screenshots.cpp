// Saves screenshots of the "Scannen" dialog (after a preview) and of the device choice into the
// folder given on the command line, with SANE's "test" backend as the device.
//   scan_screenshots OUTPUT_FOLDER        (run under Xvfb or with QT_QPA_PLATFORM=offscreen)
#include "common/user_prompts.h"
#include "scanner/ui/scan_form.h"
#include "scanner/ui/scan_preview.h"
#include "scanner/ui/scan_source_form.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <fstream>

namespace {

struct TSilentPrompts : vistrel::UserPrompts {
    void ShowMessage(const std::string&, vistrel::MessageKind) override {}
    bool AskYesNo(const std::string&) override { return true; }
    vistrel::Answer AskYesNoCancel(const std::string&) override { return vistrel::Answer::Yes; }
};

void WriteFile(const QString& path, const char* text) {
    std::ofstream(path.toStdString()) << text;
}

// Waits until the dialog is on screen, previews, chooses an area, saves the picture and closes.
class TScreenshotScanForm : public vistrel::TScanForm {
public:
    TScreenshotScanForm(const QString& out) : TScanForm(nullptr), out_(out) {}
    void ShowSourceDialog(vistrel::TScanSession& session) override {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll] {
            if (!isVisible()) return;
            poll->stop();
            btnPreview->click();
            edLeft->setValue(20);
            edTop->setValue(30);
            edRight->setValue(150);
            edBottom->setValue(130);
            QApplication::processEvents();
            grab().save(out_ + QStringLiteral("/dialog_scannen.png"));
            btnCancel->click();
        });
        poll->start(0);
        TScanForm::ShowSourceDialog(session);
    }

private:
    QString out_;
};

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    WriteFile(config.filePath(QStringLiteral("dll.conf")), "test\n");
    WriteFile(config.filePath(QStringLiteral("test.conf")),
              "number_of_devices 2\nmode Color\nresolution 150.0\ntest-picture \"Color pattern\"\n"
              "br_x 120.0\nbr_y 150.0\n");
    setenv("SANE_CONFIG_DIR", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    QTemporaryDir program;
    TSilentPrompts prompts;
    vistrel::TProgramSettings settings(vistrel::TProgramFolders::For(program.path().toStdString()), prompts);
    vistrel::TScanner scanner;
    if (!scanner.IsAvailable()) return 1;

    TScreenshotScanForm form(out);
    form.resize(720, 460);
    vistrel::TScanJob job(scanner, settings);
    vistrel::TDibGraphic picture;
    if (!job.Run({}, picture, form).Ok()) return 1;

    vistrel::TScanSourceForm sources(nullptr);
    sources.Fill(scanner.Devices(), 1);
    sources.show();
    QApplication::processEvents();
    sources.grab().save(out + QStringLiteral("/dialog_scanquelle.png"));
    return 0;
}
