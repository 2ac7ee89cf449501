#include "app/ArretParSignal.h"

#include "commun/CodesSortie.h"

#include <atomic>

namespace cc {

namespace {

// The signal that asked the run to stop, 0 while none has come. A signal handler can reach nothing
// else: this is the one state of the program that is not passed explicitly.
std::atomic<int> dernierSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void noterSignal(int numero) {
    dernierSignal.store(numero);
}

} // namespace

#ifdef Q_OS_WIN
// Windows has no sigaction; its C runtime resets a handler once it has run, as SA_RESETHAND does.
ArretParSignal::ArretParSignal() {
    dernierSignal.store(0);
    ancienInt_ = std::signal(SIGINT, noterSignal);
    ancienTerm_ = std::signal(SIGTERM, noterSignal);
}

ArretParSignal::~ArretParSignal() {
    std::signal(SIGINT, ancienInt_);
    std::signal(SIGTERM, ancienTerm_);
}
#else
ArretParSignal::ArretParSignal() {
    dernierSignal.store(0);
    struct sigaction action {};
    action.sa_handler = noterSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &ancienInt_);
    sigaction(SIGTERM, &action, &ancienTerm_);
}

ArretParSignal::~ArretParSignal() {
    sigaction(SIGINT, &ancienInt_, nullptr);
    sigaction(SIGTERM, &ancienTerm_, nullptr);
}
#endif

int ArretParSignal::signalRecu() const {
    return dernierSignal.load();
}

int SortieSignal(int numero) {
    return numero == SIGTERM ? SortieTerminaison : SortieInterruption;
}

} // namespace cc
