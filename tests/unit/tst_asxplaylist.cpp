#include "player/AsxPlaylist.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace Asx;

namespace {
const QUrl Web("http://example.com/lists/live.asx");
const QUrl Local = QUrl::fromLocalFile("/home/user/lists/live.asx");

// All REF addresses of all entries, in order, for compact comparisons.
QStringList refsOf(const Playlist &p)
{
    QStringList out;
    for (const Item &item : p.items)
        out += item.kind == Item::Entry ? item.refs.join(QLatin1Char('|')) : "->" + item.href;
    return out;
}
}

class TstAsxPlaylist : public QObject {
    Q_OBJECT
private slots:
    void ordinaryPlaylists()
    {
        const Playlist p = parse(
            "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- made by hand <ENTRY> -->\n"
            "<asx version=\"3.0\"><TITLE>Live <b>x</b></TITLE>\n"
            "<Entry><Ref href=\"mms://media.example.com/one\"/><PARAM NAME=\"a\" VALUE=\"b\"/>"
            "<REF HREF=\"http://b.example.com/one\" /><ref href=\"rtsp://c/one\"></Entry>\n"
            "<ENTRYREF HREF=\"more.asx\"/>\n<eNtRy><![CDATA[<REF HREF=\"http://no/\">]]>"
            "<rEf HrEf=\"two.wmv\"></eNtRy>\n</ASX>\n<ENTRY><REF HREF=\"http://after/\"></ENTRY>",
            Web);
        QVERIFY(p.valid);
        QCOMPARE(p.items.size(), 3);
        QCOMPARE(p.items[1].kind, Item::EntryRef);
        QCOMPARE(refsOf(p), QStringList({
            "mms://media.example.com/one|http://b.example.com/one|rtsp://c/one",
            "->http://example.com/lists/more.asx", "http://example.com/lists/two.wmv"}));
        QVERIFY(!parse("<html><body>no playlist</body></html>", Web).valid);
        QVERIFY(parse("", Web).items.isEmpty());
    }

    void basesEntitiesAndQuoting()
    {
        const Playlist p = parse(
            "<ASX><BASE HREF='http://base.example.com/dir/'>\n"
            "<ENTRY><REF HREF=a.asf><REF HREF='b c.asf'><BASE HREF=\"mms://entry/x/\"></ENTRY>\n"
            "<ENTRY><REF HREF=\"/root.asf?x=1&amp;y=&#50;&#x33;&lt;&gt;&quot;&apos;&z=4\"></ENTRY>\n"
            "<REF HREF=\"loose.asf\"><REF HREF=\"mms://keep.example.com:1755/Path/A B\">"
            "<ENTRYREF HREF=\"sub/next.asx\"></ASX>",
            Web);
        QCOMPARE(refsOf(p), QStringList({
            "mms://entry/x/a.asf|mms://entry/x/b%20c.asf",
            "http://base.example.com/root.asf?x=1&y=23%3C%3E%22'&z=4",
            "http://base.example.com/dir/loose.asf",
            "mms://keep.example.com:1755/Path/A B",
            "->http://base.example.com/dir/sub/next.asx"}));
    }

    void malformedInput()
    {
        // Unclosed entries end at the next entry; a missing quote or '>' ends
        // the value at the tag's end; a tag cut off by the end is dropped.
        const Playlist p = parse(
            "junk < 3 <ASX>stray & text</REF><ENTRY><REF HREF=\"http://a/1>\n"
            "<ENTRY><REF HREF=http://a/2<REF HREF=\"http://a/3\"\n<ENTRYREF HREF=\"http://a/4\">"
            "<ENTRY><REF HREF=\"http://a/5\"><REF HREF=\"http://a/6", Web);
        QVERIFY(p.valid);
        QCOMPARE(refsOf(p), QStringList({"http://a/1", "http://a/2|http://a/3",
                                          "->http://a/4", "http://a/5"}));
        // Nested entries without refs in between are one entry.
        QCOMPARE(refsOf(parse("<ASX><ENTRY><ENTRY><REF HREF=\"http://n/\"></ENTRY></ENTRY>"
                              "<ENTRY/></ASX>", Web)),
                 QStringList({"http://n/", ""}));

        QRandomGenerator rng(11);
        for (int round = 0; round < 50; ++round) {
            QByteArray bytes("<ASX><ENTRY><REF HREF=\"http://x/\">");
            for (int i = 0; i < 4000; ++i)
                bytes += round % 2 ? char(rng.bounded(256)) : "<>\"'=&;/!-[]?"[rng.bounded(13)];
            const Playlist garbage = parse(bytes, Web);
            QVERIFY(garbage.valid);
            QVERIFY(garbage.items.size() <= MaxItems);
            for (const Item &item : garbage.items) {
                for (const QString &ref : item.refs)
                    QVERIFY(isNetworkAddress(QUrl(ref)));
            }
        }
    }

