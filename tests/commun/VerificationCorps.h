#pragma once

// Checks the record that RemplirLignes leaves against a model of the Corps layout written apart from
// it. Shared by the bounded random test and the fuzz target.

#include "data/LignesFacturation.h"

#include <QString>
#include <optional>

namespace cc::test {

// Discount data made up from the row number: some rows have none.
std::optional<DonneesRemise> remiseFactice(int rangee);

// Empty when the record is what the layout says; otherwise what is wrong. lignesLues receives the lines
// read, -1 when an amount too large stopped the reading.
QString verifierCorps(const QString& corps, const QString& dossierEntete, int* lignesLues = nullptr);

// The number reading and the whole-number pattern on any text: no failure but an overflow, and the
// pattern either leaves the text alone or gives digits.
QString verifierNombre(const QString& texte);

} // namespace cc::test
