#include "invoice/LecteurFacture.h"

#include "commun/TexteChamp.h"

#include <QSet>

namespace cc {

namespace {

const QString ColonnesEntete = QStringLiteral("JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps");
const QString ColonnesRemise =
    QStringLiteral("TAUX_REMISE, MONTANT_REMISE, CODE_REMISE, DESIGNATION_COMPLEMENT, "
                   "REFERENCE_MATIERE_COMPLEMENT");

// A Null discount value reads as empty (an amount of 0) rather than leave the line half read. The
// values keep their trailing blanks, unlike the FACTURES fields.
DonneesRemise lireRemise(const Requete& r) {
    return {TexteValeur(r.valeur(QStringLiteral("TAUX_REMISE"))),
            TexteValeur(r.valeur(QStringLiteral("MONTANT_REMISE"))),
            TexteValeur(r.valeur(QStringLiteral("CODE_REMISE"))),
            TexteValeur(r.valeur(QStringLiteral("DESIGNATION_COMPLEMENT"))),
            TexteValeur(r.valeur(QStringLiteral("REFERENCE_MATIERE_COMPLEMENT")))};
}

} // namespace

QVariantList ValeursDuLot(const QStringList& cles) {
    QVariantList valeurs;
    valeurs.reserve(TailleLot);
    for (const QString& c : cles)
        valeurs.append(c);
    while (valeurs.size() < TailleLot)
        valeurs.append(QVariant(QMetaType::fromType<QString>()));
    return valeurs;
}

QString MessageFactureAncienne() {
    return QStringLiteral("Cette facture provient de votre ancienne version de Vendrax pour DOS.\n\n"
                          "Elle ne peut être relue dans Vendrax pour Windows.\n\n"
                          "Cependant, elle sera prise en compte dans les diverses éditions\n"
                          "et statistiques de chiffre d'affaires.");
}

LecteurFacture::LecteurFacture(Connexion& connexion, Interlocuteur& interlocuteur, Parcours parcours,
                               bool avecRemises)
    : interlocuteur_(&interlocuteur), parcours_(parcours), avecRemises_(avecRemises),
      facture_(connexion, QStringLiteral("SELECT ") + ColonnesEntete +
                              QStringLiteral(" FROM FACTURES WHERE NUMERO_DE_FACTURE = ?")) {
    const QString liste = connexion.listeDeValeurs(TailleLot);
    if (parcours_ == Parcours::ParLots && liste.isEmpty())
        parcours_ = Parcours::ParFacture;
    if (parcours_ == Parcours::Reference) {
        if (avecRemises_)
            ligne_.emplace(connexion, QStringLiteral("SELECT ") + ColonnesRemise +
                                          QStringLiteral(" FROM FACTURES_LIGNE WHERE NUMERO_DE_FACTURE = ? "
                                                         "AND NUMERO_DE_LIGNE = ?"));
        return;
    }
    if (avecRemises_)
        lignes_.emplace(connexion, QStringLiteral("SELECT NUMERO_DE_LIGNE, ") + ColonnesRemise +
                                       QStringLiteral(" FROM FACTURES_LIGNE WHERE NUMERO_DE_FACTURE = ?"));
    if (parcours_ == Parcours::ParFacture)
        return;
    lotFactures_.emplace(connexion, QStringLiteral("SELECT v.n AS CC_NUMERO, ") + ColonnesEntete +
                                        QStringLiteral(" FROM ") + liste +
                                        QStringLiteral(" JOIN FACTURES ON NUMERO_DE_FACTURE = v.n") +
                                        connexion.ordrePhysique(QStringLiteral("FACTURES")));
    if (avecRemises_) {
        lotLignes_.emplace(connexion, QStringLiteral("SELECT v.n AS CC_NUMERO, NUMERO_DE_LIGNE, ") +
                                          ColonnesRemise + QStringLiteral(" FROM ") + liste +
                                          QStringLiteral(" JOIN FACTURES_LIGNE ON NUMERO_DE_FACTURE = v.n") +
                                          connexion.ordrePhysique(QStringLiteral("FACTURES_LIGNE")));
    }
}

void LecteurFacture::prevoir(const std::vector<QString>& numeros) {
    entetesLot_.clear();
    remisesLot_.clear();
    if (parcours_ != Parcours::ParLots)
        return;
    // Each number once, as the reader asks for it; the database tells which rows answer which.
    QStringList cles;
    QSet<QString> vues;
    for (const QString& n : numeros) {
        const QString cle = SupprimerBlancs(n);
        if (vues.contains(cle))
            continue;
        vues.insert(cle);
        cles.append(cle);
        if (cles.size() == TailleLot)
            break;
    }
    if (cles.isEmpty())
        return;
    const QVariantList valeurs = ValeursDuLot(cles);

    for (const QString& c : cles)
        entetesLot_.insert(c, std::nullopt);
    lotFactures_->executer(valeurs);
    while (lotFactures_->suivant()) {
        auto& entete = entetesLot_[lotFactures_->valeur(0).toString()];
        if (entete)
            continue; // only the first row of a number counts
        entete = Entete{lotFactures_->texte(QStringLiteral("JOUR")),
                        lotFactures_->texte(QStringLiteral("NUMERO_DE_DOSSIER")),
                        lotFactures_->texte(QStringLiteral("type_piece")),
                        lotFactures_->texte(QStringLiteral("flag_divers")),
                        lotFactures_->texte(QStringLiteral("Corps"))};
    }
    lotFactures_->terminer();

    if (!avecRemises_)
        return;
    for (const QString& c : cles)
        remisesLot_.insert(c, {});
    lotLignes_->executer(valeurs);
    while (lotLignes_->suivant()) {
        const QVariant ligne = lotLignes_->valeur(1);
        remisesLot_[lotLignes_->valeur(0).toString()].push_back(
            {ligne.isNull() ? -1 : ligne.toInt(), lireRemise(*lotLignes_)});
    }
    lotLignes_->terminer();
}

std::optional<LecteurFacture::Entete> LecteurFacture::lireEntete(const QString& cle) {
    if (const auto it = entetesLot_.constFind(cle); it != entetesLot_.cend())
        return *it;
    // The whole row is read before any other statement runs: an ODBC connection holds one result
    // set at a time.
    facture_.executer({cle});
    if (!facture_.suivant()) {
        facture_.terminer();
        return std::nullopt;
    }
    Entete e{facture_.texte(QStringLiteral("JOUR")), facture_.texte(QStringLiteral("NUMERO_DE_DOSSIER")),
             facture_.texte(QStringLiteral("type_piece")), facture_.texte(QStringLiteral("flag_divers")),
             facture_.texte(QStringLiteral("Corps"))};
    facture_.terminer();
    return e;
}

const std::vector<LecteurFacture::Remise>& LecteurFacture::remisesDeLaFacture(const QString& cle) {
    if (const auto it = remisesLot_.constFind(cle); it != remisesLot_.cend())
        return *it;
    remises_.clear();
    lignes_->executer({cle});
    while (lignes_->suivant()) {
        const QVariant ligne = lignes_->valeur(0);
        remises_.push_back({ligne.isNull() ? -1 : ligne.toInt(), lireRemise(*lignes_)});
    }
    lignes_->terminer();
    return remises_;
}

std::optional<DonneesRemise> LecteurFacture::remiseReference(const QString& cle, int rangee) {
    ligne_->executer({cle, rangee});
    if (!ligne_->suivant()) {
        ligne_->terminer();
        return std::nullopt;
    }
    DonneesRemise r = lireRemise(*ligne_);
    ligne_->terminer();
    return r;
}

int LecteurFacture::LireFacture(const QString& numero, EnregistrementFacture& facture) {
    facture.viderLignes();
    const QString cle = SupprimerBlancs(numero);

    const std::optional<Entete> entete = lireEntete(cle);
    if (!entete)
        return FactureAbsente;
    facture.JourFacture = entete->jour;
    facture.DossierFacture = entete->dossier;
    facture.TypePiece = entete->type == u"A" ? QStringLiteral("A") : QStringLiteral("F");

    if (entete->flag == u"7") {
        interlocuteur_->message(MessageFactureAncienne(), TitreLectureFacture(), Icone::Critique);
        return FactureAncienne;
    }

    ChercherRemise chercher;
    if (!avecRemises_) {
        chercher = [](int) -> std::optional<DonneesRemise> { return std::nullopt; };
    } else if (parcours_ == Parcours::Reference) {
        chercher = [this, &cle](int rangee) { return remiseReference(cle, rangee); };
    } else {
        // The line's row is asked for by its row number (twice the line number); the first row
        // returned for it wins.
        const std::vector<Remise>& remises = remisesDeLaFacture(cle);
        chercher = [&remises](int rangee) -> std::optional<DonneesRemise> {
            for (const Remise& r : remises)
                if (r.rangee == rangee)
                    return r.donnees;
            return std::nullopt;
        };
    }
    try {
        RemplirLignes(entete->corps, facture, chercher);
    } catch (const Erreur& e) {
        // Name the invoice, so that the user can find the one that stopped the run.
        throw Erreur(e.numero(), e.description() + QStringLiteral(" (facture ") + cle + QStringLiteral(")"),
                     e.source());
    }
    return FactureLue;
}

} // namespace cc
