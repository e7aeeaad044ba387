// What the end-to-end scripts do to a KWin session from outside, as its
// user would: keys and clicks through KWin's fake input, KWin's list of
// windows, the activation of one, and screenshots through ScreenShot2. KWin
// grants these to this program through its desktop entry, like Kelvo's.
//
//   kwin_session keys COMBINATION...    super+shift+v Right Return ctrl+s
//   kwin_session type TEXT
//   kwin_session click X Y [right]
//   kwin_session windows                one line per window: active pid x y width height title
//   kwin_session activate TITLE-PART    the newest window whose title holds it
//   kwin_session screenshot FILE        the whole workspace, as PNG
#include "platform/kwin/FakeInputKeyboard.h"
#include "platform/kwin/PlasmaWindows.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/KeyTranslation.h"

#include "fake-input-client.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QTextStream>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <fcntl.h>
#include <unistd.h>

using kelvo::kwin::FakeInputKeyboard;

namespace {

// The evdev code of the key carrying `keysym` on the US layout, and whether
// Shift types it.
std::optional<std::pair<quint32, bool>> keyFor(quint32 keysym)
{
    for (const kelvo::x11::KeyPosition &p : kelvo::x11::keyPositions())
        if (p.keysym == keysym || p.shiftedKeysym == keysym)
            return std::pair{quint32(p.x11KeyCode - 8), p.keysym != keysym};
    return std::nullopt;
}

constexpr quint32 kShift = 42;

bool keys(FakeInputKeyboard &keyboard, const QStringList &combinations)
{
    static const QHash<QString, quint32> modifiers{
        {QStringLiteral("super"), 125}, {QStringLiteral("shift"), kShift}, {QStringLiteral("ctrl"), 29}, {QStringLiteral("alt"), 56}};
    for (const QString &combination : combinations) {
        QStringList parts = combination.split(u'+');
        const xkb_keysym_t keysym = xkb_keysym_from_name(parts.takeLast().toUtf8().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
        const auto key = keyFor(keysym);
        if (!key)
            return false;
        QList<FakeInputKeyboard::KeyStroke> strokes;
        for (const QString &m : parts)
            strokes.append({modifiers.value(m.toLower()), true});
        strokes += {{key->first, true}, {key->first, false}};
        for (const QString &m : parts)
            strokes.append({modifiers.value(m.toLower()), false});
        keyboard.send(strokes);
    }
    return true;
}

bool type(FakeInputKeyboard &keyboard, const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        const auto key = keyFor(xkb_utf32_to_keysym(c));
        if (!key)
            return false;
        QList<FakeInputKeyboard::KeyStroke> strokes = {{key->first, true}, {key->first, false}};
        if (key->second)
            strokes = QList<FakeInputKeyboard::KeyStroke>{{kShift, true}} + strokes + QList<FakeInputKeyboard::KeyStroke>{{kShift, false}};
        keyboard.send(strokes);
    }
    return true;
}

bool click(double x, double y, bool right)
{
    kelvo::wayland::WaylandConnection wayland({});
    auto *input = reinterpret_cast<org_kde_kwin_fake_input *>(wayland.bind(&org_kde_kwin_fake_input_interface, 4));
    if (!input)
        return false;
    const uint32_t button = right ? 0x111 : 0x110; // BTN_RIGHT, BTN_LEFT
    org_kde_kwin_fake_input_authenticate(input, "kwin_session", "end-to-end test");
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(x), wl_fixed_from_double(y));
    org_kde_kwin_fake_input_button(input, button, WL_POINTER_BUTTON_STATE_PRESSED);
    org_kde_kwin_fake_input_button(input, button, WL_POINTER_BUTTON_STATE_RELEASED);
    wayland.roundtrip();
    wl_proxy_destroy(reinterpret_cast<wl_proxy *>(input));
    return wayland.isValid();
}

bool screenshot(const QString &file)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    QDBusMessage reply;
    {
        // The message holds a copy of the pipe's writing end: it goes before
        // the reading, which ends when KWin closes its own.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
            QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("CaptureWorkspace"));
        call << QVariantMap() << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        close(fds[1]);
        reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        QTextStream(stderr) << reply.errorMessage() << Qt::endl;
        close(fds[0]);
        return false;
    }
    const QVariantMap info = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    QFile in;
    in.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray data = in.readAll(); // KWin closes its end when written
    const int width = info.value(QStringLiteral("width")).toInt(), height = info.value(QStringLiteral("height")).toInt();
    const int stride = info.value(QStringLiteral("stride")).toInt();
    if (width <= 0 || data.size() < qsizetype(stride) * height) {
        QTextStream(stderr) << "screenshot: " << data.size() << " bytes for " << width << "x" << height << Qt::endl;
        return false;
    }
    const QImage image(reinterpret_cast<const uchar *>(data.constData()), width, height, stride,
                       QImage::Format(info.value(QStringLiteral("format")).toInt()));
    return image.save(file, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    QTextStream out(stdout);
    if (command == QLatin1String("keys") || command == QLatin1String("type")) {
        FakeInputKeyboard keyboard;
        if (!keyboard.isValid())
            return 2;
        const bool done = command == QLatin1String("keys") ? keys(keyboard, args) : type(keyboard, args.join(u' '));
        keyboard.waitUntilHandled();
        return done ? 0 : 1;
    }
    if (command == QLatin1String("click") && (args.size() == 2 || args.value(2) == QLatin1String("right")))
        return click(args.at(0).toDouble(), args.at(1).toDouble(), args.size() == 3) ? 0 : 1;
    if (command == QLatin1String("windows") || command == QLatin1String("activate")) {
        kelvo::kwin::PlasmaWindows windows;
        if (!windows.isValid())
            return 2;
        std::optional<kelvo::kwin::PlasmaWindow> chosen;
        for (const kelvo::kwin::PlasmaWindow &w : windows.windows()) {
            if (command == QLatin1String("windows"))
                out << (w.active ? 1 : 0) << ' ' << w.pid << ' ' << w.geometry.x() << ' ' << w.geometry.y() << ' '
                    << w.geometry.width() << ' ' << w.geometry.height() << ' ' << w.title << '\n';
            else if (w.title.contains(args.value(0)) && (!chosen || w.id > chosen->id))
                chosen = w;
        }
        if (command == QLatin1String("activate")) {
            if (!chosen)
                return 1;
            // Until KWin reports it active: a request of a client that goes
            // at once may never be handled.
            windows.activate(chosen->id);
            QDeadlineTimer deadline(5000);
            while (windows.active().value_or(kelvo::kwin::PlasmaWindow{}).id != chosen->id) {
                if (deadline.hasExpired())
                    return 1;
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
        }
        return 0;
    }
    if (command == QLatin1String("screenshot") && args.size() == 1)
        return screenshot(args.at(0)) ? 0 : 1;
    QTextStream(stderr) << "usage: kwin_session keys|type|click|windows|activate|screenshot ..." << Qt::endl;
    return 2;
}
