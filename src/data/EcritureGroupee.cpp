#include "data/EcritureTableFactCli.h"

#include "commun/TexteChamp.h"
#include "data/ColonnesFactCli.h"

#include <QHash>
#include <QStringList>
#include <algorithm>

namespace cc {

namespace {

// Rows of a group written by one statement: few enough for any database's limit on bound values.
constexpr std::size_t LignesParInstruction = 100;

// The list of locators that the rows rewritten are read back with: its one column, and the name under
// which each row read gives its locator back.
const QString ColonneLocalisateur = QStringLiteral("l");
const QString ChampCle = QStringLiteral("CC_CLE");
// The list of values an update of amounts is joined with: the locator, the pair, the amount.
const QString ColonneNumero = QStringLiteral("f");
const QString ColonneDossier = QStringLiteral("d");
const QString ColonneMontant = QStringLiteral("m");
const QStringList ColonnesReecriture{ColonneLocalisateur, ColonneNumero, ColonneDossier, ColonneMontant};

} // namespace

Requete& EcritureTableFactCli::instruction(Groupe genre, std::size_t nombre) {
    std::unique_ptr<Requete>& requete = groupes_[{genre, nombre}];
    if (requete)
        return *requete;
    const PiecesDialecte& pieces = connexion_.pieces();
    const QString& numero = NomColonne(ColonneFactCli::NumFacture);
    const QString& dossier = NomColonne(ColonneFactCli::NumDossier);
    const QString table = TableFactCli + u'.';
    QString sql;
    switch (genre) {
    case Groupe::Ajout:
        // The pair comes back beside each locator, so that each row given back names its write.
        sql = AjoutFactCli(nombre) +
              (retour_ ? retourListe_ + QStringLiteral(", ") + numero + QStringLiteral(", ") + dossier
                       : QString());
        break;
    case Groupe::Lecture:
        sql = QStringLiteral("SELECT v.") + ColonneLocalisateur + QStringLiteral(" AS ") + ChampCle +
              QStringLiteral(", ") + colonnesLecture_ + QStringLiteral(" FROM ") +
              TableDeValeurs(pieces, nombre, {ColonneLocalisateur}) + QStringLiteral(" JOIN ") +
              TableFactCli + QStringLiteral(" ON ") + conditionListe_;
        break;
    case Groupe::Reecriture: {
        const QString montant = QStringLiteral("v.") + ColonneMontant;
        sql = QStringLiteral("UPDATE ") + TableFactCli + QStringLiteral(" SET ") +
              NomColonne(ColonneFactCli::Montant) + QStringLiteral(" = ") +
              (pieces.valeurReelle.isEmpty() ? montant : pieces.valeurReelle.arg(montant)) +
              QStringLiteral(" FROM ") + TableDeValeurs(pieces, nombre, ColonnesReecriture) +
              QStringLiteral(" WHERE ") + conditionListe_ + QStringLiteral(" AND ") + table + numero +
              QStringLiteral(" = v.") + ColonneNumero + QStringLiteral(" AND ") + table + dossier +
              QStringLiteral(" = v.") + ColonneDossier;
        break;
    }
    }
    requete = std::make_unique<Requete>(connexion_, sql);
    return *requete;
}

bool EcritureTableFactCli::ajouterGroupe(const EcritureGroupee* debut, std::size_t nombre,
                                         Changement* changements) {
    Requete& requete = instruction(Groupe::Ajout, nombre);
    QVariantList valeurs;
    valeurs.reserve(qsizetype(nombre) * NombreColonnesEcrites);
    for (std::size_t i = 0; i < nombre; ++i)
        AjouterValeursEcrites(valeurs, debut[i].valeurs);
    requete.executer(valeurs);
    if (!retour_) {
        for (std::size_t i = 0; i < nombre; ++i)
            changements[i] = {1, {}};
        return requete.lignesTouchees() == int(nombre);
    }
    // The rows given back may come in any order: each is matched with the write of its pair, the
    // pairs of a group being apart.
    std::vector<bool> rendues(nombre, false);
    std::size_t nombreRendues = 0;
    bool reconnues = true;
    while (requete.suivant()) {
        ++nombreRendues;
        const QString numero = TexteChamp(requete.valeur(1));
        const QString dossier = TexteChamp(requete.valeur(2));
        std::size_t i = 0;
        while (i < nombre &&
               (rendues[i] || debut[i].valeurs.numero != numero || debut[i].valeurs.dossier != dossier))
            ++i;
        if (i == nombre) {
            reconnues = false;
            continue;
        }
        rendues[i] = true;
        changements[i] = {1, requete.valeur(0)};
    }
    requete.terminer();
    return reconnues && nombreRendues == nombre;
}

bool EcritureTableFactCli::reecrireGroupe(const EcritureGroupee* debut, std::size_t nombre,
                                          Changement* changements) {
    // The rows as they stand, read with the write lock held: what the findings keep of them for the undo.
    QVariantList localisateurs;
    localisateurs.reserve(qsizetype(nombre));
    for (std::size_t i = 0; i < nombre; ++i)
        localisateurs << debut[i].ligne.localisateur;
    Requete& lecture = instruction(Groupe::Lecture, nombre);
    lecture.executer(localisateurs);
    QHash<QString, LigneTrouvee> avant;
    while (lecture.suivant())
        avant.insert(TexteValeur(lecture.valeur(ChampCle)),
                     LireLigneFactCli(lecture, ColonnesFactCli::Toutes));
    lecture.terminer();

    Requete& requete = instruction(Groupe::Reecriture, nombre);
    QVariantList valeurs;
    valeurs.reserve(qsizetype(nombre * ColonnesReecriture.size()));
    for (std::size_t i = 0; i < nombre; ++i) {
        const EcritureGroupee& d = debut[i];
        const auto trouvee = avant.constFind(TexteValeur(d.ligne.localisateur));
        if (trouvee == avant.cend())
            return false; // gone since the lot was read
        valeurs << d.ligne.localisateur << d.numero << d.dossier << d.valeurs.montant;
        // The locator of a row stays what it was where the database gives it back after a write.
        changements[i] = {1, retour_ ? d.ligne.localisateur : QVariant(), *trouvee};
    }
    requete.executer(valeurs);
    return requete.lignesTouchees() == int(nombre);
}

std::optional<std::vector<EcritureTableFactCli::Changement>>
EcritureTableFactCli::ecrireGroupe(const std::vector<EcritureGroupee>& ecritures) {
    std::vector<Changement> changements(ecritures.size());
    if (ecritures.empty())
        return changements;
    // Each kind is written in order, in statements of a bounded number of rows.
    std::vector<EcritureGroupee> genres[2];
    std::vector<std::size_t> places[2];
    for (std::size_t i = 0; i < ecritures.size(); ++i) {
        const int g = ecritures[i].ajout ? 0 : 1;
        genres[g].push_back(ecritures[i]);
        places[g].push_back(i);
    }
    bool exactes = true;
    std::vector<Changement> faits[2];
    try {
        for (int g = 0; g < 2 && exactes; ++g) {
            faits[g].resize(genres[g].size());
            for (std::size_t i = 0; i < genres[g].size() && exactes; i += LignesParInstruction) {
                const std::size_t n = std::min(LignesParInstruction, genres[g].size() - i);
                exactes = g == 0 ? ajouterGroupe(&genres[g][i], n, &faits[g][i])
                                 : reecrireGroupe(&genres[g][i], n, &faits[g][i]);
            }
        }
    } catch (const Erreur&) {
        // Refused as a group: the writes one by one will tell which one, and why.
        exactes = false;
    }
    if (!exactes) {
        // What the group did cannot be told apart from the rest: the whole transaction goes. (A point
        // to roll back to would not do: an ODBC driver may release it with its own.)
        connexion_.annulerTransaction();
        connexion_.commencerTransaction();
        return std::nullopt;
    }
    for (int g = 0; g < 2; ++g)
        for (std::size_t i = 0; i < faits[g].size(); ++i)
            changements[places[g][i]] = faits[g][i];
    return changements;
}

} // namespace cc
