#include "app/outside_close.h"

#include "app/frmXCopy.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace xcpy {
namespace {

constexpr std::array kCloseSignals = {SIGTERM, SIGHUP, SIGINT};

// The pipe from the signal handler to the event loop; a handler may do no more than write.
int signalPipe[2] = {-1, -1};
std::array<struct sigaction, kCloseSignals.size()> previousActions;

extern "C" void onCloseSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

OutsideCloseRequests::OutsideCloseRequests(frmXCopy& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPipe) != 0)
        qFatal("cannot make the pipe for termination signals: %s", std::strerror(errno));
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        // One close request per wake-up: signals that came together are one request.
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        window.outsideCloseRequest();
    });

    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i)
        ::sigaction(kCloseSignals[i], &action, &previousActions[i]);

    // The end of the session asks like any other close, when the session lets the program ask;
    // a close that the user calls off calls off the end of the session.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [&window](QSessionManager& manager) {
        if (!manager.allowsInteraction())
            return;
        const bool closed = window.close();
        manager.release();
        if (!closed)
            manager.cancel();
    });
}

OutsideCloseRequests::~OutsideCloseRequests() {
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i)
        ::sigaction(kCloseSignals[i], &previousActions[i], nullptr);
    delete notifier_;
    notifier_ = nullptr;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

} // namespace xcpy
