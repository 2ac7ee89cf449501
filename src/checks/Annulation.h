#pragma once

#include "checks/ContexteControle.h"

#include <QString>

namespace cc {

// What an undo did, for the batch summary.
struct CompteursAnnulation {
    qint64 ecritures = 0;     // write rows of the findings file
    qint64 annulees = 0;      // writes reversed (committed)
    qint64 dejaRetablies = 0; // rows already as they were before the run
    qint64 laissees = 0;      // rows changed since the run, left as they are
    // Whether the undo left some row as it was.
    bool incomplete() const { return laissees > 0; }
};

// Reverses the writes that a findings file records, the last first: deletes each row the run added and
// puts back each amount (or row) it rewrote, value for value, only where the row still holds exactly
// what the run wrote; every row it cannot reverse is reported (a line in the report, a row in the
// findings file) and left as it is. The whole file is checked first (base: the identity of the database
// opened, which a file of today's layout must name); a file refused is refused whole, nothing written.
// Writes of a group the database rolled back, or never committed, are nothing to undo. Writes are
// grouped in transactions like a repair's: an undo that is killed is finished by the next one. Throws
// Erreur when the file is refused or the database fails, ArretControle on a stop request.
void AnnulerEcritures(const ContexteControle& contexte, const QString& fichierConstats, const QString& base,
                      CompteursAnnulation& compteurs);

} // namespace cc
