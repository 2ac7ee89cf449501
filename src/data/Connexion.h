#pragma once

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"
#include "data/Dialectes.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <utility>
#include <vector>

namespace cc {

// What the ODBC driver of a connection cannot do, measured on the driver itself: MDBTools (a Jet file
// off Windows) writes nothing, and its SQL parser takes no parameter marker at all.
struct LimitesPilote {
    bool lectureSeule = false;
    bool sansParametres = false;
};

// The one connection to the company's database. Owns a named QSqlDatabase and removes it on
// destruction. Counts the statements it executes and the rows it fetches.
class Connexion {
public:
    Connexion(const QString& nomConnexion, Dialecte dialecte);
    ~Connexion();
    Connexion(const Connexion&) = delete;
    Connexion& operator=(const Connexion&) = delete;

    // Opens an existing SQLite file read-write; never creates one. Throws Erreur.
    static std::unique_ptr<Connexion> ouvrirSQLite(const QString& chemin, int delaiOccupeMs = 10000);
    // Opens an ODBC connection. The user name and password go apart from the connection string. The
    // dialect is the one the DBMS names itself when it is known, otherwise the one given.
    static std::unique_ptr<Connexion> ouvrirOdbc(const QString& chaine, const QString& utilisateur,
                                                 const QString& motDePasse, Dialecte dialecte,
                                                 int delaiConnexionS = 0);
    // A fresh name for QSqlDatabase::addDatabase.
    static QString nouveauNom();

    Dialecte dialecte() const { return dialecte_; }
    const LimitesPilote& limites() const { return limites_; }
    void definirLimites(const LimitesPilote& limites) { limites_ = limites; }
    const PiecesDialecte& pieces() const { return *pieces_; }
    QSqlDatabase base() const;

    // Time-out of each statement in seconds (ODBC only; 0 = none).
    void definirDelaiRequete(int secondes) { delaiRequeteS_ = secondes; }
    int delaiRequete() const { return delaiRequeteS_; }

    // Each statement prepared from now on is also added, once, to the list (none when nullptr). With
    // envoyer false, no statement reaches the database, which need not even be open: the statements
    // of a dialect can be listed with no database at all.
    void releverInstructions(QStringList* releve, bool envoyer = true) {
        releve_ = releve;
        envoyer_ = envoyer;
    }
    // False while statements are only listed.
    bool envoie() const { return envoyer_; }

    qint64 instructionsExecutees() const { return instructions_; }
    qint64 lignesLues() const { return lignes_; }

    void commencerTransaction();
    // Commits. Throws Erreur when the database refuses; the transaction is then still open.
    void validerTransaction();
    // Rolls back whatever the open transaction holds (nothing when none is open); never fails.
    void annulerTransaction() noexcept;
    bool enTransaction() const { return enTransaction_; }

private:
    friend class Requete;
    void definirDialecte(Dialecte dialecte);
    QString nom_;
    Dialecte dialecte_;
    const PiecesDialecte* pieces_;
    LimitesPilote limites_;
    QStringList* releve_ = nullptr;
    bool envoyer_ = true;
    int delaiRequeteS_ = 0;
    qint64 instructions_ = 0;
    qint64 lignes_ = 0;
    bool enTransaction_ = false;
};

// One prepared statement, values bound by position, walked forward only. Prepare once, execute
// many times. The rows of one result must be read (or the statement terminated) before another
// statement runs on an ODBC connection.
class Requete {
public:
    Requete(Connexion& connexion, const QString& sql);

    // Binds the values in order and executes. Throws Erreur.
    Requete& executer(const QVariantList& valeurs = {});
    // Moves to the next row; false after the last.
    bool suivant();
    // A field of the current row by name (any letter case). Throws Erreur when the result lacks it.
    QVariant valeur(const QString& champ) const;
    QVariant valeur(int index) const;
    // TexteChamp of a field.
    QString texte(const QString& champ) const { return TexteChamp(valeur(champ)); }
    // The rows the last statement changed, as the database counts them.
    int lignesTouchees() const;
    // Frees the result set (the statement stays prepared).
    void terminer();

private:
    int indexChamp(const QString& champ) const;
    Connexion* connexion_;
    QSqlQuery requete_;
    QString sql_;
    // Field positions by name, learnt once: the columns of a prepared statement do not change.
    mutable std::vector<std::pair<QString, int>> index_;
};

// Raises an Erreur from a QSqlError: the database's words, and what it was doing (contexte), for the
// user; the statement (instruction) only in the details for support. A database that may only be
// read is said in French, the driver's words going to the details too.
[[noreturn]] void LeverErreurSql(const class QSqlError& erreur, const QString& contexte,
                                 const QString& instruction = {});

// What the user reads when the database refuses a write because it may only be read.
QString DescriptionBaseEnLectureSeule();

} // namespace cc
