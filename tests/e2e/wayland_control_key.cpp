// Presses Control and one key (a position: 1 = S) in the focused window of
// the compositor named by $WAYLAND_DISPLAY, through a virtual keyboard whose
// keymap is a whole keyboard's: GTK programs ignore Control from the
// one-key-per-symbol keymaps wtype uploads.
#include "platform/wayland/WaylandSyntheticKeyboard.h"

#include <QByteArray>
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool ok = false;
    const quint32 key = argc == 2 ? QByteArray(argv[1]).toUInt(&ok) : 0;
    if (!ok)
        return 2;
    kelvo::wayland::WaylandSyntheticKeyboard keyboard;
    if (!keyboard.isValid())
        return 1;
    keyboard.createKeyEvent(key, true);
    keyboard.createKeyEvent(key, false);
    keyboard.postPendingEvents();
    return 0;
}
