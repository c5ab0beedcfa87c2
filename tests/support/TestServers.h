#pragma once
// Real streaming servers for tests, each on a free port of 127.0.0.1, of
// the kinds the players meet: endless HTTP streams, a camera's RTSP, a
// Windows Media server and a plain file. Every server runs in a process
// group of its own, which stop() ends as a whole (SIGTERM, then SIGKILL).
//
// What runs per kind (the scripts print "LISTENING <address>" when ready;
// their own comments give ffmpeg's and GStreamer's command lines):
//   MpegTsOverHttp     tests/support/servers/stream-server mpegts --port 0
//   Mp3OverHttp        tests/support/servers/stream-server mp3 --port 0
//   AacOverHttp        tests/support/servers/stream-server aac --port 0
//   Rtsp               tests/support/servers/stream-server rtsp --port 0
//   RtspUdpOnly        ... rtsp --port 0 --transports udp
//   RtspTcpOnly        ... rtsp --port 0 --transports tcp
//   Mp3WithTitles      ... mp3 --port 0 --titles 3
//   MpegTsBasicAuth    ... mpegts --port 0 --auth basic    (name kijker, password Geheim123)
//   MpegTsDigestAuth   ... mpegts --port 0 --auth digest
//   RtspWithPassword   ... rtsp --port 0 --auth basic
//   ProgressiveWmv     tools/kijkraam-demo-server --port 0 --no-live --media DIR
//                        --asx-target 1=media/clip.wmv
//                      (DIR/clip.wmv made by DemoServer::makeWmv: 120 s, wmv2 + wmav2)
//   WindowsMediaStream tools/kijkraam-demo-server --port 0 --slots 4 --wm-slot 4
//   HlsOverHttps       tests/support/servers/stream-server https --port 0 --cert C --key K
//                        --media-cert MC --media-key MK   (the files of setTls())
//   HlsVariants        tests/support/servers/stream-server hls-variants --port 0
//   LiveDash           ... dash --port 0
//   VideoPage          ... page --port 0
//   HostileHls         ... hostile --port 0 (ends by itself after 300 s)
// The last four log "REQ <status> <path>" per request (log()).
// all run by Debian's /usr/bin/python3, with --size 320x240 where there is video.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>

class QProcess;

class TestServers {
public:
    enum Kind {
        MpegTsOverHttp,     // H.264 + AAC in MPEG-TS, video/mp2t, no end
        Mp3OverHttp,        // internet radio: audio/mpeg with icy-* headers, no end
        AacOverHttp,        // the same with AAC in ADTS frames, audio/aac
        Rtsp,               // H.264 + G.711 A-law; the client picks UDP or TCP
        ProgressiveWmv,     // a WMV file over HTTP (video/x-ms-asf, ranges)
        WindowsMediaStream, // live WMV2 + WMA2 as MMS over HTTP
        RtspUdpOnly,        // a camera that sends over UDP only (refuses interleaved TCP)
        RtspTcpOnly,        // a camera that sends interleaved in the RTSP connection only
        Mp3WithTitles,      // radio whose ICY StreamTitle changes every 3 s
        MpegTsBasicAuth,    // MPEG-TS behind HTTP Basic authentication
        MpegTsDigestAuth,   // MPEG-TS behind HTTP Digest authentication
        RtspWithPassword,   // a camera with a name and password (RTSP Basic)
        HlsOverHttps,       // live HLS (H.264) over TLS, its segments on a second TLS host
        HlsVariants,        // a live HLS master: 320x180, 640x360, 1280x720
        LiveDash,           // live MPEG-DASH, moving window, 320x240 and 640x480 video + AAC
        VideoPage,          // a web page holding <video src="clip.mp4">
        HostileHls,         // self-referencing, huge and 404-bodied HLS playlists
    };
    static constexpr Kind AllKinds[] = {MpegTsOverHttp, Mp3OverHttp,        AacOverHttp,      Rtsp,
                                        ProgressiveWmv, WindowsMediaStream, RtspUdpOnly,      RtspTcpOnly,
                                        Mp3WithTitles,  MpegTsBasicAuth,    MpegTsDigestAuth, RtspWithPassword,
                                        HlsOverHttps,   HlsVariants,        LiveDash,         VideoPage,
                                        HostileHls};
    static constexpr const char *Password = "Geheim123"; // of the name "kijker"

