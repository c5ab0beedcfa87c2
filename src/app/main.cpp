#include "app/Application.h"
#include "platform/Forms.h"
#include "platform/Redaction.h"

#include <QApplication>
#include <malloc.h>

int main(int argc, char *argv[])
{
    // glibc gives each thread that allocates a heap arena of its own, up to
    // eight per core; four decoders with their threads would keep dozens of
    // mostly idle arenas. Two are enough for this program's few busy threads.
    mallopt(M_ARENA_MAX, 2);
    // No log line carries a password, whoever writes it.
    Redaction::installLogFilter();
    Application::prepare();
    QApplication app(argc, argv);
    Application::init();
    // The main window is the whole of start-up: load it, then show it.
    Forms::show(WindowKey::Main);
    const int status = app.exec();
    // The program has ended (its last window went, or "&Sluiten"): the
    // windows that are left go now, and with them every player and page.
    Forms::destroyAll();
    return status;
}
