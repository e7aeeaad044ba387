#pragma once

#include "platform/Accessibility.h"
#include "platform/Applications.h"
#include "platform/HotKeys.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/Preferences.h"
#include "platform/SaveDialog.h"
#include "platform/Scheduler.h"
#include "platform/TypeRegistry.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QStringList>

namespace kelvo::memory {

// One clipboard item of a MemoryPasteboard: types in order with their text
// and bytes.
struct MemoryItem : PasteboardItemReader {
    QStringList typeList;
    QHash<QString, QString> strings;
    QHash<QString, QByteArray> data;

    QStringList types() const override { return typeList; }
    std::optional<QString> stringForType(const QString &type) const override;
    std::optional<QByteArray> dataForType(const QString &type) const override;
};

// Clipboard content that a test composes freely, including unreadable parts.
struct MemoryContents : PasteboardContents {
    std::optional<QStringList> typeList = QStringList();
    QHash<QString, QString> strings;
    QHash<QString, QByteArray> data;
    std::optional<QList<std::shared_ptr<const PasteboardItemReader>>> itemList =
        QList<std::shared_ptr<const PasteboardItemReader>>();
    std::optional<QStringList> texts;
    std::optional<QByteArray> image;

    std::optional<QStringList> types() const override { return typeList; }
    std::optional<QString> stringForType(const QString &type) const override;
    std::optional<QByteArray> dataForType(const QString &type) const override;
    std::optional<QList<std::shared_ptr<const PasteboardItemReader>>> items() const override { return itemList; }
    std::optional<QStringList> textObjects() const override { return texts; }
    std::optional<QByteArray> imagePNG() const override { return image; }

    // Convenience: a single-item clipboard whose one item carries `types`
    // with `bytes`; strings are derived from the bytes as UTF-8 for types
    // in `textTypes`.
    static std::shared_ptr<MemoryContents> withData(const QList<std::pair<QString, QByteArray>> &flavours,
                                                    const QStringList &textTypes = {});
};

// A clipboard whose content and change count a test sets. Writes made
// through the interface are recorded in order and become the content.
class MemoryPasteboard : public Pasteboard {
public:
    qint64 changeCount() const override { return changeCount_; }
    void fetchContents(ContentsCallback callback) override;

    bool write(const QList<PasteboardWriteItem> &items) override;
    void setChangeHandler(std::function<void()> handler) override { changeHandler = std::move(handler); }
    void setConnectionHandler(std::function<void(bool)> handler) override { connectionHandler = std::move(handler); }
    bool reportsChanges() const override { return reportingChanges; }
    void setReadGate(std::function<bool(qint64)> gate) override { readGate = std::move(gate); }

    // Test controls.
    // A foreign copy: replaces the content and bumps the change count.
    void copy(std::shared_ptr<MemoryContents> contents);
    void setChangeCount(qint64 n) { changeCount_ = n; }
    // With a main loop, fetches complete in a later turn of it; a null
    // contents answer (after the loop runs) models a read that timed out.
    void setDeferredFetch(MainLoop *loop) { deferLoop_ = loop; }
    void setFetchFails(bool fails) { fetchFails_ = fails; }

    // Every write in order, as text: "write" followed by each item's types
    // joined by commas, items separated by " | " ("write a,b | c").
    QStringList writeLog;
    std::function<void()> changeHandler;
    std::function<void(bool)> connectionHandler;
    std::function<bool(qint64)> readGate;
    // Writes are refused (nothing changes, no log entry).
    bool refuseWrites = false;
    // Claims to report changes (copy() still calls no handler by itself).
    bool reportingChanges = false;
    int fetchCount = 0;
    std::shared_ptr<MemoryContents> current = std::make_shared<MemoryContents>();

private:
    qint64 changeCount_ = 0;
    MainLoop *deferLoop_ = nullptr;
    bool fetchFails_ = false;
};

// A settable frontmost application. activate() records the call; with
// `activationTakesEffect` the activated application becomes frontmost.
class MemoryApplications : public Applications {
public:
    std::optional<RunningApplication> frontmostApplication() const override
    {
        ++frontmostQueries;
        return frontmost;
    }
    void activate(const RunningApplication &app) override
    {
        activations.append(app);
        if (activationTakesEffect)
            frontmost = app;
    }
    void activateSelf() override { ++selfActivations; }

