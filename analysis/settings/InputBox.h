#pragma once

#include <QString>

#include <optional>

class QWidget;

// A one-line input box. Tests script it so no modal dialog blocks an offscreen run.
class InputBox {
public:
    // The typed text, or nothing when the user cancelled.
    static std::optional<QString> ask(QWidget* owner, const QString& prompt, const QString& title,
                                      const QString& initial);

    static void setScripted(bool on);
    static void setNextAnswer(std::optional<QString> answer); // nothing answers as Cancel
    static int shownCount() { return s_shown; }
    static QString lastPrompt() { return s_lastPrompt; }
    static QString lastTitle() { return s_lastTitle; }
    static QString lastInitial() { return s_lastInitial; }

private:
    static bool s_scripted;
    static std::optional<QString> s_next;
    static int s_shown;
    static QString s_lastPrompt;
    static QString s_lastTitle;
    static QString s_lastInitial;
};
