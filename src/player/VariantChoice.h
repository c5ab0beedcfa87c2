#pragma once
// Which variant of an adaptive stream (an HLS master's variants, a DASH
// stream's video representations) a player plays: the one that fits the
// player's video area on screen. No widget and no engine in sight.
//
// A variant covers the area when its picture, fitted into the area with its
// aspect ratio kept, is not enlarged: it is at least as wide or at least as
// tall as the area. The choice is the smallest variant that covers the area,
// or the largest one where none does. A variant whose picture size is not
// known is judged by its bandwidth (EstimatedBitsPerPixel), among the others
// and against the area alike.
#include <QByteArray>
#include <QList>
#include <QSize>
#include <QUrl>

namespace VariantChoice {

struct Variant {
    QUrl url;             // HLS: the variant's media playlist; empty for a track
    QSize size;           // the picture; invalid when not known
    qint64 bandwidth = 0; // bits per second; 0 when not known
    int track = 0;        // the engine's track number, for tracks
};

// Bits per second per picture element that a variant of known bandwidth and
// unknown size is taken to spend: H.264 at about 25 pictures a second.
constexpr double EstimatedBitsPerPixel = 3.0;

// The picture elements a variant shows, known or estimated; 0 when neither.
qint64 pixelsOf(const Variant &variant);

// The index in `variants` to play in a video area of `area` (device pixels),
// or -1 when there is none. An empty area (the player not shown) takes the
// smallest variant.
int choose(const QList<Variant> &variants, const QSize &area);

// The variants of an HLS master playlist (#EXT-X-STREAM-INF with the address
// on the next line), addresses resolved against `base`. Only network
// addresses (http, https) are kept; variants without video (CODECS naming
// only sound) are left out. Empty when `text` is no master playlist.
// `ownSound` tells whether the variants' sound is a rendition of its own
// (#EXT-X-MEDIA with a URI): then one variant's playlist alone is silent.
QList<Variant> readMaster(const QByteArray &text, const QUrl &base, bool *ownSound = nullptr);

// Whether a picture of `source` size shown in a video area of `area` (device
// pixels, aspect kept) may be decoded without H.264's loop filter: when the
// area shows at most a quarter of the source's picture elements, each
// shown element averages four or more decoded ones, and the filter's work
// on the edges of blocks does not survive that. Never for an unknown size
// or a player not shown.
bool skipLoopFilter(const QSize &source, const QSize &area);

// The largest master playlist read (bytes); a longer one is not read.
constexpr int MaxMasterBytes = 256 * 1024;

} // namespace VariantChoice
