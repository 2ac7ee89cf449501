#pragma once

// Writing FACTCLI: one row at a time (EcritureTableFactCli.cpp), or a group of rows in a few
// statements (EcritureGroupee.cpp).

#include "data/Connexion.h"
#include "data/LignesFacturation.h"

#include <QString>
#include <QVariant>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace cc {

// A write decided beforehand, carried out with others in a few statements: a row added, or the
// amount of a row found by its locator and pair rewritten.
struct EcritureGroupee {
    bool ajout = true;
    ValeursFactCli valeurs = {}; // the row added; for an amount, valeurs.montant alone
    LigneTrouvee ligne = {};     // the row whose amount is rewritten
    QString numero = {};         // the pair that row was selected with
    QString dossier = {};
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
    // Where the database is a server, the row is added only if the pair is still absent as the
    // statement runs (another writer may have added it since it was looked up): no row changed then.
    Changement ajouter(const ValeursFactCli& valeurs);
    // Whether a row not added tells that the pair appeared meanwhile.
    bool ajoutSiAbsent() const { return ajoutSiAbsent_; }
    // Rewrites every column the program writes, the others kept. numero and dossier: the pair the row
    // was selected with.
    Changement reecrire(const LigneTrouvee& ligne, const QString& numero, const QString& dossier,
                        const ValeursFactCli& valeurs);
    // The same, each column from a value bound as it is (type kept), in the order of the columns: the
    // undo puts a row back exactly.
    Changement reecrire(const LigneTrouvee& ligne, const QString& numero, const QString& dossier,
                        const QVariantList& valeurs);
    // Rewrites the amount alone.
    Changement reecrireMontant(const LigneTrouvee& ligne, const QString& numero, const QString& dossier,
                               const QVariant& montant);
    // Deletes the row (the undo of a row the program added).
    int supprimer(const LigneTrouvee& ligne, const QString& numero, const QString& dossier);

    // Whether writes can be grouped: rows named by a locator, a database that takes lists of values,
    // and keys it provably compares as FormeLarge allows (Localisation::comparaisonSure).
    bool groupable() const { return groupable_; }
    // Whether rows added can be among them.
    bool ajoutsGroupables() const { return ajoutsGroupables_; }
    // Carries out the writes, rows added in multi-row inserts and amounts in updates joined with a list
    // of values, inside the open transaction. Each change is what the write alone would have given.
    // Nothing when the database did not carry out every write exactly as asked (a trigger, a row
    // changed meanwhile, a refusal): the whole transaction, with all it held, is then rolled back and
    // begun again, and its writes are to be made again one by one. The pairs of the writes must be
    // apart (FormeLarge).
    std::optional<std::vector<Changement>> ecrireGroupe(const std::vector<EcritureGroupee>& ecritures);

private:
    friend void ConstruireInstructions(Connexion& connexion);
    EcritureTableFactCli(Connexion& connexion, const Localisation& localisation);
    Changement changement(Requete& ecriture);
    bool ajouterGroupe(const EcritureGroupee* debut, std::size_t nombre, Changement* changements);
    bool reecrireGroupe(const EcritureGroupee* debut, std::size_t nombre, Changement* changements);
    enum class Groupe { Ajout, Lecture, Reecriture };
    Requete& instruction(Groupe genre, std::size_t nombre);
    Connexion& connexion_;
    bool groupable_ = false;
    bool ajoutsGroupables_ = false;
    bool ajoutSiAbsent_ = false;
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
