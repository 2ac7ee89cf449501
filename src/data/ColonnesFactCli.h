#pragma once

// FACTCLI's columns, declared once, and the pieces of every statement on FACTCLI built from that
// declaration: the readers and the writer of the table never spell a column or count them.

#include "data/Connexion.h"
#include "data/LignesFacturation.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <array>

namespace cc {

inline const QString TableFactCli = QStringLiteral("FACTCLI");

// The columns of FACTCLI that the program writes, in the order its writes bind them.
enum class ColonneFactCli { NumDossier, NumFacture, Jour, NumDevis, DateMaj, Montant };
inline constexpr int NombreColonnesEcrites = int(ColonneFactCli::Montant) + 1;
inline const std::array<QString, NombreColonnesEcrites> NomsColonnesFactCli{
    QStringLiteral("NUM_DOSSIER"), QStringLiteral("NUM_FACTURE"), QStringLiteral("JOUR"),
    QStringLiteral("NUM_DEVIS"),   QStringLiteral("DATE_MAJ"),    QStringLiteral("Montant")};

inline const QString& NomColonne(ColonneFactCli colonne) {
    return NomsColonnesFactCli[std::size_t(colonne)];
}

// The key columns, invoice number first.
inline QStringList ClesFactCli() {
    return {NomColonne(ColonneFactCli::NumFacture), NomColonne(ColonneFactCli::NumDossier)};
}

// The values written, appended in the order of the columns.
void AjouterValeursEcrites(QVariantList& valeurs, const ValeursFactCli& v);
// "INSERT INTO FACTCLI (NUM_DOSSIER, NUM_FACTURE, …) VALUES (?, ?, …),…": the given number of rows
// added, their values bound as AjouterValeursEcrites gives them.
QString AjoutFactCli(std::size_t lignes);
// One row added only where the pair is still absent when the statement runs: the values bound as
// AjouterValeursEcrites gives them, then the pair (invoice number, dossier).
QString AjoutFactCliSiAbsent();
// Each column written set from a bound value, in their order: "NUM_DOSSIER = ?, NUM_FACTURE = ?, …".
QString AffectationsEcrites();
// The columns written as a selection names them: the pair as the table's key reads it, the invoice
// number first, then the others in their order.
QString ColonnesSelectionnees();
// "NUM_FACTURE = ? AND NUM_DOSSIER = ?": the condition that names the rows of a pair.
QString ConditionPaire();

// Which columns of FACTCLI a statement selects: the dossier and the amount (a lookup); with the row's
// locator and whether its dossier is stored as text (a lookup that decides repairs); or every column
// the program writes besides (a write's own selection).
enum class ColonnesFactCli { Montant, Reparation, Toutes };

inline ColonnesFactCli ColonnesLues(bool reparation) {
    return reparation ? ColonnesFactCli::Reparation : ColonnesFactCli::Montant;
}

// The columns of FACTCLI selected, the locator Null where the table has none. jointure: FACTCLI is
// joined with a list of values, where the locator names its table (none where rows are not written in
// groups) and the age is of no use.
QString ListeColonnesFactCli(const Connexion& connexion, const Localisation& localisation,
                             ColonnesFactCli colonnes, bool jointure);
// The columns selected, the locator of the row first, where a write reads back the row it names.
QString ColonnesLigneA(const Localisation& localisation);
// A row selected with those columns.
LigneTrouvee LireLigneFactCli(const Requete& requete, ColonnesFactCli colonnes);

// The names under which the program selects what is no column of FACTCLI.
inline const QString ChampLocalisateur = QStringLiteral("CC_LIGNE");
inline const QString ChampTexte = QStringLiteral("CC_TEXTE");
inline const QString ChampAge = QStringLiteral("CC_AGE");

} // namespace cc
