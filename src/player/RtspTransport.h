#pragma once
// How a camera's RTSP stream reaches the decoder: its RTP packets over UDP,
// as cameras send them by default, or interleaved in the RTSP connection
// over TCP, which passes firewalls and address translation where UDP does
// not. Needs no display and no decoder.
//
// The address says which (the schemes GStreamer's RTSP client knows):
//   rtsp://   either: TCP first, which works across the internet; UDP when
//             the camera refuses TCP (an answer before any picture);
//   rtspt://  TCP only;
//   rtspu://  UDP only.
// rtsps:// (RTSP over TLS) carries its media in the TLS connection.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace RtspTransport {

// The addresses to try in turn for one address: for rtsp:// the address
// itself (TCP) and then its rtspu:// form (UDP); anything else alone.
QStringList tries(const QString &address);

// What the decoder opens for an address of tries(): the rtsp:// address and
// the transport ("tcp" or "udp"); other addresses unchanged with an empty
// transport.
struct DecoderOpen {
    QString url;
    QByteArray transport;
};
DecoderOpen forDecoder(const QString &address);

} // namespace RtspTransport
