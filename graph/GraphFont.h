#pragma once

#include "tvGraphGlobal.h"

#include <QFont>
#include <QString>

namespace tvGraph {

/// A font object shared by reference: the control's font properties hold `std::shared_ptr<GraphFont>`, so two
/// properties given the same object (as a new control's axis fonts are) see each other's changes.
class TVGRAPH_EXPORT GraphFont {
public:
    GraphFont() = default;
    GraphFont(const QString& name, float size, bool bold = false, qint16 charset = 204)
        : m_name(name), m_size(size), m_bold(bold), m_charset(charset)
    {}

    QString Name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    /// Size in points.
    float Size() const { return m_size; }
    void setSize(float points) { m_size = points; }
    bool Bold() const { return m_bold; }
    void setBold(bool bold) { m_bold = bold; }
    bool Italic() const { return m_italic; }
    void setItalic(bool italic) { m_italic = italic; }
    bool Underline() const { return m_underline; }
    void setUnderline(bool underline) { m_underline = underline; }
    bool Strikethrough() const { return m_strikethrough; }
    void setStrikethrough(bool strikethrough) { m_strikethrough = strikethrough; }
    /// Character set number (204 is Cyrillic); kept for persistence, the text itself is Unicode.
    qint16 Charset() const { return m_charset; }
    void setCharset(qint16 charset) { m_charset = charset; }

    /// The Qt font with these attributes.
    QFont toQFont() const;

    bool operator==(const GraphFont&) const = default;

private:
    QString m_name = QStringLiteral("Arial");
    float m_size = 8;
    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
    bool m_strikethrough = false;
    qint16 m_charset = 204;
};

} // namespace tvGraph
