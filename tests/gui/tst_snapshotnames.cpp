// Names of automatic snapshots, and the files written under them.
#include "stream/SnapshotCapture.h"
#include "stream/SnapshotNames.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

class TestSnapshotNames : public QObject {
    Q_OBJECT

    static QDateTime at(int y, int mo, int d, int h, int mi, int s) { return {QDate(y, mo, d), QTime(h, mi, s)}; }

private slots:
    void names_prefixStampSuffixAndRootDirectory()
    {
        for (int slot = 1; slot <= 4; ++slot)
            QCOMPARE(SnapshotNames::prefix(slot), QStringLiteral("SnapshotStream%1_").arg(slot));
        QCOMPARE(SnapshotNames::fileName(1, at(2026, 12, 6, 23, 42, 59)),
                 QStringLiteral("SnapshotStream1_06-12-26_234259.bmp"));
        QCOMPARE(SnapshotNames::fileName(3, at(2027, 3, 1, 9, 5, 7)),
                 QStringLiteral("SnapshotStream3_01-03-27_090507.bmp"));
        // Around midnight and the turn of the year; years keep two digits.
        QCOMPARE(SnapshotNames::stamp(at(2026, 12, 31, 23, 59, 59)), QStringLiteral("31-12-26_235959"));
        QCOMPARE(SnapshotNames::stamp(at(2027, 1, 1, 0, 0, 0)), QStringLiteral("01-01-27_000000"));
        QCOMPARE(SnapshotNames::stamp(at(2000, 7, 4, 12, 0, 1)), QStringLiteral("04-07-00_120001"));
        QCOMPARE(SnapshotNames::stamp(at(2105, 2, 28, 13, 7, 9)), QStringLiteral("28-02-05_130709"));
        // A taken name gets "_2", "_3", ... before ".bmp".
        const QDateTime t = at(2026, 12, 6, 23, 42, 59);
        QCOMPARE(SnapshotNames::fileName(2, t, 2), QStringLiteral("SnapshotStream2_06-12-26_234259_2.bmp"));
        QCOMPARE(SnapshotNames::fileName(2, t, 17), QStringLiteral("SnapshotStream2_06-12-26_234259_17.bmp"));
        // The separator is always inserted: at the root there are two in a row.
        const QString sep = QDir::separator();
        QCOMPARE(SnapshotNames::path(QStringLiteral("/opt/kr"), 4, t),
                 "/opt/kr" + sep + "SnapshotStream4_06-12-26_234259.bmp");
        QCOMPARE(SnapshotNames::path(QStringLiteral("/"), 1, t), "/" + sep + "SnapshotStream1_06-12-26_234259.bmp");
    }

    void saveAutomatic_readableBitmapsNeverReplacedNothingLeftOnFailure()
    {
        QTemporaryDir dir;
        const QDateTime t = at(2027, 3, 1, 9, 5, 7);
        QImage picture(37, 23, QImage::Format_ARGB32); // odd width: BMP rows are padded
        picture.fill(QColor(10, 200, 30));
        picture.setPixelColor(36, 22, QColor(0, 0, 255));

        const QString first = SnapshotCapture::saveAutomatic(picture, 3, dir.path(), t);
        QCOMPARE(first, dir.path() + QDir::separator() + "SnapshotStream3_01-03-27_090507.bmp");
        QImageReader reader(first);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        const QImage back = reader.read();
        QCOMPARE(back.size(), QSize(37, 23));
        QCOMPARE(back.pixelColor(36, 22), QColor(0, 0, 255));
        QCOMPARE(back.pixelColor(5, 5), QColor(10, 200, 30));
        QVERIFY(QFileInfo(first).permissions() & QFileDevice::ReadOther);

        // Same slot, same second: new names, the first file untouched.
        QVERIFY(SnapshotCapture::saveAutomatic(picture.copy(0, 0, 5, 5), 3, dir.path(), t).endsWith("_090507_2.bmp"));
        QDir(dir.path()).mkdir(SnapshotNames::fileName(3, t, 3)); // a directory takes a name too
        QVERIFY(SnapshotCapture::saveAutomatic(picture, 3, dir.path(), t).endsWith("_090507_4.bmp"));
        QCOMPARE(QImage(first).size(), QSize(37, 23));
        QVERIFY(
            SnapshotCapture::saveAutomatic(picture, 4, dir.path(), t).endsWith("SnapshotStream4_01-03-27_090507.bmp"));

        // No picture, or a "directory" that is a plain file (unwritable even
        // for root): nothing is written and no temporary file is left.
        QVERIFY(SnapshotCapture::saveAutomatic(QImage(), 1, dir.path(), t).isEmpty());
        QVERIFY(SnapshotCapture::saveAutomatic(picture, 1, first, t).isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"SnapshotStream3_01-03-27_090507.bmp", "SnapshotStream3_01-03-27_090507_2.bmp",
                              "SnapshotStream3_01-03-27_090507_4.bmp", "SnapshotStream4_01-03-27_090507.bmp"}));
    }
};

QTEST_GUILESS_MAIN(TestSnapshotNames)
#include "tst_snapshotnames.moc"
