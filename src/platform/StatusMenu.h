#pragma once

#include <QString>

namespace kelvo {

// The tray menu as a desktop shows it itself where it has no tray: the
// tray menu's own labels (in the program's language), whether capture is
// paused (the icon is greyed then) and whether the icon is wanted at all.
// Its items run the same commands as the tray's.
class StatusMenu {
public:
    struct Labels {
        QString toggle, clear, pause, settings, quit;
    };
    virtual ~StatusMenu() = default;
    virtual void show(const Labels &labels, bool paused, bool visible) = 0;
};

} // namespace kelvo
