#pragma once

// Every statement on FACTURES, FACTURES_LIGNE and FACTCLI, and every choice that depends on the
// database about them: the row locator (or the key pair where there is none), the list of values of
// a lot, the physical order of the rows, the bounds of a period, the way SQLite compares texts. The
// checks above see rows and values, never SQL.

#include "data/AccesBase.h"
#include "data/LignesFacturation.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace cc {

// How the rows of the records are fetched. The reference walk asks for one invoice at a time and
// for each line's discount data apart; the walk by invoice asks once per table for each invoice;
// the walk by lots asks once per table for the rows of a few hundred upcoming records (where the
// database takes no list of values, it walks by invoice). All give the same records.
enum class Parcours { Reference, ParFacture, ParLots };

// How many records a lot holds.
inline constexpr int TailleLot = 256;

// The numbers of a lot, bound in order and padded with Nulls (which match no row) so that one
// prepared statement serves every lot.
QVariantList ValeursDuLot(const QStringList& cles);

// The two days of a period as values to bind against a JOUR column, both included. Where days are
// ISO text, the last day must also take "yyyy-MM-dd 00:00:00" and nothing later.
QVariantList BornesPeriode(const Connexion& connexion, const QDate& debut, const QDate& fin);

// The invoice numbers of a period (FACTURES), every blank kept, in the order the database returns
// them; a Null number comes as a Null.
void ListerFacturesPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                           const std::function<void(const QVariant& numero)>& recevoir);

// The FACTCLI rows of a period: invoice number and dossier, every blank kept, a Null read as the
// empty text.
void ListerFactCliPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                          const std::function<void(const QString& numero, const QString& dossier)>& recevoir);

// Reads FACTURES and FACTURES_LIGNE for the invoice reader. Its statements are prepared once.
class LectureFactures {
public:
    // avecRemises: whether the discount data of the lines is wanted at all.
    LectureFactures(Connexion& connexion, Parcours parcours, bool avecRemises);

    // The walk it follows: by lots falls back to by invoice where the database takes no list.
    Parcours parcours() const { return parcours_; }

    // Fetches the rows of these numbers (trimmed, each once) now, one statement per table. Ignored
    // unless walking by lots.
    void prevoir(const QStringList& cles);
    // The first FACTURES row of the number; nothing when there is none.
    std::optional<EnteteFacture> entete(const QString& cle);
    // Every FACTURES_LIGNE row of the number, in the order the database returns them.
    const std::vector<RemiseLigne>& remises(const QString& cle);
    // The first FACTURES_LIGNE row of the number and row (reference walk).
    std::optional<DonneesRemise> remiseDeLaRangee(const QString& cle, int rangee);

private:
    Parcours parcours_;
    bool avecRemises_;
    Requete facture_;
    std::optional<Requete> ligne_;                            // one line's discount data (reference walk)
    std::optional<Requete> lignes_;                           // all the discount data of one invoice
    std::optional<Requete> lotFactures_;                      // the FACTURES rows of a lot
    std::optional<Requete> lotLignes_;                        // the FACTURES_LIGNE rows of a lot
    QHash<QString, std::optional<EnteteFacture>> entetesLot_; // every number asked; none when no row
    QHash<QString, std::vector<RemiseLigne>> remisesLot_;
    std::vector<RemiseLigne> remises_;
};

struct Localisation;

// The form under which any database's way of comparing texts might find two numbers equal: letters
// and digits alone, without accents, case folded. Two numbers a database finds equal have the same
// form here (the converse need not hold: the form only tells what may have to be asked again).
QString FormeLarge(QStringView texte);

// The FACTCLI rows of the invoices being checked. On the walk by lots, the rows of a whole lot come
// with one statement. A write to FACTCLI can change what a later invoice of the lot finds: the
// numbers of the lot that may compare equal to a number written are dropped from the lot and asked
// again one by one, so that the database's own rules decide.
class LectureFactCli {
public:
    // complete: every row comes with its locator and every value the program writes, so that a repair
    // can be decided from the rows already read.
    LectureFactCli(Connexion& connexion, Parcours parcours, bool complete);
    bool parLots() const { return lot_.has_value(); }
    // The invoice numbers, untouched, of the invoices to come.
    void prevoir(const std::vector<QString>& numeros);
    // A row of FACTCLI was written for this invoice number (as the walk holds it).
    void ecriture(const QString& numero);
    // The walk moves to the next invoice: the writes of the last one take effect on the lot.
    void nouvelleFacture();
    // Every FACTCLI row of the invoice number, in the order the database returns them.
    const std::vector<LigneTrouvee>& lignes(const QString& numero);

private:
    LectureFactCli(Connexion& connexion, Parcours parcours, bool complete, const Localisation& localisation);
    Requete unique_;
    std::optional<Requete> lot_;
    QHash<QString, std::vector<LigneTrouvee>> lignesLot_;
    std::vector<LigneTrouvee> lignes_;
    bool parFacture_ = false; // the rows of one invoice serve all its dossiers
    bool complete_ = false;
    bool lignesValides_ = false;
    QString numeroLignes_;
    QSet<QString> ecrits_; // FormeLarge of the numbers written
};

