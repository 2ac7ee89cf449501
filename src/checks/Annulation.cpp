#include "checks/Annulation.h"

#include "checks/ChoixAnnulation.h"
#include "checks/GroupeEcritures.h"
#include "data/EcritureTableFactCli.h"
#include "report/LectureConstats.h"
#include "report/Rapport.h"

#include <QFile>

namespace cc {

namespace {

constexpr int ValeursParGroupe = 500;

// The write a row of the findings file records; none for a row that records no write.
std::optional<GenreEcritureAnnulee> genreEcriture(const QString& action) {
    if (action == action::LigneAjoutee())
        return GenreEcritureAnnulee::LigneAjoutee;
    if (action == action::LigneReecrite())
        return GenreEcritureAnnulee::LigneReecrite;
    if (action == action::MontantReecrit())
        return GenreEcritureAnnulee::MontantReecrit;
    return std::nullopt;
}

// DATE_MAJ as the program writes it, from the file's form (ISO, or as a spreadsheet re-saved it).
QString dateMajEcrite(const QString& texte) {
    for (const QString& format : {QStringLiteral("yyyy-MM-ddThh:mm"), QStringLiteral("yyyy-MM-ddThh:mm:ss"),
                                  QStringLiteral("yyyy-MM-dd hh:mm:ss"), QStringLiteral("yyyy-MM-dd hh:mm")})
        if (const QDateTime d = QDateTime::fromString(texte, format); d.isValid())
            return d.toString(FormatDateMaj);
    return texte;
}

// What the row holds while the run's write stands, and what it held before.
EcritureAAnnuler ecritureAAnnuler(const RangeeConstats& r, GenreEcritureAnnulee genre) {
    using enum ColonneConstat;
    EcritureAAnnuler e{.genre = genre};
    if (genre == GenreEcritureAnnulee::MontantReecrit) {
        // An amount rewritten left the row's other values as they were.
        e.ecrite = {
            .jour = r.texte(AncienJour), .devis = r.texte(AncienDevis), .dateMaj = r.texte(AncienneDateMaj)};
        e.avant = e.ecrite;
    } else {
        e.ecrite = {r.texte(Dossier),
                    r.texte(NumeroEcrit),
                    r.texte(JourEcrit),
                    r.texte(Devis),
                    dateMajEcrite(r.texte(DateMajEcrite)),
                    QVariant()};
        e.avant = {r.texte(AncienDossier), r.texte(AncienNumero),    r.texte(AncienJour),
                   r.texte(AncienDevis),   r.texte(AncienneDateMaj), QVariant()};
    }
    e.ecrite.montant = r.montant(MontantFacture);
    e.avant.montant = r.montant(MontantFactCli);
    return e;
}

// Reverses the writes of one findings file, the last first, in groups like a repair's. Each write row
// is read again from its place in the file, checked anew: memory stays flat in the file's size.
class Annulation {
public:
    Annulation(const ContexteControle& contexte, CompteursAnnulation& compteurs, const QString& base)
        : contexte_(contexte), compteurs_(compteurs), base_(base), table_(contexte.connexion),
          groupe_(
              contexte.connexion, contexte.constats,
              [&compteurs](GroupeEcritures::Genre) { ++compteurs.annulees; }, ValeursParGroupe) {}

    void annuler(QIODevice& fichier, const QString& chemin, const JournalConstats& journal) {
        LecteurCsv lecteur(fichier);
        const bool neutralise = journal.disposition == DispositionConstats::Actuelle;
        std::vector<QString> champs;
        const qint64 total = qint64(journal.ecritures.size());
        try {
            for (qint64 i = total - 1; i >= 0; --i) {
                const PlaceEcriture& place = journal.ecritures[std::size_t(i)];
                lecteur.allerA(place.debut, place.numero - 1);
                const RangeeConstats r(lecteur.lire(champs) ? std::move(champs) : std::vector<QString>(),
                                       neutralise);
                // The file changed since it was checked: nothing more is undone from it.
                if (const auto probleme = ProblemeRangee(r, journal.disposition, base_);
                    probleme || !EstEcriture(r.texte(ColonneConstat::Action)))
                    throw ConstatsRefuses(chemin, place.numero,
                                          probleme.value_or(QStringLiteral("le fichier a changé pendant "
                                                                           "l'annulation")));
                annuler(r, *genreEcriture(r.texte(ColonneConstat::Action)));
                if (contexte_.progression.arretDemande()) {
                    groupe_.terminer();
                    throw ArretControle{r.texte(ColonneConstat::Facture), total - i, total};
                }
            }
            groupe_.terminer();
        } catch (...) {
            groupe_.abandonner();
            throw;
        }
    }

private:
    void annuler(const RangeeConstats& r, GenreEcritureAnnulee genre);
    void laisser(LigneConstat ligne, ChoixAnnulation::Issue issue);
    int defaire(const LigneTrouvee& cible, const EcritureAAnnuler& e, const QString& numero,
                const QString& dossier, LigneConstat& ligne);
    void rapporter(const LigneConstat& ligne, const QString& raison);

