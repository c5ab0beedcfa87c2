#include "player/ServerAnswer.h"

#include <QtTest>

using namespace ServerAnswer;
Q_DECLARE_METATYPE(ServerAnswer::Kind)
Q_DECLARE_METATYPE(ServerAnswer::RawHead)

namespace {
const QByteArray HeaderChunk("$H\x10\x00\x00\x00\x00\x00\x00\x0c\x10\x00\x30\x26\xB2\x75", 16);
const QByteArray AsfFile("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const QByteArray Cougar("Cougar/9.01.01.3841");
const QByteArray Features("no-cache,client-id=3320437311,features=\"broadcast,playlist\"");
} // namespace

class TstServerAnswer : public QObject {
    Q_OBJECT
private slots:
    void classify_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QByteArray>("pragma");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<Kind>("kind");

        const QByteArray wma("audio/x-ms-wma");
        QTest::newRow("header chunk, any labels")
            << 200 << QByteArray("application/octet-stream") << QByteArray("Apache") << QByteArray() << HeaderChunk
            << Kind::WindowsMediaStream;
        QTest::newRow("header chunk of a server") << 200 << QByteArray("application/x-mms-framed") << Cougar << Features
                                                  << HeaderChunk << Kind::WindowsMediaStream;
        QTest::newRow("framed type, nothing read yet") << 200 << QByteArray("application/x-mms-framed") << QByteArray()
                                                       << QByteArray() << QByteArray() << Kind::WindowsMediaStream;
        QTest::newRow("header type, letter case and parameters")
            << 200 << QByteArray("Application/VND.MS.WMS-HDR.ASFV1; charset=binary") << QByteArray() << QByteArray()
            << AsfFile << Kind::WindowsMediaStream;
        QTest::newRow("Cougar with features")
            << 200 << QByteArray("video/x-ms-asf") << Cougar << Features << AsfFile << Kind::WindowsMediaStream;
        QTest::newRow("WMServer with features")
            << 200 << wma << QByteArray("WMServer/9.1") << QByteArray("Features=\"seekable\"") << QByteArray()
            << Kind::WindowsMediaStream;
        QTest::newRow("Cougar without features")
            << 200 << QByteArray("video/x-ms-asf") << Cougar << QByteArray("no-cache") << AsfFile << Kind::OtherMedia;
        QTest::newRow("features from another server") << 200 << QByteArray("video/x-ms-asf") << QByteArray("nginx/1.22")
                                                      << Features << AsfFile << Kind::OtherMedia;
        QTest::newRow("progressive ASF file") << 200 << QByteArray("video/x-ms-asf") << QByteArray("Apache")
                                              << QByteArray() << AsfFile << Kind::OtherMedia;
        QTest::newRow("MPEG-TS") << 200 << QByteArray("video/mp2t") << QByteArray() << QByteArray()
                                 << QByteArray("G\x40\x00\x10") << Kind::OtherMedia;
        QTest::newRow("ASX") << 200 << QByteArray("video/x-ms-asf") << Cougar << Features
                             << QByteArray("<ASX version=\"3.0\"><ENTRY>") << Kind::AsxPlaylist;
        QTest::newRow("ASX as text") << 200 << QByteArray("text/plain") << QByteArray() << QByteArray()
                                     << QByteArray("\r\n <asx>") << Kind::AsxPlaylist;
        QTest::newRow("[Reference] of a server")
            << 200 << QByteArray("video/x-ms-asf") << Cougar << Features
            << QByteArray("[Reference]\r\nRef1=http://h/live?MSWMExt=.asf\r\n") << Kind::ReferenceFile;
        QTest::newRow("[Reference] under the framed type")
            << 206 << QByteArray("application/x-mms-framed") << QByteArray() << QByteArray()
            << QByteArray("[reference]\nref1=http://h/") << Kind::ReferenceFile;
        QTest::newRow("not found") << 404 << QByteArray("application/x-mms-framed") << Cougar << Features << HeaderChunk
                                   << Kind::Failed;
        QTest::newRow("server error") << 500 << QByteArray("video/x-ms-asf") << QByteArray() << QByteArray()
                                      << QByteArray("<ASX>") << Kind::Failed;
        QTest::newRow("no status") << 0 << QByteArray() << QByteArray() << QByteArray() << HeaderChunk << Kind::Failed;
        QTest::newRow("redirect not followed")
            << 302 << QByteArray() << QByteArray() << QByteArray() << QByteArray() << Kind::Failed;
        QTest::newRow("lower-case $h is data") << 200 << QByteArray("application/octet-stream") << QByteArray()
                                               << QByteArray() << QByteArray("$h\x10\x00") << Kind::OtherMedia;
    }

