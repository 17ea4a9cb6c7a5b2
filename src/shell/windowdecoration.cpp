#include "windowdecoration.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>

namespace {

/// The terminal standing in its cradle, as packaging/kolbrin.svg draws it (128 units square).
QPixmap drawnIcon(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 128.0, side / 128.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3a, 0x44, 0x51));
    painter.drawPolygon(QPolygonF({{30, 70}, {98, 70}, {94, 84}, {34, 84}}));
    painter.setPen(QPen(QColor(0xa8, 0x5a, 0x12), 2));
    painter.setBrush(QColor(0xe8, 0x8e, 0x2b));
    painter.drawRoundedRect(QRectF(38, 10, 52, 92), 10, 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x7a, 0x1f, 0x1f));
    painter.drawRoundedRect(QRectF(50, 6, 28, 7), 3, 3);
    painter.setBrush(QColor(0x26, 0x31, 0x3b));
    painter.drawRoundedRect(QRectF(45, 18, 38, 30), 3, 3);
    painter.setBrush(QColor(0xc0, 0xe4, 0xc7));
    painter.drawRoundedRect(QRectF(48, 21, 32, 24), 1.5, 1.5);
    painter.setBrush(QColor(0x2f, 0x6b, 0x3a));
    for (int line = 0; line < 4; ++line) {
        painter.drawRect(QRectF(51, 24 + line * 5, line % 2 == 0 ? 24 : 18, 2.5));
    }
    painter.setBrush(QColor(0x2b, 0x33, 0x3d));
    painter.drawRoundedRect(QRectF(22, 84, 84, 26), 6, 6);
    return pixmap;
}

} // namespace

QIcon WindowDecoration::programIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("kolbrin"));
    if (!icon.isNull() && !icon.pixmap(32, 32).isNull()) {
        return icon;
    }
    QIcon drawn;
    for (const int side : {16, 24, 32, 48, 64, 128}) {
        drawn.addPixmap(drawnIcon(side));
    }
    return drawn;
}

void WindowDecoration::applyToApplication()
{
    // Only the icon: each window keeps the title it gives itself (no display name, which the
    // platform would add to every title).
    QGuiApplication::setWindowIcon(programIcon());
}
