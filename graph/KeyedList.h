#pragma once

// Private to the library: the ordered, optionally keyed container behind cPoints and Data.

#include "GraphError.h"
#include "GraphScale.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace tvGraph::detail {

// Where an index-or-key argument points: a key when it holds text, else a 1-based position.
struct Slot {
    bool byKey = false;
    QString key;
    qint64 position = 0;
};

bool slotFromVariant(const QVariant& indexKey, Slot* slot, GraphError* error);

// Positions 1..Count in insertion order plus unique keys. Every failing operation leaves the list as it was, so
// a caller that gets an error can go on with the same collection.
template <class T> class KeyedList {
public:
    using Item = std::shared_ptr<T>;

    bool add(Item item, const QString& key, GraphError* error)
    {
        if (!key.isEmpty()) {
            if (m_byKey.contains(key))
                return fail(error, GraphError::make(ErrorCode::DuplicateKey, key));
            m_byKey.insert(key, item);
        }
        m_items.push_back(std::move(item));
        m_keys.push_back(key);
        return true;
    }

    Item item(const QVariant& indexKey, GraphError* error) const
    {
        Slot slot;
        if (!slotFromVariant(indexKey, &slot, error))
            return nullptr;
        if (slot.byKey) {
            const auto it = m_byKey.constFind(slot.key);
            if (slot.key.isEmpty() || it == m_byKey.cend()) {
                fail(error, GraphError::make(ErrorCode::InvalidProcedureCall, slot.key));
                return nullptr;
            }
            return it.value();
        }
        qsizetype index = 0;
        if (!find(indexKey, &index, error))
            return nullptr;
        return m_items[static_cast<size_t>(index)];
    }

    bool remove(const QVariant& indexKey, GraphError* error)
    {
        qsizetype index = 0;
        if (!find(indexKey, &index, error))
            return false;
        const auto at = static_cast<size_t>(index);
        if (!m_keys[at].isEmpty())
            m_byKey.remove(m_keys[at]);
        m_items.erase(m_items.begin() + index);
        m_keys.erase(m_keys.begin() + index);
        return true;
    }

    void clear()
    {
        m_items.clear();
        m_keys.clear();
        m_byKey.clear();
    }

    qsizetype count() const { return static_cast<qsizetype>(m_items.size()); }
    const Item* begin() const { return m_items.data(); }
    const Item* end() const { return m_items.data() + m_items.size(); }

private:
    bool find(const QVariant& indexKey, qsizetype* index, GraphError* error) const
    {
        Slot slot;
        if (!slotFromVariant(indexKey, &slot, error))
            return false;
        if (!slot.byKey) {
            if (slot.position < 1 || slot.position > count())
                return fail(error, GraphError::make(ErrorCode::SubscriptOutOfRange));
            *index = static_cast<qsizetype>(slot.position - 1);
            return true;
        }
        if (!slot.key.isEmpty() && m_byKey.contains(slot.key)) {
            for (size_t i = 0; i < m_keys.size(); ++i) {
                if (m_keys[i] == slot.key) {
                    *index = static_cast<qsizetype>(i);
                    return true;
                }
            }
        }
        return fail(error, GraphError::make(ErrorCode::InvalidProcedureCall, slot.key));
    }

    std::vector<Item> m_items;
    std::vector<QString> m_keys; // parallel to m_items; "" for elements added without a key
    QHash<QString, Item> m_byKey;
};

} // namespace tvGraph::detail
