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
    return app.exec();
}
