#include "platform/qt/QtKeyEventMonitor.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace kelvo {

QtKeyEventMonitor::QtKeyEventMonitor(Translator translate, QObject *parent)
    : QObject(parent), translate_(std::move(translate))
{
}

QtKeyEventMonitor::~QtKeyEventMonitor()
{
    handlers_.clear();
    updateFilter();
}

quint64 QtKeyEventMonitor::addLocalKeyMonitor(Handler handler)
{
    if (!QCoreApplication::instance() || !handler)
        return 0;
    const quint64 token = nextToken_++;
    handlers_.insert(token, std::move(handler));
    updateFilter();
    return token;
}

void QtKeyEventMonitor::removeMonitor(quint64 token)
{
    handlers_.remove(token);
    updateFilter();
}

void QtKeyEventMonitor::updateFilter()
{
    QCoreApplication *app = QCoreApplication::instance();
    const bool wanted = app && !handlers_.isEmpty();
    if (wanted == filtering_)
        return;
    if (app) {
        if (wanted)
            app->installEventFilter(this);
        else
            app->removeEventFilter(this);
    }
    filtering_ = wanted;
}

bool QtKeyEventMonitor::isModifierOnlyKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

bool QtKeyEventMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (handlers_.isEmpty() || !translate_)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Accepting the override keeps shortcuts from consuming the press,
        // which then arrives as an ordinary key press below.
        event->accept();
        return true;
    }
    // A key press is delivered to its window first, then passed on to the
    // item or widget with focus; looking at the first delivery only sees
    // each press once.
    if (event->type() != QEvent::KeyPress || !watched || !watched->isWindowType())
        return false;
    const auto *keyEvent = static_cast<const QKeyEvent *>(event);
    if (isModifierOnlyKey(keyEvent->key()))
        return false;
    const KeyEvent key = translate_(*keyEvent);
    // Handlers may add or remove monitors while they run.
    const QMap<quint64, Handler> handlers = handlers_;
    for (auto it = handlers.cbegin(); it != handlers.cend(); ++it) {
        if (!handlers_.contains(it.key()))
            continue;
        if (it.value()(key))
            return true;
    }
    return false;
}

} // namespace kelvo
