#include "platform/gnome/GnomeInput.h"

#include "platform/gnome/ShellExtension.h"
#include "platform/x11/KeyTranslation.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kelvo::gnome {

namespace {
constexpr quint32 kLeftControl = 29; // evdev KEY_LEFTCTRL
} // namespace

bool GnomeSyntheticKeyboard::createKeyEvent(quint32 keyCode, bool keyDown)
{
    const auto code = x11::evdevCodeForVirtualKey(keyCode);
    if (!code)
        return false;
    pending_.append({*code, keyDown});
    return true;
}

void GnomeSyntheticKeyboard::postPendingEvents()
{
    if (pending_.isEmpty())
        return;
    pending_.prepend({kLeftControl, true});
    pending_.append({kLeftControl, false});
    shell_.sendKeys(pending_);
    pending_.clear();
}

GnomeHotKeyService::GnomeHotKeyService(ShellExtension &shell, QObject *parent) : QObject(parent), shell_(shell)
{
    connect(&shell_, &ShellExtension::shortcutPressed, this, [this] {
        if (handle_ != 0 && onPressed_)
            onPressed_();
    });
    connect(&shell_, &ShellExtension::reappeared, this, [this] {
        if (handle_ != 0)
            shell_.setShortcut(accelerator_);
    });
}

std::optional<QString> GnomeHotKeyService::acceleratorFor(quint32 keyCode, quint32 modifiers)
{
    return x11::combinationText(keyCode, modifiers, {"<Super>", "<Control>", "<Alt>", "<Shift>", ""});
}

HotKeyRegistration GnomeHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers)
{
    const auto accelerator = acceleratorFor(keyCode, modifiers);
    if (!accelerator)
        return {std::nullopt, UnknownKeyStatus};
    accelerator_ = *accelerator;
    const quint64 handle = handle_ = nextHandle_++;
    auto *watcher = new QDBusPendingCallWatcher(shell_.setShortcut(accelerator_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, handle](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        const qint32 status = !reply.isValid() ? NoAnswerStatus : reply.value() ? 0 : RefusedStatus;
        if (status != 0 && handle_ == handle)
            handle_ = 0;
        if (onSettled_)
            onSettled_(handle, status);
    });
    return {handle, 0, true};
}

void GnomeHotKeyService::unregisterHotKey(quint64 handle)
{
    if (handle == 0 || handle != handle_)
        return;
    handle_ = 0;
    accelerator_.clear();
    shell_.setShortcut(QString());
}

} // namespace kelvo::gnome
