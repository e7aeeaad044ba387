#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace kelvo {

// The per-user preferences store: native Bool and integer values by key.
class PreferencesStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PreferencesStore() override = default;

    // The stored object, nullopt when the key is absent.
    virtual std::optional<QVariant> object(const QString &key) const = 0;
    // Writes the value at once, then emits changed().
    virtual void setValue(const QString &key, const QVariant &value) = 0;
    virtual void remove(const QString &key) = 0;

    // Integer read: an absent key, or a value that is not a number, reads 0.
    qint64 integer(const QString &key) const;
    // Bool read: an absent key reads false.
    bool boolean(const QString &key) const;

signals:
    // Emitted after every write made through this store.
    void changed();
};

} // namespace kelvo
