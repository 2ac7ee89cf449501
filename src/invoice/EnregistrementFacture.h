#pragma once

#include <QString>
#include <algorithm>
#include <array>

namespace cc {

// Columns of the invoice lines table.
enum Colonne : int {
    NumeroLigne = 0,
    Zone03 = 1,
    Zone08 = 2,
    Reference = 3,
    Designation = 4,
    Zone71 = 5,
    Zone79 = 6,
    MontantLigne = 7,
    Zone100 = 8,
    Zone104 = 9,
    Zone112 = 10,
    Zone103 = 11,
    NumeroDevis = 12,
    NumeroDossier = 13,
    Zone141 = 14,
    TauxRemise = 15,
    MontantRemise = 16,
    CodeRemise = 17,
};
inline constexpr int NombreColonnes = 18;
inline constexpr int NombreRangees = 201; // rows 0 to 200; line j of an invoice lies in row 2*j

// The invoice last read: its lines as text cells and three header values. Written only by the reader.
struct EnregistrementFacture {
    using Rangee = std::array<QString, NombreColonnes>;
    std::array<Rangee, NombreRangees> LignesFacture;
    QString TypePiece;      // "A" for a credit note, otherwise "F"
    QString JourFacture;    // the invoice's day, as text
    QString DossierFacture; // the invoice's own dossier; emptied when a line names another one

    // Rows from this one on are known empty: clearing the record does not walk them (an invoice has a
    // handful of lines, the table two hundred rows). Whoever writes a row raises it.
    int rangeesTouchees = NombreRangees;

    const QString& cellule(int rangee, Colonne colonne) const { return LignesFacture[rangee][colonne]; }
    QString& cellule(int rangee, Colonne colonne) {
        toucher(rangee);
        return LignesFacture[rangee][colonne];
    }
    void toucher(int rangee) { rangeesTouchees = std::max(rangeesTouchees, rangee + 1); }
    // Empties every cell; the header values are kept.
    void viderLignes() {
        for (int r = 0; r < rangeesTouchees; ++r)
            for (auto& c : LignesFacture[r])
                if (!c.isEmpty())
                    c.clear();
        rangeesTouchees = 0;
    }
};

} // namespace cc
