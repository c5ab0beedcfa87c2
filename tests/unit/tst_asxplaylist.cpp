#include "player/AsxPlaylist.h"
#include "player/PlaylistFormats.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace Asx;
Q_DECLARE_METATYPE(Asx::Format)
Q_DECLARE_METATYPE(Playlists::Format)

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

// Text as UTF-16 with a byte-order mark, little- or big-endian.
QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        out.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return out;
}

// `unit` repeated between `head` and `tail` up to the byte limit.
QByteArray fill(const QByteArray &head, const QByteArray &unit, const QByteArray &tail = QByteArray())
{
    const qsizetype room = MaxPlaylistBytes - head.size() - tail.size();
    return head + unit.repeated(room / unit.size()) + tail;
}

// Playlists of the byte limit's size in the shapes that cost the reader most.
QList<QPair<QByteArray, QByteArray>> worstShapes()
{
    const QByteArray fortyRefs = "<entry>" + QByteArray("<ref href=x>").repeated(40) + "</entry>";
    return {
        {"nested relative BASEs", fill("<asx>", "<base href=a/>", "<entry><ref href=clip.wmv></entry></asx>")},
        {"entry BASEs", fill("<asx>", "<entry><base href=a/><ref href=x></entry>")},
        {"long BASE, short REFs", fill("<asx><base href=\"http://h/" + QByteArray(200000, 'a') + "/\">", fortyRefs)},
        {"long entry BASE, short REFs",
         fill("<asx><entry><base href=\"http://h/" + QByteArray(250000, 'a') + "/\">", "<ref href=x>")},
        {"short relative REFs", fill("<asx>", fortyRefs)},
        {"UTF-16 relative REFs",
         utf16(QString::fromLatin1(fill("<asx>", fortyRefs).left(MaxPlaylistBytes / 2 - 1)), false)},
        {"absolute REFs", fill("<asx>", "<entry>" + QByteArray("<ref href=http://h/x>").repeated(40) + "</entry>")},
        {"unusable REFs", fill("<asx>", "<entry>" + QByteArray("<ref href=file:///x>").repeated(500) + "</entry>")},
        {"ENTRYREFs", fill("<asx>", "<entryref href=x>")},
        {"nested ENTRYs", fill("<asx>", "<entry>", "<ref href=x>")},
        {"attributes", fill("<asx><ref ", "a=b ", "href=x>")},
        {"entities", fill("<asx><ref href=\"", "&#65;", "\">")},
        {"unclosed quotes", fill("<asx>", "<param value=\"x>")},
        {"[Reference] lines", fill("[Reference]\r\n", "Ref1=x\r\n")},
    };
}
} // namespace

