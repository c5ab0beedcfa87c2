#include "settings/Ini.h"

#include "platform/DataPlaces.h"
#include "platform/ProgramDir.h"
#include "settings/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace INI {

namespace {

// A settings file larger than this is not ours: reads look at this much of
// it, writes refuse to rewrite it (rewriting only the part read would lose
// the rest).
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

const QByteArray Bom("\xEF\xBB\xBF", 3);

bool isBlankChar(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Trims spaces and tabs (not NUL, not other bytes) from both ends.
QByteArray trimmed(const QByteArray &bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlankChar(bytes.at(begin)))
        ++begin;
    while (end > begin && isBlankChar(bytes.at(end - 1)))
        --end;
    return bytes.mid(begin, end - begin);
}

bool isBlankLine(const QByteArray &raw)
{
    for (char c : raw) {
        if (!isBlankChar(c))
            return false;
    }
    return true;
}

qsizetype firstNonBlank(const QByteArray &raw)
{
    qsizetype i = 0;
    while (i < raw.size() && isBlankChar(raw.at(i)))
        ++i;
    return i;
}

// "[ name ]" gives true and the bytes between the brackets, trimmed. A line
// with an opening bracket but no closing one is not a header.
bool sectionHeader(const QByteArray &raw, QByteArray *name)
{
    const qsizetype open = firstNonBlank(raw);
    if (open >= raw.size() || raw.at(open) != '[')
        return false;
    const qsizetype close = raw.indexOf(']', open + 1);
    if (close < 0)
        return false;
    if (name)
        *name = trimmed(raw.mid(open + 1, close - open - 1));
    return true;
}

bool isComment(const QByteArray &raw)
{
    const qsizetype i = firstNonBlank(raw);
    return i < raw.size() && raw.at(i) == ';';
}

// The position of '=' in a key line, or -1 for lines that hold no key.
qsizetype keySeparator(const QByteArray &raw)
{
    if (isComment(raw))
        return -1;
    return raw.indexOf('=');
}

QString normalizedName(const QString &name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name.at(begin).unicode() < 0x80 && isBlankChar(char(name.at(begin).unicode())))
        ++begin;
    while (end > begin && name.at(end - 1).unicode() < 0x80 && isBlankChar(char(name.at(end - 1).unicode())))
        --end;
    return name.mid(begin, end - begin);
}

bool hasLineBreakOrNul(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

// Names that would read back as something else once written are refused:
// a ']' ends a section header early, a '=' splits a key, line breaks start
// new lines, and a key that starts like a comment or a header would vanish.
bool validSectionName(const QString &section)
{
    const QString name = normalizedName(section);
    return !name.isEmpty() && !name.contains(QLatin1Char(']')) && !hasLineBreakOrNul(section);
}

bool validKeyName(const QString &key)
{
    const QString name = normalizedName(key);
    return !name.isEmpty() && !name.contains(QLatin1Char('=')) && !hasLineBreakOrNul(key)
           && !name.startsWith(QLatin1Char(';')) && !name.startsWith(QLatin1Char('['));
}

// A value is written on one line: it ends at its first line break or NUL, so
// that no caller can add lines, keys or sections through a value.
QString storableValue(const QString &value)
{
    qsizetype end = value.size();
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0) {
            end = i;
            break;
        }
    }
    return value.left(end);
}

enum class ReadResult { Missing, Read, Failed };

// Reads a regular file. Directories, devices and pipes are refused so a read
// can never block or run forever.
ReadResult readFile(const QString &path, QByteArray *bytes, bool forWrite)
{
    bytes->clear();
    const QFileInfo info(path);
    if (!info.exists())
        return ReadResult::Missing;
    if (!info.isFile())
        return ReadResult::Failed;
    if (forWrite && info.size() > MaxFileBytes)
        return ReadResult::Failed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::Failed;
    *bytes = file.read(MaxFileBytes);
    if (file.error() != QFileDevice::NoError)
        return ReadResult::Failed;
    if (forWrite && !file.atEnd())
        return ReadResult::Failed; // grew past the limit while we read it
    return ReadResult::Read;
}