    const ContexteControle& contexte_;
    CompteursAnnulation& compteurs_;
    QString base_;
    EcritureTableFactCli table_;
    GroupeEcritures groupe_;
};

void Annulation::annuler(const RangeeConstats& r, GenreEcritureAnnulee genre) {
    ++compteurs_.ecritures;
    contexte_.progression.traiterEvenements();
    // The row of the undo: the write undone, and what became of it.
    LigneConstat ligne = r.ligne();
    ligne.constat = std::exchange(ligne.action, action::Aucune());
    EcritureAAnnuler e = ecritureAAnnuler(r, genre);
    const QString numero = genre == GenreEcritureAnnulee::MontantReecrit ? ligne.facture : ligne.numeroEcrit;

    // The write lock is taken before the selection, so that what it finds still holds.
    groupe_.avantEcriture();
    const std::vector<LigneTrouvee> rangees = table_.lignes(numero, ligne.dossier);
    std::optional<LigneTrouvee> aLaLigne;
    e.parLocalisateur = !ligne.ligne.isEmpty() && table_.parLocalisateur();
    if (e.parLocalisateur)
        aLaLigne = table_.ligneA(ligne.ligne, numero, ligne.dossier);
    const ChoixAnnulation choix = ChoisirAnnulation(e, rangees, aLaLigne);
    if (choix.issue != ChoixAnnulation::Issue::Annuler) {
        laisser(std::move(ligne), choix.issue);
        return;
    }
    if (defaire(choix.ligne, e, numero, ligne.dossier, ligne) == 0) {
        // Changed between the selection and the write, which the lock should prevent: say so.
        ++compteurs_.laissees;
        ligne.action = action::EcritureRefusee();
        rapporter(ligne, QStringLiteral("n'a pas pu être rétablie : la base n'a rien changé"));
        groupe_.constat(std::move(ligne));
        return;
    }
    groupe_.ecriture(std::move(ligne), GroupeEcritures::Genre::Reecriture);
    groupe_.finFacture();
}

void Annulation::laisser(LigneConstat ligne, ChoixAnnulation::Issue issue) {
    if (issue == ChoixAnnulation::Issue::DejaRetablie) {
        ++compteurs_.dejaRetablies;
        ligne.action = action::DejaRetablie();
    } else {
        ++compteurs_.laissees;
        ligne.action = action::ModifieeDepuis();
        rapporter(ligne, issue == ChoixAnnulation::Issue::Indiscernable
                             ? QStringLiteral("a plusieurs doubles identiques, dont rien ne dit lequel a été "
                                              "écrit : elle est laissée telle quelle")
                             : QStringLiteral("a changé depuis : elle est laissée telle quelle"));
    }
    groupe_.constat(std::move(ligne));
}

// Puts the row back as it was; the rows the database changed.
int Annulation::defaire(const LigneTrouvee& cible, const EcritureAAnnuler& e, const QString& numero,
                        const QString& dossier, LigneConstat& ligne) {
    switch (e.genre) {
    case GenreEcritureAnnulee::LigneAjoutee:
        ligne.action = action::LigneSupprimee();
        return table_.supprimer(cible, numero, dossier);
    case GenreEcritureAnnulee::LigneReecrite:
        ligne.action = action::LigneRetablie();
        return table_.reecrire(cible, numero, dossier, e.avant).lignes;
    case GenreEcritureAnnulee::MontantReecrit:
        ligne.action = action::MontantRetabli();
        return table_.reecrireMontant(cible, numero, dossier, e.avant.montant).lignes;
    }
    return 0;
}

void Annulation::rapporter(const LigneConstat& ligne, const QString& raison) {
    contexte_.rapport.EcrireRapport(QStringLiteral("La ligne de FACTCLI pour la facture : ") + ligne.facture +
                                    QStringLiteral(" et le dossier : ") + ligne.dossier +
                                    QStringLiteral(" ") + raison);
}

} // namespace

void AnnulerEcritures(const ContexteControle& contexte, const QString& fichierConstats,
                      CompteursAnnulation& compteurs) {
    QFile fichier(fichierConstats);
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(Erreur::FichierIntrouvable,
                     QStringLiteral("Impossible de lire le fichier de constats %1 : %2")
                         .arg(fichierConstats, fichier.errorString()));
    const QString base;
    // The whole file is checked before anything is asked of the database.
    const JournalConstats journal = VerifierConstats(fichier, fichierConstats, base, [&contexte] {
        contexte.progression.traiterEvenements();
        if (contexte.progression.arretDemande())
            throw ArretControle{};
    });
    Annulation(contexte, compteurs, base).annuler(fichier, fichierConstats, journal);
}

} // namespace cc
