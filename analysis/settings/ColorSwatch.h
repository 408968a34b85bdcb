#pragma once

#include <QFrame>

#include <cstdint>

// A filled rectangle that keeps the colour value it was given, so a system colour (high bit set) is written back
// as the same value rather than as whatever the current palette resolves it to.
class ColorSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);

    std::int64_t value() const { return m_value; }
    void setValue(std::int64_t value);
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int64_t m_value = 0;
    bool m_selected = false;
};
