#pragma once

#include "checks/ContexteControle.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <variant>

namespace cc {

// What the batch entry's arguments ask for.
struct ArgumentsLot {
    OptionsControle options;
    bool aide = false;
    bool version = false;
    bool statistiques = false; // one more line on standard error: counts, statements, rows, memory, time
    bool silencieux = false;   // only the errors and the report's path
    QString rapports;          // the folder of the report, when chosen
    QString annuler;           // a findings file whose writes are to be undone
};

struct ErreurUsage {
    QString message;
};

// Parses the arguments that follow the program's name. The last day defaults to today.
std::variant<ArgumentsLot, ErreurUsage> AnalyserArguments(const QStringList& arguments,
                                                          const QDate& aujourdhui);

// Whether the program is built for Windows, where --help speaks of Ctrl-C and not of signals.
#ifdef Q_OS_WIN
inline constexpr bool UsageWindows = true;
#else
inline constexpr bool UsageWindows = false;
#endif

// What --help prints; the manual page is made from it.
QString TexteUsage(bool windows = UsageWindows);

// Whether the arguments name one of the program's own options: then the run has no window. Anything
// else (Qt's own options such as -style) is left to the window.
bool EstAppelLot(const QStringList& arguments);

} // namespace cc
