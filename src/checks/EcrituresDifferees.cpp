#include "checks/EcrituresDifferees.h"

#include "checks/EcritureFactCli.h"
#include "commun/Erreur.h"
#include "commun/FormeLarge.h"

namespace cc {

namespace {

// Two pairs that FormeLarge cannot tell apart.
QString clePaire(const QString& numero, const QString& dossier) {
    return FormeLarge(numero) + u'\x1f' + FormeLarge(dossier);
}

} // namespace

EcrituresDifferees::EcrituresDifferees(GroupeEcritures& groupe, LectureFactCli& recherche,
                                       EcrireSeule ecrireSeule)
    : groupe_(groupe), recherche_(recherche), ecrireSeule_(std::move(ecrireSeule)) {}

void EcrituresDifferees::activer(EcritureTableFactCli& table) {
    table_ = &table;
    groupe_.definirAvantValidation([this] { vider(); });
}

void EcrituresDifferees::nouvelleFacture(const ListeTextes& numeros, std::size_t i) {
    if (!differees_.empty() && !numeros.estNul(i) && numerosDifferes_.contains(FormeLarge(numeros.texte(i))))
        vider();
    uneParUne_ = false;
}

bool EcrituresDifferees::peutDifferer(const QString& numero, const QString& dossier) const {
    return actives() && !uneParUne_ && !pairesDifferees_.contains(clePaire(numero, dossier));
}

// The write with its finding as it stood before the write, which the write alone fills again.
EcritureDifferee EcrituresDifferees::avantEcriture(EcritureDifferee d) {
    d.ligne.action = action::Aucune();
    d.ligne.ancienJour.clear();
    d.ligne.ancienDevis.clear();
    d.ligne.ancienneDateMaj.clear();
    return d;
}

std::vector<EcritureDifferee>& EcrituresDifferees::journal() {
    if (groupeJournal_ != groupe_.numero()) {
        journal_.clear();
        groupeJournal_ = groupe_.numero();
    }
    return journal_;
}

void EcrituresDifferees::differer(EcritureGroupee ecriture, LigneConstat ligne) {
    const QString numero = ligne.facture;
    numerosDifferes_.insert(FormeLarge(numero));
    pairesDifferees_.insert(clePaire(numero, ligne.dossier));
    const std::size_t place = groupe_.reserver(ligne);
    differees_.push_back({std::move(ecriture), numero, place, std::move(ligne)});
}

void EcrituresDifferees::ecrireSeule(EcritureGroupee ecriture, const QString& numero, LigneConstat ligne) {
    // What is kept for later is carried out first, in order; the rows of the lot then no longer tell
    // what this invoice's other writes would find.
    vider();
    uneParUne_ = actives();
    // The write lock is taken before the write's own selection, so that what it finds still holds
    // when it writes.
    groupe_.avantEcriture();
    EcritureDifferee d{std::move(ecriture), numero, std::nullopt, std::move(ligne)};
    if (actives())
        d.place = groupe_.reserver(d.ligne);
    if (faire(d) && actives())
        journal().push_back(std::move(d));
}

std::optional<EcrituresDifferees::Genre> EcrituresDifferees::faire(const EcritureDifferee& d) {
    LigneConstat ligne = d.ligne;
    std::optional<Genre> genre;
    try {
        genre = ecrireSeule_(d, ligne);
    } catch (const Erreur&) {
        placer(d.place, std::move(ligne), std::nullopt);
        throw;
    }
    placer(d.place, std::move(ligne), genre);
    return genre;
}

void EcrituresDifferees::placer(std::optional<std::size_t> place, LigneConstat ligne,
                                std::optional<Genre> genre) {
    if (place)
        groupe_.resoudre(*place, std::move(ligne), genre);
    else if (genre)
        groupe_.ecriture(std::move(ligne), *genre);
    else
        groupe_.constat(std::move(ligne));
}

void EcrituresDifferees::vider() {
    if (differees_.empty())
        return;
    std::vector<EcritureDifferee> attente = std::exchange(differees_, {});
    numerosDifferes_.clear();
    pairesDifferees_.clear();
    std::vector<EcritureGroupee> ecritures;
    ecritures.reserve(attente.size());
    for (const EcritureDifferee& d : attente)
        ecritures.push_back(d.ecriture);
    std::vector<EcritureDifferee>& fait = journal();
    const auto changements = table_->ecrireGroupe(ecritures);
    if (!changements) {
        refaireUneParUne(std::move(attente));
        return;
    }
    for (std::size_t i = 0; i < attente.size(); ++i) {
        EcritureDifferee& d = attente[i];
        recherche_.ecriture(d.numero);
        const EcritureTableFactCli::Changement& c = (*changements)[i];
        LigneConstat ligne = d.ligne;
        ligne.ligne = c.localisateur.toString();
        if (d.ecriture.ajout)
            ligne.ecrit = RangeeEcrite(d.ecriture.valeurs);
        if (c.avant) {
            ligne.avant = RangeeLue(*c.avant);
            ligne.ecrit = AvecMontant(*ligne.avant, d.ecriture.valeurs.montant);
            // The row's other values tell it from a duplicate of the pair, for the undo.
            ligne.montantFactCli = c.avant->montant;
            ligne.ancienJour = c.avant->jour;
            ligne.ancienDevis = c.avant->devis;
            ligne.ancienneDateMaj = c.avant->dateMaj;
        }
        groupe_.resoudre(*d.place, std::move(ligne), d.ecriture.ajout ? Genre::Ajout : Genre::Reecriture);
        fait.push_back(avantEcriture(std::move(d)));
    }
}

void EcrituresDifferees::refaireUneParUne(std::vector<EcritureDifferee> attente) {
    // The group was not carried out as asked and the transaction was rolled back: every write of the
    // group is made again, alone, in order, as it would have been without grouping.
    std::vector<EcritureDifferee> refaire = std::exchange(journal(), {});
    for (EcritureDifferee& d : attente)
        refaire.push_back(avantEcriture(std::move(d)));
    relireLot_ = true;
    for (EcritureDifferee& d : refaire)
        if (faire(d))
            journal().push_back(std::move(d));
}

} // namespace cc
