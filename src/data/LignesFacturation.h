#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>

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

// A FACTCLI row of an invoice and a dossier, as the database compares them: what finds it again (its
// locator, Null where the table has none) and the values the program writes, as stored. A lookup that
// only compares amounts reads the dossier and the amount alone.
struct LigneTrouvee {
    QVariant localisateur = {};
    QString numero = {}; // NUM_FACTURE, through TexteChamp like the others
    QString dossier = {};
    QString jour = {};
    QString devis = {};
    QString dateMaj = {};
    QVariant montant = {};
    // NUM_DOSSIER as stored, every blank kept, where it is stored as text (or Null), so that the
    // database compares it as a text; none otherwise.
    std::optional<QString> dossierStocke = {};
    QVariant age = {}; // how long ago its present version was written, where the database says (else Null)
    // Where every column was read: the values of the columns the program writes, in their order, exactly
    // as the driver returned them (Null and the empty text apart, every blank kept).
    QVariantList brutes = {};
};

// The values of a FACTCLI row that the program writes.
struct ValeursFactCli {
    QString dossier = {};
    QString numero = {};
    QString jour = {};
    QString devis = {};
    QString dateMaj = {};
    QVariant montant = {}; // a double, or Null (only where an undo puts back a Null amount)
};

} // namespace cc
