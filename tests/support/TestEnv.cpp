#include "TestEnv.h"

#include "app/Application.h"
#include "app/FormCatalog.h"
#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/ProgramDir.h"

#include <QFile>

void kijkraamTestPrepare() { Application::prepare(); }
void kijkraamTestInit() { Application::init(); }

TestEnv::TestEnv()
{
    ProgramDir::overrideForTests(m_dir.path());
    closeAll();
    Forms::reset();
    registerAllForms();
    m_previousQuit = Forms::quitHandler();
    Forms::setQuitHandler([this] { ++quitRequests; });
}

TestEnv::~TestEnv()
{
    closeAll();
    Forms::setQuitHandler(m_previousQuit);
    ProgramDir::overrideForTests(QString());
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
    for (const QString &name : Forms::loadedNames())
        Forms::unload(name);
    flushDeletes();
}