    void hostilePlaylists()
    {
        QElapsedTimer timer;
        timer.start();
        // 100000 tags go past the byte limit, so the REF after them is not read.
        for (int depth : {70000, 100000}) {
            const Playlist deep = parse("<ASX>" + QByteArray("<ENTRY>").repeated(depth)
                                            + "<REF HREF=\"http://deep/\">", Web);
            QCOMPARE(refsOf(deep), QStringList{depth * 7 < MaxPlaylistBytes ? "http://deep/" : ""});
        }

        const Playlist many = parse(
            "<ASX>" + QByteArray("<ENTRY><REF HREF=\"http://m/\"></ENTRY>").repeated(5000), Web);
        QCOMPARE(many.items.size(), MaxItems);
        QByteArray refs = "<ASX><ENTRY>";
        for (int i = 0; i < 100; ++i)
            refs += "<REF HREF=\"http://r/" + QByteArray::number(i) + "\">";
        const Playlist capped = parse(refs, Web);
        QCOMPARE(capped.items[0].refs.size(), MaxRefsPerEntry);
        QCOMPARE(capped.items[0].refs.last(), QString("http://r/%1").arg(MaxRefsPerEntry - 1));

        const QByteArray head = "<ASX><ENTRY><REF HREF=\"http://first/\"></ENTRY>";
        const QByteArray pad(MaxPlaylistBytes, ' ');
        const Playlist huge = parse(head + pad + "<ENTRY><REF HREF=\"http://late/\">", Web);
        QCOMPARE(refsOf(huge), QStringList{"http://first/"});
        // Lots of '&' without ';' and a quote that never closes.
        parse("<ASX><REF HREF=\"" + QByteArray(MaxPlaylistBytes - 20, '&') + "\">", Web);
        parse("<ASX>" + QByteArray("<PARAM VALUE=\"x>").repeated(30000), Web);
        QVERIFY2(timer.elapsed() < 10000, "parsing must stay linear");

        // UTF-8 cut in the middle of a character by the limit is still UTF-8;
        // a file that is not UTF-8 at all reads as Latin-1.
        const QByteArray utf8 = "<ASX><REF HREF=\"http://h/\xC3\xA9\">";
        const Playlist cut = parse(utf8 + QByteArray("\xC3\xA9").repeated(MaxPlaylistBytes), Web);
        QCOMPARE(refsOf(cut), QStringList{QString::fromUtf8("http://h/\xC3\xA9")});
        QCOMPARE(refsOf(parse("<ASX><REF HREF=\"http://h/caf\xE9\">", Web)),
                 QStringList{QString::fromUtf8("http://h/caf\xC3\xA9")});

        const QByteArray unsafe =
            "<ASX><ENTRY><REF HREF=\"file:///etc/passwd\"><REF HREF=\"JavaScript:alert(1)\">"
            "<REF HREF=\"data:text/html,x\"><REF HREF=\"&#106;avascript:x\"><REF HREF=\"/ok\">"
            "<REF HREF=\"ftp://h/x\"></ENTRY><ENTRYREF HREF=\"file:///tmp/x.asx\">"
            "<ENTRY><REF HREF=\"local.wmv\"></ENTRY></ASX>";
        QCOMPARE(refsOf(parse(unsafe, Web)),
                 QStringList({"http://example.com/ok", "http://example.com/lists/local.wmv"}));
        QCOMPARE(refsOf(parse(unsafe, Local)),
                 QStringList({"file:///etc/passwd|JavaScript:alert(1)|data:text/html,x|"
                              "javascript:x|file:///ok|ftp://h/x",
                              "->file:///tmp/x.asx", "file:///home/user/lists/local.wmv"}));
    }

    void recognisesPlaylists()
    {
        QVERIFY(looksLikeAsx("<ASX version=\"3.0\">"));
        QVERIFY(looksLikeAsx("\xEF\xBB\xBF \r\n\t<?xml version='1.0'?><!-- <x> --> <aSx>"));
        QVERIFY(looksLikeAsx("<asx/>"));
        QVERIFY(looksLikeAsx(QByteArray("\xFF\xFE<\0a\0s\0x\0>\0", 12)));
        QVERIFY(!looksLikeAsx(""));
        QVERIFY(!looksLikeAsx("<asx"));
        QVERIFY(!looksLikeAsx("<asxfoo>"));
        QVERIFY(!looksLikeAsx("<!DOCTYPE html><html><body><asx></asx></body></html>"));
        QVERIFY(!looksLikeAsx("<!-- never closed <asx>"));
        QVERIFY(!looksLikeAsx("text <asx>"));
        QVERIFY(!looksLikeAsx(QByteArray("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\0\xAA", 12)));
    }
};

QTEST_GUILESS_MAIN(TstAsxPlaylist)
#include "tst_asxplaylist.moc"
