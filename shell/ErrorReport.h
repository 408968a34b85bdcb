#pragma once

#include "platform/ProcedureError.h"

#include <QString>

class QWidget;

// "13:Type mismatch" + line break + "Error in f_Ping.Form_Load on line 10".
QString errorReportText(const ProcedureError& error, const QString& window, const QString& procedure, int line);

// Shows that text in a message box with the critical icon.
void reportError(QWidget* parent, const ProcedureError& error, const QString& window, const QString& procedure,
                 int line);
