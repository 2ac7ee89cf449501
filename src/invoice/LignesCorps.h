#pragma once

#include "data/LignesFacturation.h"
#include "invoice/EnregistrementFacture.h"

#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

namespace cc {

// Length of one invoice line in the Corps text.
inline constexpr int LongueurTranche = 150;
// Line numbers run from 01 to 99.
inline constexpr int LignesMax = 99;
// Shown as the estimate number of a line that has none.
inline QString DevisAbsent() {
    return QStringLiteral("********");
}

// Looks up the discount data of the line stored in the given row (2 x line number); nothing when the
// line has none.
using ChercherRemise = std::function<std::optional<DonneesRemise>(int rangee)>;

// Fills the line rows of the record from the Corps text: line j goes to row 2*j, a line is taken only
// when its number comes up in ascending order, a single missing line between two lines of the same
// estimate and dossier gets their estimate and dossier, and DossierFacture is emptied when a line
// names another dossier. The rows are expected empty. Reads nothing outside the text, whatever its
// length or content. Returns the number of lines read.
int RemplirLignes(QStringView corps, EnregistrementFacture& facture, const ChercherRemise& chercher);

} // namespace cc
