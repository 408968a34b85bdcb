#include "GraphFont.h"

namespace tvGraph {

QFont GraphFont::toQFont() const
{
    QFont font(m_name);
    // Arial and its metric twins are sans serif; the hint lets fontconfig pick one where Arial is missing.
    font.setStyleHint(QFont::SansSerif);
    if (m_size > 0)
        font.setPointSizeF(m_size);
    font.setBold(m_bold);
    font.setItalic(m_italic);
    font.setUnderline(m_underline);
    font.setStrikeOut(m_strikethrough);
    return font;
}

} // namespace tvGraph
