#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Up-down buttons bound to a text box: a click steps the number in the box within the range, then reports the
// step. Text that is no number steps from the lower bound.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, int step, QWidget* parent = nullptr);

    void stepUp() { stepBy(m_step); }
    void stepDown() { stepBy(-m_step); }
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

signals:
    void stepped(); // after the buddy's text has been changed by a click

private:
    void stepBy(int delta);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_min;
    int m_max;
    int m_step;
};
