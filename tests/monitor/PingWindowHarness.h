#pragma once

#include "monitor/ui/f_Ping.h"
#include "platform/SmsGateway.h"
#include "shell/DesktopLauncher.h"
#include "shell/MessageBox.h"
#include "tests/monitor/ScriptedEcho.h"
#include "tests/trace/ScriptedRoute.h"

#include "TestEnvironment.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

// A fresh program folder and settings, message boxes and launched editors recorded instead of shown, and the main
// window with scripted probes, names and clock, so nothing leaves the machine and no dialog blocks.
class PingWindowHarness : public ProgramFolderTest {
protected:
    PingWindowHarness()
    {
        MessageBox::setCapturing(true);
        DesktopLauncher::setCapturing(true);
    }
    ~PingWindowHarness() override
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
            dialogs.append(dialog.objectName().isEmpty() ? dialog.windowTitle() : dialog.objectName());
            return answerDialog ? answerDialog(dialog) : int(QDialog::Rejected);
        };
        services.gatewayFactory = [this](const QString& url) {
            gatewayUrls.append(url);
            return makeGateway(url);
        };
        auto window = std::make_unique<f_Ping>(services);
        clock.advanceMs(5000); // past the start-up mark, so the first tick probes
        return window;
    }
    // The gateway the alert rules get for a URL; none by default.
    virtual std::unique_ptr<SmsGateway> makeGateway(const QString&) { return nullptr; }

    ScriptedEcho echo;
    TableResolver resolver;
    ManualClock clock;
    scripted::ScriptedNames traceNames;
    QStringList dialogs;                       // the modal dialogs the window ran, by object name or title
    QStringList gatewayUrls;                   // the URLs the alert rules asked a gateway for
    std::function<int(QDialog&)> answerDialog; // answers the window's modal dialogs instead of a user
};
