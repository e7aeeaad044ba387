#pragma once

#include "platform/KeyEvent.h"

#include <QMap>
#include <QObject>

#include <functional>

class QKeyEvent;

namespace kelvo {

// Local key monitors over every window of the program: an event filter on
// the application that sees each key press once, as it reaches its window,
// before any view. Presses of a modifier key alone are not key-downs of
// the monitor (they pass through untouched). While a monitor is installed
// the program's own shortcuts do not take keys away from it.
class QtKeyEventMonitor : public QObject, public KeyEventMonitor {
    Q_OBJECT
public:
    // How a Qt key event becomes a KeyEvent (its key position and flags).
    using Translator = std::function<KeyEvent(const QKeyEvent &)>;

    explicit QtKeyEventMonitor(Translator translate, QObject *parent = nullptr);
    ~QtKeyEventMonitor() override;

    // 0 when there is no application object to filter.
    quint64 addLocalKeyMonitor(Handler handler) override;
    void removeMonitor(quint64 token) override;

    int monitorCount() const { return int(handlers_.size()); }

    static bool isModifierOnlyKey(int qtKey);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateFilter();

    Translator translate_;
    QMap<quint64, Handler> handlers_;
    quint64 nextToken_ = 1;
    bool filtering_ = false;
};

} // namespace kelvo
