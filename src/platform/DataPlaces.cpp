#include "platform/DataPlaces.h"
#include "platform/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

namespace DataPlaces {

bool inSystemTree(const QString &dir)
{
    static const QStringList trees = {"/usr", "/opt", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/snap"};
    const QString clean = QDir::cleanPath(dir);
    for (const QString &tree : trees) {
        if (clean == tree || clean.startsWith(tree + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool besideProgram(const QString &programDir, bool programDirWritable)
{
    return programDirWritable && !inSystemTree(programDir);
}

QString userSettingsDir(const QString &xdgConfigHome, const QString &home)
{
    const QString base = QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : home + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/kijkraam"));
}

QString userSnapshotDir(const QString &picturesDir, const QString &home)
{
    const QString base = QDir::isAbsolutePath(picturesDir) ? picturesDir : home + QStringLiteral("/Pictures");
    return QDir::cleanPath(base + QStringLiteral("/Kijkraam"));
}

namespace {

bool writableDir(const QString &dir)
{
    // access() also answers "no" on a read-only file system, for root too.
    return QFileInfo(dir).isDir() && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

bool keepsBeside(const QString &programDir) { return besideProgram(programDir, writableDir(programDir)); }

Place settingsPlace(const QString &programDir, bool beside)
{
    if (beside)
        return {programDir, false};
    return {userSettingsDir(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()), true};
}

Place snapshotPlace(const QString &programDir, bool beside)
{
    if (beside)
        return {programDir, false};
    return {userSnapshotDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), QDir::homePath()),
            true};
}

// Tests that point the program elsewhere keep everything in that directory,
// unless they ask for it to count as read-only.
bool besideRunningProgram()
{
    if (ProgramDir::overridden())
        return !ProgramDir::overriddenReadOnly();
    return keepsBeside(ProgramDir::path());
}

} // namespace

Place settingsFor(const QString &programDir) { return settingsPlace(programDir, keepsBeside(programDir)); }
Place snapshotsFor(const QString &programDir) { return snapshotPlace(programDir, keepsBeside(programDir)); }
Place settings() { return settingsPlace(ProgramDir::path(), besideRunningProgram()); }
Place snapshots() { return snapshotPlace(ProgramDir::path(), besideRunningProgram()); }

bool prepare(const Place &place)
{
    if (!place.perUser || place.dir.isEmpty())
        return QFileInfo(place.dir).isDir();
    // Create from the top down, each missing directory private to the user.
    const QString clean = QDir::cleanPath(place.dir);
    qsizetype from = 1;
    while (true) {
        const qsizetype slash = clean.indexOf(QLatin1Char('/'), from);
        const QString part = slash < 0 ? clean : clean.left(slash);
        if (!QFileInfo(part).isDir())
            ::mkdir(QFile::encodeName(part).constData(), 0700);
        if (slash < 0)
            break;
        from = slash + 1;
    }
    return QFileInfo(clean).isDir();
}

} // namespace DataPlaces
