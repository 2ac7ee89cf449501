#include "app/MemoireProcessus.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <QByteArray>
#include <QFile>
#include <sys/resource.h>
#endif

namespace cc {

#ifdef Q_OS_WIN
long MemoireMaximaleKo() {
    PROCESS_MEMORY_COUNTERS compteurs{};
    compteurs.cb = sizeof compteurs;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &compteurs, sizeof compteurs))
        return -1;
    return long(compteurs.PeakWorkingSetSize / 1024);
}
#else
long MemoireMaximaleKo() {
    // getrusage() would also count what the parent held when it started the program (the maximum
    // survives the exec), as much as a few hundred MB for a benchmark.
    QFile etat(QStringLiteral("/proc/self/status"));
    if (etat.open(QIODevice::ReadOnly)) {
        for (const QByteArray& ligne : etat.readAll().split('\n')) {
            if (!ligne.startsWith("VmHWM:"))
                continue;
            bool ok = false;
            const long ko = ligne.mid(6).trimmed().split(' ').value(0).toLong(&ok);
            if (ok)
                return ko;
        }
    }
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    return usage.ru_maxrss;
}
#endif

} // namespace cc
