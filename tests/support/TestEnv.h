#pragma once
// A program directory of its own for each test, with the window registry
// set up as the program sets it up, and "end the program" counted instead
// of quitting the test.
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

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

    int quitRequests = 0;

private:
    QTemporaryDir m_dir;
};

// Main of a GUI test: the application is prepared exactly as the program's.
#define KIJKRAAM_GUI_TEST_MAIN(TestObject)                                                  \
    int main(int argc, char *argv[])                                                        \
    {                                                                                       \
        kijkraamTestPrepare();                                                              \
        QApplication app(argc, argv);                                                       \
        kijkraamTestInit();                                                                 \
        TestObject tc;                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                          \
        return QTest::qExec(&tc, argc, argv);                                               \
    }

void kijkraamTestPrepare();
void kijkraamTestInit();
