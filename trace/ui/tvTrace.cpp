#include "trace/ui/tvTrace.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>

tvTrace::tvTrace(IcmpEchoService& echo, TraceResolver& names, QWidget* parent)
    : QWidget(parent), TRC(std::make_unique<Trace>(echo, names))
{
    setObjectName(QStringLiteral("tvTrace1"));
    picCaption = new QFrame(this);
    picCaption->setObjectName(QStringLiteral("picCaption"));
    picCaption->setFrameShape(QFrame::StyledPanel);
    picCaption->setAutoFillBackground(true);
    picCaption->setBackgroundRole(QPalette::Dark);
    imgCaption = new QLabel(picCaption);
    imgCaption->setObjectName(QStringLiteral("imgCaption"));
    imgCaption->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(16, 16));
    lblCaption = new QLabel(QStringLiteral("Trace Route"), picCaption);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setForegroundRole(QPalette::BrightText);
    QFont bold = lblCaption->font();
    bold.setBold(true);
    lblCaption->setFont(bold);
    auto* strip = new QHBoxLayout(picCaption);
    strip->setContentsMargins(4, 2, 4, 2);
    strip->addWidget(imgCaption);
    strip->addWidget(lblCaption, 1, Qt::AlignVCenter);

    FLX = new HopTable(this);
    FLX->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picCaption);
    layout->addWidget(FLX, 1);

    connect(TRC.get(), &Trace::HostName, this, &tvTrace::hostTextChanged);
    connect(TRC.get(), qOverload<const QString&>(&Trace::IP), this, &tvTrace::addressTextChanged);
    connect(TRC.get(), &Trace::LogString, this, &tvTrace::statusTextChanged);
    connect(TRC.get(), &Trace::Status, this, &tvTrace::statusTextChanged);
    connect(TRC.get(), &Trace::OnError, this, [this](const QString& text) {
        if (!text.isEmpty())
            emit statusTextChanged(text);
    });
    connect(TRC.get(), &Trace::busyChanged, this, [this](bool busy) {
        if (busy && !m_busyCursor) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_busyCursor = true;
        } else if (!busy && m_busyCursor) {
            QApplication::restoreOverrideCursor();
            m_busyCursor = false;
        }
    });
}

tvTrace::~tvTrace()
{
    // The tracer goes first: a trace under way reports its end while this view is still whole.
    TRC.reset();
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
    m_busyCursor = false;
}

void tvTrace::StartTrace(const QString& host, qint32 timeoutMs)
{
    TRC->setHosts(host);
    TRC->DoTrace(*FLX, timeoutMs);
}

void tvTrace::StopTrace()
{
    TRC->StopTrace = true;
    if (m_busyCursor) {
        QApplication::restoreOverrideCursor();
        m_busyCursor = false;
    }
}

void tvTrace::showEvent(QShowEvent* event)
{
    // A trace under way owns the grid's contents; only an idle view is laid out afresh.
    if (!TRC->isBusy())
        FLX->initLayout();
    QWidget::showEvent(event);
}

bool tvTrace::isHostCell(int row, int column) const
{
    return row > 0 && (column == HopGrid::HostName || column == HopGrid::Address) && !FLX->text(row, column).isEmpty();
}

void tvTrace::FLX_MouseMove(const QPoint& viewportPos)
{
    const auto [row, column] = FLX->cellAt(viewportPos);
    QWidget* surface = FLX->viewport();
    if (!isHostCell(row, column)) {
        if (surface->cursor().shape() == Qt::PointingHandCursor)
            surface->unsetCursor();
        return;
    }
    if (surface->cursor().shape() != Qt::PointingHandCursor)
        surface->setCursor(Qt::PointingHandCursor);
    if (FLX->currentRow() != row - 1) {
        FLX->setCurrentCell(row - 1, HopGrid::Number);
        FLX->clearSelection();
        FLX->setRangeSelected(QTableWidgetSelectionRange(row - 1, HopGrid::Number, row - 1, HopGrid::Time), true);
    }
}

void tvTrace::FLX_Click(const QPoint& viewportPos)
{
    const auto [row, column] = FLX->cellAt(viewportPos);
    if (isHostCell(row, column))
        emit lookupRequested(*FLX, row, column);
}

bool tvTrace::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FLX->viewport()) {
        if (event->type() == QEvent::MouseMove)
            FLX_MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        else if (event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            FLX_Click(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}
