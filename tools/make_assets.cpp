// kelvane_assets: draws the pictures and makes the move sound at build time.
//   kelvane_assets pictures <dir>  writes board.argb, stones.argb, stones@2x.argb
//                                 and icon.argb
//   kelvane_assets icons <dir>     writes icon-<N>.png for the desktop's icon sizes
//   kelvane_assets sound <file>    writes the move sound as a WAV file

#include "BoardBitmapArt.h"
#include "MoveSoundWave.h"
#include "ProgramIconArt.h"
#include "StoneStripArt.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

#include <cstdio>

namespace {

using namespace kelvane::assets;

constexpr int IconSize = 32;
constexpr int DesktopIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool WriteBytes(const QByteArray& bytes, const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        return true;
    std::fprintf(stderr, "kelvane_assets: cannot write %s\n", qPrintable(path));
    return false;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "kelvane_assets: cannot write %s\n", qPrintable(path));
    return false;
}

// Raw pixels, so the program shows its pictures straight from its own memory, without an
// image decoder: width and height, then every pixel as 0xAARRGGBB (premultiplied), all as
// 32-bit little-endian numbers, row by row.
bool SavePixels(const QImage& image, const QString& path) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray data(8 + argb.width() * argb.height() * 4, Qt::Uninitialized);
    char* out = data.data();
    qToLittleEndian<quint32>(quint32(argb.width()), out);
    qToLittleEndian<quint32>(quint32(argb.height()), out + 4);
    out += 8;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x, out += 4)
            qToLittleEndian<quint32>(row[x], out);
    }
    return WriteBytes(data, path);
}

bool MakeDirectory(const QString& dir) {
    if (QDir().mkpath(dir))
        return true;
    std::fprintf(stderr, "kelvane_assets: cannot create %s\n", qPrintable(dir));
    return false;
}

bool WritePictures(const QString& dir) {
    const QDir out(dir);
    return MakeDirectory(dir) && SavePixels(DrawBoardBitmap(), out.filePath("board.argb")) &&
           SavePixels(DrawStoneStrip(), out.filePath("stones.argb")) &&
           SavePixels(DrawStoneStrip(2), out.filePath("stones@2x.argb")) &&
           SavePixels(DrawProgramIcon(IconSize), out.filePath("icon.argb"));
}

bool WriteIcons(const QString& dir) {
    if (!MakeDirectory(dir))
        return false;
    for (int size : DesktopIconSizes) {
        if (!Save(DrawProgramIcon(size), QDir(dir).filePath(QString("icon-%1.png").arg(size))))
            return false;
    }
    return true;
}

bool WriteSound(const QString& path) {
    return WriteBytes(MakeMoveSound(), path);
}

int Usage() {
    std::fprintf(stderr, "usage: kelvane_assets pictures <dir> | icons <dir> | sound <file>\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3)
        return Usage();
    const QString command = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);
    if (command == "pictures")
        return WritePictures(target) ? 0 : 1;
    if (command == "icons")
        return WriteIcons(target) ? 0 : 1;
    if (command == "sound")
        return WriteSound(target) ? 0 : 1;
    return Usage();
}
