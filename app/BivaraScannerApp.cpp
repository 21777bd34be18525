#include "app/BivaraScannerApp.h"

#include "app/Appearance.h"
#include "app/MainWindow.h"
#include "app/WindowProbe.h"

#include <QApplication>

namespace BivaraScannerApp {

int run(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bivara Scanner"));
    QApplication::setOrganizationName(QStringLiteral("Bivara"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(desktopID));
    Appearance::apply(app);
    // The installed icon, else the copy built into the program.
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(desktopID),
                                                 QIcon(QStringLiteral(":/icons/org.bivara.Scanner.svg"))));

    MainWindow window(std::make_unique<AppModel>());
    installWindowProbes(window);
    window.show();
    return app.exec();
}

}  // namespace BivaraScannerApp
