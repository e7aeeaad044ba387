#pragma once

#include "platform/KeyEvent.h"

#include <QMap>

namespace kelvo::test {

// A key monitor that a test feeds by hand; remembers every install and
// removal. With `refuse`, installing returns no token.
class FakeKeyEventMonitor : public KeyEventMonitor {
public:
    quint64 addLocalKeyMonitor(Handler handler) override
    {
        ++installs;
        if (refuse)
            return 0;
        const quint64 token = next++;
        handlers.insert(token, std::move(handler));
        return token;
    }
    void removeMonitor(quint64 token) override
    {
        removed.append(token);
        handlers.remove(token);
    }

    // Delivers a key-down to every installed handler in order; true when
    // one of them swallowed it.
    bool press(quint32 keyCode, quint64 flags = 0)
    {
        const KeyEvent event{keyCode, flags, {}};
        const auto copy = handlers;
        for (auto it = copy.cbegin(); it != copy.cend(); ++it)
            if (handlers.contains(it.key()) && it.value()(event))
                return true;
        return false;
    }

    QMap<quint64, Handler> handlers;
    QList<quint64> removed;
    int installs = 0;
    bool refuse = false;
    quint64 next = 41;
};

} // namespace kelvo::test