    std::optional<RunningApplication> frontmost;
    bool activationTakesEffect = true;
    QList<RunningApplication> activations;
    int selfActivations = 0;
    mutable int frontmostQueries = 0;
};

// Notifications recorded as "summary | body".
class MemoryNotifications : public Notifications {
public:
    void notify(const QString &summary, const QString &body) override { shown.append(summary + " | " + body); }
    QStringList shown;
};

class MemoryPreferences : public PreferencesStore {
    Q_OBJECT
public:
    using PreferencesStore::PreferencesStore;
    std::optional<QVariant> object(const QString &key) const override;
    void setValue(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override;
    QMap<QString, QVariant> values;
};

class MemoryTypeRegistry : public TypeRegistry {
public:
    std::optional<TypeConformance> lookup(const QString &identifier) const override
    {
        auto it = known.find(identifier);
        if (it == known.end())
            return std::nullopt;
        return *it;
    }
    QHash<QString, TypeConformance> known;
};

class MemorySaveDialog : public SaveDialog {
public:
    std::optional<QString> choosePNGLocation(const QString &proposedName) override
    {
        proposedNames.append(proposedName);
        return answer;
    }
    std::optional<QString> answer;
    QStringList proposedNames;
};

// A hot key service that grants every combination not listed as taken and
// delivers presses when the test calls press().
class MemoryHotKeys : public HotKeyService {
public:
    void installHandler(std::function<void()> onPressed) override
    {
        ++handlerInstalls;
        handler = std::move(onPressed);
    }
    HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) override
    {
        registrations.append({keyCode, modifiers});
        if (taken.contains({keyCode, modifiers}))
            return {std::nullopt, refusalStatus};
        active.insert(++lastHandle, {keyCode, modifiers});
        return {lastHandle, 0};
    }
    void unregisterHotKey(quint64 handle) override
    {
        unregistrations.append(handle);
        active.remove(handle);
    }
    bool isHeld(quint64 handle) const override { return active.contains(handle); }
    void installReboundHandler(std::function<void(quint64, quint32, quint32)> onRebound) override
    {
        reboundHandler = std::move(onRebound);
    }
    // The desktop's settings bind the registration to another combination.
    void rebind(quint64 handle, QPair<quint32, quint32> combination)
    {
        active[handle] = combination;
        if (reboundHandler)
            reboundHandler(handle, combination.first, combination.second);
    }
    // A press of `combination`, delivered only while it is registered.
    bool press(QPair<quint32, quint32> combination)
    {
        for (const auto &held : active)
            if (held == combination && handler) {
                handler();
                return true;
            }
        return false;
    }
    // A press of whatever is registered.
    bool pressAny()
    {
        if (active.isEmpty() || !handler)
            return false;
        handler();
        return true;
    }

    std::function<void()> handler;
    std::function<void(quint64, quint32, quint32)> reboundHandler;
    int handlerInstalls = 0;
    QList<QPair<quint32, quint32>> registrations; // every attempt, in order
    QList<quint64> unregistrations;
    QMap<quint64, QPair<quint32, quint32>> active;
    QList<QPair<quint32, quint32>> taken;
    qint32 refusalStatus = 10; // BadAccess
    quint64 lastHandle = 0;
};

// Synthetic key events recorded instead of posted; "9down", "9up".
class MemorySyntheticKeyboard : public SyntheticKeyboard {
public:
    bool isTrusted() override
    {
        ++trustQueries;
        return trusted;
    }
    bool requestTrust() override
    {
        ++trustRequests;
        return trusted;
    }
    bool openSettings() override
    {
        ++settingsOpened;
        return false;
    }
    bool createKeyEvent(quint32 keyCode, bool keyDown) override
    {
        if ((keyDown && failKeyDown) || (!keyDown && failKeyUp))
            return false;
        pending.append(QString::number(keyCode) + (keyDown ? QStringLiteral("down") : QStringLiteral("up")));
        return true;
    }
    void postPendingEvents() override
    {
        posted += pending;
        pending.clear();
    }
    void discardPendingEvents() override { pending.clear(); }

    bool trusted = true;
    bool failKeyDown = false;
    bool failKeyUp = false;
    int trustQueries = 0;
    int trustRequests = 0;
    int settingsOpened = 0;
    QStringList pending;
    QStringList posted;
};

} // namespace kelvo::memory
