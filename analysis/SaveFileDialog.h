#pragma once

#include <QString>

#include <optional>

class QWidget;

// The save-file dialog of the graph window. A test sets the next answer (a file name, or an empty text for a
// cancel), so no modal dialog ever blocks an offscreen run; the request the window made is kept for checking.
class SaveFileDialog {
public:
    struct Request {
        QString title;
        QString filter;
        QString folder;
    };

    // The chosen file name, or an empty text when the user cancelled.
    static QString getSaveFileName(QWidget* parent, const Request& request);

    static void setNextFileName(const QString& fileName) { s_next = fileName; }
    static Request lastRequest() { return s_last; }

private:
    static std::optional<QString> s_next;
    static Request s_last;
};
