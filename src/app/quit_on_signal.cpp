#include "app/quit_on_signal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace qrt::app {

namespace {

// A signal handler can reach nothing but a file-scope descriptor: it writes one byte,
// the event loop reads it.
int signalSockets[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    (void)!::write(signalSockets[1], &byte, 1);
}

}  // namespace

void closeOnTerminationSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        return;  // the default handling (end at once) stays
    }
    auto* notifier = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        char byte = 0;
        (void)!::read(signalSockets[0], &byte, 1);
        notifier->setEnabled(false);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace qrt::app
