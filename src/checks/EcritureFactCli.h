#pragma once

#include "commun/Erreur.h"
#include "commun/Horloge.h"
#include "data/EcritureTableFactCli.h"
#include "invoice/EnregistrementFacture.h"
#include "report/ValeursExactes.h"

#include <QElapsedTimer>
#include <QString>
#include <optional>

namespace cc {

// The amount that the invoice in the record bills to a dossier (already trimmed). An invoice with
// its own dossier bills all its rows to any dossier asked; otherwise each run of rows naming the
// dossier counts, a run going on over empty cells and ending at any other cell, blank ones included.
// A credit note ("A") counts minus the line amounts, any other invoice the line amounts less their
// discounts; a row of 0.001 or less in magnitude counts nothing. Reads the record only.
double MontantDossier(const EnregistrementFacture& facture, const QString& dossier);

// What EnregistrerFactCli did.
struct ResultatEcriture {
    bool ecrite = false;                  // the database changed a row
    std::optional<LigneTrouvee> ancienne; // the row of the pair rewritten, as it stood; none for an insert
    ValeursFactCli valeurs;               // what was written
    QVariant localisateur;                // the row written, where the database gives it back
    bool apparue = false;                 // not added: another writer added the pair since it was looked up
};

// Adds or rewrites the FACTCLI row of an invoice and a dossier. Its statements are prepared once.
class EcritureFactCli {
public:
    EcritureFactCli(Connexion& connexion, Horloge horloge);

    // Nothing for an empty dossier. Otherwise adds the row of the pair when FACTCLI has none, or
    // rewrites the first row returned for it, and only that one, leaving its other columns as they
    // are. The invoice number is written trimmed, the amount is MontantDossier. A rewrite that changes
    // no row (the row changed meanwhile) looks the row up again and tries once more; then it is an
    // error. An insert that changes no row (a trigger of the database refused it) is not written.
    // Throws Erreur.
    ResultatEcriture EnregistrerFactCli(const EnregistrementFacture& facture, const QString& dossier,
                                        const QString& devis, const QString& numeroFacture);
    // The row EnregistrerFactCli writes, stamped now.
    ValeursFactCli Valeurs(const EnregistrementFacture& facture, const QString& dossier, const QString& devis,
                           const QString& numeroFacture) const;
    // Writes these values as EnregistrerFactCli does; numeroFacture names the invoice in an error.
    ResultatEcriture Enregistrer(const ValeursFactCli& valeurs, const QString& numeroFacture);

    // The statements on FACTCLI, shared with the amount rewrite of the check.
    EcritureTableFactCli& table() { return table_; }

private:
    QString horodatage() const;
    Horloge horloge_;
    EcritureTableFactCli table_;
    // The stamp of the minute, and how long it holds.
    mutable QString horodatage_;
    mutable QElapsedTimer depuisHorodatage_;
    mutable qint64 validiteMs_ = 0;
};

// A FACTCLI row as the findings file records it exactly: the values a write binds; the values of a
// row read whole (empty when it was read without them); the same with another amount.
RangeeExacte RangeeEcrite(const ValeursFactCli& valeurs);
RangeeExacte RangeeLue(const LigneTrouvee& ligne);
RangeeExacte AvecMontant(RangeeExacte rangee, const QVariant& montant);

// The failure of a rewrite whose row changed under it twice.
Erreur ErreurLigneChangee(const QString& numero, const QString& dossier);

} // namespace cc
