#include "stream/BitmapFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace {

// Bitmaps are written with 24 bits per pixel, which every image tool reads;
// a picture with an alpha channel is flattened first.
QImage opaque(const QImage &picture)
{
    return picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
}

bool saveTo(QIODevice *device, const QImage &picture) { return opaque(picture).save(device, "BMP"); }

constexpr int MaxCopies = 999;

} // namespace

namespace BitmapFile {

bool write(const QImage &picture, const QString &path)
{
    if (picture.isNull() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!saveTo(&file, picture)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString writeNew(const QImage &picture, const QString &dir, const std::function<QString(int copy)> &nameFor)
{
    if (picture.isNull())
        return QString();

    // A temporary file of our own in the target directory, so the final
    // step is a rename within one file system.
    QString tempPath;
    QFile temp;
    for (int attempt = 0; attempt < 8 && !temp.isOpen(); ++attempt) {
        tempPath = dir + QDir::separator()
                   + QStringLiteral(".snapshot-%1.part")
                         .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        temp.setFileName(tempPath);
        if (temp.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!QFileInfo::exists(tempPath))
            return QString(); // the directory cannot be written
    }
    if (!temp.isOpen())
        return QString();
    const bool written = saveTo(&temp, picture) && temp.flush();
    temp.close();
    if (!written || temp.error() != QFileDevice::NoError) {
        QFile::remove(tempPath);
        return QString();
    }

    // A hard link gives the complete file its name and fails with EEXIST
    // when the name is taken, also when another writer took it a moment ago;
    // we then go on with the next copy number.
    for (int copy = 1; copy <= MaxCopies; ++copy) {
        const QString target = nameFor(copy);
        if (QFileInfo::exists(target))
            continue;
        if (::link(QFile::encodeName(tempPath).constData(), QFile::encodeName(target).constData()) == 0) {
            QFile::remove(tempPath);
            return target;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
            break;
        // A file system without hard links: a plain rename, which Qt refuses
        // when the name exists.
        if (QFile::rename(tempPath, target))
            return target;
        if (!QFileInfo::exists(target))
            break;
    }
    QFile::remove(tempPath);
    return QString();
}

} // namespace BitmapFile
