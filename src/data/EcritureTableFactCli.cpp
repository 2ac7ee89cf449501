#include "data/EcritureTableFactCli.h"

#include "data/ColonnesFactCli.h"

namespace cc {

namespace {

// The condition that names the row: its locator and the pair it was selected with, or the pair alone.
QString conditionLigne(const Localisation& l) {
    const QString paire = ConditionPaire();
    return l.condition.isEmpty() ? paire : l.condition + QStringLiteral(" AND ") + paire;
}

// " RETURNING" the locator of the rows a write changed, where the database gives it back.
QString retour(const Localisation& l, bool possible) {
    return possible ? QStringLiteral(" RETURNING ") + l.expression : QString();
}

QString depuisFactCli() {
    return QStringLiteral(" FROM ") + TableFactCli + QStringLiteral(" WHERE ");
}

QVariantList avecLigne(QVariantList valeurs, bool parLocalisateur, const LigneTrouvee& ligne,
                       const QString& numero, const QString& dossier) {
    if (parLocalisateur)
        valeurs.append(ligne.localisateur);
    valeurs << numero << dossier;
    return valeurs;
}

QVariantList valeursEcrites(const ValeursFactCli& v) {
    QVariantList valeurs;
    AjouterValeursEcrites(valeurs, v);
    return valeurs;
}

} // namespace

EcritureTableFactCli::EcritureTableFactCli(Connexion& connexion)
    : EcritureTableFactCli(connexion, LocaliserLignes(connexion, TableFactCli, ClesFactCli())) {}

EcritureTableFactCli::EcritureTableFactCli(Connexion& connexion, const Localisation& l)
    : connexion_(connexion), conditionListe_(l.conditionListe), parLocalisateur_(!l.expression.isEmpty()),
      retour_(parLocalisateur_ && connexion.pieces().retourLigne),
      selection_(connexion, QStringLiteral("SELECT ") +
                                ListeColonnesFactCli(connexion, l, ColonnesFactCli::Toutes, false) +
                                depuisFactCli() + ConditionPaire()),
      selectionLigne_(connexion,
                      QStringLiteral("SELECT ") + ColonnesLigneA(l) + depuisFactCli() + conditionLigne(l)),
      ajout_(connexion, (connexion.pieces().ajoutSiAbsent ? AjoutFactCliSiAbsent() : AjoutFactCli(1)) +
                            retour(l, retour_)),
      reecriture_(connexion, QStringLiteral("UPDATE ") + TableFactCli + QStringLiteral(" SET ") +
                                 AffectationsEcrites() + QStringLiteral(" WHERE ") + conditionLigne(l) +
                                 retour(l, retour_)),
      reecritureMontant_(connexion, QStringLiteral("UPDATE ") + TableFactCli + QStringLiteral(" SET ") +
                                        NomColonne(ColonneFactCli::Montant) + QStringLiteral(" = ? WHERE ") +
                                        conditionLigne(l) + retour(l, retour_)),
      suppression_(connexion, QStringLiteral("DELETE FROM ") + TableFactCli + QStringLiteral(" WHERE ") +
                                  conditionLigne(l)) {
    const PiecesDialecte& pieces = connexion.pieces();
    groupable_ = parLocalisateur_ && !l.conditionListe.isEmpty() && !pieces.tableDeValeurs.isEmpty() &&
                 l.comparaisonSure;
    // A multi-row insert cannot check each pair as it inserts it.
    ajoutsGroupables_ = groupable_ && !pieces.ajoutSiAbsent;
    ajoutSiAbsent_ = pieces.ajoutSiAbsent;
    retourListe_ = retour(l, retour_);
    colonnesLecture_ = ListeColonnesFactCli(connexion, l, ColonnesFactCli::Toutes, true);
}

EcritureTableFactCli::Changement EcritureTableFactCli::changement(Requete& ecriture) {
    if (!retour_)
        return {ecriture.lignesTouchees(), {}};
    // The rows given back are the rows written.
    Changement c;
    while (ecriture.suivant()) {
        if (c.lignes++ == 0)
            c.localisateur = ecriture.valeur(0);
    }
    ecriture.terminer();
    return c;
}

std::optional<LigneTrouvee> EcritureTableFactCli::ligneA(const QVariant& localisateur, const QString& numero,
                                                         const QString& dossier) {
    if (!parLocalisateur_)
        return std::nullopt;
    selectionLigne_.executer({localisateur, numero, dossier});
    std::optional<LigneTrouvee> ligne;
    if (selectionLigne_.suivant())
        ligne = LireLigneFactCli(selectionLigne_, ColonnesFactCli::Toutes);
    selectionLigne_.terminer();
    return ligne;
}

std::vector<LigneTrouvee> EcritureTableFactCli::lignes(const QString& numero, const QString& dossier) {
    std::vector<LigneTrouvee> trouvees;
    selection_.executer({numero, dossier});
    while (selection_.suivant())
        trouvees.push_back(LireLigneFactCli(selection_, ColonnesFactCli::Toutes));
    selection_.terminer();
    return trouvees;
}

std::optional<LigneTrouvee> EcritureTableFactCli::premiereLigne(const QString& numero,
                                                                const QString& dossier) {
    std::vector<LigneTrouvee> trouvees = lignes(numero, dossier);
    if (trouvees.empty())
        return std::nullopt;
    return std::move(trouvees.front());
}

EcritureTableFactCli::Changement EcritureTableFactCli::ajouter(const ValeursFactCli& v) {
    QVariantList valeurs = valeursEcrites(v);
    if (ajoutSiAbsent_)
        valeurs << v.numero << v.dossier;
    ajout_.executer(valeurs);
    return changement(ajout_);
}

EcritureTableFactCli::Changement EcritureTableFactCli::reecrire(const LigneTrouvee& ligne,
                                                                const QString& numero, const QString& dossier,
                                                                const ValeursFactCli& v) {
    return reecrire(ligne, numero, dossier, valeursEcrites(v));
}

EcritureTableFactCli::Changement EcritureTableFactCli::reecrire(const LigneTrouvee& ligne,
                                                                const QString& numero, const QString& dossier,
                                                                const QVariantList& valeurs) {
    reecriture_.executer(avecLigne(valeurs, parLocalisateur_, ligne, numero, dossier));
    return changement(reecriture_);
}

EcritureTableFactCli::Changement EcritureTableFactCli::reecrireMontant(const LigneTrouvee& ligne,
                                                                       const QString& numero,
                                                                       const QString& dossier,
                                                                       const QVariant& montant) {
    reecritureMontant_.executer(avecLigne({montant}, parLocalisateur_, ligne, numero, dossier));
    return changement(reecritureMontant_);
}

int EcritureTableFactCli::supprimer(const LigneTrouvee& ligne, const QString& numero,
                                    const QString& dossier) {
    suppression_.executer(avecLigne({}, parLocalisateur_, ligne, numero, dossier));
    return suppression_.lignesTouchees();
}

} // namespace cc
