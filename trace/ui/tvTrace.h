#pragma once

#include "trace/Trace.h"
#include "trace/ui/HopTable.h"

#include <QWidget>

class QFrame;
class QLabel;

// The trace view: a caption strip over the hop grid, with the route tracer that fills it. It forwards the
// tracer's texts to its host (the main window's host selector and labels) and asks for a whois lookup when a host
// name or an address in the grid is clicked.
class tvTrace : public QWidget {
    Q_OBJECT
public:
    explicit tvTrace(IcmpEchoService& echo = systemIcmpEchoService(), TraceResolver& names = systemTraceResolver(),
                     QWidget* parent = nullptr);
    ~tvTrace() override;

    // Traces the route to `host`; returns when the trace is over. Events keep running meanwhile.
    void StartTrace(const QString& host, qint32 timeoutMs);
    // Asks the running trace to end; it logs "Canceled".
    void StopTrace();

    HopTable& grid() { return *FLX; }
    Trace& tracer() { return *TRC; }

signals:
    void hostTextChanged(const QString& text);    // the host selector shows it
    void addressTextChanged(const QString& text); // the address label shows it
    void statusTextChanged(const QString& text);  // the result label shows it
    // A host name (column 1) or an address (column 2) of grid row `row` was clicked.
    void lookupRequested(HopGrid& grid, int row, int column);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FLX_MouseMove(const QPoint& viewportPos);
    void FLX_Click(const QPoint& viewportPos);
    bool isHostCell(int row, int column) const;

    QFrame* picCaption = nullptr;
    QLabel* imgCaption = nullptr;
    QLabel* lblCaption = nullptr;
    HopTable* FLX = nullptr;
    std::unique_ptr<Trace> TRC;
    bool m_busyCursor = false;
};
