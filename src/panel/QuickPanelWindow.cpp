#include "panel/QuickPanelWindow.h"

#include "panel/QtKeyTranslation.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QQuickItem>
#include <QScreen>
#include <QSurfaceFormat>


namespace kelvo {


QuickPanelWindow::QuickPanelWindow(QQmlEngine *engine, Desktop *desktop, QWindow *parent)
    : QQuickView(engine, parent), m_desktop(desktop) {
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    QSurfaceFormat fmt = format();
    fmt.setAlphaBufferSize(8);
    setFormat(fmt);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("Kelvo"));

    m_fade = new QPropertyAnimation(this, "opacity", this);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] { finishAnimation(); });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focus) { onFocusWindowChanged(focus); });
    qGuiApp->installEventFilter(this);
}

QuickPanelWindow::~QuickPanelWindow() {
    if (qGuiApp) qGuiApp->removeEventFilter(this);
    if (m_desktop && !m_clickMonitors.isEmpty()) m_desktop->setButtonPressHandler({});
}

std::optional<QRect> QuickPanelWindow::mainScreenFrame() const {
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return std::nullopt;
    // The desktop speaks device pixels; a screen's logical frame keeps its
    // device origin and divides its size by the scale factor.
    QList<QRect> frames;
    for (QScreen *screen : screens) {
        const QRect g = screen->geometry();
        frames.append(QRect(g.topLeft(), g.size() * screen->devicePixelRatio()));
    }
    const int primary = int(screens.indexOf(QGuiApplication::primaryScreen()));
    const int chosen = chooseMainScreen(frames, primary, m_desktop ? m_desktop->activeWindowFrame() : std::nullopt);
    return screens.value(chosen)->geometry();
}

bool QuickPanelWindow::reduceMotion() const {
    return m_desktop && m_desktop->reduceMotion();
}

void QuickPanelWindow::setFrame(const QRect &frame) {
    setGeometry(frame);
    if (onShown && QQuickView::isVisible()) onShown(winId(), frame);
}

void QuickPanelWindow::finishAnimation() {
    auto finished = std::move(m_fadeFinished);
    m_fadeFinished = nullptr;
    if (finished) finished();
}

void QuickPanelWindow::setAlpha(double alpha) {
    if (m_fade->state() != QAbstractAnimation::Stopped) m_fade->stop(); // runs finishAnimation()
    setOpacity(alpha);
}

void QuickPanelWindow::animateAlpha(double alpha, int durationMs, Easing easing, std::function<void()> finished) {
    if (m_fade->state() != QAbstractAnimation::Stopped) m_fade->stop();
    m_fadeFinished = std::move(finished);
    m_fade->setStartValue(opacity());
    m_fade->setEndValue(alpha);
    m_fade->setDuration(durationMs);
    m_fade->setEasingCurve(easing == Easing::EaseIn ? QEasingCurve::InQuad : QEasingCurve::OutQuad);
    m_fade->start();
}

void QuickPanelWindow::orderFrontRegardless() {
    if (!QQuickView::isVisible()) {
        if (onBeforeMapping) {
            create();
            onBeforeMapping(winId());
        }
        show();
        m_mappedAgain = true;
        if (onShown) onShown(winId(), geometry());
    }
    raise();
}

void QuickPanelWindow::makeKey() {
    requestActivate();
    // A window mapped again still counts as active until the focus change
    // of its hiding has been read (under Xwayland that may come after the
    // next showing): then its keyboard counts from its next focus-in.
    m_hadKeyboard = isActive() && !m_mappedAgain;
    m_mappedAgain = false;
}

void QuickPanelWindow::orderOut() {
    hide();
    m_hadKeyboard = false;
}

namespace {
// Qt Quick Controls keep every popup under the window's overlay item.
QQuickItem *overlayOf(QQuickItem *content) {
    if (!content) return nullptr;
    for (QQuickItem *child : content->childItems())
        if (child->inherits("QQuickOverlay")) return child;
    return nullptr;
}
} // namespace

bool QuickPanelWindow::popupHasKeyboard() const {
    QQuickItem *overlay = overlayOf(contentItem());
    for (QQuickItem *item = activeFocusItem(); overlay && item; item = item->parentItem())
        if (item == overlay) return true;
    return false;
}

