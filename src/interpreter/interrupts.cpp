#include "interpreter/interrupts.h"

#include "interpreter/temp_files.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace xcpycmd {

void handleInterrupts() {
    sigset_t taken;
    sigemptyset(&taken);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction inherited {};
        if (::sigaction(sig, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaddset(&taken, sig);
    }
    ::signal(SIGPIPE, SIG_IGN);
    // Every thread started from here on inherits the mask; only the waiting thread takes them.
    ::pthread_sigmask(SIG_BLOCK, &taken, nullptr);
    std::thread([taken] {
        int sig = 0;
        while (::sigwait(&taken, &sig) != 0) {
        }
        endAsSignal(sig);
    }).detach();
}

void endAsSignal(int sig) {
    // Removing a temporary on a destination that stopped answering may never return: the end
    // waits for it only briefly, and a leftover is swept by the next run.
    struct Cleanup {
        std::mutex mutex;
        std::condition_variable doneChanged;
        bool done = false;
    };
    static Cleanup cleanup;
    std::thread([] {
        TempRegistry::instance().removeAllForExit();
        const std::lock_guard lock(cleanup.mutex);
        cleanup.done = true;
        cleanup.doneChanged.notify_all();
    }).detach();
    {
        std::unique_lock lock(cleanup.mutex);
        cleanup.doneChanged.wait_for(lock, std::chrono::milliseconds(1500),
                                     [] { return cleanup.done; });
    }
    static const char note[] = "\n中断しました。\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, note, sizeof note - 1);
    ::signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
}

} // namespace xcpycmd