// A temporary file of a write that never finished (the program was killed
// while it wrote) is removed by a later write once it is this old; younger
// ones may belong to a write of another copy of the program that is still
// under way.
constexpr time_t StaleTemporarySeconds = 60;

// The name QSaveFile gives its temporary file for `name` as it commits: the
// name, a dot and six random letters of either case. Six letters in one
// case, or a capital and then small letters, read like a word a person gave
// a copy ("ini.ini.backup", "ini.ini.Backup") and are left alone.
bool isTemporaryName(const QString &candidate, const QString &name)
{
    if (candidate.size() != name.size() + 7 || !candidate.startsWith(name + QLatin1Char('.')))
        return false;
    bool laterCapital = false, small = false;
    for (qsizetype i = name.size() + 1; i < candidate.size(); ++i) {
        const char16_t c = candidate.at(i).unicode();
        const bool capital = c >= u'A' && c <= u'Z';
        if (!capital && !(c >= u'a' && c <= u'z'))
            return false;
        laterCapital = laterCapital || (capital && i > name.size() + 1);
        small = small || !capital;
    }
    return laterCapital && small;
}

// Removes the stale temporary files of earlier writes of `path`: regular
// files of this user with a temporary's name, untouched for a while.
void removeStaleTemporaries(const QString &path)
{
    const QFileInfo target(path);
    const QString name = target.fileName();
    const QDir dir = target.absoluteDir();
    const QStringList found = dir.entryList({name + QStringLiteral(".??????")},
                                            QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    const time_t now = ::time(nullptr);
    for (const QString &candidate : found) {
        if (!isTemporaryName(candidate, name))
            continue;
        const QByteArray file = QFile::encodeName(dir.filePath(candidate));
        struct stat st {};
        if (::lstat(file.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && st.st_mtime + StaleTemporarySeconds < now)
            ::unlink(file.constData());
    }
}

// Writes `bytes` as the new content of `path`: into a temporary file beside
// it, renamed over it once everything is on disk. An existing file keeps
// its mode, owner and group; a new one is readable by its user alone (it
// holds the stream addresses, passwords in them included). A file that its
// owner cannot write was made read-only on purpose and is not replaced, for
// root either (who could).
bool replaceFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat old {};
    const bool existed = ::stat(native.constData(), &old) == 0;
    if (existed && !(old.st_mode & S_IWUSR))
        return false;
    removeStaleTemporaries(path);

    // QSaveFile writes into a file without a name (O_TMPFILE) where the file
    // system has them, and gives it a name only as it renames it over the
    // old one; elsewhere into a named one beside it.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto fail = [&file] {
        file.cancelWriting();
        return false;
    };
    if (!existed) {
        if (::fchmod(file.handle(), 0600) != 0)
            return fail();
    } else {
        // Root writing a user's file leaves it the user's. Changing the
        // owner may clear set-id bits, so the mode is set after it.
        struct stat made {};
        if (::fstat(file.handle(), &made) != 0
            || ((made.st_uid != old.st_uid || made.st_gid != old.st_gid)
                && ::fchown(file.handle(), old.st_uid, old.st_gid) != 0))
            return fail();
        if (::fchmod(file.handle(), old.st_mode & 07777) != 0)
            return fail();
    }
    // The explicit flush matters: QSaveFile::commit() does not notice when
    // the final flush of its buffer fails (a full disk, a size limit) and
    // would rename the short file over the old one.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return fail();
    return file.commit();
}

bool writeSetting(const QString &path, const QString &startFrom, const QString &section, const QString &key,
                  const QString &value);

} // namespace

IniDocument IniDocument::parse(const QByteArray &bytes)
{
    IniDocument doc;
    if (!bytes.isValidUtf8())
        doc.m_encoding = Encoding::Windows1252;
    qsizetype pos = 0;
    if (bytes.startsWith(Bom)) {
        doc.m_bom = true;
        pos = Bom.size();
    }
    bool endingSeen = false;
    const qsizetype size = bytes.size();
    const char *data = bytes.constData();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        Line line;
        line.raw = bytes.mid(pos, end - pos);
        if (end < size) {
            if (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
                line.ending = QByteArray("\r\n");
            else
                line.ending = QByteArray(1, data[end]);
            if (!endingSeen) {
                endingSeen = true;
                doc.m_eol = line.ending;
            }
        }
        pos = end + line.ending.size();
        doc.m_lines.push_back(std::move(line));
    }
    return doc;
}

