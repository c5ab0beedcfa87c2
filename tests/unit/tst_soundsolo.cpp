// "One sound at a time": which players of a window sound after each choice
// of "Alleen dit geluid" and of the players' own mute buttons.
#include "player/SoundSolo.h"

#include <QtTest>

namespace {
// "0101" -> players 2 and 4 muted.
QList<bool> mutedOf(const QString &text)
{
    QList<bool> muted;
    for (QChar c : text)
        muted << (c == QLatin1Char('1'));
    return muted;
}
QString textOf(const QList<bool> &muted)
{
    QString text;
    for (bool m : muted)
        text += m ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}
} // namespace

class TestSoundSolo : public QObject {
    Q_OBJECT

private slots:
    void choices_data()
    {
        // Steps: "solo N" (the menu item on player N, from 0), "mute N" and
        // "unmute N" (player N's own button). After them: who is muted, who
        // has the solo.
        QTest::addColumn<QString>("muted");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("mutedAfter");
        QTest::addColumn<int>("soloedAfter");
        QTest::newRow("solo mutes the others") << "0000" << QStringList{"solo 1"} << "1011" << 1;
        QTest::newRow("solo unmutes the chosen one") << "1111" << QStringList{"solo 2"} << "1101" << 2;
        QTest::newRow("chosen again: every sound back") << "0000" << QStringList{"solo 1", "solo 1"} << "0000" << -1;
        QTest::newRow("sounds back even those muted before")
            << "1100" << QStringList{"solo 3", "solo 3"} << "0000" << -1;
        QTest::newRow("solo moves to another player") << "0000" << QStringList{"solo 1", "solo 3"} << "1110" << 3;
        QTest::newRow("the soloed player muted: solo ends")
            << "0000" << QStringList{"solo 0", "mute 0"} << "1111" << -1;
        QTest::newRow("another player unmuted: solo ends, two sound")
            << "0000" << QStringList{"solo 0", "unmute 2"} << "0101" << -1;
        QTest::newRow("a muted player muted again: solo holds")
            << "0000" << QStringList{"solo 0", "mute 2"} << "0111" << 0;
        QTest::newRow("the soloed player unmuted again: solo holds")
            << "0000" << QStringList{"solo 0", "unmute 0"} << "0111" << 0;
        QTest::newRow("after the solo ended, solo again")
            << "0000" << QStringList{"solo 0", "unmute 2", "solo 0"} << "0111" << 0;
        QTest::newRow("after the solo ended, choosing it is a new solo, not an undo")
            << "0000" << QStringList{"solo 1", "mute 1", "solo 1"} << "1011" << 1;
        QTest::newRow("mute without a solo") << "0000" << QStringList{"mute 2", "unmute 2", "mute 3"} << "0001" << -1;
        QTest::newRow("a player that is not there changes nothing")
            << "0000" << QStringList{"solo 1", "solo 7", "mute -1"} << "1011" << 1;
    }
    void choices()
    {
        QFETCH(QString, muted);
        QFETCH(QStringList, steps);
        QFETCH(QString, mutedAfter);
        QFETCH(int, soloedAfter);
        SoundSolo::Players players{mutedOf(muted), -1};
        for (const QString &step : steps) {
            const QStringList parts = step.split(QLatin1Char(' '));
            const int index = parts.at(1).toInt();
            if (parts.first() == QLatin1String("solo"))
                players = SoundSolo::solo(players, index);
            else
                players = SoundSolo::mute(players, index, parts.first() == QLatin1String("mute"));
            // The solo that is kept is always a true one.
            QVERIFY2(players.soloed < 0 || SoundSolo::holds(players), qPrintable(step));
        }
        QCOMPARE(textOf(players.muted), mutedAfter);
        QCOMPARE(players.soloed, soloedAfter);
    }
};

QTEST_GUILESS_MAIN(TestSoundSolo)
#include "tst_soundsolo.moc"
