#include "platform/Forms.h"
#include "platform/Form.h"

#include <QCoreApplication>
#include <QMap>
#include <QPointer>

namespace {
struct Registry {
    QMap<WindowKey, Forms::Factory> factories;
    QMap<WindowKey, QPointer<Form>> loaded;
};
Registry &registry()
{
    static Registry r;
    return r;
}

bool anyLoaded()
{
    for (const auto &form : registry().loaded)
        if (form)
            return true;
    return false;
}

// The window left the registry (unloaded, closed by its close box, or
// destroyed). When it was the last one, the program ends.
void forget(WindowKey key, Form *form)
{
    auto &loaded = registry().loaded;
    auto it = loaded.find(key);
    if (it == loaded.end() || !(it->isNull() || it->data() == form))
        return;
    loaded.erase(it);
    if (!anyLoaded()) {
        loaded.clear();
        const Forms::QuitHandler quit = Forms::quitSeam.get();
        if (quit)
            quit();
    }
}

void dispose(Form *form)
{
    form->hide();
    form->deleteLater();
}
} // namespace

namespace Forms {

void registerFactory(WindowKey key, Factory factory) { registry().factories.insert(key, std::move(factory)); }

Form *find(WindowKey key)
{
    auto it = registry().loaded.constFind(key);
    return it == registry().loaded.constEnd() ? nullptr : it->data();
}

Form *load(WindowKey key)
{
    if (Form *form = find(key))
        return form;
    auto factory = registry().factories.value(key);
    Q_ASSERT_X(factory, "Forms::load", WindowKeys::nameOf(key));
    if (!factory)
        return nullptr;
    Form *form = factory();
    form->setObjectName(QLatin1String(WindowKeys::nameOf(key)));
    registry().loaded.insert(key, form);
    QObject::connect(form, &Form::unloaded, [key, form] { forget(key, form); });
    QObject::connect(form, &QObject::destroyed, [key, form] { forget(key, form); });
    form->Form_Load();
    return form;
}

Form *show(WindowKey key)
{
    Form *form = load(key);
    if (!form)
        return nullptr;
    if (form->isMinimized())
        form->showNormal();
    else
        form->show();
    form->raise();
    form->activateWindow();
    return form;
}

void unload(WindowKey key)
{
    if (Form *form = find(key)) {
        forget(key, form);
        dispose(form);
    }
}

void endProgram()
{
    // Out of the registry first: the windows go without ending the program
    // once per window.
    const auto loaded = registry().loaded;
    registry().loaded.clear();
    for (const auto &form : loaded)
        if (form)
            dispose(form);
    if (const QuitHandler quit = quitSeam.get())
        quit();
}

QList<WindowKey> loaded()
{
    QList<WindowKey> keys;
    for (auto it = registry().loaded.cbegin(); it != registry().loaded.cend(); ++it)
        if (*it)
            keys << it.key();
    return keys;
}

QStringList loadedNames()
{
    QStringList names;
    for (WindowKey key : loaded())
        names << QLatin1String(WindowKeys::nameOf(key));
    return names;
}

void destroyAll()
{
    const auto loaded = registry().loaded;
    registry().loaded.clear();
    for (const auto &form : loaded)
        delete form.data();
    // Windows unloaded before: their deletion was only posted.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Seam<QuitHandler> quitSeam([] { QCoreApplication::quit(); });

void reset()
{
    const auto loaded = registry().loaded;
    registry().loaded.clear();
    for (const auto &form : loaded)
        delete form.data();
    registry().factories.clear();
}

} // namespace Forms
