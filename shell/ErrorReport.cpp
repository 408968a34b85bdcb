#include "shell/ErrorReport.h"

#include "shell/MessageBox.h"

QString errorReportText(const ProcedureError& error, const QString& window, const QString& procedure, int line)
{
    return QString::number(error.number) + u':' + error.text + u'\n' + QStringLiteral("Error in ") + window + u'.' +
           procedure + QStringLiteral(" on line ") + QString::number(line);
}

void reportError(QWidget* parent, const ProcedureError& error, const QString& window, const QString& procedure,
                 int line)
{
    MessageBox::show(parent, MessageBox::Icon::Critical, errorReportText(error, window, procedure, line));
}
