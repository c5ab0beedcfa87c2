#include "Pictures.h"

double litShare(const QImage &image)
{
    if (image.isNull())
        return 0;
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    qint64 lit = 0;
    for (int y = 0; y < img.height(); y += 2) {
        const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); x += 2)
            if (qRed(line[x]) + qGreen(line[x]) + qBlue(line[x]) > 90)
                ++lit;
    }
    return double(lit) / ((img.width() / 2 + 1) * (img.height() / 2 + 1));
}
