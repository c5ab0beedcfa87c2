#pragma once
// A program directory of its own for each test, with the window registry
// set up as the program sets it up, and "end the program" counted instead
// of quitting the test. What a TestEnv changes it puts back when it goes.
#include "platform/Forms.h"
#include "platform/ProgramDir.h"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

class Form;

class TestEnv {
public:
    TestEnv();
    ~TestEnv();

    QString dir() const { return m_dir.path(); }
    QString iniPath() const;
    void writeIni(const QByteArray &content);
    QByteArray readIni() const;

    // Unload every window and let deferred deletions run.
    static void closeAll();
    static void flushDeletes();

    // How often the window registry ended the program.
    int quitRequests = 0;

private:
    QTemporaryDir m_dir;
    std::optional<Seam<ProgramDir::StandIn>::Override> m_programDir;
    std::optional<Seam<Forms::QuitHandler>::Override> m_quit;
};

// The control of that objectName inside `root` (a window, a menu, ...). A
// control that is not there ends the test program with its name: every
// control named in the window design must exist.
template <typename T = QWidget> T *named(const QObject *root, const QString &name)
{
    T *found = root ? root->findChild<T *>(name) : nullptr;
    if (!found)
        qFatal("no %s named \"%s\" in %s", T::staticMetaObject.className(), qPrintable(name),
               root ? qPrintable(root->objectName()) : "nothing");
    return found;
}

// The key of the window named `name` ("Form1", "Stream2", ...), for tests
// that go through tables of names. A name no window has ends the test program.
WindowKey windowKey(const QString &name);

// Runs `undo` when it goes: puts back global state a test changed, also
// when a check fails halfway.
class Restore {
public:
    explicit Restore(std::function<void()> undo) : m_undo(std::move(undo)) {}
    ~Restore()
    {
        if (m_undo)
            m_undo();
    }
    Restore(const Restore &) = delete;
    Restore &operator=(const Restore &) = delete;

private:
    std::function<void()> m_undo;
};

// Main of a GUI test: the application is prepared exactly as the program's.
#define KIJKRAAM_GUI_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        kijkraamTestPrepare();                                                                                         \
        QApplication app(argc, argv);                                                                                  \
        kijkraamTestInit();                                                                                            \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

void kijkraamTestPrepare();
void kijkraamTestInit();
