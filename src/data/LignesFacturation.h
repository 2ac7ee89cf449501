#pragma once

#include <QString>
#include <QVariant>

namespace cc {

// The rows of the invoice tables as the program reads them, free of any database.

// The FACTURES row of an invoice, each field through TexteChamp.
struct EnteteFacture {
    QString jour;
    QString dossier;
    QString type;
    QString divers; // flag_divers: "7" marks an invoice of the old DOS version
    QString corps;
};

// The discount data and complements of one line, as text.
struct DonneesRemise {
    QString taux;
    QString montant;
    QString code;
    QString designation; // appended to the line's designation
    QString reference;   // appended to the line's reference
};

// A FACTURES_LIGNE row: the row of the record it belongs to (NUMERO_DE_LIGNE, -1 when Null) and its data.
struct RemiseLigne {
    int rangee;
    DonneesRemise donnees;
};

// One FACTCLI row of an invoice, as the lookup reads it.
struct LigneFactCli {
    QString dossier; // NUM_DOSSIER through TexteChamp
    QVariant montant;
};

} // namespace cc
