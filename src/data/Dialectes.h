#pragma once

// Everything that differs from one database to another: the pieces each dialect gives the
// statements, which database an ODBC connection reaches, which ODBC driver serves a company, and how
// the rows of a table are named and ordered. The rest of src/data builds its statements from these
// and never looks at the dialect itself.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <cstddef>

namespace cc {

class Connexion;

// Which database a connection speaks to. SqlServer2005 is a SQL Server older than 2008, which takes
// no list of values and names no physical row.
enum class Dialecte { SQLite, SqlServer, SqlServer2005, Postgres, Jet, Autre };

// The pieces that differ from one database to another, one set per dialect, chosen when connecting.
// Where a piece names a table, %1 stands for it.
struct PiecesDialecte {
    // Reached through ODBC: the statement time-out is set on each statement handle.
    bool odbc = false;
    // A write group begins with the write lock taken, so that another writer is waited for (SQLite).
    bool verrouAuDebut = false;
    // Days are kept as ISO text, where the last day of a period must also take "yyyy-MM-dd 00:00:00".
    bool joursEnTexte = false;
    // A write can give back the locator of the row it wrote ("RETURNING").
    bool retourLigne = false;
    // An expression naming one physical row, selected beside it, and the condition that finds that
    // row again from the bound value. Empty where the database has none.
    QString localisateur = {};
    QString conditionLocalisateur = {};
    // The same two where the table (%1) is joined with a list of values named v: the locator spelt
    // with its table, and the condition that finds the row from the column l of v. Empty where rows
    // are not written in groups.
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
    // A value of a list (%1), bound as it comes, read as a floating-point number; empty where rows
    // are not written in groups.
    QString valeurReelle = {};
    // 1 where a column's value (%1) is text or Null, so that comparing it with a text compares texts.
    QString valeurTexte = {};
    // How long ago a row's present version was written, in transactions (smaller is newer); empty
    // where the database does not say.
    QString ageLigne = {};
    // A statement giving one row per column of a table (bound: the table, then two column names), 1
    // where the column holds text that the database compares byte for byte, up to letter case and
    // trailing blanks at most; empty where the database is not asked (SQLite is looked at otherwise).
    QString comparaisonTexte = {};
    // A row is added by a statement that checks, as it inserts, that the pair is still absent: another
    // writer may insert it between the selection and the write (a server; SQLite's write lock holds).
    bool ajoutSiAbsent = false;
};

const PiecesDialecte& PiecesDe(Dialecte dialecte);

// The dialect of an open ODBC connection, from the name and version that the DBMS gives itself;
// parDefaut when it gives no name that is known.
Dialecte DialecteServeur(const QSqlDatabase& db, Dialecte parDefaut);
Dialecte DialecteDuSgbd(const QString& nomSgbd, const QString& versionSgbd, Dialecte parDefaut);
// The dialect of a SQL Server from the version it gives ("09.00.5000"): major version 10 (2008) and
// later take lists of values and name rows. A text that is no version gets the older dialect, which
// every version takes.
Dialecte DialecteVersionSqlServer(const QString& version);

// How the rows of one table are named and ordered: an expression naming one physical row (selected
// beside it), the condition that finds that row again from the bound value, and the column that
// orders the rows as a plain selection returns them. Empty where the table has none.
struct Localisation {
    QString expression = {};
    QString condition = {};
    QString ordre = {};
    // The same where the table is joined with a list of values named v, the condition against its
    // column l; empty where rows are not written in groups.
    QString expressionJointe = {};
    QString conditionListe = {};
    // Provable: the database's equality on the key columns is known to be one that FormeLarge covers
    // (two keys it finds equal have the same FormeLarge: text, byte for byte up to letter case and
    // trailing blanks, no numeric affinity, no collation the program does not model), and a
    // statement joining the table with a list of values finds the same rows as a plain selection of
    // one key. Only then do rows read for a lot stand for what that selection would return (and only
    // for a key none of whose rows share a FormeLarge, since which comes first is the selection's
    // order); otherwise each key is asked alone and each write is decided by its own selection.
    bool comparaisonSure = false;
    // Rows whose keys are the same characters come in the order of their locator from a selection of
    // one number, whatever index it goes through (SQLite: every index naming the number is on the
    // number alone or on the number and the dossier, whose equal keys an index keeps in rowid order).
    bool egalesDansLOrdre = false;
};

// The way rows of the table are named on this connection, and how it compares the key columns named.
// A SQLite table is looked at, since its rowid may be hidden or missing.
Localisation LocaliserLignes(Connexion& connexion, const QString& table, const QStringList& cles = {});

// "(?, ?),(?, ?)…": the given number of rows of bound values, as a list of values or a multi-row
// insert takes them.
QString LignesDeMarques(std::size_t lignes, int colonnes);
// A FROM item named v, with one column n holding the given number of bound values; empty where the
// database takes no such list.
QString ListeDeValeurs(const PiecesDialecte& pieces, int nombre);
// A FROM item named v of the given number of rows of bound values, its columns bearing the names given.
QString TableDeValeurs(const PiecesDialecte& pieces, std::size_t lignes, const QStringList& noms);

// The system whose ODBC drivers serve the company.
enum class Systeme { Windows, Autre };
#ifdef Q_OS_WIN
inline constexpr Systeme SystemeCourant = Systeme::Windows;
#else
inline constexpr Systeme SystemeCourant = Systeme::Autre;
#endif

// The ODBC drivers looked for, by the name they are registered under. Windows ships the first one,
// and the second for 32-bit programs only; the others are installed apart.
inline const QString PiloteWindowsSqlServer = QStringLiteral("SQL Server");
inline const QString PiloteAccess = QStringLiteral("Microsoft Access Driver (*.mdb)");
inline const QString PiloteAccessAce = QStringLiteral("Microsoft Access Driver (*.mdb, *.accdb)");
inline const QString PiloteNatif10 = QStringLiteral("SQL Server Native Client 10.0");
inline const QString PiloteNatif11 = QStringLiteral("SQL Server Native Client 11.0");
inline const QString Pilote18 = QStringLiteral("ODBC Driver 18 for SQL Server");
inline const QString Pilote17 = QStringLiteral("ODBC Driver 17 for SQL Server");
inline const QString PiloteFreeTds = QStringLiteral("FreeTDS");
inline const QString PiloteMdbTools = QStringLiteral("MDBTools");
// Last resort off Windows: a company database served by PostgreSQL.
inline const QString PilotePostgres = QStringLiteral("PostgreSQL Unicode");

// The drivers that may serve a company on SQL Server, best first. On Windows, for a server said to be
// 2005 or 2008 (recent), the native client of that time first and the plain driver last; for any
// other the plain driver first. Elsewhere the Microsoft drivers, FreeTDS, then PostgreSQL.
QStringList PilotesSqlServerPossibles(bool recent, Systeme systeme);
// The first of those that is registered; empty when none is.
QString PiloteSqlServer(const QStringList& pilotes, bool recent, Systeme systeme);
// The dialect that a company served by SQL Server speaks through the driver.
Dialecte DialecteDuPilote(const QString& pilote);
// Whether the driver takes MARS_Connection (the native clients and the numbered Microsoft drivers).
bool PiloteAvecMars(const QString& pilote);
// The drivers that may read a Jet file, best first: on Windows the Access ones, elsewhere MDBTools.
QStringList PilotesJetPossibles(Systeme systeme);
// The first of those that is registered; empty when none is.
QString PiloteJet(const QStringList& pilotes, Systeme systeme);

// 32 or 64: a program sees only the ODBC drivers built for its own size.
inline constexpr int BitsProgramme = int(sizeof(void*) * 8);

} // namespace cc
