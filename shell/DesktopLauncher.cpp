#include "shell/DesktopLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool DesktopLauncher::s_capturing = false;
QStringList DesktopLauncher::s_captured;

bool DesktopLauncher::openInTextEditor(const QString& path)
{
    if (s_capturing) {
        s_captured.append(path);
        return true;
    }
    // $VISUAL/$EDITOR name terminal editors as often as not; the desktop's handler for text files is what a user
    // who clicks a button expects.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    for (const char* editor : {"gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma"}) {
        const QString program = QStandardPaths::findExecutable(QLatin1String(editor));
        if (!program.isEmpty() && QProcess::startDetached(program, {path}))
            return true;
    }
    return false;
}

void DesktopLauncher::setCapturing(bool on)
{
    s_capturing = on;
    s_captured.clear();
}

QStringList DesktopLauncher::takeCaptured()
{
    return std::exchange(s_captured, {});
}
