#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

// The colour dialog "Choose a Color". Values are the program's colour values (red in the low byte). Tests script
// it: the next answer is returned without showing anything, so no modal dialog blocks an offscreen run.
class ColorDialog {
public:
    // The chosen colour, or nothing when the user cancelled.
    static std::optional<std::uint32_t> choose(QWidget* owner, std::int64_t initial);

    static void setScripted(bool on);
    static void setNextResult(std::optional<std::uint32_t> result); // nothing answers as Cancel
    static int shownCount() { return s_shown; }
    static std::int64_t lastInitial() { return s_lastInitial; }
    static QString lastTitle() { return s_lastTitle; }

private:
    static bool s_scripted;
    static std::optional<std::uint32_t> s_next;
    static int s_shown;
    static std::int64_t s_lastInitial;
    static QString s_lastTitle;
};
