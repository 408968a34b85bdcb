#pragma once

#include <QWidget>

#include <cstdint>

// The round status light. Its colour is a colour value as the program stores them (red in the low byte).
class StatusLight : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 fillColor READ fillColor WRITE setFillColor)
public:
    explicit StatusLight(QWidget* parent = nullptr);

    quint32 fillColor() const { return m_fill; }
    void setFillColor(quint32 colour);

    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    quint32 m_fill = 0xC0C0C0;
};
