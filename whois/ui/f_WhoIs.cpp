#include "whois/ui/f_WhoIs.h"

#include "trace/CountryTable.h"
#include "trace/HopGrid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

f_WhoIs::f_WhoIs(QWidget* owner, WhoisServers servers) : QWidget(owner, Qt::Tool), m_servers(std::move(servers))
{
    setObjectName(QStringLiteral("f_WhoIs"));
    setWindowTitle(QStringLiteral("WhoIs Console"));
    txt = new QPlainTextEdit(this);
    txt->setObjectName(QStringLiteral("txt"));
    txt->setReadOnly(true);
    txt->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txt);
    TMR.setObjectName(QStringLiteral("TMR"));
    TMR.setParent(this);
    TMR.setInterval(cWhoIs::PollIntervalMs);
    resize(int(7200 * logicalDpiX() / 1440.0), int(AnswerHeightTwips * logicalDpiY() / 1440.0));
}

f_WhoIs::~f_WhoIs()
{
    mWS.reset(); // before the timer it borrows
}

void f_WhoIs::setServers(const WhoisServers& servers, int port)
{
    m_servers = servers;
    m_port = port;
}

QString f_WhoIs::text() const
{
    return txt->toPlainText();
}

void f_WhoIs::setHeightTwips(int twips)
{
    resize(width(), int(twips * logicalDpiY() / 1440.0 + 0.5));
}

void f_WhoIs::setTopmost(bool on)
{
    // Changing the flags hides a window; show it again where it was, at the size it had.
    const QRect frame = geometry();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    setGeometry(frame);
    if (visible)
        show();
}

void f_WhoIs::StayOnTop()
{
    setTopmost(true);
}

void f_WhoIs::NotOnTop()
{
    setTopmost(false);
}

void f_WhoIs::View(HopGrid& grid, int row, int column, const QPoint& screenPos)
{
    m_grid = &grid;
    m_gridObject = dynamic_cast<QObject*>(&grid);
    m_row = row;

    move(screenPos);
    show();
    txt->setPlainText(QStringLiteral("Loading ..."));
    QCoreApplication::processEvents();
    StayOnTop();
    QApplication::setOverrideCursor(Qt::WaitCursor);

    const QStringList labels = grid.text(row, HopGrid::HostName).split(u'.');
    const QString domain = labels.size() >= 2 ? labels[labels.size() - 2] + u'.' + labels.back() : QString();
    QString query;
    if (column == HopGrid::Address) {
        const QStringList parts = grid.text(row, HopGrid::Address).split(u'.');
        query = QStringLiteral("-r ") + parts.mid(0, 3).join(u'.') + QStringLiteral(".0");
    }

    mWS = std::make_unique<cWhoIs>(&TMR, m_servers);
    mWS->setPortForListen(m_port);
    connect(mWS.get(), &cWhoIs::ReturnMSG, this, &f_WhoIs::mWS_ReturnMSG);
    connect(mWS.get(), &cWhoIs::HostNetworkName, this, &f_WhoIs::mWS_HostNetworkName);
    connect(mWS.get(), &cWhoIs::HostCountry, this, &f_WhoIs::mWS_HostCountry);
    connect(mWS.get(), &cWhoIs::OnError, this, &f_WhoIs::mWS_OnError);
    QPointer<f_WhoIs> self(this);
    mWS->setHostName(domain);
    mWS->ConnectToServer(query);
    if (!self)
        return;
    QApplication::restoreOverrideCursor();
}

void f_WhoIs::mWS_ReturnMSG(const QString& text)
{
    if (text.isEmpty())
        return;
    txt->setPlainText(text);
    setHeightTwips(AnswerHeightTwips);
}

void f_WhoIs::writeBack(int column, const QString& text)
{
    if (m_grid && m_gridObject)
        m_grid->setText(m_row, column, text);
}

void f_WhoIs::mWS_HostNetworkName(const QString& name)
{
    if (!name.isEmpty())
        writeBack(HopGrid::Network, name);
}

void f_WhoIs::mWS_HostCountry(const QString& country)
{
    // Two codes joined by a blank, or a country written out, have no entry: the cell is emptied then.
    if (!country.isEmpty())
        writeBack(HopGrid::Country, CountryName(country));
}

void f_WhoIs::mWS_OnError(const QString& text)
{
    TMR.stop();
    setHeightTwips(ErrorHeightTwips);
    txt->setPlainText(QStringLiteral("Error:\r\n") + text);
}

void f_WhoIs::closeEvent(QCloseEvent* event)
{
    mWS.reset();
    m_grid = nullptr;
    event->accept();
}
