#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

/// The host's per-window store of a control's design values.
///
/// Keys are matched without regard to case, every read and write carries a default, and a value
/// equal to its default is not stored (writing it removes a stored value), so a saved layout holds
/// only what differs from the defaults.
class PropertyBag {
public:
    /// The value stored under `key`, or `defaultValue` when the key is absent.
    QVariant read(const QString& key, const QVariant& defaultValue) const;
    /// Stores `value` under `key`, or forgets the key when `value` equals `defaultValue`.
    void write(const QString& key, const QVariant& value, const QVariant& defaultValue);

    bool contains(const QString& key) const;
    /// The stored keys, as they were last written.
    QStringList keys() const;
    int count() const { return static_cast<int>(m_values.size()); }
    void clear() { m_values.clear(); }

private:
    struct Entry {
        QString key;
        QVariant value;
    };
    QHash<QString, Entry> m_values; // case-folded key -> entry
};
