#include "checks/ChoixAnnulation.h"

#include "commun/Horloge.h"

#include <QDateTime>
#include <algorithm>

namespace cc {

namespace {

// Two DATE_MAJ values as the same minute, whatever form the database gives them back in.
bool memeDateMaj(const QString& stockee, const QString& ecrite) {
    if (stockee == ecrite)
        return true;
    const QDateTime e = QDateTime::fromString(ecrite, FormatDateMaj);
    for (const QString& format : {QStringLiteral("yyyy-MM-dd hh:mm:ss"), QStringLiteral("yyyy-MM-dd hh:mm")})
        if (const QDateTime s = QDateTime::fromString(stockee, format); s.isValid())
            return s == e;
    return false;
}

bool memeMontant(const QVariant& stocke, const QVariant& attendu) {
    if (attendu.isNull() || stocke.isNull())
        return attendu.isNull() && stocke.isNull();
    return stocke.toDouble() == attendu.toDouble();
}

// Whether the row holds these values: every value the program writes, or for an amount rewritten
// alone, the amount and the row's other values exactly as they were stored.
bool tient(const LigneTrouvee& l, const ValeursFactCli& v, bool montantSeul) {
    if (montantSeul)
        return memeMontant(l.montant, v.montant) && l.jour == v.jour && l.devis == v.devis &&
               l.dateMaj == v.dateMaj;
    return l.numero == v.numero && l.dossier == v.dossier && l.jour == v.jour && l.devis == v.devis &&
           memeDateMaj(l.dateMaj, v.dateMaj) && memeMontant(l.montant, v.montant);
}

class Choix {
public:
    Choix(const EcritureAAnnuler& e, const std::vector<LigneTrouvee>& rangees)
        : e_(e), rangees_(rangees), montantSeul_(e.genre == GenreEcritureAnnulee::MontantReecrit),
          ajout_(e.genre == GenreEcritureAnnulee::LigneAjoutee) {}

    bool tientEcrit(const LigneTrouvee& l) const { return tient(l, e_.ecrite, montantSeul_); }
    bool tientAvant(const LigneTrouvee& l) const { return tient(l, e_.avant, montantSeul_); }

    // Among rows of the pair that fit, the one whose present version is the newest, where the
    // database tells: the run's write made it, an untouched duplicate is older.
    template <class Critere> const LigneTrouvee* trouver(const Critere& critere) const {
        const LigneTrouvee* choisie = nullptr;
        for (const LigneTrouvee& l : rangees_)
            if (critere(l) &&
                (!choisie || (!l.age.isNull() && l.age.toLongLong() < choisie->age.toLongLong())))
                choisie = &l;
        return choisie;
    }
    bool avantTrouve() const {
        return trouver([this](const LigneTrouvee& l) { return tientAvant(l); }) != nullptr;
    }

    // The very row the run wrote, found again by the locator it gave back: a duplicate of the pair
    // that holds the same values is never taken for it. A row gone from its locator (moved by a rewrite
    // on PostgreSQL, renumbered by SQLite's VACUUM) is found by its values, only where one row alone
    // holds them.
    ChoixAnnulation aLaLigne(const std::optional<LigneTrouvee>& ligne) const {
        if (ligne && tientEcrit(*ligne))
            return {ChoixAnnulation::Issue::Annuler, *ligne};
        if (ligne)
            return issue(tientAvant(*ligne));
        std::vector<const LigneTrouvee*> ecrites;
        for (const LigneTrouvee& l : rangees_)
            if (tientEcrit(l))
                ecrites.push_back(&l);
        if (ecrites.size() == 1)
            return {ChoixAnnulation::Issue::Annuler, *ecrites.front()};
        if (ecrites.size() > 1)
            return {ChoixAnnulation::Issue::Indiscernable};
        // Gone and nowhere else: undone already only where nothing else can be the row written.
        if (ajout_)
            return issue(rangees_.empty());
        return issue(toutesAvant());
    }

    // The newest of the rows that hold what the run wrote or what stood before: the one the run or an
    // earlier undo wrote last; undone already only where no row of the pair changed after it.
    ChoixAnnulation laPlusRecente() const {
        const LigneTrouvee* derniere =
            trouver([this](const LigneTrouvee& l) { return tientEcrit(l) || tientAvant(l); });
        if (derniere && tientEcrit(*derniere))
            return {ChoixAnnulation::Issue::Annuler, *derniere};
        // A row changed after the one put back may be the row written, changed since.
        const bool changeeApres = derniere && trouver([derniere](const LigneTrouvee& l) {
                                                  return l.age.toLongLong() < derniere->age.toLongLong();
                                              }) != nullptr;
        return issue(derniere != nullptr && !changeeApres);
    }

    ChoixAnnulation parValeurs() const {
        if (const LigneTrouvee* cible = trouver([this](const LigneTrouvee& l) { return tientEcrit(l); }))
            return {ChoixAnnulation::Issue::Annuler, *cible};
        return issue(ajout_ ? rangees_.empty() : avantTrouve());
    }

    // Every row of the pair holds what stood before (and there is one): whichever was written is back.
    bool toutesAvant() const {
        return !rangees_.empty() && std::all_of(rangees_.begin(), rangees_.end(),
                                                [this](const LigneTrouvee& l) { return tientAvant(l); });
    }

    bool agesConnus() const { return !ajout_ && !rangees_.empty() && !rangees_.front().age.isNull(); }

private:
    static ChoixAnnulation issue(bool deja) {
        return {deja ? ChoixAnnulation::Issue::DejaRetablie : ChoixAnnulation::Issue::ModifieeDepuis};
    }
    const EcritureAAnnuler& e_;
    const std::vector<LigneTrouvee>& rangees_;
    bool montantSeul_;
    bool ajout_;
};

} // namespace

ChoixAnnulation ChoisirAnnulation(const EcritureAAnnuler& ecriture, const std::vector<LigneTrouvee>& rangees,
                                  const std::optional<LigneTrouvee>& aLaLigne) {
    const Choix choix(ecriture, rangees);
    if (ecriture.parLocalisateur)
        return choix.aLaLigne(aLaLigne);
    if (choix.agesConnus())
        return choix.laPlusRecente();
    return choix.parValeurs();
}

} // namespace cc
