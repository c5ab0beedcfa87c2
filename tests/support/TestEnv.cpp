#include "TestEnv.h"

#include "app/Application.h"
#include "app/FormCatalog.h"
#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/ProgramDir.h"

#include <QFile>

void kijkraamTestPrepare() { Application::prepare(); }
void kijkraamTestInit() { Application::init(); }

WindowKey windowKey(const QString &name)
{
    for (int i = 0; i < WindowKeys::Count; ++i)
        if (name == QLatin1String(WindowKeys::Names[i]))
            return WindowKey(i);
    qFatal("no window is named \"%s\"", qPrintable(name));
}

TestEnv::TestEnv()
{
    m_programDir.emplace(ProgramDir::seam, ProgramDir::StandIn{m_dir.path()});
    closeAll();
    Forms::reset();
    registerAllForms();
    m_quit.emplace(Forms::quitSeam, [this] { ++quitRequests; });
}

TestEnv::~TestEnv()
{
    closeAll();
    m_quit.reset();
    m_programDir.reset();
}

QString TestEnv::iniPath() const { return m_dir.path() + QStringLiteral("/ini.ini"); }

void TestEnv::writeIni(const QByteArray &content)
{
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QByteArray TestEnv::readIni() const
{
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestEnv::flushDeletes()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

void TestEnv::closeAll()
{
    for (WindowKey key : Forms::loaded())
        Forms::unload(key);
    flushDeletes();
}
