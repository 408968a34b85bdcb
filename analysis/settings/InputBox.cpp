#include "analysis/settings/InputBox.h"

#include <QInputDialog>

bool InputBox::s_scripted = false;
std::optional<QString> InputBox::s_next;
int InputBox::s_shown = 0;
QString InputBox::s_lastPrompt;
QString InputBox::s_lastTitle;
QString InputBox::s_lastInitial;

std::optional<QString> InputBox::ask(QWidget* owner, const QString& prompt, const QString& title,
                                     const QString& initial)
{
    ++s_shown;
    s_lastPrompt = prompt;
    s_lastTitle = title;
    s_lastInitial = initial;
    if (s_scripted) {
        std::optional<QString> answer = s_next;
        s_next.reset();
        return answer;
    }
    bool ok = false;
    const QString text = QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void InputBox::setScripted(bool on)
{
    s_scripted = on;
    s_next.reset();
    s_shown = 0;
    s_lastPrompt.clear();
    s_lastTitle.clear();
    s_lastInitial.clear();
}

void InputBox::setNextAnswer(std::optional<QString> answer)
{
    s_next = std::move(answer);
}