QString IniDocument::decode(const QByteArray &bytes) const
{
    return m_encoding == Encoding::Utf8 ? TextCodec::decodeUtf8(bytes) : TextCodec::decodeWindows1252(bytes);
}

QByteArray IniDocument::encode(const QString &text) const
{
    return m_encoding == Encoding::Utf8 ? text.toUtf8() : TextCodec::encodeWindows1252(text);
}

bool IniDocument::sameName(const QByteArray &fileBytes, const QString &wanted) const
{
    return decode(fileBytes).compare(wanted, Qt::CaseInsensitive) == 0;
}

int IniDocument::findSection(const QString &section) const
{
    const QString wanted = normalizedName(section);
    QByteArray name;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (sectionHeader(m_lines[i].raw, &name) && sameName(name, wanted))
            return int(i);
    }
    return -1;
}

int IniDocument::findKey(int sectionLine, const QString &key) const
{
    const QString wanted = normalizedName(key);
    for (size_t i = size_t(sectionLine) + 1; i < m_lines.size(); ++i) {
        const QByteArray &raw = m_lines[i].raw;
        if (sectionHeader(raw, nullptr))
            break;
        const qsizetype eq = keySeparator(raw);
        if (eq >= 0 && sameName(trimmed(raw.left(eq)), wanted))
            return int(i);
    }
    return -1;
}

int IniDocument::sectionEnd(int sectionLine) const
{
    size_t end = size_t(sectionLine) + 1;
    for (size_t i = end; i < m_lines.size(); ++i) {
        if (sectionHeader(m_lines[i].raw, nullptr))
            break;
        if (!isBlankLine(m_lines[i].raw))
            end = i + 1;
    }
    return int(end);
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const int sectionLine = findSection(section);
    if (sectionLine < 0)
        return std::nullopt;
    const int keyLine = findKey(sectionLine, key);
    if (keyLine < 0)
        return std::nullopt;
    const QByteArray &raw = m_lines[size_t(keyLine)].raw;
    QByteArray text = raw.mid(raw.indexOf('=') + 1);
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    // Blanks after the equals sign are layout; the value itself is kept as
    // it was written, trailing blanks and quotes included, so that what a
    // window saved reads back the same ("Auto " is not "Auto").
    qsizetype start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    return decode(text.mid(start));
}

QByteArray IniDocument::endingBefore(int index) const
{
    // A lone CR in front of a blank line that ends in LF would read back as
    // one CRLF and swallow that blank line; such a new line ends in LF.
    if (m_eol == "\r" && size_t(index) < m_lines.size() && m_lines[size_t(index)].raw.isEmpty()
        && m_lines[size_t(index)].ending == "\n")
        return QByteArrayLiteral("\n");
    return m_eol;
}

void IniDocument::insertLine(int index, const QByteArray &raw)
{
    // Only the file's last line can lack an ending; a new line after it
    // needs one.
    if (index > 0 && m_lines[size_t(index - 1)].ending.isEmpty())
        m_lines[size_t(index - 1)].ending = m_eol;
    Line line;
    line.raw = raw;
    line.ending = endingBefore(index);
    m_lines.insert(m_lines.begin() + index, std::move(line));
}

void IniDocument::convertToUtf8()
{
    for (Line &line : m_lines)
        line.raw = TextCodec::decodeWindows1252(line.raw).toUtf8();
    m_encoding = Encoding::Utf8;
}

