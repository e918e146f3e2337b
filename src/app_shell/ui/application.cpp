#include "app_shell/ui/application.h"

#include "app_shell/program_folders.h"
#include "app_shell/ui/main_window.h"

#include <QApplication>
#include <QIcon>

namespace vistrel {

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vistrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantro\u00ae Vistrel"));
    QApplication::setApplicationVersion(QStringLiteral(VISTREL_VERSION));
    std::filesystem::path exe = QCoreApplication::applicationDirPath().toStdString();
    TMainWindow window(ResolveProgramFolder(exe));
    window.show();
    window.StartUp(true);
    return app.exec();
}

} // namespace vistrel