    TestServers();
    ~TestServers();
    TestServers(const TestServers &) = delete;
    TestServers &operator=(const TestServers &) = delete;

    // Starts the server of `kind` (once: while it runs, the same address
    // again) and waits until its port takes connections. Returns its main
    // address, or an empty string with a warning when it did not come up.
    // `port` 0: a free one (give a stopped server's port to bring it back).
    QString start(Kind kind, int port = 0);
    // What the server wrote to its standard error so far (the RTSP servers
    // write one "SETUP <Transport header>" line per stream a client sets up).
    QByteArray log(Kind kind);
    // Every address that plays the stream of a running server, main one first:
    //   MpegTsOverHttp      http://127.0.0.1:P/live.ts, then its lists of a dead channel and
    //                       the stream: /list.m3u, /list.pls, /list.xspf; /reference (a
    //                       [Reference] naming /x.asx, an ASX naming the stream); and two
    //                       hostile answers: /endless-headers, /big-404 (a 404 without end)
    //   Mp3OverHttp         http://127.0.0.1:P/radio.mp3, http://127.0.0.1:P/shoutcast (ICY 200 OK)
    //   AacOverHttp         http://127.0.0.1:P/radio.aac
    //   Rtsp, RtspUdpOnly, RtspTcpOnly  rtsp://127.0.0.1:P/cam
    //   Mp3WithTitles       http://127.0.0.1:P/radio.mp3
    //   MpegTsBasicAuth, MpegTsDigestAuth, RtspWithPassword: the address with
    //                       kijker:Geheim123@, with kijker:fout@ (a wrong password)
    //   ProgressiveWmv      http://127.0.0.1:P/media/clip.wmv,
    //                       http://127.0.0.1:P/kwa/KR5/KR1.asx (an ASX whose REF is the file)
    //   WindowsMediaStream  mms://127.0.0.1:P/wm/live, mmsh://127.0.0.1:P/wm/live,
    //                       http://127.0.0.1:P/wm/live (a [Reference] file unless the
    //                       client says it is NSPlayer/...: then the framed stream),
    //                       http://127.0.0.1:P/kwa/KR5/KR4.asx (an ASX: REF mms://, then http://)
    //   HlsOverHttps        https://127.0.0.1:P/live.m3u8 (its segments on the media host),
    //                       https://127.0.0.1:M/live.m3u8 (the media host's own playlist),
    //                       https://127.0.0.1:P/master.m3u8 (naming the first as its variant)
    //   HlsVariants         http://127.0.0.1:P/master.m3u8, .../master-nores.m3u8 (no RESOLUTION)
    //   LiveDash            http://127.0.0.1:P/live.mpd
    //   VideoPage           http://127.0.0.1:P/page.html
    //   HostileHls          http://127.0.0.1:P/self.m3u8, /fifty.m3u8, /million.m3u8, /big404seg.m3u8
    QStringList addresses(Kind kind) const;
    bool isRunning(Kind kind) const;
    // HlsOverHttps: the PEM files of the playlist host and of the media
    // host. The server reads them again when they change.
    void setTls(const QStringList &certKeyMediaCertMediaKey) { m_tls = certKeyMediaCertMediaKey; }

    void stop(Kind kind);
    void stopAll();

    static QString name(Kind kind);

private:
    struct Running;
    std::map<Kind, std::unique_ptr<Running>> m_running;
    QTemporaryDir m_media;
    QStringList m_tls;
};
