#include "ui/Pictures.h"

namespace kelvane {

namespace {

// Every user of the pictures gets the same 32-bit layout, so sprites can be copied
// scanline by scanline without conversion.
QImage LoadOpaque(const char* resource) {
    return QImage(QString::fromLatin1(resource)).convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage BoardBitmap() {
    static const QImage bitmap = LoadOpaque(":/pictures/board.png");
    return bitmap;
}

QImage StoneStrip() {
    static const QImage strip = LoadOpaque(":/pictures/stones.png");
    return strip;
}

QIcon ProgramIcon() {
    return QIcon(QStringLiteral(":/pictures/icon.png"));
}

} // namespace kelvane