class TstAsxPlaylist : public QObject {
    Q_OBJECT
private slots:
    void ordinaryPlaylists()
    {
        const Playlist p = parse("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- made by hand <ENTRY> -->\n"
                                 "<asx version=\"3.0\"><TITLE>Live <b>x</b></TITLE>\n"
                                 "<Entry><Ref href=\"mms://media.example.com/one\"/><PARAM NAME=\"a\" VALUE=\"b\"/>"
                                 "<REF HREF=\"http://b.example.com/one\" /><ref href=\"rtsp://c/one\"></Entry>\n"
                                 "<ENTRYREF HREF=\"more.asx\"/>\n<eNtRy><![CDATA[<REF HREF=\"http://no/\">]]>"
                                 "<rEf HrEf=\"two.wmv\"></eNtRy>\n</ASX>\n<ENTRY><REF HREF=\"http://after/\"></ENTRY>",
                                 Web);
        QVERIFY(p.valid);
        QCOMPARE(p.items.size(), 3);
        QCOMPARE(p.items[1].kind, Item::EntryRef);
        QCOMPARE(refsOf(p), QStringList({"mms://media.example.com/one|http://b.example.com/one|rtsp://c/one",
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
        QCOMPARE(refsOf(p),
                 QStringList({"mms://entry/x/a.asf|mms://entry/x/b%20c.asf",
                              "http://base.example.com/root.asf?x=1&y=23%3C%3E%22'&z=4",
                              "http://base.example.com/dir/loose.asf", "mms://keep.example.com:1755/Path/A B",
                              "->http://base.example.com/dir/sub/next.asx"}));
    }

    // Playlists as servers and editors wrote them, and references that lead
    // nowhere.
    void realWorldShapes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QUrl>("document");
        QTest::addColumn<QStringList>("refs");

        const QByteArray described =
            "<ASX VERSION=\"3.0\">\r\n<TITLE>Radio & TV</TITLE><AUTHOR>Omroep</AUTHOR>"
            "<COPYRIGHT>(c) 2004</COPYRIGHT><ABSTRACT>Live</ABSTRACT>"
            "<MOREINFO HREF=\"http://example.com/info\" TARGET=\"_blank\"/>"
            "<BANNER HREF=\"http://example.com/banner.gif\"><ABSTRACT>b</ABSTRACT>"
            "<MOREINFO HREF=\"http://example.com/more\"/></BANNER>"
            "<PARAM NAME=\"Prebuffer\" VALUE=\"true\"/>\r\n"
            "<ENTRY><TITLE>Nieuws</TITLE><AUTHOR>NOS</AUTHOR><COPYRIGHT>c</COPYRIGHT>"
            "<MOREINFO HREF=\"http://example.com/item\"/><PARAM NAME=\"x\" VALUE=\"http://no/\"/>"
            "<REF HREF=\"mms://wm.example.com/news\"/></ENTRY></ASX>";
        QTest::newRow("metadata tags") << described << Web << QStringList{"mms://wm.example.com/news"};
        QTest::newRow("mixed case") << QByteArray(
            "<Asx Version=\"3.0\"><Entry><Ref HREF=\"http://a/1\"/><rEF hReF=\"http://a/2\">"
            "</eNTRY><EntryRef Href=\"http://a/next.asx\"></aSX>")
                                    << Web << QStringList{"http://a/1|http://a/2", "->http://a/next.asx"};
        QTest::newRow("relative against BASE, then the playlist's address")
            << QByteArray("<asx><entry><ref href=\"early.wmv\"></entry><base href=\"http://cdn.example.com/m/\">"
                          "<entry><ref href=\"clip.wmv\"><ref href=\"/top.wmv\"></entry></asx>")
            << Web
            << QStringList{"http://example.com/lists/early.wmv",
                           "http://cdn.example.com/m/clip.wmv|http://cdn.example.com/top.wmv"};
        QTest::newRow("later BASE replaces the earlier")
            << QByteArray("<asx><base href=\"http://one.example.com/a/\"><base href=\"b/\">"
                          "<entry><ref href=\"c.wmv\"></entry></asx>")
            << Web << QStringList{"http://example.com/lists/b/c.wmv"};
        QTest::newRow("entry BASE against the playlist's BASE")
            << QByteArray("<asx><base href=\"http://cdn.example.com/m/\"><entry><base href=\"hi/\">"
                          "<ref href=\"clip.wmv\"><ref href=\"mms://abs.example.com/x\"></entry>"
                          "<entry><ref href=\"lo.wmv\"></entry></asx>")
            << Web
            << QStringList{"http://cdn.example.com/m/hi/clip.wmv|mms://abs.example.com/x",
                           "http://cdn.example.com/m/lo.wmv"};
        QTest::newRow("unescaped ampersand")
            << QByteArray("<asx><entry><ref href=\"http://h/live.asp?id=7&type=wm&amp;x=1&q\"/></entry></asx>") << Web
            << QStringList{"http://h/live.asp?id=7&type=wm&x=1&q"};
        const QString text = QString::fromUtf8("<ASX><ENTRY><REF HREF=\"http://h/caf\xC3\xA9\"/></ENTRY></ASX>");
        const QStringList cafe{QString::fromUtf8("http://h/caf\xC3\xA9")};
        QTest::newRow("UTF-8 byte-order mark") << "\xEF\xBB\xBF" + text.toUtf8() << Web << cafe;
        QTest::newRow("UTF-16 LE") << utf16(text, false) << Web << cafe;
        QTest::newRow("UTF-16 BE") << utf16("\r\n  " + text, true) << Web << cafe;
        QTest::newRow("blank lines, spaces and comments") << QByteArray(
            "\r\n\r\n   \t<!-- made by hand --><asx>\n<!-- <entry><ref href=\"http://commented/\"></entry> -->"
            "<entry><!-- <ref href=\"http://no/\"> --><ref href=\"http://yes/\"></entry></asx>")
                                                          << Web << QStringList{"http://yes/"};
        QTest::newRow("no host from the network")
            << QByteArray("<asx><entry><ref href=\"http:///x\"><ref href=\"mms:x\"><ref href=\"HTTP:/y\">"
                          "<ref href=\"rtsp://cam/1\"></entry><entryref href=\"http:///list.asx\"></asx>")
            << Web << QStringList{"rtsp://cam/1"};
        QTest::newRow("no host or nothing at all, locally")
            << QByteArray("<asx><entry><ref href=\"http:///x\"><ref href=\"mms:x\"><ref href=\"file://\">"
                          "<ref href=\"file:///media/ok.wmv\"></entry></asx>")
            << Local << QStringList{"file:///media/ok.wmv"};
        QTest::newRow("BASE that resolves to nothing")
            << QByteArray("<asx><base href=\"//\"><entry><ref href=\"clip.wmv\"></entry>"
                          "<entryref href=\"next.asx\"></asx>")
            << Local << QStringList{""};
        QTest::newRow("relative with no address to resolve against")
            << QByteArray("<asx><entry><ref href=\"clip.wmv\"><ref href=\"http://abs/\"></entry></asx>") << QUrl()
            << QStringList{"http://abs/"};
    }

    void realWorldShapes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QUrl, document);
        QFETCH(QStringList, refs);
        QVERIFY(looksLikeAsx(bytes.left(1024)));
        const Playlist p = parse(bytes, document);
        QVERIFY(p.valid);
        QCOMPARE(refsOf(p), refs);
    }

