#include "monitor/ui/HostListEditor.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int HostColumn = 1;

} // namespace

HostListEditor::HostListEditor(QWidget* parent) : QWidget(parent)
{
    grdHosts = new QTableWidget(0, 2, this);
    grdHosts->setObjectName(QStringLiteral("grdHosts"));
    grdHosts->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("Host address")});
    grdHosts->verticalHeader()->hide();
    grdHosts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHosts->setSelectionMode(QAbstractItemView::SingleSelection);
    grdHosts->horizontalHeader()->setStretchLastSection(true);
    txtHost = new QLineEdit(grdHosts->viewport());
    txtHost->setObjectName(QStringLiteral("txtHost"));
    txtHost->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grdHosts);
    connect(grdHosts, &QTableWidget::cellClicked, this, &HostListEditor::grdHosts_Click);
    connect(txtHost, &QLineEdit::returnPressed, this, [this] {
        const int row = m_editRow;
        if (row >= 0)
            grdHosts_Click(std::min(row + 1, grdHosts->rowCount() - 1), HostColumn);
    });
}

void HostListEditor::appendRow(const QString& host)
{
    const int row = grdHosts->rowCount();
    grdHosts->insertRow(row);
    auto* number = new QTableWidgetItem(QString::number(row + 1));
    number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grdHosts->setItem(row, 0, number);
    grdHosts->setItem(row, HostColumn, new QTableWidgetItem(host));
}

void HostListEditor::load(const QStringList& hosts)
{
    txtHost->hide();
    m_editRow = -1;
    grdHosts->setRowCount(0);
    for (const QString& host : hosts) {
        if (!host.isEmpty())
            appendRow(host);
    }
    appendRow(QString());
    grdHosts->setColumnWidth(0, int(300 * logicalDpiX() / 1440.0 + 0.5) +
                                    fontMetrics().horizontalAdvance(QStringLiteral("00")));
}

void HostListEditor::commitEdit()
{
    if (m_editRow < 0 || m_editRow >= grdHosts->rowCount())
        return;
    const int row = m_editRow;
    const QString text = txtHost->text().trimmed();
    QTableWidgetItem* cell = grdHosts->item(row, HostColumn);
    if (cell->text() == text)
        return;
    cell->setText(text);
    if (row == grdHosts->rowCount() - 1) {
        if (text.isEmpty())
            return;
        emit hostAdded(text);
        appendRow(QString());
    } else {
        emit hostReplaced(row, text);
    }
}

void HostListEditor::grdHosts_Click(int row, int column)
{
    commitEdit();
    // Only host cells are edited: the numbers are the list's order, not data.
    if (column != HostColumn || row < 0) {
        txtHost->hide();
        m_editRow = -1;
        return;
    }
    m_editRow = row;
    grdHosts->setCurrentCell(row, column);
    txtHost->setText(grdHosts->item(row, column)->text());
    placeEditor();
    txtHost->show();
    txtHost->raise();
    txtHost->setFocus();
    txtHost->selectAll();
}

void HostListEditor::placeEditor()
{
    if (m_editRow >= 0)
        txtHost->setGeometry(grdHosts->visualItemRect(grdHosts->item(m_editRow, HostColumn)));
}

void HostListEditor::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeEditor();
}
