#pragma once

#include "monitor/MonitorCycle.h"
#include "monitor/Ping.h"
#include "monitor/PingGraph.h"
#include "monitor/Settings.h"
#include "monitor/SmsAlerts.h"
#include "monitor/cINI.h"
#include "monitor/mMain.h"
#include "monitor/ui/clsSysTray.h"
#include "shell/ErrorReport.h"
#include "trace/Trace.h"

#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class HostListEditor;
class PingGraphView;
class QMenu;
class QStackedLayout;
class f_WhoIs;
class f_Graph;
class tvTrace;
class StatusLight;

// The host selector. Opening its list first adds a typed host that is not an entry yet.
class HostSelector : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
};

// What the main window takes from outside; tests substitute the echo service, the resolver and the clock.
struct PingWindowServices {
    IcmpEchoService* echo = &systemIcmpEchoService();
    HostResolver* resolver = &systemHostResolver();
    Clock* clock = &systemClock();
    TraceResolver* traceNames = &systemTraceResolver();
    // Makes the SMS gateway for a URL; empty for the real HTTP gateway.
    SmsAlerts::GatewayFactory gatewayFactory;
    // Runs a modal dialog of the window; tests answer it without showing it.
    std::function<int(QDialog&)> runDialog = [](QDialog& dialog) { return dialog.exec(); };
};

// The main window: host selector, interval box, start and stop, status light and result labels.
class f_Ping : public QWidget, public CycleHost {
    Q_OBJECT
public:
    explicit f_Ping(PingWindowServices services = {}, QWidget* parent = nullptr);
    ~f_Ping() override;

    QString hostText() const override;
    bool isMinimized() const override { return QWidget::isMinimized(); }

    MonitorCycle& cycle() { return *m_cycle; }
    Ping& probe() { return *m_ping; }
    QString hostsFile() const { return m_hosts.FilePath(); }
    const PingGraph& graph() const { return m_graph; }
    mMain& log() { return *m_log; }
    SmsAlerts& alerts() { return *m_alerts; }
    clsSysTray& tray() { return m_tray; }
    tvTrace& traceView() { return *tvTrace1; }
    f_WhoIs& whoisConsole() { return *m_whois; }
    // The analysis window while it is open.
    f_Graph* analysisWindow() const;
    bool isTraceMode() const;
    // Shows the window as the start-up settings ask: normally, or minimised (to the tray where there is one).
    void showAtStart();
    bool startsHidden() const { return m_startHidden; }

public slots:
    void Command1_Click();
    void Command2_Click();

public:
    // Lays the live graph out again from the settings, keeping its values; reports what cannot be laid out.
    std::optional<ProcedureError> rebuildGraph();
    // Reloads the alert rules and the gateway; the options dialog calls it after every save.
    void InitSMS();

signals:
    // The live graph's frame was double-clicked: the cycle is stopped and the graph settings should open.
    void graphSettingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    std::optional<ProcedureError> loadStep(int line);
    void txtTime_Change();
    void txtTime_LostFocus();
    void applyIcon(const QString& name);
    void showResult(int value, const QString& host, const QString& colourName);
    void chkLog_Click(bool checked);
    void cmdShowLog_Click();
    void cmdLogClear_Click();
    void Frame1_DblClick();
    void chkMode_Click(bool trace);
    void chkHosts_Click(bool editing);
    void applyMode(bool trace);
    void cmdAbout_Click();
    void cmdOptions_Click();
    void cmdAnalyze_Click();
    void buildTrayMenu();
    bool eventFilter(QObject* watched, QEvent* event) override;

    PingWindowServices m_services;
    Settings m_settings;
    cINI m_hosts;
    std::unique_ptr<Ping> m_ping;
    std::unique_ptr<MonitorCycle> m_cycle;
    std::unique_ptr<mMain> m_log;
    std::unique_ptr<SmsAlerts> m_alerts;
    PingGraph m_graph;
    bool m_checkingInterval = false;
    bool m_startHidden = false;
    clsSysTray m_tray;

    HostSelector* cmb = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtTime = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    StatusLight* Shape1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    PingGraphView* m_graphView = nullptr;
    QCheckBox* chkLog = nullptr;
    QPushButton* cmdShowLog = nullptr;
    QPushButton* cmdLogClear = nullptr;
    QLabel* imgSMS = nullptr;
    QCheckBox* chkMode = nullptr;
    QLabel* PIC = nullptr;
    QLabel* LDPIC = nullptr;
    tvTrace* tvTrace1 = nullptr;
    QCheckBox* chkHosts = nullptr;
    HostListEditor* m_hostEditor = nullptr;
    QStackedLayout* m_area = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdOptions = nullptr;
    QPushButton* cmdAnalyze = nullptr;
    QMenu* mnuMain = nullptr;
    f_WhoIs* m_whois = nullptr;
    QPointer<f_Graph> m_analysis;
};