bool IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    if (!validSectionName(section) || !validKeyName(key))
        return false;
    const QString stored = storableValue(value);
    const QString sectionName = normalizedName(section);
    const QString keyName = normalizedName(key);

    // The new text has characters the file's code page cannot hold: the
    // whole file becomes UTF-8, so that it stays in one encoding.
    if (m_encoding == Encoding::Windows1252
        && !(TextCodec::fitsWindows1252(stored) && TextCodec::fitsWindows1252(sectionName)
             && TextCodec::fitsWindows1252(keyName)))
        convertToUtf8();

    const int sectionLine = findSection(sectionName);
    const int keyLine = sectionLine >= 0 ? findKey(sectionLine, keyName) : -1;
    if (keyLine >= 0) {
        Line &line = m_lines[size_t(keyLine)];
        const QByteArray spelling = trimmed(line.raw.left(line.raw.indexOf('=')));
        line.raw = spelling + '=' + encode(stored);
    } else if (sectionLine >= 0) {
        insertLine(sectionEnd(sectionLine), encode(keyName) + '=' + encode(stored));
    } else {
        insertLine(int(m_lines.size()), '[' + encode(sectionName) + ']');
        insertLine(int(m_lines.size()), encode(keyName) + '=' + encode(stored));
    }

    // A Windows-1252 file is told apart by not being UTF-8. When this write
    // took away its last byte that is not UTF-8 while others outside ASCII
    // remain, the next read would take it for UTF-8 and see other text: it
    // becomes UTF-8 now, every line keeping its text.
    if (m_encoding == Encoding::Windows1252) {
        const QByteArray bytes = toBytes();
        const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
        if (!ascii && bytes.isValidUtf8())
            convertToUtf8();
    }
    return true;
}

QByteArray IniDocument::toBytes() const
{
    QByteArray out;
    qsizetype size = m_bom ? Bom.size() : 0;
    for (const Line &line : m_lines)
        size += line.raw.size() + line.ending.size();
    out.reserve(size);
    if (m_bom)
        out += Bom;
    for (const Line &line : m_lines) {
        out += line.raw;
        out += line.ending;
    }
    return out;
}

namespace {

QString iniIn(const QString &dir)
{
    return QDir::toNativeSeparators(dir) + QDir::separator() + QStringLiteral("ini.ini");
}

} // namespace

QString settingsPath() { return iniIn(DataPlaces::settings().dir); }

// With settings in the user's directory, an ini.ini beside the program (one
// the user cannot write, say on a read-only medium) still serves until the
// user's own file exists: reads use it, and the first write starts from a
// copy of it.
QString ReadSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    const DataPlaces::Place place = DataPlaces::settings();
    QString path = iniIn(place.dir);
    if (place.perUser && !QFileInfo::exists(path))
        path = iniIn(ProgramDir::path());
    return ReadSettingFrom(path, section, key, defaultValue);
}

bool WriteSetting(const QString &section, const QString &key, const QString &value)
{
    const DataPlaces::Place place = DataPlaces::settings();
    const QString path = iniIn(place.dir);
    QString startFrom;
    if (place.perUser) {
        if (!DataPlaces::prepare(place))
            return false;
        const QString beside = iniIn(ProgramDir::path());
        if (!QFileInfo::exists(path) && QFileInfo(beside).isFile())
            startFrom = beside; // its text, in a new file of the user's (not its mode)
    }
    return writeSetting(path, startFrom, section, key, value);
}

QString ReadSettingFrom(const QString &path, const QString &section, const QString &key, const QString &defaultValue)
{
    QByteArray bytes;
    if (readFile(path, &bytes, false) != ReadResult::Read)
        return defaultValue;
    return IniDocument::parse(bytes).value(section, key).value_or(defaultValue);
}

bool WriteSettingTo(const QString &path, const QString &section, const QString &key, const QString &value)
{
    return writeSetting(path, QString(), section, key, value);
}

namespace {

// A write to `path`; when `path` does not exist yet and `startFrom` names a
// file, the new file starts from that file's text.
bool writeSetting(const QString &path, const QString &startFrom, const QString &section, const QString &key,
                  const QString &value)
{
    if (!validSectionName(section) || !validKeyName(key))
        return false;
    QByteArray old;
    const ReadResult read = readFile(path, &old, true);
    if (read == ReadResult::Failed)
        return false; // never replace a file we could not read in full

    QByteArray start = old;
    if (read == ReadResult::Missing && !startFrom.isEmpty() && readFile(startFrom, &start, true) != ReadResult::Read)
        start.clear();
    IniDocument doc = IniDocument::parse(start);
    doc.setValue(section, key, value);
    const QByteArray bytes = doc.toBytes();
    if (read == ReadResult::Read && bytes == old)
        return true;
    return replaceFile(path, bytes);
}

} // namespace

} // namespace INI
