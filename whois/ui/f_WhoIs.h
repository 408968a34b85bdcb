#pragma once

#include "whois/cWhoIs.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class HopGrid;
class QPlainTextEdit;

// "WhoIs Console": shows the whois answer for one row of the hop grid and writes the network name and country it
// yields back into that row. One console serves the whole program; every lookup gets a new client.
class f_WhoIs : public QWidget {
    Q_OBJECT
public:
    static constexpr int AnswerHeightTwips = 3500;
    static constexpr int ErrorHeightTwips = 1500;

    explicit f_WhoIs(QWidget* owner = nullptr, WhoisServers servers = WhoisServers::standard());
    ~f_WhoIs() override;

    // Looks up grid row `row`: its host name's domain (column 1) or its address's /24 network (column 2). The
    // window moves its top-left corner to `screenPos` and shows itself without blocking.
    void View(HopGrid& grid, int row, int column, const QPoint& screenPos);
    void StayOnTop();
    void NotOnTop();

    // Where lookups go; tests point every service at their own server.
    void setServers(const WhoisServers& servers, int port = cWhoIs::DefaultPort);
    cWhoIs* client() const { return mWS.get(); }
    QString text() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setHeightTwips(int twips);
    void setTopmost(bool on);
    void mWS_ReturnMSG(const QString& text);
    void mWS_HostNetworkName(const QString& name);
    void mWS_HostCountry(const QString& country);
    void mWS_OnError(const QString& text);
    void writeBack(int column, const QString& text);

    QPlainTextEdit* txt = nullptr;
    QTimer TMR;
    std::unique_ptr<cWhoIs> mWS;
    WhoisServers m_servers;
    int m_port = cWhoIs::DefaultPort;
    HopGrid* m_grid = nullptr;
    QPointer<QObject> m_gridObject; // tells when the grid went away with its view
    int m_row = 0;
};
