#pragma once

#include "platform/Accessibility.h"
#include "platform/wayland/EvdevKeys.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace kelvo::kwin {

// Synthetic key events under KWin through org_kde_kwin_fake_input, which
// KWin offers only to programs it trusts (X-KDE-Wayland-Interfaces in their
// desktop entry). Its key events go through KWin's own keyboard, so they
// reach Wayland and X11 programs alike.
//
// KWin keeps one modifier state for all keyboards: a modifier the user still
// holds (Super of Super+1) would reach the target with the keystroke. A post
// therefore first releases every modifier key, then presses Control, the
// built keys, and releases Control, as X11's paste does. A release of a key
// that is not down changes nothing in KWin.
class FakeInputKeyboard final : public QObject, public SyntheticKeyboard {
public:
    using KeyStroke = wayland::EvdevKey;

    explicit FakeInputKeyboard(const QString &displayName = {}, QObject *parent = nullptr);
    ~FakeInputKeyboard() override;

    // Whether KWin granted fake input with key events (version 4 or later).
    bool isValid() const;

    bool isTrusted() override { return isValid(); }
    bool requestTrust() override { return isValid(); }
    bool openSettings() override { return false; }
    bool createKeyEvent(quint32 keyCode, bool keyDown) override;
    void postPendingEvents() override;
    void discardPendingEvents() override { pending_.clear(); }

    // Sends the key events as they are, in order.
    void send(const QList<KeyStroke> &strokes);
    // Waits until KWin has handled what was sent: KWin drops the events of
    // a client that goes away before it got to them.
    void waitUntilHandled();

    // The evdev codes of the modifier keys released before a paste.
    static const QList<quint32> &modifierKeys();

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
    wayland::EvdevKeyQueue pending_;
};

} // namespace kelvo::kwin
