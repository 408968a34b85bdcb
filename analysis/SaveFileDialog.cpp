#include "analysis/SaveFileDialog.h"

#include <QFileDialog>

std::optional<QString> SaveFileDialog::s_next;
SaveFileDialog::Request SaveFileDialog::s_last;

QString SaveFileDialog::getSaveFileName(QWidget* parent, const Request& request)
{
    s_last = request;
    if (s_next) {
        const QString answer = *s_next;
        s_next.reset();
        return answer;
    }
    // The classic filter "Bitmap file, *.bmp|*.bmp" pairs a caption with a pattern; Qt wants "caption (pattern)".
    QString filter = request.filter;
    const qsizetype bar = filter.indexOf(u'|');
    if (bar >= 0)
        filter = filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + u')';
    // No overwrite prompt: an existing file is simply replaced.
    return QFileDialog::getSaveFileName(parent, request.title, request.folder, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}