    void classify()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, server);
        QFETCH(QByteArray, pragma);
        QFETCH(QByteArray, head);
        QFETCH(Kind, kind);
        QCOMPARE(ServerAnswer::classify({status, contentType, server, pragma, head}), kind);
    }

    void windowsMediaTypes()
    {
        for (const char *type :
             {"video/x-ms-asf", "video/x-ms-wmv", "audio/x-ms-wma", "audio/x-ms-wax", "application/x-mms-framed",
              "application/vnd.ms.wms-hdr.asfv1", " Video/X-MS-ASF ; charset=utf-8"})
            QVERIFY2(isWindowsMediaType(type), type);
        for (const char *type : {"", "video/x-ms-asfx", "video/mp4", "text/plain; x=video/x-ms-asf",
                                 "application/octet-stream", "audio/x-ms-wmax"})
            QVERIFY2(!isWindowsMediaType(type), type);
    }

    void mmshAddress_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QUrl>("mmsh");
        QTest::newRow("default port") << QUrl("http://wm.example.com/live") << QUrl("mmsh://wm.example.com/live");
        QTest::newRow("port, path and query kept") << QUrl("HTTP://wm.example.com:8080/pub/live?MSWMExt=.asf&a=1#frag")
                                                   << QUrl("mmsh://wm.example.com:8080/pub/live?MSWMExt=.asf&a=1");
        QTest::newRow("port 80 as written") << QUrl("http://10.0.0.1:80/x") << QUrl("mmsh://10.0.0.1:80/x");
        QTest::newRow("user kept") << QUrl("http://u:p@h/x") << QUrl("mmsh://u:p@h/x");
        QTest::newRow("IPv6") << QUrl("http://[::1]:8325/wm/live") << QUrl("mmsh://[::1]:8325/wm/live");
        QTest::newRow("https stays as it is") << QUrl("https://wm.example.com/live") << QUrl();
        QTest::newRow("mms is no http") << QUrl("mms://wm.example.com/live") << QUrl();
        QTest::newRow("no host") << QUrl("http:///live") << QUrl();
        QTest::newRow("relative") << QUrl("live") << QUrl();
    }

    void mmshAddress()
    {
        QFETCH(QUrl, url);
        QFETCH(QUrl, mmsh);
        QCOMPARE(ServerAnswer::mmshAddress(url), mmsh);
    }

    // A server's raw first bytes, read when the HTTP client could not use them.
    void rawHead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<RawHead>("head");
        QTest::newRow("silence") << QByteArray() << RawHead::Nothing;
        QTest::newRow("SHOUTcast") << QByteArray("ICY 200 OK\r\nicy-name: Radio\r\nicy-metaint: 8192\r\n\r\n\xFF\xFB")
                                   << RawHead::Icy;
        QTest::newRow("SHOUTcast, LF only, letter case") << QByteArray("icy 200 ok\nicy-br:128\n\n") << RawHead::Icy;
        QTest::newRow("SHOUTcast whose headers do not end")
            << QByteArray("ICY 200 OK\r\nicy-name: Radio\r\n") << RawHead::HeadersWithoutEnd;
        QTest::newRow("SHOUTcast refusing") << QByteArray("ICY 401 Service Unavailable\r\n\r\n") << RawHead::Other;
        QTest::newRow("endless header lines")
            << "HTTP/1.1 200 OK\r\n" + QByteArray("X-Pad: aaaaaaaa\r\n").repeated(1000) << RawHead::HeadersWithoutEnd;
        QTest::newRow("one endless header line")
            << "HTTP/1.1 200 OK\r\nX-Pad: " + QByteArray(16000, 'a') << RawHead::HeadersWithoutEnd;
        QTest::newRow("an HTTP head that ends")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n") << RawHead::Other;
    }
    void rawHead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(RawHead, head);
        QCOMPARE(ServerAnswer::rawHead(bytes), head);
    }
};

QTEST_GUILESS_MAIN(TstServerAnswer)
#include "tst_serveranswer.moc"
