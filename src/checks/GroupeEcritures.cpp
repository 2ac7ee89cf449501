#include "checks/GroupeEcritures.h"

namespace cc {

namespace {

// A group is committed after this many milliseconds, whatever it holds.
constexpr qint64 DureeGroupeMs = 1000;

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
        // The failure rolled the whole group back.
        vider(false);
        std::rethrow_exception(echec);
    }
    try {
        connexion_.validerTransaction();
    } catch (const Erreur&) {
        connexion_.annulerTransaction();
        vider(false);
        throw;
    }
    vider(true);
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

void GroupeEcritures::vider(bool valide) {
    auto attente = std::exchange(enAttente_, {});
    for (auto& [ligne, genre, enSuspens] : attente) {
        if (enSuspens)
            ligne.action = action::EcritureRefusee();
        else if (genre && valide)
            validee_(*genre);
        else if (genre)
            ligne.action = action::EcritureRefusee();
        if (constats_)
            constats_->ecrire(ligne);
    }
}

} // namespace cc
