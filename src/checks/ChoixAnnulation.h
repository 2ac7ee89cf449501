#pragma once

#include "data/LignesFacturation.h"

#include <QVariantList>
#include <optional>
#include <vector>

namespace cc {

// The kind of write that a row of the findings file records, and that the undo reverses.
enum class GenreEcritureAnnulee { LigneAjoutee, LigneReecrite, MontantReecrit };

// A write of a run, as the choice of the row to reverse needs it.
struct EcritureAAnnuler {
    GenreEcritureAnnulee genre = GenreEcritureAnnulee::LigneAjoutee;
    // What the row holds while the run's write stands, and what it held before. For an amount rewritten
    // alone: the two amounts, and on both sides the row's other values as they stood (day, estimate,
    // DATE_MAJ), which tell it from a duplicate of the pair.
    ValeursFactCli ecrite = {};
    ValeursFactCli avant = {};
    // The row before, value for value as the driver gave it (every column written, in their order),
    // where the file keeps it; empty otherwise.
    QVariantList avantExact = {};
    // The row is looked for at the locator the write gave back.
    bool parLocalisateur = false;
};

// What the undo does with one write.
struct ChoixAnnulation {
    // Indiscernable: several rows hold what the run wrote and none can be proved to be the one written.
    enum class Issue { Annuler, DejaRetablie, ModifieeDepuis, Indiscernable };
    Issue issue = Issue::ModifieeDepuis;
    LigneTrouvee ligne = {}; // the row to reverse (Annuler)
};

// Chooses the row whose write is reversed, from the rows of the pair in the order the database gives
// them and, when looked for by its locator, the row now at that locator (none when it is gone). A row
// is reversed only while it holds exactly what the run wrote. Found by its locator, it is that row, or
// when the locator names it no more, the one row of the pair that holds what was written (several:
// none is touched). Without locators, among several, the one whose present version is the newest, where
// the database tells. Otherwise the write is already undone when the row is as it was before (or, for
// a row added, gone), else the row changed since and is left.
ChoixAnnulation ChoisirAnnulation(const EcritureAAnnuler& ecriture, const std::vector<LigneTrouvee>& rangees,
                                  const std::optional<LigneTrouvee>& aLaLigne);

} // namespace cc
