#include "common/OnTopBas.h"

#include <QAction>
#include <QWidget>
#include <QWindow>

void SetOnTop(QWidget *window, bool onTop)
{
    if (!window || !window->isWindow())
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (QWindow *handle = window->windowHandle()) {
        // Change the flag on the existing native window: QWidget::setWindowFlags
        // would recreate it, losing the GL contexts of embedded players.
        window->overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        const QRect geometry = window->geometry();
        window->setWindowFlags(flags);
        window->setGeometry(geometry);
    }
    if (!window->isVisible()) {
        const bool had = window->testAttribute(Qt::WA_ShowWithoutActivating);
        window->setAttribute(Qt::WA_ShowWithoutActivating, true);
        window->show();
        window->setAttribute(Qt::WA_ShowWithoutActivating, had);
    }
}

void ToggleOnTop(QAction *mark, QWidget *window)
{
    if (!mark->isChecked()) {
        mark->setChecked(true);
        SetOnTop(window, true);
    } else {
        SetOnTop(window, false);
        mark->setChecked(false);
    }
}
