#pragma once

#include <QVariantHash>
#include <QWidget>

#include <array>
#include <cstdint>

class ColorSwatch;

// A palette of 35 colour swatches, 7 columns by 5 rows. A double-click picks the swatch under the pointer and
// reports the chosen colour.
class tvColorTab : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qint64 ChooseColor READ ChooseColor WRITE setChooseColor NOTIFY chooseColorChanged)
public:
    static constexpr int Count = 35;
    static constexpr qint64 DefaultColor = 65280;

    explicit tvColorTab(QWidget* parent = nullptr);

    qint64 ChooseColor() const { return m_chooseColor; }
    void setChooseColor(qint64 color);

    // The swatch whose rectangle (both ends inclusive) holds a point given in twips; -1 in a gap or outside.
    static int swatchAt(int xTwips, int yTwips);
    static std::uint32_t swatchColor(int index);
    ColorSwatch* swatch(int index) const { return m_swatches.at(std::size_t(index)); }

    // The property as the host form stores it.
    void readProperties(const QVariantHash& bag);
    void writeProperties(QVariantHash& bag) const;

signals:
    void ColorSelected(qint64 color);
    void chooseColorChanged(qint64 color);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::array<ColorSwatch*, Count> m_swatches{};
    qint64 m_chooseColor = DefaultColor;
    QPoint m_pressTwips;
};
