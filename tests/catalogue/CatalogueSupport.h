#pragma once

#include "shell/MessageBox.h"
#include "tests/monitor/PingWindowHarness.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace catalogue {

// The main window's harness, on a fixed morning.
class PingWindowTest : public PingWindowHarness {
protected:
    PingWindowTest() { clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(7, 0))); }

    // The texts of the message boxes shown since the last call.
    static QStringList shownTexts()
    {
        QStringList texts;
        for (const MessageBox::Shown& shown : MessageBox::takeCaptured())
            texts.append(shown.text);
        return texts;
    }
    QString hostsFile() const { return env.programFolder() + QStringLiteral("/hosts.ini"); }
};

} // namespace catalogue
