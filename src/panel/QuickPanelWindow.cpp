#include "panel/QuickPanelWindow.h"

#include "panel/QtKeyTranslation.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QQuickItem>
#include <QScreen>
#include <QSurfaceFormat>

#include <xcb/xcb.h>

namespace kelvo {

namespace {

xcb_atom_t internAtom(xcb_connection_t *c, const char *name) {
    xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

xcb_connection_t *x11Connection() {
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        return x11->connection();
    return nullptr;
}

} // namespace

QuickPanelWindow::QuickPanelWindow(QQmlEngine *engine, QWindow *parent) : QQuickView(engine, parent) {
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    QSurfaceFormat fmt = format();
    fmt.setAlphaBufferSize(8);
    setFormat(fmt);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("Kelvo"));

    m_fade = new QPropertyAnimation(this, "opacity", this);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] { finishAnimation(); });
    connect(this, &QWindow::activeChanged, this, [this] { onActiveChanged(); });
    qGuiApp->installEventFilter(this);
}

QuickPanelWindow::~QuickPanelWindow() {
    if (qGuiApp) qGuiApp->removeEventFilter(this);
}

std::optional<QRect> QuickPanelWindow::mainScreenFrame() const {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    return screen->geometry();
}

void QuickPanelWindow::setFrame(const QRect &frame) {
    setGeometry(frame);
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

void QuickPanelWindow::applyX11WindowState() {
    xcb_connection_t *c = x11Connection();
    if (!c) return;
    create();
    const xcb_window_t win = xcb_window_t(winId());
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t states[] = {internAtom(c, "_NET_WM_STATE_ABOVE"), internAtom(c, "_NET_WM_STATE_STICKY"),
                                 internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, state, XCB_ATOM_ATOM, 32, 4, states);
    const uint32_t allDesktops = 0xFFFFFFFFu;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, internAtom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    xcb_flush(c);
}

void QuickPanelWindow::orderFrontRegardless() {
    if (!QQuickView::isVisible()) {
        // The window manager drops the EWMH states on unmap: set them on
        // each mapping.
        applyX11WindowState();
        show();
    }
    raise();
}

void QuickPanelWindow::makeKey() {
    requestActivate();
    m_hadKeyboard = isActive();
}

void QuickPanelWindow::orderOut() {
    hide();
    m_hadKeyboard = false;
}

void QuickPanelWindow::clearFocus() {
    if (contentItem()) contentItem()->forceActiveFocus(Qt::OtherFocusReason);
    if (rootObject()) rootObject()->forceActiveFocus(Qt::OtherFocusReason);
}

bool QuickPanelWindow::isVisible() const {
    return QQuickView::isVisible();
}

void QuickPanelWindow::onActiveChanged() {
    if (isActive()) {
        m_hadKeyboard = true;
        return;
    }
    if (!m_hadKeyboard || !QQuickView::isVisible()) return;
    m_hadKeyboard = false;
    // Another window took the keyboard: the user clicked outside the panel.
    const auto handlers = m_clickMonitors;
    for (const auto &handler : handlers)
        if (handler) handler();
}

quint64 QuickPanelWindow::addClickOutsideMonitor(std::function<void()> handler) {
    const quint64 token = m_nextToken++;
    m_clickMonitors.insert(token, std::move(handler));
    return token;
}

quint64 QuickPanelWindow::addLocalKeyMonitor(KeyEventMonitor::Handler handler) {
    const quint64 token = m_nextToken++;
    m_keyMonitors.insert(token, std::move(handler));
    return token;
}

void QuickPanelWindow::removeMonitor(quint64 token) {
    m_clickMonitors.remove(token);
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
    if (event->type() == QEvent::KeyPress && !m_keyMonitors.isEmpty() && qobject_cast<QWindow *>(watched)) {
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
    QQuickView::keyPressEvent(event);
    if (event->isAccepted()) return;
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
