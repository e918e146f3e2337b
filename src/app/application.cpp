#include "app/application.h"

#include "settings/program_folders.h"
#include "app/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vistrel {

void InstallGermanTranslations() {
    // The interface is German throughout, so Qt's own texts (standard buttons, shortcut names such as
    // "Strg+N") are German too, whatever the desktop's language.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    static QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
}

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// A logout or `kill` ends the program with SIGTERM (or SIGHUP, SIGINT). The window is then closed
// the normal way, so the album list and the open picture list are saved as at every exit. The signal
// handler only writes a byte; the event loop does the rest.
void CloseOnTerminationSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] ssize_t read = ::read(signalPipe[0], &byte, 1);
        window.close();
    });
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) std::signal(signal, OnTerminationSignal);
}

} // namespace

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vistrel"));
    QApplication::setApplicationVersion(QStringLiteral(VISTREL_VERSION));
    InstallGermanTranslations();
    std::filesystem::path exe = QCoreApplication::applicationDirPath().toStdString();
    TMainWindow window(ResolveProgramFolder(exe));
    window.RestorePlacement();
    window.show();
    window.StartUp(true);
    CloseOnTerminationSignals(window);
    return app.exec();
}

} // namespace vistrel
