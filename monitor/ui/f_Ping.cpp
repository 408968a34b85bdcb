#include "monitor/ui/f_Ping.h"

#include "TavrikVersion.h"
#include "analysis/f_Graph.h"
#include "analysis/settings/f_GraphSettings.h"
#include "analysis/settings/frmOptions.h"
#include "monitor/HostList.h"
#include "monitor/IntervalBox.h"
#include "monitor/ui/HostListEditor.h"
#include "monitor/ui/PingGraphView.h"
#include "monitor/ui/StatusIcons.h"
#include "monitor/ui/StatusLight.h"
#include "net/WSOCK.h"
#include "platform/ProgramFolder.h"
#include "shell/AboutBox.h"
#include "shell/DesktopLauncher.h"
#include "shell/ErrorReport.h"
#include "shell/MessageBox.h"
#include "trace/ui/tvTrace.h"
#include "whois/ui/f_WhoIs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedLayout>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int LoadSteps = 11;
const QString WindowName = QStringLiteral("f_Ping");

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

void HostSelector::showPopup()
{
    const QString text = currentText();
    if (!text.isEmpty()) {
        if (findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
            addItem(text);
        else
            setCurrentIndex(0);
    }
    QComboBox::showPopup();
}

f_Ping::f_Ping(PingWindowServices services, QWidget* parent) : QWidget(parent), m_services(services)
{
    setObjectName(WindowName);
    buildControls();
    Form_Load();
}

f_Ping::~f_Ping()
{
    delete m_analysis.data();
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void f_Ping::buildControls()
{
    cmb = named(new HostSelector(this), "cmb");
    cmb->setEditable(true);
    cmb->setInsertPolicy(QComboBox::NoInsert);
    cmb->setMinimumContentsLength(24);
    cmb->setToolTip(tr("Host to ping: choose one or type a name or address"));
    Label3 = named(new QLabel(QStringLiteral("Retry time, s:"), this), "Label3");
    txtTime = named(new QLineEdit(this), "txtTime");
    txtTime->setText(QStringLiteral("10"));
    txtTime->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    Label3->setBuddy(txtTime);
    Command1 = named(new QPushButton(QStringLiteral("Ping"), this), "Command1");
    Command2 = named(new QPushButton(QStringLiteral("Stop"), this), "Command2");
    Shape1 = named(new StatusLight(this), "Shape1");
    imgSMS = named(new QLabel(this), "imgSMS");
    imgSMS->setPixmap(statusIcon(QStringLiteral("CYAN")).pixmap(16, 16));
    imgSMS->setToolTip(tr("An SMS was just sent"));
    imgSMS->hide();
    Label1 = named(new QLabel(this), "Label1");
    Label2 = named(new QLabel(this), "Label2");
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Frame1 = named(new QGroupBox(QStringLiteral("Ping graph"), this), "Frame1");
    Frame1->setToolTip(QStringLiteral("DoubleClick and set points colors and scale of graph"));
    Frame1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_graphView = new PingGraphView(m_graph, Frame1);
    auto* graphLayout = new QVBoxLayout(Frame1);
    graphLayout->addWidget(m_graphView, 1, Qt::AlignLeft | Qt::AlignTop);
    Frame1->installEventFilter(this);
    tvTrace1 = new tvTrace(*m_services.echo, *m_services.traceNames, this);
    m_hostEditor = new HostListEditor(this);
    m_whois = new f_WhoIs(this);
    chkMode = named(new QCheckBox(QStringLiteral("Mode"), this), "chkMode");
    PIC = named(new QLabel(this), "PIC"); // holds the current mode picture; LDPIC shows it and takes clicks
    PIC->hide();
    LDPIC = named(new QLabel(this), "LDPIC");
    LDPIC->installEventFilter(this);
    LDPIC->setCursor(Qt::PointingHandCursor);
    chkHosts = named(new QCheckBox(QStringLiteral("Edit hosts list"), this), "chkHosts");
    cmdAbout = named(new QPushButton(QStringLiteral("About ..."), this), "cmdAbout");
    cmdOptions = named(new QPushButton(QStringLiteral("Options..."), this), "cmdOptions");
    cmdOptions->setToolTip(QStringLiteral("Options dialog"));
    cmdAnalyze = named(new QPushButton(QStringLiteral("Analysis..."), this), "cmdAnalyze");
    cmdAnalyze->setToolTip(QStringLiteral("The analysis of the log files"));
    chkLog = named(new QCheckBox(QStringLiteral("Start/Stop Logging"), this), "chkLog");
    cmdShowLog = named(new QPushButton(QStringLiteral("Show Log"), this), "cmdShowLog");
    cmdLogClear = named(new QPushButton(QStringLiteral("Clear Log file"), this), "cmdLogClear");

    auto* top = new QHBoxLayout;
    top->addWidget(cmb, 1);
    top->addWidget(Label3);
    top->addWidget(txtTime);
    top->addWidget(Command1);
    top->addWidget(Command2);
    top->addWidget(Shape1);
    top->addWidget(imgSMS);
    top->addWidget(chkMode);
    top->addWidget(LDPIC);
    auto* status = new QHBoxLayout;
    status->addWidget(Label1, 1);
    status->addWidget(Label2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkLog);
    bottom->addWidget(cmdShowLog);
    bottom->addWidget(cmdLogClear);
    bottom->addWidget(cmdAnalyze);
    bottom->addStretch(1);
    bottom->addWidget(chkHosts);
    bottom->addWidget(cmdOptions);
    bottom->addWidget(cmdAbout);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(status);
    // The trace view and the host editor take the live graph's place.
    m_area = new QStackedLayout;
    m_area->addWidget(Frame1);
    m_area->addWidget(tvTrace1);
    m_area->addWidget(m_hostEditor);
    layout->addLayout(m_area, 1);
    layout->addLayout(bottom);

    connect(Command1, &QPushButton::clicked, this, &f_Ping::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &f_Ping::Command2_Click);
    connect(cmb, &QComboBox::activated, this, [this] {
        Label1->clear();
        Label2->clear();
    });
    connect(txtTime, &QLineEdit::textChanged, this, &f_Ping::txtTime_Change);
    connect(txtTime, &QLineEdit::editingFinished, this, &f_Ping::txtTime_LostFocus);
    connect(chkLog, &QCheckBox::toggled, this, &f_Ping::chkLog_Click);
    connect(cmdShowLog, &QPushButton::clicked, this, &f_Ping::cmdShowLog_Click);
    connect(cmdLogClear, &QPushButton::clicked, this, &f_Ping::cmdLogClear_Click);
    connect(m_graphView, &PingGraphView::doubleClicked, this, &f_Ping::Frame1_DblClick);
    connect(chkMode, &QCheckBox::toggled, this, &f_Ping::chkMode_Click);
    connect(chkHosts, &QCheckBox::toggled, this, &f_Ping::chkHosts_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &f_Ping::cmdAbout_Click);
    connect(cmdOptions, &QPushButton::clicked, this, &f_Ping::cmdOptions_Click);
    connect(cmdAnalyze, &QPushButton::clicked, this, &f_Ping::cmdAnalyze_Click);
    connect(tvTrace1, &tvTrace::hostTextChanged, cmb, &QComboBox::setEditText);
    connect(tvTrace1, &tvTrace::addressTextChanged, Label2, &QLabel::setText);
    connect(tvTrace1, &tvTrace::statusTextChanged, Label1, &QLabel::setText);
    connect(tvTrace1, &tvTrace::lookupRequested, this,
            [this](HopGrid& grid, int row, int column) { m_whois->View(grid, row, column, QCursor::pos()); });
    connect(m_hostEditor, &HostListEditor::hostAdded, this, [this](const QString& host) { cmb->addItem(host); });
    connect(m_hostEditor, &HostListEditor::hostReplaced, this, [this](int index, const QString& host) {
        if (index < cmb->count())
            cmb->setItemText(index, host);
    });
}

void f_Ping::Form_Load()
{
    m_ping = std::make_unique<Ping>(*m_services.echo, *m_services.resolver);
    m_cycle = std::make_unique<MonitorCycle>(*m_ping, *this, *m_services.clock);
    m_cycle->setParent(this); // so findChild reaches Timer1 from the window; the unique_ptr still deletes it first
    m_alerts = std::make_unique<SmsAlerts>(m_settings, *m_services.clock);
    m_alerts->setParent(this); // timSent is found from the window, like Timer1
    if (m_services.gatewayFactory)
        m_alerts->setGatewayFactory(m_services.gatewayFactory);
    connect(m_alerts.get(), &SmsAlerts::statusText, Label1, &QLabel::setText);
    connect(m_alerts.get(), &SmsAlerts::sentSignVisible, imgSMS, &QWidget::setVisible);
    m_log = std::make_unique<mMain>(m_settings, programFolder(),
                                    QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(),
                                    *m_services.clock);

    connect(m_cycle.get(), &MonitorCycle::lightChanged, Shape1, &StatusLight::setFillColor);
    connect(m_cycle.get(), &MonitorCycle::resultTextChanged, Label1, &QLabel::setText);
    connect(m_cycle.get(), &MonitorCycle::addressTextChanged, Label2, &QLabel::setText);
    connect(m_cycle.get(), &MonitorCycle::captionChanged, this, [this](const QString& caption) {
        setWindowTitle(caption);
        m_tray.ChangeToolTip(caption);
    });
    connect(m_cycle.get(), &MonitorCycle::iconChanged, this, &f_Ping::applyIcon);
    connect(m_cycle.get(), &MonitorCycle::stopped, this, [this] {
        chkLog->setChecked(false);
        m_log->LogStop();
    });
    connect(m_cycle.get(), &MonitorCycle::resultReady, this, &f_Ping::showResult);
    connect(m_cycle.get(), &MonitorCycle::alertCheck, this,
            [this](const QString& host, int value) { m_alerts->CheckSMS(host, value, m_cycle->isRunning()); });
    connect(m_cycle.get(), &MonitorCycle::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });

    // Each step is one line of the start-up; a failing step is reported with its number and the start-up goes on
    // with that step's defaults, so the window is always usable.
    for (int line = 1; line <= LoadSteps; ++line) {
        if (const std::optional<ProcedureError> error = loadStep(line))
            reportError(this, *error, WindowName, QStringLiteral("Form_Load"), line);
    }
}

std::optional<ProcedureError> f_Ping::loadStep(int line)
{
    QString why;
    switch (line) {
    case 1: {
        const QDateTime loaded = m_services.clock->now();
        m_settings.setText(Keys::StartTime, loaded.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
        m_alerts->setStartTime(loaded);
        m_cycle->markStartup();
        return std::nullopt;
    }
    case 2: {
        const std::optional<ColourScale> scale =
            ColourScale::fromLists(m_settings.text(Keys::PingValues), m_settings.text(Keys::PingColors), &why);
        if (!scale)
            return ProcedureError{9, why};
        m_cycle->setColourScale(*scale);
        return std::nullopt;
    }
    case 3:
        m_cycle->setBaseTitle(QStringLiteral(TAVRIK_PRODUCT " " TAVRIK_LEGAL));
        setWindowTitle(m_cycle->baseTitle());
        applyIcon(QStringLiteral("A_"));
        return std::nullopt;
    case 4:
        chkMode->setChecked(false);
        applyMode(false);
        return std::nullopt;
    case 5:
        // The trace view shares the graph's place in the window's layout, so it always has the frame's size.
        m_area->setCurrentWidget(Frame1);
        return std::nullopt;
    case 7:
        m_tray.setSourceWindow(this);
        m_tray.DefaultDblClk = true;
        m_tray.ChangeToolTip(windowTitle());
        buildTrayMenu();
        return std::nullopt;
    case 6: {
        m_hosts.setFilePath(programFile(QLatin1String(HostList::FileName)));
        const QStringList hosts = HostList::load(m_hosts);
        cmb->clear();
        cmb->addItems(hosts);
        if (!hosts.isEmpty())
            cmb->setCurrentIndex(0);
        return std::nullopt;
    }
    case 9:
        return rebuildGraph();
    case 11:
        InitSMS();
        return std::nullopt;
    case 10: {
        // The stored interval reaches the box before an automatic start, so that start uses it.
        // Shown as the cycle will use it, so a stored text that is no number never stands in the box.
        txtTime->setText(QString::number(IntervalBox::storedSeconds(m_settings.text(Keys::TimeOut))));
        const std::optional<int> autoPing = m_settings.integer(Keys::AutoPing, &why);
        if (!autoPing)
            return ProcedureError{13, why};
        if (*autoPing == 1)
            m_cycle->start(txtTime->text());
        const std::optional<int> autoHide = m_settings.integer(Keys::AutoHide, &why);
        if (!autoHide)
            return ProcedureError{13, why};
        m_startHidden = *autoHide == 1;
        const std::optional<int> autoLog = m_settings.integer(Keys::AutoLog, &why);
        if (!autoLog)
            return ProcedureError{13, why};
        chkLog->setChecked(*autoLog != 0);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QString f_Ping::hostText() const
{
    return cmb->currentText();
}

bool f_Ping::isTraceMode() const
{
    return chkMode->isChecked();
}

void f_Ping::Command1_Click()
{
    if (!isTraceMode()) {
        m_cycle->start(txtTime->text());
        return;
    }
    if (cmb->currentText().isEmpty())
        return;
    tvTrace1->StartTrace(cmb->currentText(), IntervalBox::storedSeconds(txtTime->text()) * 1000);
}

void f_Ping::Command2_Click()
{
    if (isTraceMode())
        tvTrace1->StopTrace();
    else
        m_cycle->stop();
}

void f_Ping::applyMode(bool trace)
{
    const QString name = trace ? QStringLiteral("TRACE") : QStringLiteral("PING");
    const QString tip = trace ? QStringLiteral("Mode: Trace") : QStringLiteral("Mode: Ping");
    LDPIC->setPixmap(modePicture(name));
    PIC->setPixmap(modePicture(name));
    for (QWidget* w : {static_cast<QWidget*>(chkMode), static_cast<QWidget*>(PIC), static_cast<QWidget*>(LDPIC)})
        w->setToolTip(tip);
    Command1->setText(trace ? QStringLiteral("Trace") : QStringLiteral("Ping"));
    m_area->setCurrentWidget(trace ? static_cast<QWidget*>(tvTrace1) : static_cast<QWidget*>(Frame1));
}

void f_Ping::chkMode_Click(bool trace)
{
    // Stop whatever the mode that was active runs, then leave the host editor.
    if (trace) {
        m_cycle->stop();
    } else {
        tvTrace1->StopTrace();
    }
    chkHosts->setChecked(false);
    applyMode(trace);
}

void f_Ping::chkHosts_Click(bool editing)
{
    if (m_cycle->isRunning()) {
        Command2_Click();
        QCoreApplication::processEvents();
    }
    if (editing) {
        QStringList hosts;
        for (int i = 0; i < cmb->count(); ++i)
            hosts.append(cmb->itemText(i));
        m_hostEditor->load(hosts);
        m_hostEditor->grid()->setColumnWidth(
            1, std::max(60, m_hostEditor->grid()->viewport()->width() - m_hostEditor->grid()->columnWidth(0)));
        m_area->setCurrentWidget(m_hostEditor);
        cmb->setEnabled(false);
        Command1->setEnabled(false);
        return;
    }
    m_hostEditor->commitEdit();
    // A host removed by emptying its cell leaves the selector here, so the list stays without gaps.
    for (int i = cmb->count() - 1; i >= 0; --i) {
        if (cmb->itemText(i).trimmed().isEmpty())
            cmb->removeItem(i);
    }
    m_hostEditor->editor()->hide();
    m_area->setCurrentWidget(isTraceMode() ? static_cast<QWidget*>(tvTrace1) : static_cast<QWidget*>(Frame1));
    cmb->setEnabled(true);
    Command1->setEnabled(true);
    cmb->setFocus();
}

void f_Ping::cmdAbout_Click()
{
    AboutBox about(this);
    about.exec();
}

void f_Ping::buildTrayMenu()
{
    mnuMain = new QMenu(QStringLiteral("Ping"), this);
    mnuMain->setObjectName(QStringLiteral("mnuMain"));
    const auto add = [this](const char* name, const QString& caption, auto slot) {
        QAction* action = mnuMain->addAction(caption, this, slot);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    add("mnuMain_about", QStringLiteral("&About"), [this] { cmdAbout_Click(); });
    add("mnuMain_start", QStringLiteral("&Start"), [this] { Command1_Click(); });
    add("mnuMain_stop", QStringLiteral("Sto&p"), [this] { Command2_Click(); });
    mnuMain->addSeparator()->setObjectName(QStringLiteral("mnuMain_1"));
    add("mnuMain_show", QStringLiteral("Sho&w"), [this] { m_tray.ShowNormal(); });
    add("mnuMain_exit", QStringLiteral("&Exit"), [this] { close(); });
    m_tray.setPopupMenu(mnuMain);
}

void f_Ping::showAtStart()
{
    if (m_startHidden)
        showMinimized();
    else
        show();
}

void f_Ping::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized()) {
        m_tray.MinToSysTray();
    } else {
        applyIcon(QStringLiteral("A_"));
    }
}

void f_Ping::txtTime_Change()
{
    m_settings.setInteger(Keys::TimeOut, IntervalBox::storedSeconds(txtTime->text()));
}

void f_Ping::txtTime_LostFocus()
{
    if (m_checkingInterval)
        return;
    const IntervalBox::LeaveCheck check = IntervalBox::checkOnLeave(txtTime->text());
    if (check.outcome == IntervalBox::LeaveCheck::Outcome::Accept)
        return;
    m_checkingInterval = true;
    const bool notANumber = check.outcome == IntervalBox::LeaveCheck::Outcome::NotANumber;
    MessageBox::show(this, notANumber ? MessageBox::Icon::Critical : MessageBox::Icon::Information, check.message);
    txtTime->setText(check.replacement);
    if (notANumber)
        txtTime->setFocus();
    m_checkingInterval = false;
}

void f_Ping::applyIcon(const QString& name)
{
    setWindowIcon(statusIcon(name));
    m_tray.ChangeIcon(windowIcon());
}

std::optional<ProcedureError> f_Ping::rebuildGraph()
{
    QString why;
    PingGraph::Layout graph;
    const std::optional<int> level = m_settings.integer(Keys::PingBackLevel, &why);
    const std::optional<int> scale = m_settings.integer(Keys::PingScale, &why);
    if (!level || !scale)
        return ProcedureError{13, why};
    graph.backLevel = *level;
    graph.scale = *scale;
    graph.backValues = m_settings.text(Keys::PingBackValues);
    graph.backColors = m_settings.text(Keys::PingBackColors);
    if (const std::optional<QString> refused = m_graph.build(graph)) {
        m_graph.build(PingGraph::Layout{}); // the default layout keeps the graph readable
        m_graphView->update();
        return ProcedureError{9, *refused};
    }
    m_graphView->updateGeometry();
    m_graphView->update();
    return std::nullopt;
}

void f_Ping::InitSMS()
{
    if (const std::optional<SmsInitError> failed = m_alerts->InitSMS())
        reportError(this, failed->error, WindowName, QStringLiteral("InitSMS"), failed->line);
}

void f_Ping::showResult(int value, const QString& host, const QString& colourName)
{
    m_graph.advance(value, m_cycle->colourScale(),
                    [&] { m_log->LogPing(host, static_cast<qint16>(std::clamp(value, -1, 32767)), colourName); });
    m_graphView->update();
}

void f_Ping::chkLog_Click(bool checked)
{
    if (checked)
        m_log->LogStart();
    else
        m_log->LogStop();
}

void f_Ping::cmdShowLog_Click()
{
    const QString path = m_log->currentLogPath(cmb->currentText());
    if (QFile::exists(path))
        DesktopLauncher::openInTextEditor(path);
}

void f_Ping::cmdLogClear_Click()
{
    // The main log is the one "Show Log" opens in the one-file layout; no other file is ever removed here.
    const QString path = m_log->mainLogPath();
    if (QFile::exists(path))
        QFile::remove(path);
}

void f_Ping::Frame1_DblClick()
{
    m_cycle->stop();
    emit graphSettingsRequested();
    f_GraphSettings settings(this);
    m_services.runDialog(settings);
    if (!settings.SettingsSaved)
        return;
    // New levels take effect with the next result; the frame is laid out again at once, its values kept.
    if (const auto scale =
            ColourScale::fromLists(m_settings.text(Keys::PingValues), m_settings.text(Keys::PingColors), nullptr))
        m_cycle->setColourScale(*scale);
    if (const std::optional<ProcedureError> refused = rebuildGraph())
        reportError(this, *refused, WindowName, QStringLiteral("Frame1_DblClick"), 1);
}

void f_Ping::cmdOptions_Click()
{
    frmOptions options(this);
    connect(&options, &frmOptions::settingsSaved, this, &f_Ping::InitSMS);
    m_services.runDialog(options);
}

f_Graph* f_Ping::analysisWindow() const
{
    return m_analysis.data();
}

// The analysis window has no owner and is not modal: it stays open beside this one while probing goes on. A
// second click brings the open window forward instead of opening another.
void f_Ping::cmdAnalyze_Click()
{
    if (!m_analysis) {
        m_analysis = new f_Graph(nullptr);
        m_analysis->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_analysis->show();
    m_analysis->raise();
    m_analysis->activateWindow();
}

bool f_Ping::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LDPIC && event->type() == QEvent::MouseButtonRelease) {
        chkMode->toggle();
        return true;
    }
    if (watched == Frame1 && event->type() == QEvent::MouseButtonDblClick) {
        Frame1_DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void f_Ping::closeEvent(QCloseEvent* event)
{
    // A probe may be waiting in a nested event loop; stopping the timer keeps another from starting, and the
    // window object stays alive until that probe has returned. A trace under way is asked to end as well.
    m_cycle->stop();
    tvTrace1->StopTrace();
    if (QFile::exists(m_hosts.FilePath())) {
        QStringList hosts;
        for (int i = 0; i < cmb->count(); ++i)
            hosts.append(cmb->itemText(i));
        HostList::save(m_hosts, hosts);
    }
    m_tray.RemoveFromSysTray();
    QCoreApplication::processEvents();
    m_log->LogStop();
    if (WSOCK::SocketsStarted())
        WSOCK::StopSockets();
    m_whois->close();
    if (m_analysis)
        m_analysis->close(); // it has no owner, and closing this window ends the program
    event->accept();
}
