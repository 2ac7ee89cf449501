#pragma once

#include "checks/EcritureFactCli.h"
#include "commun/FormeLarge.h"
#include "commun/Horloge.h"
#include "commun/Interlocuteur.h"
#include "commun/ListeTextes.h"
#include "commun/Progression.h"
#include "data/Connexion.h"
#include "data/EcritureTableFactCli.h"
#include "data/LectureFactCli.h"
#include "data/LectureFactures.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LecteurFacture.h"
#include "report/Constats.h"

#include <QDate>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace cc {

class Rapport;

// The options of one run, as the window's controls or the batch arguments give them.
struct OptionsControle {
    QDate debut;                    // dte_Date
    QDate fin;                      // dte_Date_Fin
    bool aPartirDesFactures = true; // chk_Facture_FactCli
    bool ajouter = false;           // chk_AjoutEnregistrement
    bool mettreAJour = false;       // chk_MiseAJour
    Parcours parcours = Parcours::ParLots;
};

// What a run did, for the batch summary. Writes count only once the database has carried them out
// and they are committed.
struct Compteurs {
    qint64 parcourus = 0;          // records walked
    qint64 manquants = 0;          // FACTCLI rows found missing
    qint64 montantsDifferents = 0; // amounts found different, repaired or not
    qint64 ajoutes = 0;            // rows added (or, where the write found one after all, rewritten)
    qint64 reecrits = 0;           // amounts rewritten
    // Whether the run found anything: a report line, or an amount that differs and stays so.
    bool trouve(qint64 lignesRapport) const { return lignesRapport > 0 || montantsDifferents > reecrits; }
};

// What every check works with during one run.
struct ContexteControle {
    Connexion& connexion;
    Rapport& rapport;
    Interlocuteur& interlocuteur;
    Progression& progression;
    Horloge horloge;
    // The findings file; none when null.
    FichierConstats* constats = nullptr;
};

enum class EtatFactCli { Absent = 0, MontantDifferent = 1, Identique = 2 };

// Writes are grouped in transactions, never splitting one invoice's writes, and committed every
// few hundred invoices (a few thousand where writes are carried out together) or every second: a run
// that is killed loses at most its last group, which the next run does again. A write counts, and its row
// reaches the findings file, only once its group is committed; the findings that come after it wait with it,
// so that the file keeps their order.
class GroupeEcritures {
public:
    enum class Genre { Ajout, Reecriture };

    // facturesParGroupe: invoices a group may hold before it is committed.
    GroupeEcritures(Connexion& connexion, FichierConstats* constats, Compteurs& compteurs,
                    int facturesParGroupe);
    GroupeEcritures(const GroupeEcritures&) = delete;
    GroupeEcritures& operator=(const GroupeEcritures&) = delete;
    // Begins a group, the write lock taken, when none is open: before a write's own selection.
    void avantEcriture();
    // A finding without a write.
    void constat(LigneConstat ligne);
    // A write the database carried out (rows changed); counted when it is committed.
    void ecriture(LigneConstat ligne, Genre genre);
    // The place of a write to be carried out later, its finding kept in order; resoudre() fills it
    // with the finding and, when the database carried it out, the kind of write. A place never filled
    // shows the write refused.
    std::size_t reserver(LigneConstat ligne);
    void resoudre(std::size_t place, LigneConstat ligne, std::optional<Genre> genre);
    // Called before each commit, to carry out the writes kept for later.
    void definirAvantValidation(std::function<void()> avantValidation) {
        avantValidation_ = std::move(avantValidation);
    }
    void definirFacturesParGroupe(int factures) { facturesParGroupe_ = factures; }
    // Tells one group from the next: changes each time a group begins.
    int numero() const { return numero_; }
    void finFacture();
    // Counts an invoice in the open group without committing it.
    void compterFacture();
    // Whether the open group holds enough invoices, or time, to be committed.
    bool echu() const;
    // Commits the open group. Throws Erreur; the group's writes are then rolled back and shown refused.
    void terminer();
    // After a failure of the run: commits what the group holds where the database still can, else
    // rolls it back; never throws.
    void abandonner() noexcept;

private:
    void valider();
    void vider(bool valide);
    Connexion& connexion_;
    FichierConstats* constats_;
    Compteurs& compteurs_;
    int facturesParGroupe_;
    int factures_ = 0;
    int numero_ = 0;
    QElapsedTimer depuis_;
    struct EnAttente {
        LigneConstat ligne;
        std::optional<Genre> genre;
        bool enSuspens = false; // a place reserved and not yet filled
    };
    std::vector<EnAttente> enAttente_;
    std::function<void()> avantValidation_;
};

