#pragma once

#include "monitor/ui/f_Ping.h"
#include "shell/DesktopLauncher.h"
#include "shell/MessageBox.h"
#include "tests/monitor/ScriptedEcho.h"
#include "tests/trace/ScriptedRoute.h"

#include "TestEnvironment.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace catalogue {

// A fresh program folder and settings, message boxes and launched editors recorded instead of shown, and the main
// window with scripted probes, names and clock, so nothing leaves the machine and no dialog blocks.
class PingWindowTest : public ProgramFolderTest {
protected:
    PingWindowTest()
    {
        MessageBox::setCapturing(true);
        DesktopLauncher::setCapturing(true);
    }
    ~PingWindowTest() override
    {
        MessageBox::setCapturing(false);
        DesktopLauncher::setCapturing(false);
    }

    std::unique_ptr<f_Ping> open()
    {
        PingWindowServices services;
        services.echo = &echo;
        services.resolver = &resolver;
        services.clock = &clock;
        services.traceNames = &traceNames;
        services.runDialog = [this](QDialog& dialog) {
            return answerDialog ? answerDialog(dialog) : int(QDialog::Rejected);
        };
        services.gatewayFactory = [](const QString&) -> std::unique_ptr<SmsGateway> { return nullptr; };
        auto window = std::make_unique<f_Ping>(services);
        clock.advanceMs(5000); // past the start-up mark, so the first tick probes
        return window;
    }
    // The texts of the message boxes shown since the last call.
    static QStringList shownTexts()
    {
        QStringList texts;
        for (const MessageBox::Shown& shown : MessageBox::takeCaptured())
            texts.append(shown.text);
        return texts;
    }
    QString hostsFile() const { return env.programFolder() + QStringLiteral("/hosts.ini"); }

    ScriptedEcho echo;
    TableResolver resolver;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(7, 0))};
    scripted::ScriptedNames traceNames;
    std::function<int(QDialog&)> answerDialog; // answers the window's modal dialogs instead of a user
};

} // namespace catalogue
