#pragma once

#include <QtGlobal>
#include <csignal>

namespace cc {

// SIGINT and SIGTERM stop the batch run after its current record while this object lives; a second
// one ends the program at once, as it would have without it. One lives at a time.
class ArretParSignal {
public:
    ArretParSignal();
    ~ArretParSignal();
    ArretParSignal(const ArretParSignal&) = delete;
    ArretParSignal& operator=(const ArretParSignal&) = delete;

    // The signal that asked the run to stop, 0 while none has come.
    int signalRecu() const;

private:
#ifdef Q_OS_WIN
    void (*ancienInt_)(int) = nullptr;
    void (*ancienTerm_)(int) = nullptr;
#else
    struct sigaction ancienInt_ {};
    struct sigaction ancienTerm_ {};
#endif
};

// The exit status of a run stopped by a signal, as a shell reports a program the signal ended.
int SortieSignal(int numero);

} // namespace cc
