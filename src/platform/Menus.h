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
// A check-mark item whose mark only its handler sets: the click itself does
// not toggle it, so the handler reads the mark as it was before the click.
template <typename Receiver, typename Slot>
QAction *checkItem(QMenu *menu, const char *name, const QString &caption, Receiver *receiver, Slot slot)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(true);
    a->setChecked(false);
    QObject::connect(a, &QAction::triggered, receiver, [a, receiver, slot] {
        a->setChecked(!a->isChecked()); // undo the toggle Qt made
        (receiver->*slot)();
    });
    return a;
}

inline QAction *separator(QMenu *menu, const char *name)
{
    QAction *a = menu->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
}
} // namespace Menus
