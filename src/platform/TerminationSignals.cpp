#include "platform/TerminationSignals.h"

#include "platform/ProgramEnd.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

// The self-pipe: the one piece of program-wide state a signal handler may reach.
int g_pipe[2] = {-1, -1};

void onSignal(int signo) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &b, 1);  // async-signal-safe
    errno = saved;
}

}  // namespace

void installTerminationSignals(ProgramEnd& end) {
    if (g_pipe[0] >= 0) return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;

    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [&end] {
        unsigned char b = 0;
        if (::read(g_pipe[0], &b, 1) == 1) end.endProgram(128 + b);
    });

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) sigaction(signo, &sa, nullptr);
}

}  // namespace platform
