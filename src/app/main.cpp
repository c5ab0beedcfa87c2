#include "app/Application.h"
#include "platform/Forms.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Application::prepare();
    QApplication app(argc, argv);
    Application::init();
    // The main window is the whole of start-up: load it, then show it.
    Forms::show(QStringLiteral("Form1"));
    const int status = app.exec();
    // The program has ended (its last window went, or "&Sluiten"): the
    // windows that are left go now, and with them every player and page.
    Forms::destroyAll();
    return status;
}
