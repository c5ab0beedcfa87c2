#include "platform/Forms.h"
#include "platform/Form.h"

#include <QCoreApplication>
#include <QMap>
#include <QPointer>

namespace {
struct Registry {
    QMap<QString, Forms::Factory> factories;
    QMap<QString, QPointer<Form>> loaded;
    Forms::QuitHandler quit = [] { QCoreApplication::quit(); };
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
void forget(const QString &name, Form *form)
{
    auto &loaded = registry().loaded;
    auto it = loaded.find(name);
    if (it == loaded.end() || !(it->isNull() || it->data() == form))
        return;
    loaded.erase(it);
    if (!anyLoaded()) {
        loaded.clear();
        const Forms::QuitHandler quit = registry().quit;
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

void registerFactory(const QString &name, Factory factory)
{
    registry().factories.insert(name, std::move(factory));
}

Form *find(const QString &name)
{
    auto it = registry().loaded.constFind(name);
    return it == registry().loaded.constEnd() ? nullptr : it->data();
}

Form *load(const QString &name)
{
    if (Form *form = find(name))
        return form;
    auto factory = registry().factories.value(name);
    Q_ASSERT_X(factory, "Forms::load", qPrintable(name));
    if (!factory)
        return nullptr;
    Form *form = factory();
    form->setObjectName(name);
    registry().loaded.insert(name, form);
    QObject::connect(form, &Form::unloaded, [name, form] { forget(name, form); });
    QObject::connect(form, &QObject::destroyed, [name, form] { forget(name, form); });
    form->Form_Load();
    return form;
}

Form *show(const QString &name)
{
    Form *form = load(name);
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

void unload(const QString &name)
{
    if (Form *form = find(name)) {
        forget(name, form);
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
    if (registry().quit)
        registry().quit();
}

QStringList loadedNames()
{
    QStringList names;
    for (auto it = registry().loaded.cbegin(); it != registry().loaded.cend(); ++it)
        if (*it)
            names << it.key();
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

void setQuitHandler(QuitHandler handler) { registry().quit = std::move(handler); }
QuitHandler quitHandler() { return registry().quit; }

void reset()
{
    const auto loaded = registry().loaded;
    registry().loaded.clear();
    for (const auto &form : loaded)
        delete form.data();
    registry().factories.clear();
}

} // namespace Forms
