#pragma once

#include <QString>

class QWidget;

// An unexpected error in a procedure: its number, its text, and where it happened.
struct ProcedureError {
    int number = 0;
    QString text;
};

// "13:Type mismatch" + line break + "Error in f_Ping.Form_Load on line 10".
QString errorReportText(const ProcedureError& error, const QString& window, const QString& procedure, int line);

// Shows that text in a message box with the critical icon.
void reportError(QWidget* parent, const ProcedureError& error, const QString& window, const QString& procedure,
                 int line);
