#include "platform/unix/SignalBridge.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kelvo {

namespace {
int g_pipe[2] = {-1, -1};

extern "C" void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    ssize_t n = ::write(g_pipe[1], &byte, 1);
    (void)n; // a full pipe already holds a pending wake-up
    errno = saved;
}
} // namespace

SignalBridge::SignalBridge(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent), signals_(signalNumbers)
{
    Q_ASSERT(g_pipe[0] < 0);
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalBridge::drain);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : signals_)
        ::sigaction(s, &action, nullptr);
}

SignalBridge::~SignalBridge()
{
    for (int s : signals_)
        ::signal(s, SIG_DFL);
    if (g_pipe[0] >= 0) {
        delete notifier_;
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
}

void SignalBridge::drain()
{
    unsigned char bytes[64];
    ssize_t n;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(int(bytes[i]));
    }
}

} // namespace kelvo
