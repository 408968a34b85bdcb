#include "analysis/f_Graph.h"

#include "analysis/BusyCursor.h"
#include "analysis/SaveFileDialog.h"
#include "analysis/mAnalyze.h"
#include "graph/Data.h"
#include "graph/Graph.h"
#include "graph/GraphFont.h"
#include "graph/cPoint.h"
#include "graph/cPoints.h"
#include "platform/GeneralDate.h"
#include "platform/ProgramFolder.h"
#include "shell/ErrorReport.h"
#include "shell/MessageBox.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QStyle>
#include <QToolButton>

#include <cmath>

using namespace tvGraph;

namespace {

// A field read as its text and then as a number: leading blanks skipped, the longest leading decimal number
// taken, 0 when there is none (an empty or null field among them).
double leadingNumber(const QVariant& field)
{
    const QString text = field.isNull() ? QString() : field.toString();
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        ++i;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128)
        ++i;
    if (i < text.size() && text.at(i) == u'.') {
        ++i;
        while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128)
            ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

struct StepFailure {
    GraphError error;
    int line;
};

} // namespace

f_Graph::f_Graph(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("f_Graph"));
    setWindowTitle(QStringLiteral("Analyses of the logged data"));
    resize(760, 480);

    // The file list only feeds the log list, so it is never shown.
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->hide();

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(Frame1);

    cmdSavePicture = new QToolButton(Frame1);
    cmdSavePicture->setObjectName(QStringLiteral("cmdSavePicture"));
    cmdSavePicture->setToolTip(QStringLiteral("Save graph to bitmap file"));
    cmdSavePicture->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    cmdTest = new QToolButton(Frame1);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setToolTip(QStringLiteral("Test logged data"));
    cmdTest->setIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView));
    Label2 = new QLabel(QStringLiteral("Log:"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    cmbLogs = new QComboBox(Frame1);
    cmbLogs->setObjectName(QStringLiteral("cmbLogs"));
    cmbLogs->setMinimumContentsLength(16);
    Label1 = new QLabel(QStringLiteral("At:"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    DTPicker1 = new QDateTimeEdit(Frame1);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy hh:mm"));
    cmdRefresh = new QToolButton(Frame1);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdRefresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));

    row->addWidget(cmdSavePicture);
    row->addWidget(cmdTest);
    row->addWidget(Label2);
    row->addWidget(cmbLogs);
    row->addWidget(Label1);
    row->addWidget(DTPicker1);
    row->addWidget(cmdRefresh);
    row->addStretch(1);
    Frame1->setGeometry(0, 0, width(), Frame1->sizeHint().height());

    Graph1 = new Graph(this);
    Graph1->setObjectName(QStringLiteral("Graph1"));
    Graph1->setShowLabels(false);
    Graph1->setShowHeaderMode(false);
    Graph1->setAxisXCaptionFont(std::make_shared<GraphFont>(QStringLiteral("Arial"), 9.75F, true, qint16(204)));
    Graph1->setAxisYCaptionFont(std::make_shared<GraphFont>(QStringLiteral("Arial"), 9.75F, true, qint16(204)));
    Graph1->setAxisXFont(std::make_shared<GraphFont>(QStringLiteral("Arial"), 8.25F, false, qint16(204)));
    Graph1->setAxisYFont(std::make_shared<GraphFont>(QStringLiteral("Arial"), 8.25F, false, qint16(204)));

    connect(cmdRefresh, &QToolButton::clicked, this, &f_Graph::cmdRefresh_Click);
    connect(cmdTest, &QToolButton::clicked, this, &f_Graph::cmdTest_Click);
    connect(cmdSavePicture, &QToolButton::clicked, this, &f_Graph::cmdSavePicture_Click);

    arrange();
    Form_Load();
}

f_Graph::~f_Graph() = default;

void f_Graph::Form_Load()
{
    File1->clear();
    File1->addItems(QDir(programFolder()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name));
    QStringList files;
    for (int i = 0; i < File1->count(); ++i)
        files << File1->item(i)->text();
    mAnalyze::FillLogList(cmbLogs, files);
    const QDateTime now = QDateTime::currentDateTime();
    DTPicker1->setDateTime(QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())));
    ShowGraph(periodFrom(), periodTo(), currentLogPath());
}

