#include "ProgramIconArt.h"

#include <QPainter>
#include <QPen>
#include <QRadialGradient>

#include <algorithm>

namespace kelvane::assets {

namespace {

struct Shades {
    QColor light;
    QColor body;
    QColor edge;
    QColor outline; // keeps the stone apart from a background of its own colour
};

constexpr Shades BlackShades{QColor(150, 150, 150), QColor(20, 20, 20), QColor(0, 0, 0),
                             QColor(0, 0, 0)};
constexpr Shades WhiteShades{QColor(255, 255, 255), QColor(234, 233, 208), QColor(150, 150, 140),
                             QColor(90, 90, 90)};

// One stone filling its quarter of the icon, lit from the upper left.
void DrawStone(QPainter& painter, const QRectF& quarter, const Shades& shades) {
    const double margin = quarter.width() / 16.0;
    const QRectF disc = quarter.adjusted(margin, margin, -margin, -margin);
    const QPointF light = disc.topLeft() + QPointF(disc.width() * 0.35, disc.height() * 0.32);
    QRadialGradient gradient(disc.center(), disc.width() / 2.0, light);
    gradient.setColorAt(0.0, shades.light);
    gradient.setColorAt(0.55, shades.body);
    gradient.setColorAt(1.0, shades.edge);
    painter.setPen(QPen(shades.outline, std::max(1.0, quarter.width() / 48.0)));
    painter.setBrush(gradient);
    painter.drawEllipse(disc);
}

} // namespace

QImage DrawProgramIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const double half = size / 2.0;
    DrawStone(painter, QRectF(0, 0, half, half), BlackShades);
    DrawStone(painter, QRectF(half, 0, half, half), WhiteShades);
    DrawStone(painter, QRectF(0, half, half, half), WhiteShades);
    DrawStone(painter, QRectF(half, half, half, half), BlackShades);
    return icon;
}

} // namespace kelvane::assets
