#include "analysis/settings/ColorDialog.h"

#include "platform/SystemColors.h"

#include <QColorDialog>
#include <QWidget>

bool ColorDialog::s_scripted = false;
std::optional<std::uint32_t> ColorDialog::s_next;
int ColorDialog::s_shown = 0;
std::int64_t ColorDialog::s_lastInitial = 0;
QString ColorDialog::s_lastTitle;

std::optional<std::uint32_t> ColorDialog::choose(QWidget* owner, std::int64_t initial)
{
    const QString title = QStringLiteral("Choose a Color");
    ++s_shown;
    s_lastInitial = initial;
    s_lastTitle = title;
    if (s_scripted) {
        const std::optional<std::uint32_t> answer = s_next;
        s_next.reset(); // one answer per showing; an unscripted second showing cancels
        return answer;
    }
    QColorDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setCurrentColor(colorFromValue(initial, owner ? owner->palette() : QPalette()));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid())
        return std::nullopt;
    return std::uint32_t(chosen.red()) | (std::uint32_t(chosen.green()) << 8) | (std::uint32_t(chosen.blue()) << 16);
}

void ColorDialog::setScripted(bool on)
{
    s_scripted = on;
    s_next.reset();
    s_shown = 0;
    s_lastInitial = 0;
    s_lastTitle.clear();
}

void ColorDialog::setNextResult(std::optional<std::uint32_t> result)
{
    s_next = result;
}
