#pragma once
// The two encodings a settings file comes in: UTF-8, and the Windows ANSI
// code page of Western Europe (Windows-1252), which profile files written by
// Windows programs use. Both decoders keep every character, so text decoded
// here and encoded again in the same encoding gives the same bytes.
#include <QByteArray>
#include <QString>

namespace TextCodec {

// Whether a file is UTF-8 is told by QByteArray::isValidUtf8 (no stray
// continuation bytes, no cut-off or over-long sequences, no encoded
// surrogates, nothing above U+10FFFF).

// UTF-8 to text. A byte-order mark at the start is kept as U+FEFF (callers
// that care strip it first), so decoding never drops characters.
QString decodeUtf8(const QByteArray &bytes);

// Windows-1252 to text. Every byte is one character: 0x80-0x9F are the
// code page's typographic characters, and its five unassigned bytes (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number,
// as Windows itself decodes them. Decoding therefore never fails and never
// loses a byte.
QString decodeWindows1252(const QByteArray &bytes);

// Whether every character of the text has a byte in Windows-1252 (the
// inverse of decodeWindows1252).
bool fitsWindows1252(const QString &text);

// Text to Windows-1252. Characters that do not fit become '?'; check with
// fitsWindows1252 first where that matters.
QByteArray encodeWindows1252(const QString &text);

} // namespace TextCodec
