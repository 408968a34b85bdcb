#include "PropertyStore.h"

#include "GraphFont.h"
#include "GraphScale.h"

#include <QSettings>
#include <QStringList>

#include <cmath>

namespace tvGraph {

namespace {

GraphError mismatch(const QString& name)
{
    return GraphError::make(ErrorCode::TypeMismatch, name);
}

bool isText(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QString || v.metaType().id() == QMetaType::QByteArray;
}

// Text stores (INI files) hold numbers as text; they are parsed with a "." whatever the locale, as written.
bool toDouble(const QVariant& v, double* out)
{
    bool ok = false;
    if (isText(v))
        *out = v.toString().trimmed().toDouble(&ok);
    else if (v.metaType().id() == QMetaType::QStringList || v.metaType().id() == QMetaType::QVariantList ||
             v.metaType().id() == QMetaType::QVariantMap)
        ok = false;
    else
        *out = v.toDouble(&ok);
    return ok && std::isfinite(*out);
}

bool toBoolean(const QVariant& v, bool* out)
{
    if (v.metaType().id() == QMetaType::Bool) {
        *out = v.toBool();
        return true;
    }
    if (isText(v)) {
        const QString text = v.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            *out = true;
            return true;
        }
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
            *out = false;
            return true;
        }
    }
    double number = 0;
    if (!toDouble(v, &number))
        return false;
    *out = number != 0;
    return true;
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

PropertyStore::~PropertyStore() = default;

bool PropertyStore::readString(const QString& name, const QString& defaultValue, QString* out, GraphError* error) const
{
    const QVariant v = value(name);
    if (!v.isValid()) {
        *out = defaultValue;
        return true;
    }
    const int type = v.metaType().id();
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList || type == QMetaType::QVariantMap ||
        !v.canConvert<QString>())
        return fail(error, mismatch(name));
    *out = v.toString();
    return true;
}

bool PropertyStore::readSingle(const QString& name, float defaultValue, float* out, GraphError* error) const
{
    const QVariant v = value(name);
    if (!v.isValid()) {
        *out = defaultValue;
        return true;
    }
    double number = 0;
    if (!toDouble(v, &number))
        return fail(error, mismatch(name));
    const auto single = static_cast<float>(number);
    if (!std::isfinite(single))
        return fail(error, GraphError::make(ErrorCode::Overflow, name));
    *out = single;
    return true;
}

bool PropertyStore::readLong(const QString& name, qint32 defaultValue, qint32* out, GraphError* error) const
{
    const QVariant v = value(name);
    if (!v.isValid()) {
        *out = defaultValue;
        return true;
    }
    double number = 0;
    if (!toDouble(v, &number))
        return fail(error, mismatch(name));
    const auto rounded = round32(number);
    if (!rounded)
        return fail(error, GraphError::make(ErrorCode::Overflow, name));
    *out = *rounded;
    return true;
}

bool PropertyStore::readBoolean(const QString& name, bool defaultValue, bool* out, GraphError* error) const
{
    const QVariant v = value(name);
    if (!v.isValid()) {
        *out = defaultValue;
        return true;
    }
    if (!toBoolean(v, out))
        return fail(error, mismatch(name));
    return true;
}

bool PropertyStore::readFont(const QString& name, const GraphFont& defaultValue, std::shared_ptr<GraphFont>* out,
                             GraphError* error) const
{
    const QVariant v = value(name);
    if (!v.isValid()) {
        *out = std::make_shared<GraphFont>(defaultValue);
        return true;
    }
    QStringList parts;
    if (v.metaType().id() == QMetaType::QStringList || v.metaType().id() == QMetaType::QVariantList)
        parts = v.toStringList();
    else if (isText(v))
        parts = v.toString().split(QLatin1Char(','));
    if (parts.size() != 7)
        return fail(error, mismatch(name));
    double size = 0;
    bool flags[4] = {};
    double charset = 0;
    if (!toDouble(parts[1], &size) || !toDouble(parts[6], &charset))
        return fail(error, mismatch(name));
    for (int i = 0; i < 4; ++i) {
        if (!toBoolean(parts[2 + i], &flags[i]))
            return fail(error, mismatch(name));
    }
    auto font = std::make_shared<GraphFont>(parts[0].trimmed(), static_cast<float>(size), flags[0],
                                            static_cast<qint16>(charset));
    font->setItalic(flags[1]);
    font->setUnderline(flags[2]);
    font->setStrikethrough(flags[3]);
    *out = std::move(font);
    return true;
}

void PropertyStore::writeString(const QString& name, const QString& v, const QString& defaultValue)
{
    if (v == defaultValue)
        remove(name);
    else
        setValue(name, v);
}

void PropertyStore::writeSingle(const QString& name, float v, float defaultValue)
{
    // Stored as a double so text stores write the plain number rather than an opaque variant.
    if (v == defaultValue)
        remove(name);
    else
        setValue(name, static_cast<double>(v));
}

void PropertyStore::writeLong(const QString& name, qint32 v, qint32 defaultValue)
{
    if (v == defaultValue)
        remove(name);
    else
        setValue(name, v);
}

void PropertyStore::writeBoolean(const QString& name, bool v, bool defaultValue)
{
    if (v == defaultValue)
        remove(name);
    else
        setValue(name, v);
}

void PropertyStore::writeFont(const QString& name, const GraphFont* v, const GraphFont& defaultValue)
{
    if (!v || *v == defaultValue) {
        remove(name);
        return;
    }
    setValue(name, QStringList{v->Name(), generalNumber(v->Size(), 7), flag(v->Bold()), flag(v->Italic()),
                               flag(v->Underline()), flag(v->Strikethrough()), QString::number(v->Charset())});
}

QVariant VariantMapPropertyStore::value(const QString& name) const
{
    return m_values.value(name);
}

void VariantMapPropertyStore::setValue(const QString& name, const QVariant& v)
{
    m_values.insert(name, v);
}

void VariantMapPropertyStore::remove(const QString& name)
{
    m_values.remove(name);
}

SettingsPropertyStore::SettingsPropertyStore(QSettings* settings, const QString& group)
    : m_settings(settings), m_group(group)
{}

QString SettingsPropertyStore::key(const QString& name) const
{
    return m_group.isEmpty() ? name : m_group + QLatin1Char('/') + name;
}

QVariant SettingsPropertyStore::value(const QString& name) const
{
    return m_settings->value(key(name));
}

void SettingsPropertyStore::setValue(const QString& name, const QVariant& v)
{
    m_settings->setValue(key(name), v);
}

void SettingsPropertyStore::remove(const QString& name)
{
    m_settings->remove(key(name));
}

} // namespace tvGraph
