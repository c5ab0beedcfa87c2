// The options and stream-addresses windows: layout, what each click writes
// to ini.ini, one instance each, and when a saved address reaches a player.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "common/SystemColors.h"
#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

class TestConfig : public QObject {
    Q_OBJECT

    static Form *opties() { return Forms::show(WindowKey::Options); }
    static Form *adressen() { return Forms::find(WindowKey::StreamAddresses); }
    static void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    // A button of a window, clicked.
    static void click(const QObject *w, const char *button) { click(named<QPushButton>(w, QLatin1String(button))); }
    static TextField *text(const QObject *w, const char *name) { return named<TextField>(w, QLatin1String(name)); }
    static QList<QLabel *> labels(const QObject *w, const QStringList &names)
    {
        QList<QLabel *> list;
        for (const QString &name : names)
            list << named<QLabel>(w, name);
        return list;
    }
    static void closeNow(QWidget *w)
    {
        w->close();
        TestEnv::flushDeletes();
    }
    static QStringList fields(const QObject *a)
    {
        return {text(a, "Text1")->Text(), text(a, "Text2")->Text(), text(a, "Text3")->Text(), text(a, "Text4")->Text()};
    }
    // What Tab visits from `first` on.
    static QStringList tabChain(QWidget *first)
    {
        QStringList names;
        for (QWidget *w = first; names.size() < 20; w = w->nextInFocusChain()) {
            if (w == first && !names.isEmpty())
                break;
            if (w->focusPolicy() & Qt::TabFocus)
                names << w->objectName();
        }
        return names;
    }
    static void checkLabels(const QList<QLabel *> &labels, double points, const QColor &colour)
    {
        for (QLabel *l : labels) {
            QCOMPARE(l->font().family(), QStringLiteral("MS Sans Serif"));
            QCOMPARE(l->font().pointSizeF(), points);
            QVERIFY(l->font().bold());
            QCOMPARE(l->palette().color(QPalette::WindowText), colour);
            QVERIFY(l->autoFillBackground() && l->palette().color(QPalette::Window) == Qt::black);
            QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width(), qPrintable(l->text()));
        }
    }
    static void checkWindow(Form *f, const QString &title, QSize client)
    {
        QCOMPARE(f->windowTitle(), title);
        QCOMPARE(f->client()->size(), client);
        QCOMPARE(f->minimumSize(), f->maximumSize());
        QVERIFY(!(f->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(f->client()->palette().color(QPalette::Window), QColor(Qt::black));
    }

private slots:
    void initTestCase() { FakeBackend::install(); }
    void cleanupTestCase() { FakeBackend::uninstall(); }

    void layouts_placesFontsAndFocusOrder()
    {
        TestEnv env;
        Form *o = opties();
        checkWindow(o, QStringLiteral("Opties"), QSize(435, 245));
        QCOMPARE(named(o, "Command8")->geometry(), QRect(312, 168, 41, 17));
        QCOMPARE(named(o, "Command4")->geometry(), QRect(360, 216, 65, 25));
        QCOMPARE(named(o, "Label4")->geometry(), QRect(16, 88, 185, 25));
        QCOMPARE(named<QPushButton>(o, "Command4")->text(), QStringLiteral("Opslaan"));
        QCOMPARE(named<QLabel>(o, "Label6")->text(), QStringLiteral("Start Nieuws-ticker bij starten Kijkraam:"));
        checkLabels(labels(o, {"Label1", "Label2", "Label3", "Label6"}), 8.25, SystemColors::scrollBar());
        checkLabels(labels(o, {"Label4", "Label5"}), 12, SystemColors::inactiveTitleBar());
        QCOMPARE(tabChain(named(o, "Command1")), (QStringList{"Command1", "Command2", "Command3", "Command4",
                                                              "Command5", "Command6", "Command7", "Command8"}));
        click(o, "Command3");
        Form *a = adressen();
        checkWindow(a, QStringLiteral("Streams"), QSize(378, 184));
        QCOMPARE(named(a, "Label3")->geometry(), QRect(8, 80, 57, 17));
        QCOMPARE(named(a, "Text4")->geometry(), QRect(72, 112, 297, 19));
        QCOMPARE(named(a, "Command2")->geometry(), QRect(72, 152, 57, 25));
        QCOMPARE(named<QLabel>(a, "Label4")->text(), QStringLiteral("Stream4:"));
        checkLabels(labels(a, {"Label1", "Label2", "Label3", "Label4"}), 8.25, SystemColors::scrollBar());
        QCOMPARE(tabChain(named(a, "Text1")),
                 (QStringList{"Text1", "Text2", "Text3", "Text4", "Command1", "Command2"}));
        if (!qEnvironmentVariableIsEmpty("KIJKRAAM_SCREENSHOT_DIR")) {
            o->grab().save(qEnvironmentVariable("KIJKRAAM_SCREENSHOT_DIR") + QStringLiteral("/opties.png"));
            a->grab().save(qEnvironmentVariable("KIJKRAAM_SCREENSHOT_DIR") + QStringLiteral("/adressen.png"));
        }
    }

    void opties_eachClickWritesOneKeyClosingWritesNothing()
    {
        TestEnv env;
        click(opties(), "Command4");
        TestEnv::flushDeletes();
        closeNow(opties()); // the close box
        QVERIFY(!Forms::find(WindowKey::Options));
        QVERIFY(!QFile::exists(env.iniPath()));

        const QByteArray original = "; notitie\r\n[Kijkraam]\r\nAutostart=Nee\r\nautosave_snapshot=Ja\r\n"
                                    "Nieuws=Nee\r\n[Stream1]\r\nAdres=Auto\r\n";
        struct Case {
            const char *button;
            QByteArray from, to, fresh;
        };
        const Case cases[] = {{"Command1", "Autostart=Nee", "Autostart=Ja", "Autostart=Ja"},
                              {"Command2", "Autostart=Nee", "Autostart=Nee", "Autostart=Nee"},
                              {"Command5", "snapshot=Ja", "snapshot=Ja", "Autosave_Snapshot=Ja"},
                              {"Command6", "snapshot=Ja", "snapshot=Nee", "Autosave_Snapshot=Nee"},
                              {"Command7", "Nieuws=Nee", "Nieuws=Ja", "Nieuws=Ja"},
                              {"Command8", "Nieuws=Nee", "Nieuws=Nee", "Nieuws=Nee"}};
        Form *o = opties();
        for (const Case &c : cases) {
            QFile::remove(env.iniPath());
            click(o, c.button);
            QCOMPARE(env.readIni(), "[Kijkraam]\r\n" + c.fresh + "\r\n");
            env.writeIni(original);
            click(o, c.button);
            QCOMPARE(env.readIni(), QByteArray(original).replace(c.from, c.to));
        }
        // The last click wins, and closing undoes nothing.
        for (const char *b : {"Command1", "Command2", "Command6", "Command5", "Command7"})
            click(o, b);
        closeNow(o);
        QCOMPARE(env.readIni(), QByteArray(original).replace("Nieuws=Nee", "Nieuws=Ja"));
    }

    void adressen_loadSaveResetAndCloseBox()
    {
        TestEnv env;
        click(opties(), "Command3");
        Form *a = adressen();
        QCOMPARE(fields(a), QStringList(4, QStringLiteral("Auto")));
        QVERIFY(!QFile::exists(env.iniPath()));
        text(a, "Text2")->clear();
        QTest::keyClicks(text(a, "Text2"), QStringLiteral(" Rtsp://Host/X "));
        text(a, "Text3")->clear();
        text(a, "Text4")->setText(QStringLiteral("auto"));
        click(a, "Command1");
        TestEnv::flushDeletes();
        QVERIFY(!adressen());
        QCOMPARE(env.readIni(), QByteArray("[Stream1]\r\nAdres=Auto\r\n[Stream2]\r\nAdres= Rtsp://Host/X \r\n"
                                           "[Stream3]\r\nAdres=\r\n[Stream4]\r\nAdres=auto\r\n"));

        // Longer than a plain line edit holds (32,767 characters).
        const QByteArray longUrl = "http://127.0.0.1:9/" + QByteArray(40000, 'y');
        const QByteArray stored = "[Kijkraam]\nNieuws=Ja\n[stream1]\nADRES=Auto\n[Stream2]\nAdres=mms://a/b\n"
                                  "[Stream3]\nAdres=\n[Stream4]\nAdres="
                                  + longUrl + "\n";
        env.writeIni(stored);
        click(opties(), "Command3");
        a = adressen();
        QCOMPARE(fields(a), (QStringList{"Auto", "mms://a/b", "", QString::fromLatin1(longUrl)}));
        click(a, "Command1"); // unchanged fields leave the file as it was
        QCOMPARE(env.readIni(), stored);

        click(opties(), "Command3");
        a = adressen();
        text(a, "Text1")->setText(QStringLiteral("getypt"));
        click(a, "Command2");
        const QByteArray reset = "[Kijkraam]\nNieuws=Ja\n[stream1]\nADRES=Auto\n[Stream2]\nAdres=Auto\n"
                                 "[Stream3]\nAdres=Auto\n[Stream4]\nAdres=Auto\n";
        QCOMPARE(env.readIni(), reset);
        QCOMPARE(fields(a), QStringList(4, QStringLiteral("Auto")));
        QVERIFY(a->isVisible());
        text(a, "Text2")->setText(QStringLiteral("weg"));
        closeNow(a); // the close box writes nothing
        QCOMPARE(env.readIni(), reset);
    }

    void failedReset_showsWhatTheFileStillHolds()
    {
        TestEnv env;
        // Readable, but larger than the settings module will rewrite.
        env.writeIni("[Stream1]\r\nAdres=eigen\r\n" + QByteArray(64 * 1024 * 1024, ' '));
        click(opties(), "Command3");
        click(adressen(), "Command2");
        QCOMPARE(fields(adressen()), (QStringList{"eigen", "Auto", "Auto", "Auto"}));
        QVERIFY(env.readIni().startsWith("[Stream1]\r\nAdres=eigen\r\n"));
    }

    void endToEnd_oneInstanceEachAndTheNextLoadSeesTheChange()
    {
        TestEnv env;
        Form *main = Forms::show(WindowKey::Main);
        auto player = [&main](int slot) {
            return named<WindowsMediaPlayer>(main, QStringLiteral("WindowsMediaPlayer%1").arg(slot));
        };
        named<QAction>(main, "mnuOpties")->trigger();
        Form *o = Forms::find(WindowKey::Options);
        QVERIFY(o && o->isVisible() && !o->parentWidget());
        QCOMPARE(opties(), o);
        click(o, "Command1"); // Autostart = Ja
        click(o, "Command3");
        Form *a = adressen();
        text(a, "Text2")->setText(QStringLiteral("rtsp://127.0.0.1:9/nieuw"));
        click(o, "Command3"); // the same window, the typed text kept
        QCOMPARE(adressen(), a);
        QCOMPARE(text(a, "Text2")->Text(), QStringLiteral("rtsp://127.0.0.1:9/nieuw"));
        closeNow(o); // the addresses window stays and still saves
        QVERIFY(adressen() == a && a->isVisible());
        click(a, "Command1");
        QCOMPARE(player(2)->URL(), QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/KR2.asx"));
        QCOMPARE(FakeBackend::of(player(2))->calls.last(), QStringLiteral("stop"));

        named<QAction>(main, "mnuOpties")->trigger();
        closeNow(main); // the options window outlives its opener
        QVERIFY(Forms::find(WindowKey::Options));
        main = Forms::show(WindowKey::Main);
        QCOMPARE(player(1)->URL(), QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/KR1.asx"));
        QCOMPARE(FakeBackend::of(player(2))->current, QStringLiteral("rtsp://127.0.0.1:9/nieuw"));
    }

    // A settings file written on Windows is in its ANSI code page
    // (Windows-1252). Through the addresses window its accented addresses
    // show as typed there, an unchanged save keeps every byte, a changed
    // address is written in Windows-1252 beside the others' untouched
    // bytes, and an address the code page cannot hold turns the whole file
    // into UTF-8 without losing a character.
    void adressen_windows1252FileRoundTrip()
    {
        TestEnv env;
        const QByteArray ansi = "; Caf\xE9-adressen\r\n[Stream1]\r\nAdres=http://h/caf\xE9\r\n"
                                "[Stream2]\r\nAdres=mms://h/\x80uro\r\n[Stream3]\r\nAdres=Auto\r\n"
                                "[Stream4]\r\nAdres=rtsp://h/na\xEFve\r\n";
        env.writeIni(ansi);
        const auto save = [](const QStringList &typed) {
            QWidget *w = Forms::show(WindowKey::StreamAddresses);
            QStringList shown;
            for (int slot = 1; slot <= 4; ++slot) {
                auto *field = w->findChild<QLineEdit *>(QStringLiteral("Text%1").arg(slot));
                shown << field->text();
                if (!typed.value(slot - 1).isNull())
                    field->setText(typed.value(slot - 1));
            }
            QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
            TestEnv::flushDeletes();
            return shown;
        };
        QCOMPARE(save({}), (QStringList{"http://h/café", "mms://h/€uro", "Auto", "rtsp://h/naïve"}));
        QVERIFY(!Forms::find(WindowKey::StreamAddresses));
        QCOMPARE(env.readIni(), ansi);

        save({QString(), QString(), QStringLiteral("http://h/crème")});
        QCOMPARE(env.readIni(), QByteArray(ansi).replace("Adres=Auto", "Adres=http://h/cr\xE8me"));

        const QStringList shown = save({QStringLiteral("http://h/Łódź")});
        QCOMPARE(shown, (QStringList{"http://h/café", "mms://h/€uro", "http://h/crème", "rtsp://h/naïve"}));
        QCOMPARE(env.readIni(), QByteArray("; Caf\xC3\xA9-adressen\r\n[Stream1]\r\nAdres=http://h/\xC5\x81\xC3\xB3"
                                           "d\xC5\xBA\r\n[Stream2]\r\nAdres=mms://h/\xE2\x82\xACuro\r\n"
                                           "[Stream3]\r\nAdres=http://h/cr\xC3\xA8me\r\n[Stream4]\r\n"
                                           "Adres=rtsp://h/na\xC3\xAFve\r\n"));
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestConfig)
#include "tst_config.moc"