// The values of a FACTCLI row that the program writes.
struct ValeursFactCli {
    QString dossier = {};
    QString numero = {};
    QString jour = {};
    QString devis = {};
    QString dateMaj = {};
    QVariant montant = {}; // a double, or Null (only where an undo puts back a Null amount)
};

// Writes FACTCLI. A row is named by its locator together with the key pair it was selected with, so
// that a row deleted and replaced meanwhile is never written in its place; where the table has no
// locator (Jet, a SQLite table without rowid or whose rowid names are all columns), by the key pair
// alone, so that every duplicate of the pair then changes together. Each write returns the rows the
// database changed. Statements are prepared once, when the object is made.
class EcritureTableFactCli {
public:
    explicit EcritureTableFactCli(Connexion& connexion);
    // The rows of the pair, in the order the database returns them; the first one is the one that is
    // rewritten. The result is freed before returning (an ODBC connection holds one result at a time).
    std::vector<LigneTrouvee> lignes(const QString& numero, const QString& dossier);
    std::optional<LigneTrouvee> premiereLigne(const QString& numero, const QString& dossier);
    // The row of the pair at that locator (as a write gave it back); nothing when there is none.
    std::optional<LigneTrouvee> ligneA(const QVariant& localisateur, const QString& numero,
                                       const QString& dossier);
    // Whether rows can be found again by a locator (else by their pair alone).
    bool parLocalisateur() const { return parLocalisateur_; }

    // What a write did: the rows the database changed and, where it can say, the locator of the row
    // written as it stands afterwards (Null otherwise).
    struct Changement {
        int lignes = 0;
        QVariant localisateur;
        // For an amount rewritten in a group, the row as it stood just before.
        std::optional<LigneTrouvee> avant = {};
    };
    Changement ajouter(const ValeursFactCli& valeurs);
    // Rewrites every column the program writes, the others kept. numero and dossier: the pair the row
    // was selected with.
    Changement reecrire(const LigneTrouvee& ligne, const QString& numero, const QString& dossier,
                        const ValeursFactCli& valeurs);
    // Rewrites the amount alone.
    Changement reecrireMontant(const LigneTrouvee& ligne, const QString& numero, const QString& dossier,
                               const QVariant& montant);
    // Deletes the row (the undo of a row the program added).
    int supprimer(const LigneTrouvee& ligne, const QString& numero, const QString& dossier);

    // A write decided beforehand, carried out with others in a few statements: a row added, or the
    // amount of a row found by its locator and pair rewritten.
    struct Differee {
        bool ajout = true;
        ValeursFactCli valeurs = {}; // the row added; for an amount, valeurs.montant alone
        LigneTrouvee ligne = {};     // the row whose amount is rewritten
        QString numero = {};         // the pair that row was selected with
        QString dossier = {};
    };
    // Whether writes can be grouped: rows named by a locator, and a database that takes lists of
    // values.
    bool groupable() const { return groupable_; }
    // Carries out the writes, rows added in multi-row inserts and amounts in updates joined with a list
    // of values, inside the open transaction. Each change is what the write alone would have given.
    // Nothing when the database did not carry out every write exactly as asked (a trigger, a row
    // changed meanwhile, a refusal): the whole transaction, with all it held, is then rolled back and
    // begun again, and its writes are to be made again one by one. The pairs of the writes must be
    // apart (FormeLarge).
    std::optional<std::vector<Changement>> ecrireGroupe(const std::vector<Differee>& ecritures);

private:
    EcritureTableFactCli(Connexion& connexion, const Localisation& localisation);
    Changement changement(Requete& ecriture);
    bool ajouterGroupe(const Differee* debut, std::size_t nombre, Changement* changements);
    bool reecrireGroupe(const Differee* debut, std::size_t nombre, Changement* changements);
    enum class Groupe { Ajout, Lecture, Reecriture };
    Requete& instruction(Groupe genre, std::size_t nombre);
    Connexion& connexion_;
    bool groupable_ = false;
    QString conditionListe_;  // the locator's condition against v.l, in an update joined with a list
    QString retourListe_;     // " RETURNING" the locator, where the database gives it back
    QString colonnesLecture_; // every column written, FACTCLI joined with a list of locators
    std::map<std::pair<Groupe, std::size_t>, std::unique_ptr<Requete>> groupes_;
    bool parLocalisateur_;
    bool retour_;
    Requete selection_;
    Requete selectionLigne_;
    Requete ajout_;
    Requete reecriture_;
    Requete reecritureMontant_;
    Requete suppression_;
};

} // namespace cc
