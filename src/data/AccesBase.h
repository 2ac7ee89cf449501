#pragma once

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <utility>
#include <vector>

namespace cc {

// Which database a connection speaks to. Only the few dialect points below look at it.
enum class Dialecte { SQLite, SqlServer, Postgres, Jet, Autre };

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
    QSqlDatabase base() const;
    const QString& nom() const { return nom_; }

    // Time-out of each statement in seconds (ODBC only; 0 = none).
    void definirDelaiRequete(int secondes) { delaiRequeteS_ = secondes; }
    int delaiRequete() const { return delaiRequeteS_; }

    qint64 instructionsExecutees() const { return instructions_; }
    qint64 lignesLues() const { return lignes_; }

    void commencerTransaction();
    void validerTransaction();
    bool enTransaction() const { return enTransaction_; }

    // Row locator: an expression naming one physical row (SQLite rowid, PostgreSQL ctid, SQL Server
    // %%physloc%%), selected beside a row, and the condition that finds that row again from the bound
    // value. Empty where the database has none.
    QString localisateur() const;
    QString conditionLocalisateur() const;

    // The two days of a period as values to bind against a JOUR column, both included. SQLite keeps
    // days as ISO text, where the last day must also take "yyyy-MM-dd 00:00:00" and nothing later.
    QVariantList bornesJour(const QDate& debut, const QDate& fin) const;

    // A FROM item named v, with one column n holding the given number of bound values, so that one
    // statement answers for a whole lot of numbers and tells which number each row answers. Empty
    // where the database cannot take one (Jet): callers then keep one statement per number.
    QString listeDeValeurs(int nombre) const;
    // " ORDER BY" the rows of a table in the order a plain selection of one number returns them, so
    // that the rows of a lot come per number as one statement per number would give them (the first
    // row of a number is the one that counts). Empty where the database keeps no such order.
    QString ordrePhysique(const QString& table) const;

    // Raises the error that QtSql left on this connection.
    [[noreturn]] void echec(const QString& contexte) const;

private:
    friend class Requete;
    QString nom_;
    Dialecte dialecte_;
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
    int lignesTouchees() const;
    // Frees the result set (the statement stays prepared).
    void terminer();
    const QString& sql() const { return sql_; }

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
[[noreturn]] void leverErreurSql(const class QSqlError& erreur, const QString& contexte);

} // namespace cc
