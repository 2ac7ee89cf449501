#include "checks/GroupeEcritures.h"

#include <csignal>
#include <cstdlib>

namespace cc {

namespace {

// A group is committed after this many milliseconds, whatever it holds.
constexpr qint64 DureeGroupeMs = 1000;

// For the fault tests alone: CC_ARRET_APRES_VALIDATION=n kills the process just after its n-th commit,
// before anything else is written, as a crash at the worst moment would.
void ArretPourEssai() {
    static const int apres = qEnvironmentVariableIntValue("CC_ARRET_APRES_VALIDATION");
    static int validations = 0;
    if (apres > 0 && ++validations == apres) {
#ifdef Q_OS_UNIX
        std::raise(SIGKILL);
#endif
        std::_Exit(137);
    }
}

} // namespace

GroupeEcritures::GroupeEcritures(Connexion& connexion, FichierConstats* constats, Validee validee,
                                 int facturesParGroupe)
    : connexion_(connexion), constats_(constats), validee_(std::move(validee)),
      facturesParGroupe_(facturesParGroupe) {}

void GroupeEcritures::avantEcriture() {
    if (connexion_.enTransaction())
        return;
    connexion_.commencerTransaction();
    ++numero_;
    factures_ = 0;
    depuis_.start();
}

void GroupeEcritures::constat(LigneConstat ligne) {
    if (enAttente_.empty()) {
        if (constats_)
            constats_->ecrire(ligne);
        return;
    }
    enAttente_.push_back({std::move(ligne), std::nullopt});
}

void GroupeEcritures::ecriture(LigneConstat ligne, Genre genre) {
    enAttente_.push_back({std::move(ligne), genre});
}

std::size_t GroupeEcritures::reserver(LigneConstat ligne) {
    enAttente_.push_back({std::move(ligne), std::nullopt, true});
    return enAttente_.size() - 1;
}

void GroupeEcritures::resoudre(std::size_t place, LigneConstat ligne, std::optional<Genre> genre) {
    enAttente_[place] = {std::move(ligne), genre};
}

void GroupeEcritures::compterFacture() {
    if (connexion_.enTransaction())
        ++factures_;
}

bool GroupeEcritures::echu() const {
    return connexion_.enTransaction() &&
           (factures_ >= facturesParGroupe_ || depuis_.elapsed() >= DureeGroupeMs);
}

void GroupeEcritures::finFacture() {
    compterFacture();
    if (echu())
        valider();
}

void GroupeEcritures::terminer() {
    valider();
}

void GroupeEcritures::valider() {
    // The writes kept for later are carried out first; when one fails, those before it are committed
    // all the same, as they would have been one by one, and its failure is the run's.
    std::exception_ptr echec;
    if (avantValidation_) {
        try {
            avantValidation_();
        } catch (...) {
            echec = std::current_exception();
        }
    }
    if (echec && !connexion_.enTransaction()) {
        // The failure rolled the whole group back: nothing of it reached the database.
        conclure(false);
        std::rethrow_exception(echec);
    }
    journaliser();
    const bool ouverte = connexion_.enTransaction();
    try {
        connexion_.validerTransaction();
    } catch (const Erreur&) {
        connexion_.annulerTransaction();
        conclure(false);
        throw;
    }
    if (ouverte)
        ArretPourEssai();
    conclure(true);
    if (echec)
        std::rethrow_exception(echec);
}

void GroupeEcritures::abandonner() noexcept {
    try {
        valider();
    } catch (...) {
        // The group is rolled back and shown refused; the run's own error is the one to tell.
    }
}

std::vector<LigneConstat> GroupeEcritures::lignesDuGroupe() {
    std::vector<LigneConstat> lignes;
    lignes.reserve(enAttente_.size());
    for (auto& [ligne, genre, enSuspens] : enAttente_) {
        if (enSuspens)
            ligne.action = action::EcritureRefusee();
        if (genre || enSuspens || ligne.action == action::EcritureRefusee())
            ligne.groupe = numero_;
        lignes.push_back(ligne);
    }
    return lignes;
}

void GroupeEcritures::journaliser() {
    if (!constats_ || enAttente_.empty())
        return;
    try {
        constats_->ecrireSurDisque(lignesDuGroupe());
    } catch (const Erreur&) {
        connexion_.annulerTransaction();
        enAttente_.clear();
        throw;
    }
    journalise_ = true;
}

void GroupeEcritures::conclure(bool valide) {
    auto attente = std::exchange(enAttente_, {});
    const bool journalise = std::exchange(journalise_, false);
    if (attente.empty())
        return;
    bool ecritures = false;
    std::vector<LigneConstat> suite;
    for (auto& [ligne, genre, enSuspens] : attente) {
        if (!genre && !enSuspens && ligne.action != action::EcritureRefusee()) {
            if (!journalise)
                suite.push_back(std::move(ligne));
            continue;
        }
        ecritures = true;
        if (genre && valide) {
            validee_(*genre);
            continue;
        }
        if (!journalise || genre) {
            // The write never reached the database, or the commit took it away.
            ligne.action = action::EcritureRefusee();
            ligne.groupe = numero_;
            suite.push_back(std::move(ligne));
        }
    }
    if (ecritures)
        suite.push_back({.constat = constat::Validation(),
                         .action = valide ? action::GroupeValide() : action::GroupeAnnule(),
                         .groupe = numero_});
    if (constats_)
        for (const LigneConstat& ligne : suite)
            constats_->ecrire(ligne);
}

} // namespace cc
