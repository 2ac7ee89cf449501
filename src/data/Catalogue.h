#pragma once

// Every statement the program can send, for review: built by the very readers and writers that send
// them, each on a connection that lists them (Connexion::releverInstructions).

#include "data/Connexion.h"
#include "data/Dialectes.h"

#include <QStringList>
#include <vector>

namespace cc {

// Builds, and so prepares where the connection sends them, every statement of the readers and of the
// writer of FACTCLI on the connection: each walk, with and without repairs, and the grouped writes
// for groups of one and two rows (larger groups repeat the same row of markers). The two selections
// of a period are also executed.
void ConstruireInstructions(Connexion& connexion);

// The statements of a dialect, listed with no database.
QStringList InstructionsDuDialecte(Dialecte dialecte);

// The dialects whose statements are listed, and the name each is listed under.
struct DialecteListe {
    Dialecte dialecte;
    QString nom;
};
const std::vector<DialecteListe>& DialectesListes();

} // namespace cc
