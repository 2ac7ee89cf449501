#pragma once

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <utility>
#include <vector>

namespace cc {

// Which database a connection speaks to.
enum class Dialecte { SQLite, SqlServer, Postgres, Jet, Autre };

// The pieces that differ from one database to another, one set per dialect, chosen when connecting.
// Nothing else looks at the dialect: the table-access unit builds its statements from these.
struct PiecesDialecte {
    // Reached through ODBC: the statement time-out is set on each statement handle.
    bool odbc = false;
    // A write group begins with the write lock taken, so that another writer is waited for (SQLite).
    bool verrouAuDebut = false;
    // Days are kept as ISO text, where the last day of a period must also take "yyyy-MM-dd 00:00:00".
    bool joursEnTexte = false;
    // Texts compare by SQLite's BINARY, NOCASE and RTRIM rules, which the program can reproduce.
    bool comparaisonSQLite = false;
    // A write can give back the locator of the row it wrote ("RETURNING").
    bool retourLigne = false;
    // An expression naming one physical row, selected beside it, and the condition that finds that
    // row again from the bound value. Empty where the database has none.
    QString localisateur = {};
    QString conditionLocalisateur = {};
    // The same two where the table (FACTCLI) is joined with a list of values named v: the locator
    // spelt with its table, and the condition that finds the row from the column l of v. Empty where
    // rows are not written in groups.
    QString localisateurJoint = {};
    QString conditionLocalisateurListe = {};
    // The column that orders a table's rows as a plain selection returns them; empty where none.
    QString ordrePhysique = {};
    // A FROM item named v with one column n of bound values, %1 standing for "(?),(?),…". Empty
    // where the database takes no such list (Jet).
    QString listeDeValeurs = {};
    // A FROM item named v with several columns of bound values: %1 stands for the rows "(?, ?),(?, ?)…",
    // %2 for the names of the columns, "a, b" or, where the database numbers them itself, "column1
    // AS a, column2 AS b". Empty where the database takes no such list.
    QString tableDeValeurs = {};
    bool colonnesNumerotees = false;
    // 1 where a column's value (%1) is text or Null, so that comparing it with a text compares texts.
    QString valeurTexte = {};
    // How long ago a row's present version was written, in transactions (smaller is newer); empty
    // where the database does not say.
    QString ageLigne = {};
};

const PiecesDialecte& PiecesDe(Dialecte dialecte);

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
    const PiecesDialecte& pieces() const { return *pieces_; }
    QSqlDatabase base() const;

    // Time-out of each statement in seconds (ODBC only; 0 = none).
    void definirDelaiRequete(int secondes) { delaiRequeteS_ = secondes; }
    int delaiRequete() const { return delaiRequeteS_; }

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

// The dialect of an open ODBC connection, from the name that the DBMS gives itself; parDefaut when
// it gives none that is known.
Dialecte DialecteServeur(const QSqlDatabase& db, Dialecte parDefaut);
Dialecte DialecteDuSgbd(const QString& nomSgbd, Dialecte parDefaut);

// Raises an Erreur from a QSqlError.
[[noreturn]] void LeverErreurSql(const class QSqlError& erreur, const QString& contexte);

} // namespace cc
