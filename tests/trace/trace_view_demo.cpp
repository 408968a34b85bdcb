// Shows the trace view over a real route and the whois console for its first hop, for a look at both windows under
// a real X server. Whois answers come from a server of this program on 127.0.0.1, never from a public one.
//
//   trace_view_demo TARGET [SECONDS]

#include "trace/ui/tvTrace.h"
#include "whois/ui/f_WhoIs.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TARGET [SECONDS]\n", argv[0]);
        return 2;
    }
    QTcpServer whois;
    whois.listen(QHostAddress::LocalHost);
    QObject::connect(&whois, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = whois.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer] {
            peer->readAll();
            peer->write("% Lab whois server\n\ninetnum:  198.18.0.0 - 198.18.0.255\nnetname:  LAB-CORE-NET\n"
                        "descr:    Tavrik test laboratory\ncountry:  NL\nadmin-c:  LAB1-TEST\n\nperson:   Lab Admin\n"
                        "address:  1 Loopback Street\naddress:  Amsterdam\nphone:    +31 0 000 0000\n");
            peer->disconnectFromHost();
        });
    });

    tvTrace view;
    view.setWindowTitle(QStringLiteral("Trace Route"));
    view.resize(760, 330);
    view.move(0, 0);
    view.show();
    f_WhoIs console(&view);
    console.setServers(WhoisServers::allAt(QStringLiteral("127.0.0.1")), whois.serverPort());
    QObject::connect(&view, &tvTrace::lookupRequested, &console,
                     [&](HopGrid& grid, int row, int column) { console.View(grid, row, column, QCursor::pos()); });

    QTimer::singleShot(300, [&] {
        view.StartTrace(QString::fromLocal8Bit(argv[1]), 1000);
        console.View(view.grid(), 1, HopGrid::Address, view.mapToGlobal(QPoint(300, 150)));
    });
    QTimer::singleShot((argc > 2 ? std::atoi(argv[2]) : 8) * 1000, &app, &QApplication::quit);
    return app.exec();
}
