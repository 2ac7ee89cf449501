#pragma once

// Reading FACTURES and FACTURES_LIGNE: the invoices of a period, and the header and lines of each.

#include "data/Connexion.h"
#include "data/LignesFacturation.h"
#include "data/Parcours.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

namespace cc {

inline const QString TableFactures = QStringLiteral("FACTURES");
inline const QString TableLignesFactures = QStringLiteral("FACTURES_LIGNE");

// The invoice numbers of a period (FACTURES), every blank kept, in the order the database returns
// them; a Null number comes as a Null.
void ListerFacturesPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                           const std::function<void(const QVariant& numero)>& recevoir);

// Reads FACTURES and FACTURES_LIGNE for the invoice reader. Its statements are prepared once.
class LectureFactures {
public:
    // avecRemises: whether the discount data of the lines is wanted at all.
    LectureFactures(Connexion& connexion, Parcours parcours, bool avecRemises);

    // The walk it follows: by lots falls back to by invoice where the database takes no list.
    Parcours parcours() const { return parcours_; }

    // Fetches the rows of these numbers (trimmed, each once) now, one statement per table. Ignored
    // unless walking by lots.
    void prevoir(const QStringList& cles);
    // The first FACTURES row of the number; nothing when there is none.
    std::optional<EnteteFacture> entete(const QString& cle);
    // Every FACTURES_LIGNE row of the number, in the order the database returns them.
    const std::vector<RemiseLigne>& remises(const QString& cle);
    // The first FACTURES_LIGNE row of the number and row (reference walk).
    std::optional<DonneesRemise> remiseDeLaRangee(const QString& cle, int rangee);

private:
    Parcours parcours_;
    bool avecRemises_;
    Requete facture_;
    std::optional<Requete> ligne_;                            // one line's discount data (reference walk)
    std::optional<Requete> lignes_;                           // all the discount data of one invoice
    std::optional<Requete> lotFactures_;                      // the FACTURES rows of a lot
    std::optional<Requete> lotLignes_;                        // the FACTURES_LIGNE rows of a lot
    QHash<QString, std::optional<EnteteFacture>> entetesLot_; // every number asked; none when no row
    QHash<QString, std::vector<RemiseLigne>> remisesLot_;
    std::vector<RemiseLigne> remises_;
};

} // namespace cc
