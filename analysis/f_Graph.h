#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QDateTimeEdit;
class QFrame;
class QLabel;
class QListWidget;
class QToolButton;

namespace tvGraph {
class Graph;
}

// "Analyses of the logged data": one minute of a ping log plotted against the second of the minute.
class f_Graph : public QWidget {
    Q_OBJECT
public:
    explicit f_Graph(QWidget* parent = nullptr);
    ~f_Graph() override;

    void ShowGraph(const QString& dateFrom, const QString& dateTo, const QString& fileName);

    // The log path and the period of the current choice.
    QString currentLogPath() const;
    QString periodFrom() const;
    QString periodTo() const;

    void cmdRefresh_Click();
    void cmdTest_Click();
    void cmdSavePicture_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void arrange();

    QListWidget* File1 = nullptr;
    QFrame* Frame1 = nullptr;
    QToolButton* cmdSavePicture = nullptr;
    QToolButton* cmdTest = nullptr;
    QComboBox* cmbLogs = nullptr;
    QToolButton* cmdRefresh = nullptr;
    QDateTimeEdit* DTPicker1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    tvGraph::Graph* Graph1 = nullptr;
};
