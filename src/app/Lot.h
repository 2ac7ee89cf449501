#pragma once

#include "commun/CodesSortie.h"
#include "commun/Horloge.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace cc {

// One check without any window: the same start-up, run, report and report name as the window.
// SIGINT and SIGTERM stop it after the current record. erreursSurTerminal: standard error is a
// terminal, which then shows a progress line. Returns the exit status.
int ExecuterLot(const QStringList& arguments, const QString& repertoireProgramme, const Horloge& horloge,
                QTextStream& sortie, QTextStream& erreurs, bool erreursSurTerminal = false);

} // namespace cc
