#pragma once

#include <QString>

// An unexpected error in a procedure: its number and its text. The window that ran the procedure reports it with
// its own name and the line that failed.
struct ProcedureError {
    int number = 0;
    QString text;
};
