#include "ui/Pictures.h"

#include <QPixmap>
#include <QResource>
#include <QtEndian>

namespace kelvane {

namespace {

// A picture is stored uncompressed as 32-bit little-endian numbers: width, height, then
// premultiplied 0xAARRGGBB pixels row by row. On a little-endian machine the image shows
// the resource in place, with no decoder, copy or conversion; elsewhere it is copied. A
// resource of the wrong length gives a null image rather than a read past its end.
QImage LoadPixels(const char* name, QImage::Format format) {
    const QResource resource(QString::fromLatin1(name));
    if (resource.compressionAlgorithm() != QResource::NoCompression || resource.size() < 8)
        return {};
    const uchar* data = resource.data();
    const quint32 width = qFromLittleEndian<quint32>(data);
    const quint32 height = qFromLittleEndian<quint32>(data + 4);
    if (width > 4096 || height > 4096 || resource.size() != 8 + qint64(width) * height * 4)
        return {};
    const uchar* pixels = data + 8;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        return QImage(pixels, int(width), int(height), int(width) * 4, format);
    QImage image(int(width), int(height), format);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, pixels += 4)
            row[x] = qFromLittleEndian<quint32>(pixels);
    }
    return image;
}

} // namespace

// Every user of the opaque pictures gets the same 32-bit layout, so sprites can be copied
// scanline by scanline without conversion.
QImage BoardBitmap() {
    return LoadPixels(":/pictures/board.argb", QImage::Format_RGB32);
}

QImage StoneStrip() {
    return LoadPixels(":/pictures/stones.argb", QImage::Format_RGB32);
}

QImage StoneStrip2x() {
    return LoadPixels(":/pictures/stones@2x.argb", QImage::Format_RGB32);
}

QIcon ProgramIcon() {
    return QIcon(QPixmap::fromImage(
        LoadPixels(":/pictures/icon.argb", QImage::Format_ARGB32_Premultiplied)));
}

} // namespace kelvane