    // [Reference] files, as Windows Media servers answer a browser.
    void referenceFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QUrl>("document");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QStringList>("refs");

        const QByteArray server = "[Reference]\r\nRef1=http://wm.example.com/live?MSWMExt=.asf\r\n"
                                  "Ref2=http://wm.example.com:80/live?MSWMExt=.asf\r\n";
        const QUrl live("http://wm.example.com/live");
        QTest::newRow("Windows Media server")
            << server << live << QByteArray("video/x-ms-asf")
            << QStringList{"mmsh://wm.example.com/live?MSWMExt=.asf|mmsh://wm.example.com:80/live?MSWMExt=.asf"};
        QTest::newRow("other content type")
            << server << live << QByteArray("text/plain")
            << QStringList{"http://wm.example.com/live?MSWMExt=.asf|http://wm.example.com:80/live?MSWMExt=.asf"};
        QTest::newRow("came over https")
            << server << QUrl("https://wm.example.com/live") << QByteArray("audio/x-ms-wax")
            << QStringList{"http://wm.example.com/live?MSWMExt=.asf|http://wm.example.com:80/live?MSWMExt=.asf"};
        QTest::newRow("LF, letter case, spaces, other schemes")
            << QByteArray("  \n[REFERENCE]\nREF1=mms://a.example.com/x\n ref2 = http://b.example.com/y?a=1&b=2 \n"
                          "Reference=http://no/\nRefX=http://no/\nRef =http://no/\nRef3\n; Ref4=http://no/\n")
            << live << QByteArray("Application/X-MMS-Framed; q=1")
            << QStringList{"mms://a.example.com/x|mmsh://b.example.com/y?a=1&b=2"};
        QTest::newRow("network only, relative resolved")
            << QByteArray("[Reference]\r\nRef1=file:///etc/passwd\r\nRef2=http:///nohost\r\nRef3=mms:x\r\n"
                          "Ref4=other.asf\r\n")
            << QUrl("http://wm.example.com/dir/live") << QByteArray("video/x-ms-wmv")
            << QStringList{"mmsh://wm.example.com/dir/other.asf"};
        QTest::newRow("local file") << QByteArray("[Reference]\nRef1=file:///media/clip.wmv\nRef2=clip2.wmv\n") << Local
                                    << QByteArray()
                                    << QStringList{"file:///media/clip.wmv|file:///home/user/lists/clip2.wmv"};
        QTest::newRow("next section ends it")
            << QByteArray("[Reference]\nRef1=http://a/\n[Other]\nRef2=http://b/\n[Reference]\nRef3=http://c/\n") << live
            << QByteArray() << QStringList{"http://a/"};
        QTest::newRow("UTF-16 LE")
            << utf16(QString::fromLatin1(server), false) << live << QByteArray("audio/x-ms-wma")
            << QStringList{"mmsh://wm.example.com/live?MSWMExt=.asf|mmsh://wm.example.com:80/live?MSWMExt=.asf"};
        QByteArray many = "[Reference]\n";
        for (int i = 1; i <= 40; ++i)
            many += "Ref" + QByteArray::number(i) + "=http://r/" + QByteArray::number(i) + "\n";
        QStringList first;
        for (int i = 1; i <= MaxRefsPerEntry; ++i)
            first += QString("http://r/%1").arg(i);
        QTest::newRow("capped") << many << live << QByteArray() << QStringList{first.join('|')};
    }

    void referenceFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QUrl, document);
        QFETCH(QByteArray, contentType);
        QFETCH(QStringList, refs);
        QCOMPARE(formatOf(bytes.left(1024)), Format::Reference);
        const Playlist p = read(bytes, document, contentType);
        QVERIFY(p.valid);
        QCOMPARE(p.items.size(), 1);
        QCOMPARE(p.items[0].kind, Item::Entry);
        QCOMPARE(refsOf(p), refs);
        QCOMPARE(refsOf(parseReference(bytes, document, contentType)), refs);
    }

    void malformedInput()
    {
        // Unclosed entries end at the next entry; a missing quote or '>' ends
        // the value at the tag's end; a tag cut off by the end is dropped.
        const Playlist p = parse("junk < 3 <ASX>stray & text</REF><ENTRY><REF HREF=\"http://a/1>\n"
                                 "<ENTRY><REF HREF=http://a/2<REF HREF=\"http://a/3\"\n<ENTRYREF HREF=\"http://a/4\">"
                                 "<ENTRY><REF HREF=\"http://a/5\"><REF HREF=\"http://a/6",
                                 Web);
        QVERIFY(p.valid);
        QCOMPARE(refsOf(p), QStringList({"http://a/1", "http://a/2|http://a/3", "->http://a/4", "http://a/5"}));
        // Nested entries without refs in between are one entry.
        QCOMPARE(refsOf(parse("<ASX><ENTRY><ENTRY><REF HREF=\"http://n/\"></ENTRY></ENTRY>"
                              "<ENTRY/></ASX>",
                              Web)),
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
            const Playlist deep = parse("<ASX>" + QByteArray("<ENTRY>").repeated(depth) + "<REF HREF=\"http://deep/\">",
                                        Web);
            QCOMPARE(refsOf(deep), QStringList{depth * 7 < MaxPlaylistBytes ? "http://deep/" : ""});
        }

        const Playlist many = parse("<ASX>" + QByteArray("<ENTRY><REF HREF=\"http://m/\"></ENTRY>").repeated(5000),
                                    Web);
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

        const QByteArray unsafe = "<ASX><ENTRY><REF HREF=\"file:///etc/passwd\"><REF HREF=\"JavaScript:alert(1)\">"
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

    // M3U, PLS and XSPF: told apart, read into entries under the same rules.
    void otherKinds_data()
    {
        using F = Playlists::Format;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QUrl>("document");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<F>("format");
        QTest::addColumn<QStringList>("refs");
        const QUrl m3u("http://iptv.example.com/tv/list.m3u");
        const QUrl other("http://iptv.example.com/tv/get.php?type=m3u");
        QTest::newRow("IPTV list: #EXTINF, attributes, options, CRLF, relative, local dropped")
            << QByteArray(
                   "\xEF\xBB\xBF#EXTM3U x-tvg-url=\"e.xml\"\r\n#EXTINF:-1 tvg-id=\"1\" group-title=\"A,B\",Een\r\n"
                   "http://a.example.com/1.ts\r\n#EXTVLCOPT:network-caching=1000\r\n  two.ts  \r\n\r\n"
                   "file:///etc/passwd\r\n#EXTINF:-1,Drie\r\nrtsp://cam.example.com/3\r\n")
            << other << QByteArray("text/plain") << F::M3u
            << QStringList{"http://a.example.com/1.ts", "http://iptv.example.com/tv/two.ts", "",
                           "rtsp://cam.example.com/3"};
        QTest::newRow("bare list named .m3u") << QByteArray("http://a/1.mp3\nhttp://a/2.mp3\n") << m3u << QByteArray()
                                              << F::M3u << QStringList{"http://a/1.mp3", "http://a/2.mp3"};
        QTest::newRow("bare list sent as audio/x-mpegurl")
            << QByteArray("http://a/1.mp3\n") << other << QByteArray("audio/x-mpegurl; charset=utf-8") << F::M3u
            << QStringList{"http://a/1.mp3"};
        QTest::newRow("bare text of another name")
            << QByteArray("http://a/1.mp3\n") << other << QByteArray("text/plain") << F::None << QStringList();
        QTest::newRow("media named .m3u")
            << QByteArray("\x47\x40\x00\x10\x00", 5) << m3u << QByteArray() << F::None << QStringList();
        QTest::newRow("HLS master") << QByteArray(
            "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1,RESOLUTION=640x360\nlow.m3u8\n")
                                    << m3u << QByteArray() << F::None << QStringList();
        QTest::newRow("HLS media playlist with its tags after the first kilobyte")
            << "#EXTM3U\n" + QByteArray("# comment\n").repeated(200) + "#EXT-X-TARGETDURATION:2\n#EXTINF:2,\ns1.ts\n"
            << m3u << QByteArray() << F::None << QStringList();
        QTest::newRow("local M3U: paths become files")
            << QByteArray("#EXTM3U\n/media/a.ts\nb.ts\nmms://srv/c\n") << Local << QByteArray() << F::M3u
            << QStringList{"file:///media/a.ts", "file:///home/user/lists/b.ts", "mms://srv/c"};
        QTest::newRow("PLS: number order, other sections and keys ignored")
            << QByteArray("[playlist]\r\nNumberOfEntries=3\r\nfile10=http://r/10\r\nFile2=http://r/2\r\nTitle2=x\r\n"
                          "FileX=http://no/\r\nFile1 = http://r/1\r\n[other]\r\nFile0=http://no/\r\n")
            << QUrl("http://r/listen.pls") << QByteArray() << F::Pls
            << QStringList{"http://r/1", "http://r/2", "http://r/10"};
        QTest::newRow("XSPF: tracks, their locations, relative resolved")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- list -->\n<playlist version=\"1\" "
                          "xmlns=\"http://xspf.org/ns/0/\"><title>T</title><trackList><track><location>a.ts</location>"
                          "<location>mms://x/a</location></track><track><title>B</title></track>"
                          "<track><location>http://x/c?a=1&amp;b=2</location></track></trackList></playlist>")
            << QUrl("http://x/l/list.xspf") << QByteArray() << F::Xspf
            << QStringList{"http://x/l/a.ts|mms://x/a", "", "http://x/c?a=1&b=2"};
        QTest::newRow("XSPF broken after its first track") << QByteArray(
            "<playlist xmlns='http://xspf.org/ns/0/'><trackList><track><location>mms://x/1</location></track>"
            "<track><location>mms://x/2</loc") << QUrl("http://x/list.xspf")
                                                           << QByteArray() << F::Xspf << QStringList{"mms://x/1"};
        QTest::newRow("other XML playlist") << QByteArray("<?xml version=\"1.0\"?><playlist><track/></playlist>")
                                            << QUrl("http://x/list.xspf") << QByteArray() << F::None << QStringList();
        QTest::newRow("[Reference] naming an ASX: a playlist stays http")
            << QByteArray("[Reference]\r\nRef1=http://wm/x.asx\r\nRef2=http://wm/live?MSWMExt=.asf\r\n")
            << QUrl("http://wm/live") << QByteArray("video/x-ms-asf") << F::Reference
            << QStringList{"http://wm/x.asx|mmsh://wm/live?MSWMExt=.asf"};
    }
    void otherKinds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QUrl, document);
        QFETCH(QByteArray, contentType);
        QFETCH(Playlists::Format, format);
        QFETCH(QStringList, refs);
        QCOMPARE(Playlists::formatOf(bytes, document, contentType), format);
        const Playlist p = Playlists::read(bytes, document, contentType);
        QCOMPARE(p.valid, format != Playlists::Format::None);
        QCOMPARE(refsOf(p), refs);
    }

    void recognisesPlaylists_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<Format>("format");
        QTest::newRow("ASX") << QByteArray("<ASX version=\"3.0\">") << Format::Asx;
        QTest::newRow("ASX after BOM, space, declaration, comment")
            << QByteArray("\xEF\xBB\xBF \r\n\t<?xml version='1.0'?><!-- <x> --> <aSx>") << Format::Asx;
        QTest::newRow("empty ASX") << QByteArray("<asx/>") << Format::Asx;
        QTest::newRow("ASX in UTF-16") << QByteArray("\xFF\xFE<\0a\0s\0x\0>\0", 12) << Format::Asx;
        QTest::newRow("nothing") << QByteArray("") << Format::None;
        QTest::newRow("cut-off ASX tag") << QByteArray("<asx") << Format::None;
        QTest::newRow("longer tag name") << QByteArray("<asxfoo>") << Format::None;
        QTest::newRow("HTML holding ASX")
            << QByteArray("<!DOCTYPE html><html><body><asx></asx></body></html>") << Format::None;
        QTest::newRow("unclosed comment") << QByteArray("<!-- never closed <asx>") << Format::None;
        QTest::newRow("text first") << QByteArray("text <asx>") << Format::None;
        QTest::newRow("ASF media") << QByteArray("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\0\xAA", 12) << Format::None;
        QTest::newRow("MMS header chunk") << QByteArray("$H\x10\x00[Reference]", 15) << Format::None;
        QTest::newRow("[Reference]") << QByteArray("[Reference]\r\nRef1=http://h/") << Format::Reference;
        QTest::newRow("[reference] after blank lines") << QByteArray(" \n\n[reference]  \nRef1=x") << Format::Reference;
        QTest::newRow("[Reference] alone") << QByteArray("[Reference]") << Format::Reference;
        QTest::newRow("[Reference] after BOM") << QByteArray("\xEF\xBB\xBF[Reference]\n") << Format::Reference;
        QTest::newRow("[Reference] in UTF-16 BE") << utf16("[Reference]\r\n", true) << Format::Reference;
        QTest::newRow("[References]") << QByteArray("[References]\nRef1=x") << Format::None;
        QTest::newRow("[Reference] and more") << QByteArray("[Reference] Ref1=x") << Format::None;
        QTest::newRow("text before [Reference]") << QByteArray("x\n[Reference]\n") << Format::None;
        QTest::newRow("no head") << QByteArray("Ref1=http://h/\n") << Format::None;
    }

    void recognisesPlaylists()
    {
        QFETCH(QByteArray, head);
        QFETCH(Format, format);
        QCOMPARE(formatOf(head), format);
        QCOMPARE(looksLikeAsx(head), format == Format::Asx);
        QCOMPARE(looksLikeReference(head), format == Format::Reference);
        if (format == Format::None)
            QVERIFY(!read(head, Web, "video/x-ms-asf").valid);
    }

    // Whatever their shape, playlists at the byte limit cost little, and the
    // worst of them still read right.
    void worstShapesReadRight()
    {
        const auto shapes = worstShapes();
        const auto shape = [&](const char *name) {
            for (const auto &s : shapes)
                if (s.first == name)
                    return s.second;
            return QByteArray();
        };
        // Every BASE replaces the one before it instead of adding to it.
        QCOMPARE(refsOf(parse(shape("nested relative BASEs"), Web)),
                 QStringList{"http://example.com/lists/a/clip.wmv"});
        // A long BASE before many relative REFs: the addresses made from it add
        // up to no more than the budget, and the first of them are there.
        const Playlist expanded = parse(shape("long BASE, short REFs"), Web);
        qint64 chars = 0;
        for (const Item &item : expanded.items)
            for (const QString &ref : item.refs)
                chars += ref.size();
        QVERIFY(chars <= MaxResolvedChars);
        QCOMPARE(expanded.items.size(), 1); // nothing is read once the budget is spent
        QVERIFY(expanded.items[0].refs.value(0).endsWith(QLatin1String("a/x")));
        for (const auto &s : shapes)
            QVERIFY2(read(s.second, Web).items.size() <= MaxItems, s.first.constData());
    }

    // Prints how long each worst shape takes to read (no limit is checked
    // here): tst_asxplaylist parseSpeed -iterations 10
    void parseSpeed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        for (const auto &s : worstShapes())
            QTest::newRow(s.first.constData()) << s.second;
    }

    void parseSpeed()
    {
        QFETCH(QByteArray, bytes);
        QBENCHMARK { read(bytes, Web); }
    }
};

QTEST_GUILESS_MAIN(TstAsxPlaylist)
#include "tst_asxplaylist.moc"
