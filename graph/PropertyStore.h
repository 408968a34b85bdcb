#pragma once

#include "GraphError.h"
#include "tvGraphGlobal.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace tvGraph {

class GraphFont;

/// A host's store of named property values, the way a form saves its controls.
///
/// Subclasses supply raw access; the typed readers and writers implement the rules the control relies on:
/// reading yields the default when a name is absent, writing omits (removes) a value equal to its default,
/// and a value that cannot be converted makes the read fail with TypeMismatch.
class TVGRAPH_EXPORT PropertyStore {
public:
    virtual ~PropertyStore();

    /// The stored value, or an invalid QVariant when `name` is absent.
    virtual QVariant value(const QString& name) const = 0;
    virtual void setValue(const QString& name, const QVariant& value) = 0;
    virtual void remove(const QString& name) = 0;

    bool readString(const QString& name, const QString& defaultValue, QString* out, GraphError* error) const;
    bool readSingle(const QString& name, float defaultValue, float* out, GraphError* error) const;
    bool readLong(const QString& name, qint32 defaultValue, qint32* out, GraphError* error) const;
    bool readBoolean(const QString& name, bool defaultValue, bool* out, GraphError* error) const;
    /// Reads a font into a new object (a copy of `defaultValue` when absent).
    bool readFont(const QString& name, const GraphFont& defaultValue, std::shared_ptr<GraphFont>* out,
                  GraphError* error) const;

    void writeString(const QString& name, const QString& value, const QString& defaultValue);
    void writeSingle(const QString& name, float value, float defaultValue);
    void writeLong(const QString& name, qint32 value, qint32 defaultValue);
    void writeBoolean(const QString& name, bool value, bool defaultValue);
    /// Writes a font as the list name, size, bold, italic, underline, strikethrough, character set.
    void writeFont(const QString& name, const GraphFont* value, const GraphFont& defaultValue);
};

/// A store held in memory; `values()` shows what a save wrote.
class TVGRAPH_EXPORT VariantMapPropertyStore : public PropertyStore {
public:
    VariantMapPropertyStore() = default;
    explicit VariantMapPropertyStore(QVariantMap values) : m_values(std::move(values)) {}

    QVariant value(const QString& name) const override;
    void setValue(const QString& name, const QVariant& value) override;
    void remove(const QString& name) override;

    const QVariantMap& values() const { return m_values; }

private:
    QVariantMap m_values;
};

/// A store in a QSettings object, under an optional group; the settings object must outlive the store.
class TVGRAPH_EXPORT SettingsPropertyStore : public PropertyStore {
public:
    explicit SettingsPropertyStore(QSettings* settings, const QString& group = QString());

    QVariant value(const QString& name) const override;
    void setValue(const QString& name, const QVariant& value) override;
    void remove(const QString& name) override;

private:
    QString key(const QString& name) const;

    QSettings* m_settings;
    QString m_group;
};

} // namespace tvGraph