QString f_Graph::currentLogPath() const
{
    return mAnalyze::logPathForEntry(cmbLogs->currentIndex(), cmbLogs->currentText());
}

QString f_Graph::periodFrom() const
{
    return GeneralDate::toText(DTPicker1->dateTime());
}

QString f_Graph::periodTo() const
{
    return GeneralDate::toText(DTPicker1->dateTime().addSecs(60));
}

void f_Graph::ShowGraph(const QString& dateFrom, const QString& dateTo, const QString& fileName)
{
    const BusyCursor busy;
    auto points = std::make_shared<cPoints>();
    const auto step = [](bool ok, const GraphError& error, int line) {
        if (!ok)
            throw StepFailure{error, line};
    };
    try {
        auto records = mAnalyze::OpenLogQuery(fileName, dateFrom, dateTo, this);
        if (records) {
            for (; !records->EOF_(); records->MoveNext()) {
                const double second = leadingNumber(records->Fields(QStringLiteral("Second")));
                double ping = leadingNumber(records->Fields(QStringLiteral("Ping")));
                if (ping == -1)
                    ping = 0; // a failed probe is drawn on the axis
                auto point = std::make_shared<cPoint>();
                GraphError error;
                point->setID(static_cast<qint32>(std::lround(second)));
                step(point->setX(static_cast<float>(second), &error), error, 3);
                step(point->setY(static_cast<float>(ping), &error), error, 3);
                step(points->Add(point, &error) != nullptr, error, 3);
            }
        }
        GraphError error;
        Graph1->DataSeries()->Clear();
        Graph1->setShowHeaderMode(false);
        step(Graph1->DataSeries()->Add(points, QString(), &error) != nullptr, error, 5);
        Graph1->setAxisXCaption(QStringLiteral("Time, sec"));
        Graph1->setAxisYCaption(QStringLiteral("Ping, msec"));
        Graph1->setTopCaption(cmbLogs->currentText() + QStringLiteral(" (") + dateFrom + u')');
        step(Graph1->RefreshScale(&error), error, 8);
        step(Graph1->Plot(&error), error, 8);
    } catch (const StepFailure& failure) {
        reportError(this, ProcedureError{failure.error.number, failure.error.text()}, QStringLiteral("f_Graph"),
                    QStringLiteral("ShowGraph"), failure.line);
    }
}

void f_Graph::cmdRefresh_Click()
{
    ShowGraph(periodFrom(), periodTo(), currentLogPath());
}

void f_Graph::cmdTest_Click()
{
    QDateTime first;
    QDateTime last;
    qint32 count = 0;
    if (mAnalyze::GetLogSummary(currentLogPath(), first, last, count, this)) {
        MessageBox::show(this, MessageBox::Icon::Information,
                         QStringLiteral("Recorded data: ") + QString::number(count) + QStringLiteral("\r\nFrom ") +
                             GeneralDate::toText(first) + QStringLiteral(" to ") + GeneralDate::toText(last));
        DTPicker1->setDateTime(first);
        cmdRefresh_Click();
    } else {
        MessageBox::show(this, MessageBox::Icon::Information, QStringLiteral("Empty data!"));
    }
}

void f_Graph::cmdSavePicture_Click()
{
    const QString fileName = SaveFileDialog::getSaveFileName(
        this, {QStringLiteral("Select file for save"), QStringLiteral("Bitmap file, *.bmp|*.bmp"), programFolder()});
    if (fileName.isEmpty())
        return;
    // grab() keeps the painted labels that the persistent image lacks, so the file holds what is shown.
    Graph1->grab().save(fileName, "BMP");
}

void f_Graph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void f_Graph::arrange()
{
    const int frameHeight = Frame1->sizeHint().height();
    Frame1->setGeometry(0, 0, width(), frameHeight);
    const int graphHeight = height() - frameHeight;
    if (graphHeight < 0 || width() <= 0)
        return; // a minimised window has no room for the graph
    Graph1->setGeometry(0, frameHeight, width(), graphHeight);
}
