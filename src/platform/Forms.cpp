#include "platform/Forms.h"
#include "platform/Form.h"

#include <QCoreApplication>
#include <QMap>
#include <QPointer>

namespace {
struct Registry {
    QMap<QString, Forms::Factory> factories;
    QMap<QString, QPointer<Form>> loaded;
    std::function<void()> quit = [] { QCoreApplication::quit(); };
};
Registry &registry()
{
    static Registry r;
    return r;
}

void forget(const QString &name, Form *form)
{
    auto &loaded = registry().loaded;
    auto it = loaded.find(name);
    if (it != loaded.end() && (it->isNull() || it->data() == form))
        loaded.erase(it);
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
        form->hide();
        form->deleteLater();
    }
}

void endProgram()
{
    const auto loaded = registry().loaded;
    registry().loaded.clear();
    for (const auto &form : loaded) {
        if (form) {
            form->hide();
            form->deleteLater();
        }
    }
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

void setQuitHandler(std::function<void()> handler) { registry().quit = std::move(handler); }

void reset()
{
    const auto loaded = registry().loaded;
    registry().loaded.clear();
    for (const auto &form : loaded)
        delete form.data();
    registry().factories.clear();
}

} // namespace Forms
