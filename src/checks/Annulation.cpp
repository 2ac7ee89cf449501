#include "checks/Annulation.h"

#include "checks/ChoixAnnulation.h"
#include "checks/GroupeEcritures.h"
#include "commun/TexteChamp.h"
#include "data/ColonnesFactCli.h"
#include "data/EcritureTableFactCli.h"
#include "report/LectureConstats.h"
#include "report/Rapport.h"
#include "report/ValeursExactes.h"

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

// A row of exact values by column name.
QVariantMap parNom(const RangeeExacte& rangee) {
    QVariantMap valeurs;
    for (const ValeurExacte& v : rangee)
        valeurs.insert(v.colonne, v.valeur);
    return valeurs;
}

// The human cell means the exact value: the same number (or the same digits, where a spreadsheet took
// the decimal comma for a thousands separator), the same instant, the same text but for the trailing
// blanks the cell leaves out, an empty cell for Null.
bool memeSens(const QString& cellule, const QVariant& exacte, bool montant) {
    if (exacte.isNull())
        return cellule.isEmpty();
    const int type = exacte.metaType().id();
    if (montant || type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong) {
        bool ok = false;
        const double lu = QString(cellule).replace(u',', u'.').toDouble(&ok);
        const double v = exacte.toDouble();
        return (ok && lu == v) || cellule == MontantConstat(v).remove(u',');
    }
    if (type == QMetaType::QDateTime || type == QMetaType::QDate)
        return MemeInstant(cellule, exacte.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    const QString texte = exacte.toString();
    return SupprimerBlancsFin(cellule) == SupprimerBlancsFin(texte) || MemeInstant(cellule, texte);
}

// Which exact value each human column of a write row shows: of the row written or of the row before.
struct Correspondance {
    ColonneConstat colonne;
    ColonneFactCli exacte;
    bool avant;
};

std::optional<QString> problemeExactes(const RangeeConstats& r, const ValeursExactes& exactes) {
    using enum ColonneConstat;
    using C = ColonneFactCli;
    const QString action = r.texte(Action);
    std::vector<Correspondance> paires{{MontantFacture, C::Montant, false}};
    if (action != action::LigneAjoutee())
        paires.insert(paires.end(), {{MontantFactCli, C::Montant, true},
                                     {AncienJour, C::Jour, true},
                                     {AncienDevis, C::NumDevis, true},
                                     {AncienneDateMaj, C::DateMaj, true}});
    if (action != action::MontantReecrit())
        paires.insert(paires.end(), {{NumeroEcrit, C::NumFacture, false},
                                     {Dossier, C::NumDossier, false},
                                     {JourEcrit, C::Jour, false},
                                     {DateMajEcrite, C::DateMaj, false}});
    if (action == action::LigneReecrite())
        paires.insert(paires.end(),
                      {{AncienNumero, C::NumFacture, true}, {AncienDossier, C::NumDossier, true}});
    if (!exactes.avant && action != action::LigneAjoutee())
        return QStringLiteral("les valeurs exactes n'ont pas la ligne d'avant");
    const QVariantMap ecrit = parNom(exactes.ecrit);
    const QVariantMap avant = parNom(exactes.avant.value_or(RangeeExacte()));
    for (const Correspondance& p : paires) {
        const QVariantMap& cote = p.avant ? avant : ecrit;
        const QString& nom = NomColonne(p.exacte);
        if (!cote.contains(nom))
            continue;
        if (!memeSens(r.texte(p.colonne), cote.value(nom),
                      p.colonne == MontantFacture || p.colonne == MontantFactCli))
            return QStringLiteral("la colonne %1 dit « %2 », les valeurs exactes %3 : modifiée à la main")
                .arg(NomsColonnesConstats[std::size_t(p.colonne)], r.texte(p.colonne),
                     cote.value(nom).toString());
    }
    if (!MemeInstant(r.texte(Execution), exactes.execution))
        return QStringLiteral("l'exécution dit « %1 », les valeurs exactes « %2 »")
            .arg(r.texte(Execution), exactes.execution);
    return std::nullopt;
}

// What makes a write row unsound beyond its format: exact values its human columns contradict.
std::optional<QString> VerifierEcriture(const RangeeConstats& r, DispositionConstats disposition) {
    if (disposition != DispositionConstats::Actuelle)
        return std::nullopt;
    const auto exactes = DecoderValeursExactes(r.texte(ColonneConstat::ValeursExactes));
    if (!exactes)
        return QStringLiteral("valeurs exactes illisibles");
    return problemeExactes(r, *exactes);
}

// The values of a row of the exact values, as the database's rows are compared (through TexteChamp).
ValeursFactCli valeursVues(const QVariantMap& m) {
    const auto texte = [&m](ColonneFactCli c) { return TexteChamp(m.value(NomColonne(c))); };
    return {texte(ColonneFactCli::NumDossier), texte(ColonneFactCli::NumFacture),
            texte(ColonneFactCli::Jour),       texte(ColonneFactCli::NumDevis),
            texte(ColonneFactCli::DateMaj),    m.value(NomColonne(ColonneFactCli::Montant))};
}

// What the row holds while the run's write stands, and what it held before: from the exact values
// where the file has them, else from its human columns.
EcritureAAnnuler ecritureAAnnuler(const RangeeConstats& r, GenreEcritureAnnulee genre,
                                  DispositionConstats disposition) {
    using enum ColonneConstat;
    EcritureAAnnuler e{.genre = genre};
    if (disposition == DispositionConstats::Actuelle) {
        // Checked already: it reads.
        const auto exactes = DecoderValeursExactes(r.texte(ValeursExactes));
        const QVariantMap ecrit = parNom(exactes->ecrit);
        const QVariantMap avant = parNom(exactes->avant.value_or(RangeeExacte()));
        e.ecrite = valeursVues(ecrit);
        e.avant = valeursVues(avant);
        if (genre == GenreEcritureAnnulee::MontantReecrit) {
            e.ecrite = e.avant;
            e.ecrite.montant = ecrit.value(NomColonne(ColonneFactCli::Montant));
        }
        for (const QString& nom : NomsColonnesFactCli)
            e.avantExact.append(avant.value(nom));
        return e;
    }
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
        disposition_ = journal.disposition;
        const auto relire = [&](const PlaceEcriture& place) {
            std::vector<QString> champs;
            lecteur.allerA(place.debut, place.numero - 1);
            if (!lecteur.lire(champs))
                champs.clear();
            RangeeConstats r(std::move(champs), disposition_ == DispositionConstats::Actuelle);
            // The file changed since it was checked: nothing more is undone from it.
            auto probleme = ProblemeRangee(r, disposition_, base_);
            if (!probleme && !EstEcriture(r.texte(ColonneConstat::Action)))
                probleme = QStringLiteral("le fichier a changé pendant l'annulation");
            if (!probleme)
                probleme = VerifierEcriture(r, disposition_);
            if (probleme)
                throw ConstatsRefuses(chemin, place.numero, *probleme);
            return r;
        };
        const qint64 total = qint64(journal.ecritures.size());
        try {
            for (qint64 i = total - 1; i >= 0; --i) {
                const PlaceEcriture& place = journal.ecritures[std::size_t(i)];
                const auto marque = journal.groupes.find(place.groupe);
                // Rolled back by the database: nothing of it landed.
                if (marque != journal.groupes.end() && !marque->second)
                    continue;
                const RangeeConstats r = relire(place);
                const GenreEcritureAnnulee genre = *genreEcriture(r.texte(ColonneConstat::Action));
                // A group the run recorded and was killed before it said what became of it: it landed
                // whole or not at all, which the database tells.
                if (disposition_ == DispositionConstats::Actuelle && marque == journal.groupes.end() &&
                    !groupeAtterri(place.groupe, journal, relire))
                    jamaisValidee(r);
                else
                    annuler(r, genre);
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
    // A write, the rows it may concern, and the choice among them.
    struct Examen {
        LigneConstat ligne;
        EcritureAAnnuler ecriture;
        QString numero = {};
        ChoixAnnulation choix = {};
    };
    Examen examiner(const RangeeConstats& r, GenreEcritureAnnulee genre);
    template <class Relire>
    bool groupeAtterri(int groupe, const JournalConstats& journal, const Relire& relire) {
        const auto connu = atterris_.find(groupe);
        if (connu != atterris_.end())
            return connu->second;
        bool atterri = false;
        for (const PlaceEcriture& place : journal.ecritures)
            if (place.groupe == groupe && !atterri) {
                const RangeeConstats r = relire(place);
                atterri = examiner(r, *genreEcriture(r.texte(ColonneConstat::Action))).choix.issue ==
                          ChoixAnnulation::Issue::Annuler;
            }
        return atterris_[groupe] = atterri;
    }
    void jamaisValidee(const RangeeConstats& r);
    void annuler(const RangeeConstats& r, GenreEcritureAnnulee genre);
    void laisser(LigneConstat ligne, ChoixAnnulation::Issue issue);
    int defaire(const LigneTrouvee& cible, const EcritureAAnnuler& e, const QString& numero,
                const QString& dossier, LigneConstat& ligne);
    void rapporter(const LigneConstat& ligne, const QString& raison);

    const ContexteControle& contexte_;
    CompteursAnnulation& compteurs_;
    QString base_;
    DispositionConstats disposition_ = DispositionConstats::Actuelle;
    std::map<int, bool> atterris_;
    EcritureTableFactCli table_;
    GroupeEcritures groupe_;
};

Annulation::Examen Annulation::examiner(const RangeeConstats& r, GenreEcritureAnnulee genre) {
    // The row of the undo: the write undone, and what became of it.
    Examen x{.ligne = r.ligne(), .ecriture = ecritureAAnnuler(r, genre, disposition_)};
    x.ligne.constat = std::exchange(x.ligne.action, action::Aucune());
    x.numero = genre == GenreEcritureAnnulee::MontantReecrit ? x.ligne.facture : x.ligne.numeroEcrit;
    // The write lock is taken before the selection, so that what it finds still holds.
    groupe_.avantEcriture();
    const std::vector<LigneTrouvee> rangees = table_.lignes(x.numero, x.ligne.dossier);
    std::optional<LigneTrouvee> aLaLigne;
    x.ecriture.parLocalisateur = !x.ligne.ligne.isEmpty() && table_.parLocalisateur();
    if (x.ecriture.parLocalisateur)
        aLaLigne = table_.ligneA(x.ligne.ligne, x.numero, x.ligne.dossier);
    x.choix = ChoisirAnnulation(x.ecriture, rangees, aLaLigne);
    return x;
}

void Annulation::jamaisValidee(const RangeeConstats& r) {
    LigneConstat ligne = r.ligne();
    ligne.constat = ligne.action;
    ligne.action = action::JamaisValidee();
    groupe_.constat(std::move(ligne));
}

void Annulation::annuler(const RangeeConstats& r, GenreEcritureAnnulee genre) {
    ++compteurs_.ecritures;
    contexte_.progression.traiterEvenements();
    Examen x = examiner(r, genre);
    if (x.choix.issue != ChoixAnnulation::Issue::Annuler) {
        laisser(std::move(x.ligne), x.choix.issue);
        return;
    }
    if (defaire(x.choix.ligne, x.ecriture, x.numero, x.ligne.dossier, x.ligne) == 0) {
        // Changed between the selection and the write, which the lock should prevent: say so.
        ++compteurs_.laissees;
        x.ligne.action = action::EcritureRefusee();
        rapporter(x.ligne, QStringLiteral("n'a pas pu être rétablie : la base n'a rien changé"));
        groupe_.constat(std::move(x.ligne));
        return;
    }
    groupe_.ecriture(std::move(x.ligne), GroupeEcritures::Genre::Reecriture);
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
        if (!e.avantExact.isEmpty())
            return table_.reecrire(cible, numero, dossier, e.avantExact).lignes;
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

void AnnulerEcritures(const ContexteControle& contexte, const QString& fichierConstats, const QString& base,
                      CompteursAnnulation& compteurs) {
    QFile fichier(fichierConstats);
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(Erreur::FichierIntrouvable,
                     QStringLiteral("Impossible de lire le fichier de constats %1 : %2")
                         .arg(fichierConstats, fichier.errorString()));
    // The whole file is checked before anything is asked of the database.
    const JournalConstats journal = VerifierConstats(
        fichier, fichierConstats, base,
        [&contexte] {
            contexte.progression.traiterEvenements();
            if (contexte.progression.arretDemande())
                throw ArretControle{};
        },
        VerifierEcriture);
    Annulation(contexte, compteurs, base).annuler(fichier, fichierConstats, journal);
}

} // namespace cc
