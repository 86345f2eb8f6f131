#include "ui/Fonts.h"

#include <QStringList>

#include <cmath>

namespace kelvane {

namespace {

// Chinese faces come last in the sans list: the windows show Chinese status texts in it,
// and a face that has the glyphs beats whatever fallback the system would pick.
const QStringList SongTiFamilies{"SimSun",
                                 "宋体",
                                 "NSimSun",
                                 "Noto Serif CJK SC",
                                 "AR PL UMing CN",
                                 "AR PL UMing",
                                 "WenQuanYi Micro Hei"};
const QStringList SansSerifFamilies{"Microsoft Sans Serif", "MS Sans Serif", "DejaVu Sans",
                                    "Liberation Sans", "WenQuanYi Micro Hei"};

QFont FontOf(const QStringList& families, QFont::StyleHint hint, double pointSize, bool bold) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(PixelSizeAt96Dpi(pointSize));
    font.setBold(bold);
    return font;
}

} // namespace

int PixelSizeAt96Dpi(double pointSize) {
    return static_cast<int>(std::lround(pointSize * 96 / 72));
}

QFont SongTi(double pointSize) {
    return FontOf(SongTiFamilies, QFont::Serif, pointSize, false);
}

QFont SansSerif(double pointSize, bool bold) {
    return FontOf(SansSerifFamilies, QFont::SansSerif, pointSize, bold);
}

} // namespace kelvane
