#include "platform/SystemColors.h"

namespace {

QPalette::ColorRole roleOf(int index)
{
    switch (index) {
    case 0x05: // window background
        return QPalette::Base;
    case 0x06: // window frame
    case 0x10: // button shadow
        return QPalette::Dark;
    case 0x08: // window text
        return QPalette::Text;
    case 0x02: // active caption
    case 0x0D: // highlight
        return QPalette::Highlight;
    case 0x09: // caption text
    case 0x0E: // highlighted text
        return QPalette::HighlightedText;
    case 0x11: // grey text
        return QPalette::PlaceholderText;
    case 0x12: // button text
        return QPalette::ButtonText;
    case 0x14: // 3D highlight
        return QPalette::Light;
    case 0x15: // 3D dark shadow
        return QPalette::Shadow;
    case 0x16: // 3D light
        return QPalette::Midlight;
    case 0x17: // tool-tip text
        return QPalette::ToolTipText;
    case 0x18: // tool-tip background
        return QPalette::ToolTipBase;
    case 0x0F: // button face
        return QPalette::Button;
    default: // desktop, menus, scroll bars and the rest read best as the window colour
        return QPalette::Window;
    }
}

} // namespace

bool isSystemColorValue(std::int64_t value)
{
    return (static_cast<std::uint32_t>(value) & 0x80000000u) != 0;
}

QColor colorFromValue(std::int64_t value, const QPalette& palette)
{
    const auto bits = static_cast<std::uint32_t>(value);
    if (isSystemColorValue(value))
        return palette.color(QPalette::Active, roleOf(int(bits & 0xFF)));
    return QColor(int(bits & 0xFF), int((bits >> 8) & 0xFF), int((bits >> 16) & 0xFF));
}
