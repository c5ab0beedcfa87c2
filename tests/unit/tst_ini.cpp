#include "platform/ProgramDir.h"
#include "settings/Ini.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace INI;

class TstIni : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    static void put(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray get(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

private slots:
    void readsLikeProfileStrings()
    {
        const QString f = path("read.ini");
        QCOMPARE(ReadSettingFrom(f, "A", "k", "dflt"), QString("dflt")); // no file
        const QString longValue(400, QLatin1Char('x'));
        put(f, "outside=1\n[Stream1]\n Adres = MiXed Value \nempty=\n; Adres=comment\n"
               "no equals sign\ndup=first\ndup=second\nquoted=\"  a b \"\nlong="
               + longValue.toUtf8() + "\nnul=ab" + QByteArray(1, '\0') + "cd\n"
               "[  Other Sect  ]\nk\t=\tv\n");
        QCOMPARE(ReadSettingFrom(f, "Missing", "Adres", "d"), QString("d"));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "Missing", "d"), QString("d"));
        QCOMPARE(ReadSettingFrom(f, "stream1", "ADRES", "d"), QString("MiXed Value ")); // trailing blank kept
        QCOMPARE(ReadSettingFrom(f, "Stream1", "empty", "d"), QString(""));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "no equals sign", "d"), QString("d"));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "dup", "d"), QString("first"));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "quoted", "d"), QString("\"  a b \""));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "long", "d"), longValue);
        QCOMPARE(ReadSettingFrom(f, "Stream1", "nul", "d"), QString("ab"));
        QCOMPARE(ReadSettingFrom(f, "other sect", "K", "d"), QString("v"));
        QCOMPARE(ReadSettingFrom(f, "", "outside", "d"), QString("d"));
        // Non-ASCII names match under case folding.
        put(f, "[ÄRGER]\nÖl=x\n");
        QCOMPARE(ReadSettingFrom(f, "ärger", "öL", "d"), QString("x"));
    }

    void writtenValuesReadBackAsTyped()
    {
        const QString f = path("roundtrip.ini");
        const QStringList values = {"Auto ", "auto", "", "\"quoted\"", "a = b; c", "http://h/p?a=1&b=2 ",
                                    QString(500, QLatin1Char('y'))};
        for (const QString &v : values) {
            QVERIFY(WriteSettingTo(f, "Stream1", "Adres", v));
            QCOMPARE(ReadSettingFrom(f, "Stream1", "Adres", "Default value"), v);
        }
        // Blanks right after the equals sign are layout, not value.
        QVERIFY(WriteSettingTo(f, "Stream1", "Adres", "  lead"));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "Adres", "d"), QString("lead"));
    }

    void writeChangesOnlyItsLine()
    {
        const QString f = path("write.ini");
        const QByteArray before = "; top comment\n[Stream1]\n  Adres =  old  \n\tx=1\ndup=a\ndup=b\n\n"
                                  "[Stream2]\nWeird  spacing   =  y\n\n\n[Stream3]\nz=3";
        put(f, before);
        QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QFile::Permissions permissions = QFile::permissions(f);
        QVERIFY(WriteSettingTo(f, "STREAM1", "adres", "New"));
        QByteArray expected = before;
        expected.replace("  Adres =  old  ", "Adres=New");
        QCOMPARE(get(f), expected);
        QCOMPARE(QFile::permissions(f), permissions);

        QVERIFY(WriteSettingTo(f, "Stream1", "DUP", "c"));
        expected.replace("dup=a", "dup=c");
        QVERIFY(WriteSettingTo(f, "Stream2", "Added", "v"));
        expected.replace("=  y\n", "=  y\nAdded=v\n");
        QVERIFY(WriteSettingTo(f, "Stream3", "last", "L")); // file ends without a line ending
        expected += "\nlast=L\n";
        QVERIFY(WriteSettingTo(f, "New", "k", "n"));
        expected += "[New]\nk=n\n";
        QCOMPARE(get(f), expected);
        QCOMPARE(ReadSettingFrom(f, "stream2", "added", "d"), QString("v"));
        QCOMPARE(ReadSettingFrom(f, "stream2", "weird  spacing", "d"), QString("y"));

        // Line breaks in a value end it; bad names are refused untouched.
        QVERIFY(WriteSettingTo(f, "New", "k", "safe\r\n[Evil]\r\nkey=1"));
        QVERIFY(WriteSettingTo(f, "New", "j", "a\nb"));
        QCOMPARE(ReadSettingFrom(f, "New", "k", "d"), QString("safe"));
        QCOMPARE(ReadSettingFrom(f, "New", "j", "d"), QString("a"));
        QCOMPARE(ReadSettingFrom(f, "Evil", "key", "d"), QString("d"));
        const QByteArray good = get(f);
        QVERIFY(!WriteSettingTo(f, "A]B", "k", "v"));
        QVERIFY(!WriteSettingTo(f, "A\nB", "k", "v"));
        QVERIFY(!WriteSettingTo(f, "S", "k=x", "v"));
        QVERIFY(!WriteSettingTo(f, "S", "k\r", "v"));
        QVERIFY(!WriteSettingTo(f, "S", ";k", "v"));
        QVERIFY(!WriteSettingTo(f, "S", " ", "v"));
        QCOMPARE(get(f), good);
    }

    void lineEndingsAndBom()
    {
        const QString crlf = path("crlf.ini"), lf = path("lf.ini"), fresh = path("fresh.ini");
        put(crlf, "\xEF\xBB\xBF[S]\r\na=1\r\n");
        QCOMPARE(ReadSettingFrom(crlf, "S", "a", "d"), QString("1"));
        QVERIFY(WriteSettingTo(crlf, "S", "b", "2"));
        QVERIFY(WriteSettingTo(crlf, "T", "c", "3"));
        QCOMPARE(get(crlf), QByteArray("\xEF\xBB\xBF[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n"));

        put(lf, "[S]\na=1\r\n"); // the first ending decides
        QVERIFY(WriteSettingTo(lf, "S", "b", "2"));
        QCOMPARE(get(lf), QByteArray("[S]\na=1\r\nb=2\n"));

        QVERIFY(WriteSettingTo(fresh, "S", "a", "é"));
        QCOMPARE(get(fresh), QByteArray("[S]\r\na=\xC3\xA9\r\n"));
        QVERIFY(IniDocument::parse(get(fresh)).usesCrLf());
        QVERIFY(!IniDocument::parse("[S]\na=1\n").usesCrLf());
    }

    void failedWriteKeepsOldFile()
    {
        QVERIFY(!WriteSettingTo(m_dir.filePath("no/such/dir/ini.ini"), "S", "a", "1"));
        QVERIFY(!QFile::exists(m_dir.filePath("no")));
        QVERIFY(!WriteSettingTo(m_dir.path(), "S", "a", "1")); // a directory, not a file
        QCOMPARE(ReadSettingFrom(m_dir.path(), "S", "a", "d"), QString("d"));

        // A full disk, simulated by a file size limit (which binds root too).
        const QString f = path("full.ini");
        const QByteArray old = "[S]\na=old\n";
        put(f, old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &tight);
        const bool written = WriteSettingTo(f, "S", "a", QString(500, QLatin1Char('n')));
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(get(f), old);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter("full"), QStringList{"full.ini"});
    }

    void readOnlyDirectory()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath("ini.ini");
        put(f, "[S]\na=old\n");
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        QFile probe(dir.filePath("probe"));
        const bool canStillWrite = probe.open(QIODevice::WriteOnly);
        const bool written = WriteSettingTo(f, "S", "a", "new");
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (canStillWrite)
            QSKIP("running as root: directory permissions do not stop writes");
        QVERIFY(!written);
        QCOMPARE(get(f), QByteArray("[S]\na=old\n"));
    }

    void hostileFilesReadAndStayWritable()
    {
        const QString f = path("hostile.ini");
        QRandomGenerator rng(7);
        QByteArray random(200000, Qt::Uninitialized);
        for (char &c : random)
            c = char(rng.bounded(256));
        const QByteArray bigLine = "[S]\nbig=" + QByteArray(5 * 1024 * 1024, 'q');
        const QList<QByteArray> bodies = {
            random, QByteArray(1000, '\0'), "[S]\na=\xFF\xFE\xC3(\x80\n", bigLine,
            "[S\n[\n]]]\n==\n\r\r\n\n[S]\r=\ra=cr\r",
        };
        for (const QByteArray &body : bodies) {
            put(f, body);
            ReadSettingFrom(f, "S", "a", "d");
            QVERIFY(WriteSettingTo(f, "S", "written", "yes"));
            QCOMPARE(ReadSettingFrom(f, "S", "written", "d"), QString("yes"));
        }
        QCOMPARE(ReadSettingFrom(f, "S", "a", "d"), QString("cr")); // lone CR ends lines
        put(f, bigLine);
        QCOMPARE(ReadSettingFrom(f, "s", "BIG", "d").size(), 5 * 1024 * 1024);
        put(f, "[S]\na=\xFF\xC3(\n");
        QCOMPARE(ReadSettingFrom(f, "S", "a", "d"), QString::fromUtf8("\xFF\xC3("));
    }

    void settingsPathFollowsProgramDir()
    {
        ProgramDir::overrideForTests("/");
        QCOMPARE(settingsPath(), QString("//ini.ini"));
        ProgramDir::overrideForTests(m_dir.path());
        QCOMPARE(settingsPath(), m_dir.path() + "/ini.ini");
        QVERIFY(WriteSetting("Stream1", "Adres", "Auto"));
        QCOMPARE(get(m_dir.filePath("ini.ini")), QByteArray("[Stream1]\r\nAdres=Auto\r\n"));
        QTemporaryDir other;
        ProgramDir::overrideForTests(other.path());
        QCOMPARE(ReadSetting("Stream1", "Adres", "none"), QString("none"));
        ProgramDir::overrideForTests(m_dir.path());
        QCOMPARE(ReadSetting("stream1", "adres", "none"), QString("Auto"));
        ProgramDir::overrideForTests(QString());
    }
};

QTEST_GUILESS_MAIN(TstIni)
#include "tst_ini.moc"
