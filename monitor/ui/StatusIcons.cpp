#include "monitor/ui/StatusIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

struct NamedColor {
    const char* name;
    QRgb rgb;
};

constexpr NamedColor IconColors[] = {
    {"SALAT", 0x7CFC00},   {"GREEN", 0x00C000},    {"DARKGREEN", 0x006400}, {"CYAN", 0x00C8C8},
    {"BLUE", 0x1E64FF},    {"DARKBLUE", 0x00008B}, {"MAGENTA", 0xFF00FF},   {"PURPLE", 0x800080},
    {"DARKRED", 0x8B0000}, {"RED", 0xFF0000},      {"YELLOW", 0xFFD700},    {"A_", 0x4682B4},
};

QPixmap drawIcon(const QColor& colour, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(QPen(QColor(32, 32, 32), s / 16.0));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
    // An echo trace across the disc, so the icon reads as a network monitor at any colour.
    QPainterPath pulse;
    pulse.moveTo(s * 0.16, s * 0.55);
    pulse.lineTo(s * 0.38, s * 0.55);
    pulse.lineTo(s * 0.48, s * 0.28);
    pulse.lineTo(s * 0.58, s * 0.75);
    pulse.lineTo(s * 0.66, s * 0.55);
    pulse.lineTo(s * 0.84, s * 0.55);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(colour.lightness() > 150 ? Qt::black : Qt::white, s / 12.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(pulse);
    return pixmap;
}

} // namespace

QColor statusIconColor(const QString& name)
{
    for (const NamedColor& entry : IconColors) {
        if (name == QLatin1String(entry.name))
            return QColor::fromRgb(entry.rgb);
    }
    return QColor::fromRgb(0x4682B4);
}

QIcon statusIcon(const QString& name)
{
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64})
        icon.addPixmap(drawIcon(statusIconColor(name), size));
    cache.insert(name, icon);
    return icon;
}

QPixmap modePicture(const QString& name)
{
    // A pulse for probing, a line of hops for tracing.
    const bool trace = name == QLatin1String("TRACE");
    QPixmap pixmap(40, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(trace ? QColor(0xFF, 0xE0, 0x80) : QColor(0xB0, 0xE0, 0xFF));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 39, 19), 4, 4);
    painter.setPen(QPen(QColor(20, 20, 20), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (trace) {
        painter.drawLine(QPointF(6, 10), QPointF(34, 10));
        painter.setBrush(QColor(20, 20, 20));
        for (int x : {6, 15, 24, 34})
            painter.drawEllipse(QPointF(x, 10), 2.2, 2.2);
    } else {
        QPainterPath pulse;
        pulse.moveTo(4, 11);
        pulse.lineTo(14, 11);
        pulse.lineTo(18, 4);
        pulse.lineTo(23, 16);
        pulse.lineTo(26, 11);
        pulse.lineTo(36, 11);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(pulse);
    }
    return pixmap;
}