void QuickPanelWindow::closePopups() {
    QQuickItem *overlay = overlayOf(contentItem());
    if (!overlay) return;
    // The popup item's owner is the Popup object itself.
    for (QQuickItem *child : overlay->childItems()) {
        QObject *popup = child->parent();
        if (popup && popup != overlay && popup->property("opened").toBool())
            QMetaObject::invokeMethod(popup, "close");
    }
}

void QuickPanelWindow::clearFocus() {
    closePopups();
    if (contentItem()) contentItem()->forceActiveFocus(Qt::OtherFocusReason);
    if (rootObject()) rootObject()->forceActiveFocus(Qt::OtherFocusReason);
}

bool QuickPanelWindow::isVisible() const {
    return QQuickView::isVisible();
}

void QuickPanelWindow::onFocusWindowChanged(QWindow *focus) {
    if (focus == this) {
        m_hadKeyboard = true;
        return;
    }
    // The keyboard went to another window of the program (the settings
    // window): that is a click inside the program.
    if (focus || !m_hadKeyboard || !QQuickView::isVisible()) return;
    m_hadKeyboard = false;
    // Another program's window took the keyboard: the user clicked outside.
    const auto handlers = m_clickMonitors;
    for (const auto &handler : handlers)
        if (handler) handler();
}

quint64 QuickPanelWindow::addClickOutsideMonitor(std::function<void()> handler) {
    const quint64 token = m_nextToken++;
    if (m_clickMonitors.isEmpty() && m_desktop)
        m_desktop->setButtonPressHandler([this](QPoint at) { onButtonPress(at); });
    m_clickMonitors.insert(token, std::move(handler));
    return token;
}

void QuickPanelWindow::onButtonPress(QPoint devicePosition) {
    if (!QQuickView::isVisible()) return;
    // A press in any window of the program (the panel, the settings window,
    // the tray menu) is not outside.
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible()) continue;
        const QRect frame = window->frameGeometry();
        if (QRect(frame.topLeft(), frame.size() * window->devicePixelRatio()).contains(devicePosition)) return;
    }
    const auto handlers = m_clickMonitors;
    for (const auto &handler : handlers)
        if (handler) handler();
}

quint64 QuickPanelWindow::addLocalKeyMonitor(KeyEventMonitor::Handler handler) {
    const quint64 token = m_nextToken++;
    m_keyMonitors.insert(token, std::move(handler));
    return token;
}

void QuickPanelWindow::removeMonitor(quint64 token) {
    if (m_clickMonitors.remove(token) && m_clickMonitors.isEmpty() && m_desktop)
        m_desktop->setButtonPressHandler({});
    m_keyMonitors.remove(token);
}

void QuickPanelWindow::setKeyDownHandler(KeyEventMonitor::Handler handler) {
    m_keyDown = std::move(handler);
}

void QuickPanelWindow::setCancelHandler(std::function<void()> handler) {
    m_cancel = std::move(handler);
}

bool QuickPanelWindow::eventFilter(QObject *watched, QEvent *event) {
    // Key presses for any of the program's windows pass the local monitors
    // before they are dispatched.
    if (event->type() == QEvent::KeyPress && !m_keyMonitors.isEmpty() && qobject_cast<QWindow *>(watched) &&
        !(watched == this && popupHasKeyboard())) {
        const KeyEvent key = keyEventFromQt(*static_cast<QKeyEvent *>(event));
        const auto monitors = m_keyMonitors;
        for (auto it = monitors.cbegin(); it != monitors.cend(); ++it) {
            if (!m_keyMonitors.contains(it.key())) continue; // removed by an earlier handler
            if (it.value() && it.value()(key)) return true;
        }
    }
    return QQuickView::eventFilter(watched, event);
}

void QuickPanelWindow::keyPressEvent(QKeyEvent *event) {
    const bool popupKey = popupHasKeyboard();
    QQuickView::keyPressEvent(event);
    if (event->isAccepted()) return;
    // A key the open menu did not want is nobody's.
    if (popupKey || popupHasKeyboard()) {
        event->accept();
        return;
    }
    const KeyEvent key = keyEventFromQt(*event);
    if (m_keyDown && m_keyDown(key)) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape || (event->key() == Qt::Key_Period && (event->modifiers() & Qt::ControlModifier))) {
        if (m_cancel) {
            m_cancel();
            event->accept();
        }
    }
}

} // namespace kelvo
