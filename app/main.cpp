// Morvane's window program: the application, its one main window, the event loop.
#include "UnitMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The application's title. Set as the name, not the display name, which Qt
    // would append to the window's own caption.
    QApplication::setApplicationName(QStringLiteral("UO Morvane"));
    TForm1 Form1;
    Form1.show();
    return application.exec();
}
