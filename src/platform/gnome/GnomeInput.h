#pragma once

#include "platform/Accessibility.h"
#include "platform/HotKeys.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace kelvo::gnome {

class ShellExtension;

// The paste keystroke from the extension's virtual keyboard. Keys are
// positions (9 = V), sent as evdev codes, with Control pressed around them.
// Trust is the extension being there.
class GnomeSyntheticKeyboard final : public SyntheticKeyboard {
public:
    explicit GnomeSyntheticKeyboard(ShellExtension &shell) : shell_(shell) {}

    bool isTrusted() override { return true; }
    bool requestTrust() override { return true; }
    bool openSettings() override { return false; }
    bool createKeyEvent(quint32 keyCode, bool keyDown) override;
    void postPendingEvents() override;
    void discardPendingEvents() override { pending_.clear(); }

private:
    ShellExtension &shell_;
    QList<std::pair<quint32, bool>> pending_;
};

// The shortcut, bound by the shell as it binds its own: one combination at
// a time, bound again when the extension comes back (after the screen was
// unlocked). A registration is pending until the shell has the binding in
// effect.
class GnomeHotKeyService final : public QObject, public HotKeyService {
public:
    // Statuses of a failed registration.
    static constexpr qint32 NoAnswerStatus = -1;  // the extension did not answer
    static constexpr qint32 RefusedStatus = 3;    // the shell did not bind it
    static constexpr qint32 UnknownKeyStatus = 4; // a key position without a name

    explicit GnomeHotKeyService(ShellExtension &shell, QObject *parent = nullptr);

    // The combination as a GTK accelerator ("<Super><Shift>v"); nullopt for
    // a key position without a name.
    static std::optional<QString> acceleratorFor(quint32 keyCode, quint32 modifiers);

    void installHandler(std::function<void()> onPressed) override { onPressed_ = std::move(onPressed); }
    void installSettledHandler(std::function<void(quint64, qint32)> onSettled) override
    {
        onSettled_ = std::move(onSettled);
    }
    HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) override;
    void unregisterHotKey(quint64 handle) override;

private:
    ShellExtension &shell_;
    std::function<void()> onPressed_;
    std::function<void(quint64, qint32)> onSettled_;
    quint64 nextHandle_ = 1;
    quint64 handle_ = 0; // the bound registration, 0 for none
    QString accelerator_;
};

} // namespace kelvo::gnome
