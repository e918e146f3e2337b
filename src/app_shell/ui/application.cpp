#include "app_shell/ui/application.h"

#include <QApplication>
#include <QMainWindow>

namespace vistrel {

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    return app.exec();
}

} // namespace vistrel
