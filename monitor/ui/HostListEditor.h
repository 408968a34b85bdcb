#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QTableWidget;

// The host-list editor: a grid of numbered hosts with one empty row at the end and an in-place editor over the
// clicked cell. Typing into the last row and moving on adds a host; emptying a cell removes it when the list is
// taken back.
class HostListEditor : public QWidget {
    Q_OBJECT
public:
    explicit HostListEditor(QWidget* parent = nullptr);

    // Fills the grid from the host selector's entries (empty ones left out), plus the empty row.
    void load(const QStringList& hosts);
    // Writes a pending edit back, so nothing typed is lost when the editor closes.
    void commitEdit();

    QTableWidget* grid() const { return grdHosts; }
    QLineEdit* editor() const { return txtHost; }

    // The grid was clicked at a cell: a pending edit is written back, then the editor opens over that cell.
    void grdHosts_Click(int row, int column);

signals:
    void hostAdded(const QString& host);
    void hostReplaced(int index, const QString& host);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void appendRow(const QString& host);
    void placeEditor();

    QTableWidget* grdHosts = nullptr;
    QLineEdit* txtHost = nullptr;
    int m_editRow = -1; // the cell txtHost is open on, or -1
};
