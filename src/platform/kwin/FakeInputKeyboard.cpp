#include "platform/kwin/FakeInputKeyboard.h"

#include "platform/wayland/WaylandConnection.h"

#include "fake-input-client.h"

#include <QCoreApplication>

#include <wayland-client.h>

namespace kelvo::kwin {

namespace {

constexpr uint32_t kKeyVersion = ORG_KDE_KWIN_FAKE_INPUT_KEYBOARD_KEY_SINCE_VERSION;
constexpr quint32 kLeftControl = 29;

} // namespace

class FakeInputKeyboard::Connection {
public:
    explicit Connection(const QString &displayName) : wayland_(displayName)
    {
        input_ = reinterpret_cast<org_kde_kwin_fake_input *>(
            wayland_.bind(&org_kde_kwin_fake_input_interface, kKeyVersion));
        if (!input_)
            return;
        // KWin 5.27 asks nobody; the words are for a desktop that would.
        org_kde_kwin_fake_input_authenticate(
            input_, "Kelvo",
            QCoreApplication::translate("FakeInputKeyboard", "粘贴所选的剪贴板记录").toUtf8().constData());
        wayland_.roundtrip();
    }

    ~Connection()
    {
        if (input_)
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(input_));
    }

    bool isValid() const
    {
        return input_ && org_kde_kwin_fake_input_get_version(input_) >= kKeyVersion && wayland_.isValid();
    }
    wayland::WaylandConnection &wayland() { return wayland_; }

    void send(const QList<KeyStroke> &strokes)
    {
        if (!isValid())
            return;
        for (const KeyStroke &s : strokes)
            org_kde_kwin_fake_input_keyboard_key(input_, s.evdevCode,
                                                 s.down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        wayland_.flush();
    }

private:
    wayland::WaylandConnection wayland_;
    org_kde_kwin_fake_input *input_ = nullptr;
};

FakeInputKeyboard::FakeInputKeyboard(const QString &displayName, QObject *parent)
    : QObject(parent), connection_(std::make_unique<Connection>(displayName))
{
    if (connection_->isValid())
        connection_->wayland().watch(this);
}

FakeInputKeyboard::~FakeInputKeyboard() = default;

bool FakeInputKeyboard::isValid() const
{
    return connection_->isValid();
}

const QList<quint32> &FakeInputKeyboard::modifierKeys()
{
    // Shift, Control, Alt and Super on either side, and AltGr.
    static const QList<quint32> keys = {42, 54, 29, 97, 56, 100, 125, 126};
    return keys;
}

bool FakeInputKeyboard::createKeyEvent(quint32 keyCode, bool keyDown)
{
    return isValid() && pending_.add(keyCode, keyDown);
}

void FakeInputKeyboard::postPendingEvents()
{
    const QList<KeyStroke> keys = pending_.take();
    if (keys.isEmpty())
        return;
    QList<KeyStroke> strokes;
    for (quint32 modifier : modifierKeys())
        strokes.append({modifier, false});
    strokes.append({kLeftControl, true});
    strokes.append(keys);
    strokes.append({kLeftControl, false});
    send(strokes);
}

void FakeInputKeyboard::send(const QList<KeyStroke> &strokes)
{
    connection_->send(strokes);
}

void FakeInputKeyboard::waitUntilHandled()
{
    connection_->wayland().roundtrip();
}

} // namespace kelvo::kwin
