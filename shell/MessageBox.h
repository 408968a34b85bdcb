#pragma once

#include <QList>
#include <QString>

class QWidget;

// Message boxes of the program. Tests switch on capturing: boxes are then recorded instead of shown, so no modal
// dialog ever blocks an offscreen run.
class MessageBox {
public:
    enum class Icon { Critical, Exclamation, Information };

    struct Shown {
        Icon icon;
        QString text;
    };

    static void show(QWidget* parent, Icon icon, const QString& text);

    static void setCapturing(bool on);
    static QList<Shown> takeCaptured();

private:
    static bool s_capturing;
    static QList<Shown> s_captured;
};
