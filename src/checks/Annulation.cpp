#include "checks/Annulation.h"

#include "report/Rapport.h"

#include <QFile>
#include <QHash>

namespace cc {

namespace {

constexpr int ValeursParGroupe = 500;

// A findings file's row by column name.
class RangeeConstat {
public:
    RangeeConstat(const QHash<QString, int>& colonnes, const std::vector<QString>& champs)
        : colonnes_(colonnes), champs_(champs) {}
    QString operator[](const QString& colonne) const {
        const int i = colonnes_.value(colonne, -1);
        return i >= 0 && std::size_t(i) < champs_.size() ? champs_[std::size_t(i)] : QString();
    }
    // An amount of the file (decimal comma); Null when empty.
    QVariant montant(const QString& colonne) const {
        const QString t = (*this)[colonne];
        if (t.isEmpty())
            return {};
        bool ok = false;
        const double v = QString(t).replace(u',', u'.').toDouble(&ok);
        if (!ok)
            throw Erreur(Erreur::AccesFichier,
                         QStringLiteral("Montant illisible dans le fichier de constats : %1").arg(t));
        return v;
    }

private:
    const QHash<QString, int>& colonnes_;
    const std::vector<QString>& champs_;
};

// DATE_MAJ as the program writes it, from the file's ISO form.
QString dateMajEcrite(const QString& iso) {
    return QDateTime::fromString(iso, QStringLiteral("yyyy-MM-ddThh:mm"))
        .toString(QStringLiteral("dd/MM/yyyy hh:mm"));
}

// Two DATE_MAJ values as the same minute, whatever form the database gives them back in.
bool memeDateMaj(const QString& stockee, const QString& ecrite) {
    if (stockee == ecrite)
        return true;
    const QDateTime e = QDateTime::fromString(ecrite, QStringLiteral("dd/MM/yyyy hh:mm"));
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

bool tient(const LigneTrouvee& l, const ValeursFactCli& v) {
    return l.numero == v.numero && l.dossier == v.dossier && l.jour == v.jour && l.devis == v.devis &&
           memeDateMaj(l.dateMaj, v.dateMaj) && memeMontant(l.montant, v.montant);
}

} // namespace

void AnnulerEcritures(const ContexteControle& contexte, const QString& fichierConstats,
                      CompteursAnnulation& compteurs) {
    QFile fichier(fichierConstats);
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(Erreur::FichierIntrouvable,
                     QStringLiteral("Impossible de lire le fichier de constats %1 : %2")
                         .arg(fichierConstats, fichier.errorString()));
    QString texte = QString::fromUtf8(fichier.readAll());
    if (texte.startsWith(QChar(0xFEFF)))
        texte.remove(0, 1);
    const std::vector<std::vector<QString>> lignes = LireCsv(texte);
    const std::vector<QString>& attendues = ColonnesConstats();
    if (lignes.empty() || lignes.front() != attendues)
        throw Erreur(Erreur::AccesFichier,
                     QStringLiteral("%1 n'est pas un fichier de constats de controle-coherence.")
                         .arg(fichierConstats));
    QHash<QString, int> colonnes;
    for (std::size_t i = 0; i < attendues.size(); ++i)
        colonnes.insert(attendues[i], int(i));

    EcritureTableFactCli table(contexte.connexion);
    Compteurs ecrits;
    GroupeEcritures groupe(contexte.connexion, contexte.constats, ecrits, ValeursParGroupe);
    const auto rapporter = [&](const RangeeConstat& r, const QString& raison) {
        contexte.rapport.EcrireRapport(QStringLiteral("La ligne de FACTCLI pour la facture : ") +
                                       r[QStringLiteral("Facture")] + QStringLiteral(" et le dossier : ") +
                                       r[QStringLiteral("Dossier")] + QStringLiteral(" ") + raison);
    };
    try {
        for (std::size_t i = 1; i < lignes.size(); ++i) {
            const RangeeConstat r(colonnes, lignes[i]);
            const QString ecriture = r[QStringLiteral("Action")];
            if (ecriture != action::LigneAjoutee() && ecriture != action::LigneReecrite() &&
                ecriture != action::MontantReecrit())
                continue;
            ++compteurs.ecritures;
            contexte.progression.traiterEvenements();
            LigneConstat constatLigne{.facture = r[QStringLiteral("Facture")],
                                      .dossier = r[QStringLiteral("Dossier")],
                                      .devis = r[QStringLiteral("Devis")],
                                      .constat = ecriture,
                                      .montantFactCli = r.montant(QStringLiteral("Montant FACTCLI")),
                                      .action = action::Aucune()};
            if (const QVariant m = r.montant(QStringLiteral("Montant facturé")); !m.isNull())
                constatLigne.montantFacture = m.toDouble();
            constatLigne.numeroEcrit = r[QStringLiteral("Numéro écrit")];
            constatLigne.jourEcrit = r[QStringLiteral("Jour écrit")];
            constatLigne.dateMajEcrite =
                QDateTime::fromString(r[QStringLiteral("Date de mise à jour écrite")], Qt::ISODate);
            constatLigne.ancienNumero = r[QStringLiteral("Ancien numéro")];
            constatLigne.ancienDossier = r[QStringLiteral("Ancien dossier")];
            constatLigne.ancienJour = r[QStringLiteral("Ancien jour")];
            constatLigne.ancienDevis = r[QStringLiteral("Ancien devis")];
            constatLigne.ancienneDateMaj = r[QStringLiteral("Ancienne date de mise à jour")];
            constatLigne.ligne = r[QStringLiteral("Ligne")];

            // What the row holds when the run's write still stands, and what it held before.
            ValeursFactCli ecrite;
            ValeursFactCli avant;
            QString numero;
            if (ecriture == action::MontantReecrit()) {
                numero = r[QStringLiteral("Facture")];
            } else {
                numero = r[QStringLiteral("Numéro écrit")];
                ecrite = {r[QStringLiteral("Dossier")],
                          numero,
                          r[QStringLiteral("Jour écrit")],
                          r[QStringLiteral("Devis")],
                          dateMajEcrite(r[QStringLiteral("Date de mise à jour écrite")]),
                          r.montant(QStringLiteral("Montant facturé"))};
                avant = {r[QStringLiteral("Ancien dossier")],
                         r[QStringLiteral("Ancien numéro")],
                         r[QStringLiteral("Ancien jour")],
                         r[QStringLiteral("Ancien devis")],
                         r[QStringLiteral("Ancienne date de mise à jour")],
                         r.montant(QStringLiteral("Montant FACTCLI"))};
            }
            const QString dossier = r[QStringLiteral("Dossier")];
            const QVariant montantEcrit = r.montant(QStringLiteral("Montant facturé"));
            const QVariant montantAvant = r.montant(QStringLiteral("Montant FACTCLI"));

            // The write lock is taken before the selection, so that what it finds still holds.
            groupe.avantEcriture();
            const bool montantSeul = ecriture == action::MontantReecrit();
            // An amount rewritten left the row's other values as they were: they tell it from a
            // duplicate of the pair.
            const auto memesAutres = [&](const LigneTrouvee& l) {
                return l.jour == r[QStringLiteral("Ancien jour")] &&
                       l.devis == r[QStringLiteral("Ancien devis")] &&
                       l.dateMaj == r[QStringLiteral("Ancienne date de mise à jour")];
            };
            const auto tientEcrit = [&](const LigneTrouvee& l) {
                return montantSeul ? memeMontant(l.montant, montantEcrit) && memesAutres(l)
                                   : tient(l, ecrite);
            };
            const auto tientAvant = [&](const LigneTrouvee& l) {
                return montantSeul ? memeMontant(l.montant, montantAvant) && memesAutres(l) : tient(l, avant);
            };
            const std::vector<LigneTrouvee> rangees = table.lignes(numero, dossier);
            // Among rows of the pair that fit, the one whose present version is the newest, where the
            // database tells: the run's write made it, an untouched duplicate is older.
            const auto trouver = [&](const auto& critere) -> const LigneTrouvee* {
                const LigneTrouvee* choisie = nullptr;
                for (const LigneTrouvee& l : rangees)
                    if (critere(l) &&
                        (!choisie || (!l.age.isNull() && l.age.toLongLong() < choisie->age.toLongLong())))
                        choisie = &l;
                return choisie;
            };
            std::optional<LigneTrouvee> aLaLigne;
            const LigneTrouvee* cible = nullptr;
            bool deja = false;
            if (const QString localisateur = r[QStringLiteral("Ligne")];
                !localisateur.isEmpty() && table.parLocalisateur()) {
                // The very row the run wrote, found again by the locator it gave back: a duplicate of the
                // pair that holds the same values is never taken for it.
                aLaLigne = table.ligneA(localisateur, numero, dossier);
                if (aLaLigne && tientEcrit(*aLaLigne))
                    cible = &*aLaLigne;
                else if (aLaLigne)
                    deja = tientAvant(*aLaLigne);
                else // gone: deleted, or moved by a rewrite (PostgreSQL gives a rewritten row a new place)
                    deja = ecriture == action::LigneAjoutee() || trouver(tientAvant) != nullptr;
            } else if (ecriture != action::LigneAjoutee() && !rangees.empty() &&
                       !rangees.front().age.isNull()) {
                // The newest of the rows that hold what the run wrote or what stood before: the one the
                // run or an earlier undo wrote last.
                const LigneTrouvee* derniere =
                    trouver([&](const LigneTrouvee& l) { return tientEcrit(l) || tientAvant(l); });
                cible = derniere && tientEcrit(*derniere) ? derniere : nullptr;
                deja = derniere && !cible;
            } else {
                cible = trouver(tientEcrit);
                deja = !cible && (ecriture == action::LigneAjoutee() ? rangees.empty()
                                                                     : trouver(tientAvant) != nullptr);
            }
            if (!cible) {
                if (deja) {
                    ++compteurs.dejaRetablies;
                    constatLigne.action = action::DejaRetablie();
                } else {
                    ++compteurs.laissees;
                    constatLigne.action = action::ModifieeDepuis();
                    rapporter(r, QStringLiteral("a changé depuis : elle est laissée telle quelle"));
                }
                groupe.constat(std::move(constatLigne));
                continue;
            }
            int changees = 0;
            if (ecriture == action::LigneAjoutee()) {
                changees = table.supprimer(*cible, numero, dossier);
                constatLigne.action = action::LigneSupprimee();
            } else if (ecriture == action::LigneReecrite()) {
                changees = table.reecrire(*cible, numero, dossier, avant).lignes;
                constatLigne.action = action::LigneRetablie();
            } else {
                changees = table.reecrireMontant(*cible, numero, dossier, montantAvant).lignes;
                constatLigne.action = action::MontantRetabli();
            }
            if (changees == 0) {
                // Changed between the selection and the write, which the lock should prevent: say so.
                ++compteurs.laissees;
                constatLigne.action = action::EcritureRefusee();
                rapporter(r, QStringLiteral("n'a pas pu être rétablie : la base n'a rien changé"));
                groupe.constat(std::move(constatLigne));
                continue;
            }
            groupe.ecriture(std::move(constatLigne), GroupeEcritures::Genre::Reecriture);
            groupe.finFacture();
        }
        groupe.terminer();
    } catch (...) {
        groupe.abandonner();
        compteurs.annulees = ecrits.reecrits;
        throw;
    }
    compteurs.annulees = ecrits.reecrits;
}

} // namespace cc
