#pragma once

#include "commun/Horloge.h"
#include "data/TablesFacturation.h"
#include "invoice/EnregistrementFacture.h"

#include <QString>

namespace cc {

// The amount that the invoice in the record bills to a dossier (already trimmed). An invoice with
// its own dossier bills all its rows to any dossier asked; otherwise each run of rows naming the
// dossier counts, a run going on over empty cells and ending at any other cell, blank ones included.
// A credit note ("A") counts minus the line amounts, any other invoice the line amounts less their
// discounts; a row of 0.001 or less in magnitude counts nothing. Reads the record only.
double MontantDossier(const EnregistrementFacture& facture, const QString& dossier);

// Adds or rewrites the FACTCLI row of an invoice and a dossier. Its statements are prepared once.
class EcritureFactCli {
public:
    EcritureFactCli(Connexion& connexion, Horloge horloge);

    // Nothing for an empty dossier. Otherwise adds the row of the pair when FACTCLI has none, or
    // rewrites the first row returned for it, and only that one, leaving its other columns as they
    // are. The invoice number is written trimmed, the amount is MontantDossier. Throws Erreur.
    void EnregistrerFactCli(const EnregistrementFacture& facture, const QString& dossier,
                            const QString& devis, const QString& numeroFacture);

    // The statements on FACTCLI, shared with the amount rewrite of the check.
    EcritureTableFactCli& table() { return table_; }

private:
    Horloge horloge_;
    EcritureTableFactCli table_;
};

} // namespace cc
