#pragma once
// A live MPEG-DASH stream (an MPD of type "dynamic") told as a live HLS
// stream: a master playlist with one variant per video representation and
// the first sound representation as the variants' sound, and per
// representation a media playlist of the segments its SegmentTemplate
// names (SegmentTimeline, or a fixed duration counted from the wall clock).
// The engine's own DASH reader loses a live stream within seconds: it asks
// for segment numbers the server never had, or does not have yet, again
// and again; its HLS reader follows a live playlist as it moves.
// The addresses of the media playlists are the MPD's own with the query
// item "kijkraam-hls=<representation>", which EngineGate answers.
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace DashLive {

constexpr const char *QueryItem = "kijkraam-hls";
constexpr const char *VideoItem = "kijkraam-video"; // a master of this one video representation

// Whether `body` is a live MPD.
bool isLiveMpd(const QByteArray &body);
// The master playlist for the live MPD `mpd` read from `url` (with only the
// video representation `onlyVideo`, when given); empty when it holds
// nothing this can tell.
QByteArray master(const QByteArray &mpd, const QUrl &url, const QString &onlyVideo = QString());
// The media playlist of representation `id`, at wall-clock time `nowMs`
// (milliseconds since 1970, UTC); empty when there is no such one.
QByteArray media(const QByteArray &mpd, const QUrl &url, const QString &id, qint64 nowMs);
// The address of representation `id`'s media playlist.
QUrl mediaUrl(const QUrl &mpdUrl, const QString &id);
// The address of the master of video representation `id` alone (with the sound).
QUrl singleVideoUrl(const QUrl &mpdUrl, const QString &id);

} // namespace DashLive
