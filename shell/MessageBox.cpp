#include "shell/MessageBox.h"

#include "TavrikVersion.h"

#include <QMessageBox>

bool MessageBox::s_capturing = false;
QList<MessageBox::Shown> MessageBox::s_captured;

void MessageBox::show(QWidget* parent, Icon icon, const QString& text)
{
    if (s_capturing) {
        s_captured.append({icon, text});
        return;
    }
    const QMessageBox::Icon qtIcon = icon == Icon::Critical      ? QMessageBox::Critical
                                     : icon == Icon::Exclamation ? QMessageBox::Warning
                                                                 : QMessageBox::Information;
    QMessageBox box(qtIcon, QStringLiteral(TAVRIK_PRODUCT), text, QMessageBox::Ok, parent);
    box.exec();
}

void MessageBox::setCapturing(bool on)
{
    s_capturing = on;
    s_captured.clear();
}

QList<MessageBox::Shown> MessageBox::takeCaptured()
{
    return std::exchange(s_captured, {});
}
