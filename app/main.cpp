#include "TavrikVersion.h"
#include "monitor/ui/f_Ping.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    // Without a display QApplication would abort with a terse message; say what to do instead.
    if (!hasDisplay()) {
        bool infoOnly = false;
        for (int i = 1; i < argc; ++i) {
            const QByteArray arg(argv[i]);
            infoOnly = infoOnly || arg == "--help" || arg == "-h" || arg == "--version" || arg == "-v";
        }
        if (!infoOnly) {
            std::fprintf(stderr, "tvPing: no display found (DISPLAY is not set).\n"
                                 "Start it from a desktop session, or on a headless machine with: xvfb-run tvPing\n");
            return 2;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tvPing"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIK_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Tavrik"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tavrik network monitor: pings a host at an interval"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    f_Ping window;
    window.showAtStart();
    return app.exec();
}
