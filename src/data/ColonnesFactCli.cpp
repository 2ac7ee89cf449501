#include "data/ColonnesFactCli.h"

#include "commun/TexteChamp.h"

namespace cc {

namespace {

QVariant valeurEcrite(const ValeursFactCli& v, ColonneFactCli colonne) {
    switch (colonne) {
    case ColonneFactCli::NumDossier:
        return v.dossier;
    case ColonneFactCli::NumFacture:
        return v.numero;
    case ColonneFactCli::Jour:
        return v.jour;
    case ColonneFactCli::NumDevis:
        return v.devis;
    case ColonneFactCli::DateMaj:
        return v.dateMaj;
    case ColonneFactCli::Montant:
        break;
    }
    return v.montant;
}

// Each column written, in their order, as the pattern (%1 standing for its name) writes it.
QString chaqueColonne(const QString& modele) {
    QString texte;
    for (const QString& nom : NomsColonnesFactCli)
        texte += (texte.isEmpty() ? QString() : QStringLiteral(", ")) + modele.arg(nom);
    return texte;
}

QString ouNull(const QString& expression) {
    return expression.isEmpty() ? QStringLiteral("NULL") : expression;
}

QString alias(const QString& expression, const QString& champ) {
    return expression + QStringLiteral(" AS ") + champ;
}

} // namespace

void AjouterValeursEcrites(QVariantList& valeurs, const ValeursFactCli& v) {
    for (int c = 0; c < NombreColonnesEcrites; ++c)
        valeurs.append(valeurEcrite(v, ColonneFactCli(c)));
}

QString AjoutFactCli(std::size_t lignes) {
    return QStringLiteral("INSERT INTO ") + TableFactCli + QStringLiteral(" (") +
           chaqueColonne(QStringLiteral("%1")) + QStringLiteral(") VALUES ") +
           LignesDeMarques(lignes, NombreColonnesEcrites);
}

QString AjoutFactCliSiAbsent() {
    return QStringLiteral("INSERT INTO ") + TableFactCli + QStringLiteral(" (") +
           chaqueColonne(QStringLiteral("%1")) + QStringLiteral(") SELECT ") +
           LignesDeMarques(1, NombreColonnesEcrites).mid(1).chopped(1) +
           QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM ") + TableFactCli + QStringLiteral(" WHERE ") +
           ConditionPaire() + u')';
}

QString AffectationsEcrites() {
    return chaqueColonne(QStringLiteral("%1 = ?"));
}

QString ColonnesSelectionnees() {
    QString texte = NomColonne(ColonneFactCli::NumFacture) + QStringLiteral(", ") +
                    NomColonne(ColonneFactCli::NumDossier);
    for (int c = 0; c < NombreColonnesEcrites; ++c)
        if (ColonneFactCli(c) != ColonneFactCli::NumFacture &&
            ColonneFactCli(c) != ColonneFactCli::NumDossier)
            texte += QStringLiteral(", ") + NomColonne(ColonneFactCli(c));
    return texte;
}

QString ConditionPaire() {
    return NomColonne(ColonneFactCli::NumFacture) + QStringLiteral(" = ? AND ") +
           NomColonne(ColonneFactCli::NumDossier) + QStringLiteral(" = ?");
}

QString ListeColonnesFactCli(const Connexion& connexion, const Localisation& l, ColonnesFactCli colonnes,
                             bool jointure) {
    const QString dossierEtMontant =
        NomColonne(ColonneFactCli::NumDossier) + QStringLiteral(", ") + NomColonne(ColonneFactCli::Montant);
    if (colonnes == ColonnesFactCli::Montant)
        return dossierEtMontant;
    const QString& texte = connexion.pieces().valeurTexte;
    const QString estTexte = texte.isEmpty() ? QStringLiteral("0")
                                             : QStringLiteral("CASE WHEN %1 THEN 1 ELSE 0 END")
                                                   .arg(texte.arg(NomColonne(ColonneFactCli::NumDossier)));
    const QString sql = alias(ouNull(jointure ? l.expressionJointe : l.expression), ChampLocalisateur) +
                        QStringLiteral(", ") + alias(estTexte, ChampTexte) + QStringLiteral(", ");
    if (colonnes == ColonnesFactCli::Reparation)
        return sql + dossierEtMontant;
    const QString age = jointure ? QString() : connexion.pieces().ageLigne;
    return sql + ColonnesSelectionnees() + QStringLiteral(", ") + alias(ouNull(age), ChampAge);
}

QString ColonnesLigneA(const Localisation& l) {
    return alias(ouNull(l.expression), ChampLocalisateur) + QStringLiteral(", ") + ColonnesSelectionnees() +
           QStringLiteral(", ") + alias(QStringLiteral("NULL"), ChampAge) + QStringLiteral(", ") +
           alias(QStringLiteral("0"), ChampTexte);
}

LigneTrouvee LireLigneFactCli(const Requete& r, ColonnesFactCli colonnes) {
    LigneTrouvee l{.dossier = r.texte(NomColonne(ColonneFactCli::NumDossier)),
                   .montant = r.valeur(NomColonne(ColonneFactCli::Montant))};
    if (colonnes == ColonnesFactCli::Montant)
        return l;
    l.localisateur = r.valeur(ChampLocalisateur);
    if (r.valeur(ChampTexte).toInt() == 1)
        l.dossierStocke = TexteValeur(r.valeur(NomColonne(ColonneFactCli::NumDossier)));
    if (colonnes == ColonnesFactCli::Reparation)
        return l;
    l.numero = r.texte(NomColonne(ColonneFactCli::NumFacture));
    l.jour = r.texte(NomColonne(ColonneFactCli::Jour));
    l.devis = r.texte(NomColonne(ColonneFactCli::NumDevis));
    l.dateMaj = r.texte(NomColonne(ColonneFactCli::DateMaj));
    l.age = r.valeur(ChampAge);
    for (const QString& nom : NomsColonnesFactCli)
        l.brutes.append(r.valeur(nom));
    return l;
}

} // namespace cc
