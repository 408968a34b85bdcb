#pragma once

#include <QDialog>
#include <QStringList>

// The about box: product name, version, the project's web page, and a button that starts the first
// system-information tool found on this machine (disabled when there is none).
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    // The tools tried, in order, and the one found (empty when none).
    static QStringList systemInfoTools();
    static QString findSystemInfoTool();
};
