#include "analysis/settings/ColorSwatch.h"

#include "platform/SystemColors.h"

#include <QPainter>

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void ColorSwatch::setValue(std::int64_t value)
{
    m_value = value;
    update();
}

void ColorSwatch::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inner, colorFromValue(m_value, palette()));
    if (m_selected) {
        // Black and white rings read on light and dark swatches alike.
        painter.setPen(QPen(Qt::black, 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}
