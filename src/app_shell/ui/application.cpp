#include "app_shell/ui/application.h"

#include "app_shell/program_folders.h"
#include "app_shell/ui/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
    return app.exec();
}

} // namespace vistrel
