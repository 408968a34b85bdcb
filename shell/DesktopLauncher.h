#pragma once

#include <QString>
#include <QStringList>

// Opens files in the desktop's own programs. The path is handed over as one argument, never inside a command
// line, so no file or host name can smuggle in a command. Tests switch on capturing to record instead of launch.
class DesktopLauncher {
public:
    // Opens a text file in the user's text editor; false when nothing could be started.
    static bool openInTextEditor(const QString& path);

    static void setCapturing(bool on);
    static QStringList takeCaptured();

private:
    static bool s_capturing;
    static QStringList s_captured;
};
