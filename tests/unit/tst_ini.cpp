#include "platform/DataPlaces.h"
#include "platform/ProgramDir.h"
#include "settings/Ini.h"
#include "settings/TextCodec.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace INI;
using Encoding = IniDocument::Encoding;
Q_DECLARE_METATYPE(IniDocument::Encoding)

namespace {
// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
public:
    void set(const char *name, const QString &value)
    {
        m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};
} // namespace

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
    static struct stat statOf(const QString &file)
    {
        struct stat st {};
        ::stat(QFile::encodeName(file).constData(), &st);
        return st;
    }
    static int modeOf(const QString &file) { return int(statOf(file).st_mode & 07777); }

private slots:
    void readsLikeProfileStrings()
    {
        const QString f = path("read.ini");
        QCOMPARE(ReadSettingFrom(f, "A", "k", "dflt"), QString("dflt")); // no file
        const QString longValue(400, QLatin1Char('x'));
        put(f, "outside=1\n[Stream1]\n Adres = MiXed Value \nempty=\n; Adres=comment\n"
               "no equals sign\ndup=first\ndup=second\nquoted=\"  a b \"\nlong="
                   + longValue.toUtf8() + "\nnul=ab" + QByteArray(1, '\0')
                   + "cd\n"
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
        const QStringList values = {
            "Auto ", "auto", "", "\"quoted\"", "a = b; c", "http://h/p?a=1&b=2 ", QString(500, QLatin1Char('y'))};
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

    // A directory the writer cannot add files to, around a file it can
    // write: the save fails and the file keeps its old bytes (it is never
    // rewritten in place, where a crash would leave half a file). Directory
    // permissions do not stop root, so the write runs in a child process
    // that gives up root first.
    void readOnlyDirectoryKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath("ini.ini");
        put(f, "[S]\na=old\n");
        const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup
                         | QFile::ExeOther;
        QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
                                     | QFile::ReadOther | QFile::WriteOther);
        QFile::setPermissions(dir.path(), all);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            QFile probe(dir.filePath("probe"));
            if (probe.open(QIODevice::WriteOnly))
                ::_exit(4); // the directory is writable after all
            QFile inPlace(f);
            if (!inPlace.open(QIODevice::ReadWrite))
                ::_exit(5); // the file must be writable, or the test proves nothing
            inPlace.close();
            ::_exit(WriteSettingTo(f, "S", "a", "new") ? 1 : 0);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        QFile::setPermissions(dir.path(), all | QFile::WriteOwner);
        QVERIFY(WIFEXITED(status));
        const char *const outcome[] = {"",
                                       "the write reported success",
                                       "",
                                       "could not give up root",
                                       "the directory stayed writable",
                                       "the file was not writable"};
        QVERIFY2(WEXITSTATUS(status) == 0, outcome[std::min(WEXITSTATUS(status), 5)]);
        QCOMPARE(get(f), QByteArray("[S]\na=old\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ini.ini"});
    }

    // The file holds the stream addresses, passwords in them included: a new
    // one is its user's alone. An existing one keeps its mode and owner (root
    // writing a user's file), one its owner made read-only is not replaced
    // (not by root either), and the temporary files of killed writes go.
    void aWriteKeepsModeAndOwnerAndClearsLeftovers()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath("ini.ini");
        const mode_t mask = ::umask(022);
        const bool written = WriteSettingTo(f, "S", "a", "1");
        ::umask(mask);
        QVERIFY(written);
        QCOMPARE(modeOf(f), 0600);

        QFile::setPermissions(f, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QVERIFY(!WriteSettingTo(f, "S", "a", "2"));
        QCOMPARE(get(f), QByteArray("[S]\r\na=1\r\n"));
        QCOMPARE(modeOf(f), 0444);

        ::chmod(QFile::encodeName(f).constData(), 0640);
        if (::geteuid() == 0) { // only root can give a file away
            QCOMPARE(::chown(QFile::encodeName(f).constData(), 65534, 65534), 0);
            QVERIFY(WriteSettingTo(f, "S", "a", "3"));
            QCOMPARE(int(statOf(f).st_uid), 65534);
            QCOMPARE(int(statOf(f).st_gid), 65534);
            QCOMPARE(modeOf(f), 0640);
        }

        // What killed writes leave, a minute old and more, and what is not theirs.
        const QStringList stale = {"ini.ini.QwErTy", "ini.ini.aBCdef"};
        const QStringList kept = {"ini.ini.ZxCvBn" /* too young */,
                                  "ini.ini.backup",
                                  "ini.ini.Backup",
                                  "ini.ini.BACKUP",
                                  "ini.ini.AbCd12",
                                  "ini.ini.AbCdEfG",
                                  "ini.ini.AbCdEf.x"};
        const utimbuf old{::time(nullptr) - 120, ::time(nullptr) - 120};
        for (const QString &name : stale + kept) {
            put(dir.filePath(name), "[S]\r\na=0\r\n");
            if (name != kept.first())
                ::utime(QFile::encodeName(dir.filePath(name)).constData(), &old);
        }
        QVERIFY(QDir(dir.path()).mkdir("ini.ini.DiRect"));
        QVERIFY(QFile::link(dir.filePath("ini.ini.AbCd12"), dir.filePath("ini.ini.LiNkEd")));
        QVERIFY(WriteSettingTo(f, "S", "a", "4"));
        QStringList expected = kept + QStringList{"ini.ini", "ini.ini.DiRect", "ini.ini.LiNkEd"};
        expected.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name),
                 expected);
    }

    // A key is looked for in its own section only: [Stream1] without Adres
    // must not play the address of [Stream2], and writing it adds the key to
    // [Stream1] instead of changing [Stream2].
    void keyMissingFromItsSectionIsMissing()
    {
        const QString f = path("sections.ini");
        put(f, "[Stream1]\nX=1\n[Stream2]\nAdres=twee\n[Stream3]\n[Stream4]\nAdres=vier\n");
        QCOMPARE(ReadSettingFrom(f, "Stream1", "Adres", "Auto"), QString("Auto"));
        QCOMPARE(ReadSettingFrom(f, "Stream3", "Adres", "Auto"), QString("Auto"));
        QVERIFY(WriteSettingTo(f, "Stream1", "Adres", "een"));
        QVERIFY(WriteSettingTo(f, "Stream3", "Adres", "drie"));
        QCOMPARE(get(f), QByteArray("[Stream1]\nX=1\nAdres=een\n[Stream2]\nAdres=twee\n"
                                    "[Stream3]\nAdres=drie\n[Stream4]\nAdres=vier\n"));
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
            random,
            QByteArray(1000, '\0'),
            "[S]\na=\xFF\xFE\xC3(\x80\n",
            bigLine,
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
    }

    // A file is UTF-8 only when all of it is well-formed UTF-8; anything
    // else is Windows-1252, in which every byte is a character.
    void encodingOfAFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<QString>("value");
        const auto row = [](const char *name, const QByteArray &value, Encoding e, const QString &text) {
            QTest::newRow(name) << "[S]\r\na=" + value + "\r\n" << e << text;
        };
        row("ascii", "x", Encoding::Utf8, "x");
        row("utf-8", "caf\xC3\xA9 \xE2\x82\xAC", Encoding::Utf8, "café €");
        row("largest code point", "\xF4\x8F\xBF\xBF", Encoding::Utf8, QString::fromUcs4(U"\U0010FFFF"));
        row("byte-order mark inside a value", "\xEF\xBB\xBFx", Encoding::Utf8, QChar(0xFEFF) + QString("x"));
        row("latin", "caf\xE9", Encoding::Windows1252, "café");
        row("lone continuation byte", "\x80", Encoding::Windows1252, "€");
        row("cut-off sequence", "\xC3", Encoding::Windows1252, "Ã");
        row("over-long two bytes", "\xC1\xBF", Encoding::Windows1252, "Á¿");
        row("over-long three bytes", "\xE0\x9F\xBF", Encoding::Windows1252, "àŸ¿");
        row("over-long four bytes", "\xF0\x8F\xBF\xBF", Encoding::Windows1252, QString::fromUtf16(u"ð\u008F¿¿"));
        row("surrogate", "\xED\xA0\x80", Encoding::Windows1252, QString::fromUtf16(u"í\u00A0€"));
        row("above U+10FFFF", "\xF4\x90\x80\x80", Encoding::Windows1252, "ô\u0090€€");
        row("F5 lead", "\xF5\x80\x80\x80", Encoding::Windows1252, "õ€€€");
        row("continuation missing", "\xE2\x82(", Encoding::Windows1252, "â‚(");
        row("unassigned bytes", "\x81\x8D\x8F\x90\x9D", Encoding::Windows1252,
            QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D"));
        row("typographic bytes", "\x80\x8A\x8C\x99\x9F\xA0\xFF", Encoding::Windows1252,
            QString::fromUtf16(u"€ŠŒ™Ÿ\u00A0ÿ"));
    }

    void encodingOfAFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Encoding, encoding);
        QFETCH(QString, value);
        const QString f = path("encoding.ini");
        put(f, bytes);
        QCOMPARE(IniDocument::parse(bytes).encoding(), encoding);
        QCOMPARE(ReadSettingFrom(f, "S", "a", "d"), value);
        // What was read and is saved again keeps its bytes.
        QVERIFY(WriteSettingTo(f, "S", "a", value));
        QCOMPARE(get(f), bytes);
    }

    void windows1252CodePage()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        const QString text = TextCodec::decodeWindows1252(all);
        QCOMPARE(text.size(), 256);
        QVERIFY(TextCodec::fitsWindows1252(text));
        QCOMPARE(TextCodec::encodeWindows1252(text), all);
        QVERIFY(!TextCodec::fitsWindows1252(QString::fromUtf16(u"\u0080")));
        QVERIFY(!TextCodec::fitsWindows1252(QString::fromUtf16(u"Łódź")));
        QCOMPARE(TextCodec::encodeWindows1252(QString::fromUtf16(u"a€Łb")), QByteArray("a\x80?b"));
    }

    // Profile files written on Windows are in its ANSI code page: they stay
    // in it, and only the written line changes. Text the code page cannot
    // hold turns the whole file into UTF-8, every line keeping its text.
    void windows1252FileStaysWindows1252()
    {
        const QString f = path("ansi.ini");
        QByteArray expected = "; Caf\xE9 \x80 notitie\r\n[Stream1]\r\nAdres=http://h/caf\xE9\x80\r\n"
                              "[Stream2]\r\nAdres=Auto\r\n[\xC9t\xE9]\r\nsl\xFC\x9A"
                              "el=\x81\x8D\r\n";
        put(f, expected);
        QCOMPARE(ReadSettingFrom(f, "Stream1", "Adres", "d"), QString("http://h/café€"));
        QCOMPARE(ReadSettingFrom(f, "éTÉ", "SLÜŠEL", "d"), QString::fromUtf16(u"\u0081\u008D"));
        QVERIFY(WriteSettingTo(f, "Stream2", "Adres", "crème brûlée €"));
        expected.replace("Adres=Auto", "Adres=cr\xE8me br\xFBl\xE9"
                                       "e \x80");
        QVERIFY(WriteSettingTo(f, "Kijkraam", "Nieuws", "Ja"));
        expected += "[Kijkraam]\r\nNieuws=Ja\r\n";
        QCOMPARE(get(f), expected);

        QVERIFY(WriteSettingTo(f, "Stream2", "Adres", "Łódź"));
        QCOMPARE(get(f), QByteArray("; Caf\xC3\xA9 \xE2\x82\xAC notitie\r\n[Stream1]\r\n"
                                    "Adres=http://h/caf\xC3\xA9\xE2\x82\xAC\r\n[Stream2]\r\n"
                                    "Adres=\xC5\x81\xC3\xB3"
                                    "d\xC5\xBA\r\n[\xC3\x89t\xC3\xA9]\r\n"
                                    "sl\xC3\xBC\xC5\xA1"
                                    "el=\xC2\x81\xC2\x8D\r\n[Kijkraam]\r\nNieuws=Ja\r\n"));
        QCOMPARE(ReadSettingFrom(f, "Stream1", "Adres", "d"), QString("http://h/café€"));
        QCOMPARE(ReadSettingFrom(f, "Stream2", "Adres", "d"), QString("Łódź"));
    }

    // Inputs on which a write changed more than its own line.
    void fuzzFindings()
    {
        // A lone CR, the file's first ending, in front of a blank line that
        // ends in LF would read back as one CRLF and lose the blank line.
        IniDocument doc = IniDocument::parse("[a]\rk=1\n\n[b]\r\n");
        doc.setValue("a", "new", "v");
        QCOMPARE(doc.toBytes(), QByteArray("[a]\rk=1\nnew=v\n\n[b]\r\n"));

        // Replacing the only byte that is not UTF-8 leaves bytes that are:
        // the next read would take "Ã©" for "é". The file becomes UTF-8.
        const QString f = path("becomes-utf8.ini");
        put(f, "[S]\na=\xFF\nb=\xC3\xA9\n");
        QVERIFY(WriteSettingTo(f, "S", "a", "Ã©"));
        QCOMPARE(get(f), QByteArray("[S]\na=\xC3\x83\xC2\xA9\nb=\xC3\x83\xC2\xA9\n"));
        QCOMPARE(ReadSettingFrom(f, "S", "b", "d"), QString("Ã©"));
        put(f, "[S]\na=\xFF\n"); // all ASCII afterwards: nothing to re-encode
        QVERIFY(WriteSettingTo(f, "S", "a", "x"));
        QCOMPARE(get(f), QByteArray("[S]\na=x\n"));
    }

    // Where the settings file and automatic snapshots live.
    void whereDataLives_data()
    {
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("beside");
        QTest::newRow("portable folder") << "/home/u/kijkraam" << true << true;
        QTest::newRow("read-only medium") << "/media/u/cd/kijkraam" << false << false;
        QTest::newRow("package, or root") << "/usr/bin" << true << false;
        QTest::newRow("local install") << "/usr/local/bin" << true << false;
        QTest::newRow("add-on package") << "/opt/kijkraam/bin" << true << false;
        QTest::newRow("merged bin") << "/bin" << true << false;
        QTest::newRow("snap") << "/snap/kijkraam/1/usr/bin" << true << false;
        QTest::newRow("tree named alike") << "/usrlocal/bin" << true << true;
        QTest::newRow("opt-like") << "/optics" << true << true;
        QTest::newRow("path through a tree") << "/usr/../home/u/k" << true << true;
        QTest::newRow("root of the file system") << "/" << true << true;
    }

    void whereDataLives()
    {
        QFETCH(QString, programDir);
        QFETCH(bool, writable);
        QFETCH(bool, beside);
        QCOMPARE(DataPlaces::besideProgram(programDir, writable), beside);
    }

    void perUserPlaces()
    {
        using namespace DataPlaces;
        QCOMPARE(userSettingsDir("", "/home/u"), QString("/home/u/.config/kijkraam"));
        QCOMPARE(userSettingsDir("/x/cfg/", "/home/u"), QString("/x/cfg/kijkraam"));
        QCOMPARE(userSettingsDir("relative/cfg", "/home/u"), QString("/home/u/.config/kijkraam"));
        QCOMPARE(userSnapshotDir("/home/u/Afbeeldingen", "/home/u"), QString("/home/u/Afbeeldingen/Kijkraam"));
        QCOMPARE(userSnapshotDir("", "/home/u"), QString("/home/u/Pictures/Kijkraam"));

        QTemporaryDir home;
        ScopedEnv env;
        env.set("HOME", home.path());
        env.set("XDG_CONFIG_HOME", home.filePath("cfg"));
        QDir(home.path()).mkdir("cfg");
        put(home.filePath("cfg/user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/Beelden\"\n");
        const Place settings = settingsFor("/usr/bin");
        QCOMPARE(settings.dir, home.filePath("cfg/kijkraam"));
        QVERIFY(settings.perUser);
        const Place snapshots = snapshotsFor("/usr/bin");
        QCOMPARE(snapshots.dir, home.filePath("Beelden/Kijkraam"));
        QVERIFY(snapshots.perUser);
        QCOMPARE(settingsFor(m_dir.path()).dir, m_dir.path());
        QVERIFY(!snapshotsFor(m_dir.path()).perUser);
        QVERIFY(settingsFor(m_dir.filePath("missing")).perUser);
    }

    // Installed where the user cannot write: settings go to the user's
    // configuration directory, made (private to the user) by the first
    // write. An ini.ini beside the program serves until then, and the
    // user's file starts as a copy of it.
    void settingsOfAnInstalledProgram()
    {
        QTemporaryDir home, program;
        ScopedEnv env;
        env.set("HOME", home.path());
        env.set("XDG_CONFIG_HOME", home.filePath("deep/cfg"));
        const QString beside = program.filePath("ini.ini");
        const QString mine = home.filePath("deep/cfg/kijkraam/ini.ini");
        put(beside, "[Kijkraam]\r\nNieuws=Ja\r\n");
        QFile::setPermissions(beside, QFile::ReadOwner);
        const auto programDir = ProgramDir::seam.standIn({program.path(), true});
        QCOMPARE(settingsPath(), mine);
        QCOMPARE(ReadSetting("Kijkraam", "Nieuws", "Nee"), QString("Ja"));
        QVERIFY(!QFile::exists(home.filePath("deep"))); // reading makes nothing
        QVERIFY(WriteSetting("Kijkraam", "Autostart", "Ja"));
        QCOMPARE(modeOf(mine), 0600); // the copy is the user's to change, and the user's alone
        QVERIFY(WriteSetting("Kijkraam", "Autostart", "Nee"));
        QCOMPARE(get(mine), QByteArray("[Kijkraam]\r\nNieuws=Ja\r\nAutostart=Nee\r\n"));
        QCOMPARE(get(beside), QByteArray("[Kijkraam]\r\nNieuws=Ja\r\n"));
        const auto privateDir = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                                | QFile::WriteUser | QFile::ExeUser;
        for (const char *dir : {"deep", "deep/cfg", "deep/cfg/kijkraam"})
            QCOMPARE(QFile::permissions(home.filePath(dir)), privateDir);
        QFile::setPermissions(beside, QFile::ReadOwner | QFile::WriteOwner);
        put(beside, "[Kijkraam]\r\nNieuws=Nee\r\n");
        QCOMPARE(ReadSetting("Kijkraam", "Nieuws", "d"), QString("Ja")); // the user's file wins

        const DataPlaces::Place snapshots = DataPlaces::snapshots();
        QCOMPARE(snapshots.dir, home.filePath("Pictures/Kijkraam"));
        QVERIFY(DataPlaces::prepare(snapshots));
        QVERIFY(QFileInfo(snapshots.dir).isDir());
    }

    void settingsPathFollowsProgramDir()
    {
        std::optional<Seam<ProgramDir::StandIn>::Override> programDir;
        programDir.emplace(ProgramDir::seam, ProgramDir::StandIn{"/"});
        QCOMPARE(settingsPath(), QString("//ini.ini"));
        programDir.emplace(ProgramDir::seam, ProgramDir::StandIn{m_dir.path()});
        QCOMPARE(settingsPath(), m_dir.path() + "/ini.ini");
        QVERIFY(WriteSetting("Stream1", "Adres", "Auto"));
        QCOMPARE(get(m_dir.filePath("ini.ini")), QByteArray("[Stream1]\r\nAdres=Auto\r\n"));
        QTemporaryDir other;
        programDir.emplace(ProgramDir::seam, ProgramDir::StandIn{other.path()});
        QCOMPARE(ReadSetting("Stream1", "Adres", "none"), QString("none"));
        programDir.emplace(ProgramDir::seam, ProgramDir::StandIn{m_dir.path()});
        QCOMPARE(ReadSetting("stream1", "adres", "none"), QString("Auto"));
    }
};

QTEST_GUILESS_MAIN(TstIni)
#include "tst_ini.moc"
