#pragma once

#include "data/AccesBase.h"
#include "commun/Interlocuteur.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LignesCorps.h"

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace cc {

// Results of LireFacture. Callers treat any result above FactureAbsente as a read invoice.
inline constexpr int FactureAbsente = 0;
inline constexpr int FactureLue = 1;
inline constexpr int FactureAncienne = 7;

// The text shown for an invoice of the old DOS version (line feeds alone, as the host writes it).
QString MessageFactureAncienne();
inline QString TitreLectureFacture() {
    return QStringLiteral("Lecture d'une facture");
}

// How the rows of the records are fetched. The reference walk asks for one invoice at a time and
// for each line's discount data apart; the walk by invoice asks once per table for each invoice;
// the walk by lots asks once per table for the rows of a few hundred upcoming records (where the
// database takes no list of values, it walks by invoice). All give the same records.
enum class Parcours { Reference, ParFacture, ParLots };

// How many records a lot holds.
inline constexpr int TailleLot = 256;

// The numbers of a lot, bound in order and padded with Nulls (which match no row) so that one
// prepared statement serves every lot.
QVariantList ValeursDuLot(const QStringList& cles);

// Reads one invoice, header and lines, into the invoice record. Its statements are prepared once.
class LecteurFacture {
public:
    // avecRemises: whether the discount data of the lines is wanted (a check that only looks at the
    // lines' dossiers does without it; the discount cells then read as for a line without any).
    LecteurFacture(Connexion& connexion, Interlocuteur& interlocuteur, Parcours parcours = Parcours::ParLots,
                   bool avecRemises = true);

    // The numbers of the invoices that will be read next, as the callers hold them: their rows are
    // fetched now, a statement per table for the whole lot. Ignored on the reference walk and where
    // the database takes no list of values.
    void prevoir(const std::vector<QString>& numeros);

    // Clears the lines of the record, then reads the invoice of that number (spaces around it
    // ignored). FactureAbsente: no such invoice, the header values are those of the previous one.
    // FactureAncienne: the user was told, the header values are set and the lines are empty.
    // FactureLue: the invoice is in the record. Throws Erreur on a database failure.
    int LireFacture(const QString& numero, EnregistrementFacture& facture);

private:
    struct Entete {
        QString jour;
        QString dossier;
        QString type;
        QString flag;
        QString corps;
    };
    struct Remise {
        int rangee;
        DonneesRemise donnees;
    };

    std::optional<Entete> lireEntete(const QString& cle);
    const std::vector<Remise>& remisesDeLaFacture(const QString& cle);
    std::optional<DonneesRemise> remiseReference(const QString& cle, int rangee);

    Interlocuteur* interlocuteur_;
    Parcours parcours_;
    bool avecRemises_;
    Requete facture_;
    std::optional<Requete> ligne_;                     // one line's discount data (reference walk)
    std::optional<Requete> lignes_;                    // all the discount data of one invoice
    std::optional<Requete> lotFactures_;               // the FACTURES rows of a lot
    std::optional<Requete> lotLignes_;                 // the FACTURES_LIGNE rows of a lot
    QHash<QString, std::optional<Entete>> entetesLot_; // every number asked in the lot; none when no row
    QHash<QString, std::vector<Remise>> remisesLot_;
    std::vector<Remise> remises_;
};

} // namespace cc
