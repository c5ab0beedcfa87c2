#pragma once
// Small helpers to build menus whose menus and items carry their names.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace Menus {
inline QMenu *menu(QMenuBar *bar, const char *name, const QString &caption)
{
    QMenu *m = bar->addMenu(caption);
    m->setObjectName(QLatin1String(name));
    m->menuAction()->setObjectName(QLatin1String(name));
    return m;
}
template <typename Receiver, typename Slot>
QAction *item(QMenu *menu, const char *name, const QString &caption, Receiver *receiver, Slot slot)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    QObject::connect(a, &QAction::triggered, receiver, slot);
    return a;
}
inline QAction *separator(QMenu *menu, const char *name)
{
    QAction *a = menu->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
}
} // namespace Menus
