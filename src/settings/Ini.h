#pragma once
// The settings file "ini.ini": a small reader and writer of the classic INI
// profile format. Section and key names match regardless of letter case,
// values are compared by callers exactly. Reads never fail (missing file,
// section or key give the default); writes replace a value in place, keep
// every other line byte for byte, and go through a temporary file that is
// renamed over the original, so a failed write never damages the file.
// A file a write creates is readable by its user alone (0600); an existing
// one keeps its mode, owner and group. A file without write permission for
// its owner is left alone (the write fails), also when root writes. A write
// removes the temporary files that killed writes left behind.
//
// Files are UTF-8 or, when they are not valid UTF-8, Windows-1252 (the ANSI
// code page in which Windows programs write profile files). A write keeps
// the file's encoding. Only text that Windows-1252 cannot hold turns a
// Windows-1252 file into UTF-8: then every line is re-encoded, so each keeps
// its text and its line ending while its bytes change where it holds
// characters outside ASCII. The same happens when a write leaves a
// Windows-1252 file, with characters outside ASCII, valid as UTF-8, since
// the next read would take it for UTF-8.
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace INI {

// The in-memory form of one profile file, preserving every line as it was.
class IniDocument {
public:
    enum class Encoding { Utf8, Windows1252 };

    static IniDocument parse(const QByteArray &bytes);

    // The value of (section, key), or nothing when the section or key is
    // missing. Cut at its first NUL character. The first match wins.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Replace the value in place, or add the key at the end of its section,
    // or add the section at the end of the file. False, and nothing changed,
    // for a section or key name that could not be read back as given.
    bool setValue(const QString &section, const QString &key, const QString &value);

    QByteArray toBytes() const;
    Encoding encoding() const { return m_encoding; }

private:
    struct Line {
        QByteArray raw;    // the line without its line ending
        QByteArray ending; // "\r\n", "\n" or "\r" as read; empty on a last line without one
    };
    int findSection(const QString &section) const;          // line index of the header, or -1
    int findKey(int sectionLine, const QString &key) const; // line index, or -1
    int sectionEnd(int sectionLine) const;                  // index after the last non-blank line of the section
    bool sameName(const QByteArray &fileBytes, const QString &wanted) const;
    QString decode(const QByteArray &bytes) const;
    QByteArray encode(const QString &text) const;
    QByteArray endingBefore(int index) const; // the ending of a new line inserted at index
    void insertLine(int index, const QByteArray &raw);
    void convertToUtf8(); // re-encode a Windows-1252 document line by line

    std::vector<Line> m_lines;
    bool m_bom = false;
    Encoding m_encoding = Encoding::Utf8;
    QByteArray m_eol = QByteArrayLiteral("\r\n"); // ending for new lines: the file's first one (see endingBefore)
};

// Where the program's settings live: "ini.ini" in the settings directory of
// DataPlaces (beside the program, or the user's configuration directory),
// joined with a native separator. At the root of the file system the
// directory already ends in a separator and the path holds two.
QString settingsPath();

// Read (section, key) from the settings file; the default when missing.
QString ReadSetting(const QString &section, const QString &key, const QString &defaultValue);
// Store (section, key) = value. Returns whether the file was written; the
// program's windows never look at it.
bool WriteSetting(const QString &section, const QString &key, const QString &value);

// The same two operations on any file; used by the above and by tests.
QString ReadSettingFrom(const QString &path, const QString &section, const QString &key, const QString &defaultValue);
bool WriteSettingTo(const QString &path, const QString &section, const QString &key, const QString &value);

} // namespace INI