// Walks the invoices of the period and checks that FACTCLI holds each of their dossiers.
class ControleFactures {
public:
    ControleFactures(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactures();
    void ParcourirFactures();
    void ControlerFacture(const QString& numero);
    EtatFactCli ChercherFactCli(const QString& numero, const QString& dossier);
    void MettreAJourMontant(const QString& numero, const QString& dossier);

    // One entry per selected row; a Null number is passed over.
    const ListeTextes& TabFactures() const { return TabFactures_; }
    const EnregistrementFacture& facture() const { return facture_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    void parcourir();
    void ecrireManquant(const QString& numero, const QString& dossier, const QString& devis);
    std::optional<GroupeEcritures::Genre> ajouter(const ValeursFactCli& valeurs, const QString& numero,
                                                  LigneConstat& ligne);
    std::optional<GroupeEcritures::Genre> reecrireMontant(const QString& numero, const QString& dossier,
                                                          double montant, LigneConstat& ligne);
    // Writes kept for later while walking by lots, carried out together.
    bool peutDifferer(const QString& numero, const QString& dossier) const;
    void differer(EcritureGroupee ecriture, LigneConstat ligne);
    void ecrireSeule(EcritureGroupee ecriture, const QString& numero, LigneConstat ligne);
    void viderEcritures();
    struct Differee;
    std::optional<GroupeEcritures::Genre> faire(const Differee& d);
    std::vector<Differee>& journal();
    static Differee avantEcriture(Differee d);
    QDateTime lireDateMaj(const QString& texte);
    void placer(std::optional<std::size_t> place, LigneConstat ligne,
                std::optional<GroupeEcritures::Genre> genre);

    // Prepared only when a repair option is on, so that a plain check works on a FACTCLI that cannot
    // be written (a view, a table without rowid).
    std::optional<EcritureFactCli> ecriture_;
    LectureFactCli recherche_;
    GroupeEcritures groupe_;
    QVariant montantTrouve_; // the amount of the row ChercherFactCli compared
    ListeTextes TabFactures_;

    // Writes are kept for later where they can be decided from the rows of the lot: walking by lots,
    // on a database that takes them in groups. An invoice whose number may compare equal to one kept
    // has them carried out first; within an invoice, a write whose pair may compare equal to one kept,
    // or that needs its own selection, has them carried out first, and the invoice's other writes are
    // then made one by one.
    struct Differee {
        EcritureGroupee ecriture;
        QString numero; // as the walk holds it
        std::optional<std::size_t> place;
        LigneConstat ligne; // the finding as it stood before the write
    };
    bool differe_ = false;
    bool uneParUne_ = false; // for the rest of the invoice
    bool relireLot_ = false; // the lot was read in a transaction since rolled back
    std::vector<Differee> differees_;
    // The writes the open group made, to be made again one by one if it is rolled back.
    std::vector<Differee> journal_;
    int groupeJournal_ = -1;
    std::pair<QString, QDateTime> dateMaj_;
    QSet<QString> numerosDifferes_; // FormeLarge of their numbers
    QSet<QString> pairesDifferees_; // and of their pairs
};

// One selected FACTCLI row.
struct EntreeFactCli {
    QString NumFacture;
    QString NumDossier;
};

// The selected FACTCLI rows, their two texts kept in two compact lists.
class ListeFactCli {
public:
    void vider() {
        factures_.vider();
        dossiers_.vider();
    }
    void ajouter(QStringView facture, QStringView dossier) {
        factures_.ajouter(facture);
        dossiers_.ajouter(dossier);
    }
    std::size_t taille() const { return factures_.taille(); }
    bool vide() const { return factures_.vide(); }
    EntreeFactCli at(std::size_t i) const { return {factures_.texte(i), dossiers_.texte(i)}; }
    const ListeTextes& factures() const { return factures_; }

private:
    ListeTextes factures_;
    ListeTextes dossiers_;
};

// Walks the FACTCLI rows of the period and checks that each row's invoice names its dossier.
// Only reports: nothing is ever written to the database.
class ControleFactCli {
public:
    ControleFactCli(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactCli();
    void ParcourirFactCli();
    void ControlerLigneFactCli(const EntreeFactCli& entree);

    const ListeFactCli& TabFactCli() const { return TabFactCli_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    GroupeEcritures groupe_;
    ListeFactCli TabFactCli_;
    std::optional<QString> numeroLu_; // the plain invoice now in the record
};

// Runs the direction that the options pick, from the selection to the last record.
void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options,
                          Compteurs& compteurs);

} // namespace cc
