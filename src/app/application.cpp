#include "app/application.h"

#include "album_library/ui/import_actions.h"
#include "app/main_window.h"
#include "common/cp1252.h"
#include "settings/program_folders.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
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
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        std::signal(signal, OnTerminationSignal);
}

} // namespace

QStringList CommandLineFiles(const QStringList& arguments) {
    QStringList files;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.isEmpty()) continue;
        QString path = argument.startsWith(QStringLiteral("file:")) ? QUrl(argument).toLocalFile() : argument;
        if (!path.isEmpty()) files << QDir::cleanPath(QDir::current().absoluteFilePath(path));
    }
    return files;
}

void ImportCommandLineFiles(TMainWindow& window, const QStringList& files) {
    if (files.isEmpty()) return;
    if (!window.Context().albums.IsValidIndex(window.OpenAlbumIndex())) {
        window.Context().prompts.ShowMessage(
            Utf8ToAnsi("Es ist kein Fotoalbum geöffnet. Bitte legen Sie zuerst ein Fotoalbum an und "
                       "importieren Sie die Bilder dann."),
            MessageKind::Information);
        return;
    }
    if (TImportActions* import = window.ImportActions()) import->FilesDropped(files);
}

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vistrel"));
    QApplication::setApplicationVersion(QStringLiteral(VISTREL_VERSION));
    // The menu entry's name and the theme icon, so the desktop groups the window under its entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("vistrel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vistrel")));
    InstallGermanTranslations();
    std::filesystem::path exe = QCoreApplication::applicationDirPath().toStdString();
    TMainWindow window(ResolveProgramFolder(exe));
    window.RestorePlacement();
    window.show();
    window.StartUp(true);
    CloseOnTerminationSignals(window);
    // Once the window is up and drawn, as if the files had been dropped onto it.
    QStringList files = CommandLineFiles(QCoreApplication::arguments());
    QTimer::singleShot(0, &window, [&window, files] { ImportCommandLineFiles(window, files); });
    return app.exec();
}

} // namespace vistrel
