#include "settings/ShortcutRecorder.h"

#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"

#include <QPointer>

namespace kelvo {

bool isModifierKeyCode(quint32 keyCode) { return keyCode >= 54 && keyCode <= 63; }

ShortcutRecorder::ShortcutRecorder(StoredPreferences &prefs, KeyEventMonitor &monitor, KeyNameStyle keyNames,
                                   QObject *parent)
    : QObject(parent), prefs_(prefs), monitor_(monitor), keyNames_(keyNames)
{
    connect(&prefs_, &StoredPreferences::changed, this, [this] {
        if (!recording_)
            emit displayTextChanged();
    });
}

ShortcutRecorder::~ShortcutRecorder()
{
    if (monitorToken_)
        monitor_.removeMonitor(monitorToken_);
}

void ShortcutRecorder::toggleRecording()
{
    if (recording_)
        stopRecording();
    else
        startRecording();
}

void ShortcutRecorder::startRecording()
{
    if (recording_)
        return;
    setRecording(true);
    QPointer<ShortcutRecorder> self(this);
    monitorToken_ = monitor_.addLocalKeyMonitor([self](const KeyEvent &event) {
        return self ? self->handleRecordingEvent(event) : false;
    });
}

void ShortcutRecorder::stopRecording()
{
    setRecording(false);
    if (monitorToken_) {
        const quint64 token = monitorToken_;
        monitorToken_ = 0;
        monitor_.removeMonitor(token);
    }
}

bool ShortcutRecorder::handleRecordingEvent(const KeyEvent &event)
{
    if (!recording_)
        return false;
    // A modifier pressed on its own records nothing and goes on to the views.
    if (isModifierKeyCode(event.keyCode))
        return false;
    const quint32 mask = carbonModifiers(event.modifierFlags);
    // Without a modifier the press is swallowed and ignored. So is a key
    // without a known position: its code could never be registered.
    if (mask == 0 || event.keyCode == kUnknownKeyCode)
        return true;
    prefs_.setHotkey(event.keyCode, mask);
    stopRecording();
    return true;
}

QString ShortcutRecorder::displayText() const
{
    if (recording_)
        return tr("请按键...");
    return keyCombinationText(prefs_.hotkeyCode(), prefs_.hotkeyModifiers(), keyNames_);
}

void ShortcutRecorder::setRecording(bool recording)
{
    if (recording == recording_)
        return;
    recording_ = recording;
    emit isRecordingChanged();
    emit displayTextChanged();
}

} // namespace kelvo
