#include "analysis/settings/tvColorTab.h"

#include "analysis/settings/ColorSwatch.h"

#include <QMouseEvent>

namespace {

// Logical pixels are 1/96 inch and a twip is 1/1440 inch; high-DPI scaling maps logical pixels to the screen.
constexpr int TwipsPerPixel = 15;
constexpr int Margin = 45;
constexpr int Pitch = 270;
constexpr int Side = 255;
constexpr int Columns = 7;
constexpr int Rows = 5;

constexpr std::uint32_t rgb(int r, int g, int b)
{
    return std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16);
}

// By row, then column.
constexpr std::uint32_t Colors[Rows][Columns] = {
    {rgb(255, 192, 192), rgb(255, 224, 192), rgb(255, 255, 192), rgb(192, 255, 192), rgb(192, 255, 255),
     rgb(192, 192, 255), rgb(255, 192, 255)},
    {rgb(255, 128, 128), rgb(255, 192, 128), rgb(255, 255, 128), rgb(128, 255, 128), rgb(128, 255, 255),
     rgb(128, 128, 255), rgb(255, 128, 255)},
    {rgb(255, 0, 0), rgb(255, 128, 0), rgb(255, 255, 0), rgb(0, 255, 0), rgb(0, 255, 255), rgb(0, 0, 255),
     rgb(255, 0, 255)},
    {rgb(192, 0, 0), rgb(192, 64, 0), rgb(192, 192, 0), rgb(0, 192, 0), rgb(0, 192, 192), rgb(0, 0, 192),
     rgb(192, 0, 192)},
    {rgb(128, 0, 0), rgb(128, 64, 0), rgb(128, 128, 0), rgb(0, 128, 0), rgb(0, 128, 128), rgb(0, 0, 128),
     rgb(128, 0, 128)},
};

int leftOf(int index)
{
    return Margin + Pitch * (index / Rows);
}
int topOf(int index)
{
    return Margin + Pitch * (index % Rows);
}

// A pixel stands for the twips under its centre, so a pixel inside a gap between swatches misses them all.
QPoint toTwips(QPointF position)
{
    const QPoint pixel = position.toPoint();
    return QPoint(pixel.x() * TwipsPerPixel + TwipsPerPixel / 2, pixel.y() * TwipsPerPixel + TwipsPerPixel / 2);
}

} // namespace

tvColorTab::tvColorTab(QWidget* parent) : QWidget(parent)
{
    setFixedSize(1950 / TwipsPerPixel, 1410 / TwipsPerPixel);
    for (int i = 0; i < Count; ++i) {
        auto* swatch = new ColorSwatch(this);
        swatch->setObjectName(QStringLiteral("shpColor_%1").arg(i));
        swatch->setValue(swatchColor(i));
        const int side = i == 0 ? 250 : Side;
        swatch->setGeometry(leftOf(i) / TwipsPerPixel, topOf(i) / TwipsPerPixel, side / TwipsPerPixel,
                            side / TwipsPerPixel);
        // The control itself takes the pointer, so positions are measured in one coordinate system.
        swatch->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_swatches[std::size_t(i)] = swatch;
    }
    setChooseColor(DefaultColor);
}

std::uint32_t tvColorTab::swatchColor(int index)
{
    if (index < 0 || index >= Count)
        return 0;
    return Colors[index % Rows][index / Rows];
}

int tvColorTab::swatchAt(int xTwips, int yTwips)
{
    for (int i = 0; i < Count; ++i) {
        if (xTwips >= leftOf(i) && xTwips <= leftOf(i) + Side && yTwips >= topOf(i) && yTwips <= topOf(i) + Side)
            return i;
    }
    return -1;
}

void tvColorTab::setChooseColor(qint64 color)
{
    m_chooseColor = color;
    for (ColorSwatch* swatch : m_swatches)
        swatch->setSelected(swatch->value() == color);
    emit chooseColorChanged(color);
}

void tvColorTab::readProperties(const QVariantHash& bag)
{
    setChooseColor(bag.value(QStringLiteral("ChooseColor"), QVariant(DefaultColor)).toLongLong());
}

void tvColorTab::writeProperties(QVariantHash& bag) const
{
    bag.insert(QStringLiteral("ChooseColor"), qint64(m_chooseColor));
}

void tvColorTab::mousePressEvent(QMouseEvent* event)
{
    m_pressTwips = toTwips(event->position());
    QWidget::mousePressEvent(event);
}

void tvColorTab::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The press that precedes a double-click stored the position; a double-click alone carries its own.
    m_pressTwips = toTwips(event->position());
    const int hit = swatchAt(m_pressTwips.x(), m_pressTwips.y());
    if (hit >= 0)
        setChooseColor(m_swatches[std::size_t(hit)]->value());
    emit ColorSelected(m_chooseColor);
}
