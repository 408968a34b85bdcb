#include "monitor/ui/StatusLight.h"

#include "platform/SystemColors.h"

#include <QPainter>

StatusLight::StatusLight(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusLight::setFillColor(quint32 colour)
{
    if (colour == m_fill)
        return;
    m_fill = colour;
    update();
}

void StatusLight::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRectF disc((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(colorFromValue(m_fill, palette()));
    painter.drawEllipse(disc);
}
