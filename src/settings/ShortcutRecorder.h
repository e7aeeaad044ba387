#pragma once

#include "platform/KeyEvent.h"
#include "settings/ShortcutText.h"

#include <QObject>
#include <QString>

namespace kelvo {

class StoredPreferences;

// The control that sets the global shortcut. Idle, it shows the stored
// combination; toggleRecording() starts recording, which installs a key
// monitor over the whole program. The next key press that holds Control,
// Option, Shift or Command becomes the stored combination (key code first,
// then modifiers) and ends recording; presses without one of them are
// swallowed and recording goes on (there is no cancel key). Modifier keys
// pressed on their own pass through and record nothing. Toggling again
// ends recording without a change.
class ShortcutRecorder : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QString displayText READ displayText NOTIFY displayTextChanged)
public:
    // The stored combination is shown in the key names of `keyNames`.
    ShortcutRecorder(StoredPreferences &prefs, KeyEventMonitor &monitor,
                     KeyNameStyle keyNames = KeyNameStyle::MacSymbols, QObject *parent = nullptr);
    // Removes the monitor if it is still installed.
    ~ShortcutRecorder() override;

    bool isRecording() const { return recording_; }

    Q_INVOKABLE void toggleRecording();
    // Does nothing while recording: one recorder installs at most one monitor.
    void startRecording();
    void stopRecording();
    // The monitor's handler: true swallows the event.
    bool handleRecordingEvent(const KeyEvent &event);

    // "请按键..." while recording, else the text of the stored combination.
    QString displayText() const;

    // Whether the monitor is installed (its token is held).
    bool hasMonitor() const { return monitorToken_ != 0; }

signals:
    void isRecordingChanged();
    void displayTextChanged();

private:
    void setRecording(bool recording);

    StoredPreferences &prefs_;
    KeyEventMonitor &monitor_;
    KeyNameStyle keyNames_;
    bool recording_ = false;
    quint64 monitorToken_ = 0;
};

// Key positions of the modifier keys themselves (Command, Shift, Caps Lock,
// Option, Control, their right-hand twins and Function).
bool isModifierKeyCode(quint32 keyCode);

// A key event whose key has no position of its own in the virtual key
// numbering carries this code.
inline constexpr quint32 kUnknownKeyCode = 0xFFFF;

} // namespace kelvo
