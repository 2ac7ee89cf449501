#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace cc::banc {

enum class Sens { Factures, FactCli };

// Where a company's tables are read: a QtSql driver, its database name (a file, or an ODBC connection
// string) and how the program binds the period there.
struct Source {
    QString pilote;
    QString base;
    QString options;
    QString utilisateur;
    QString motDePasse;
    bool joursEnTexte = true; // SQLite keeps days as ISO text; a server has timestamps
    QString ordreFactCli;     // the column that gives FACTCLI's insertion order

    // A SQLite company file, read-only.
    static Source sqlite(const QString& chemin);
};

// What reading the rows of a check once costs: one plain query per table over the period, every
// column that the check uses fetched and turned into text.
struct LectureTable {
    QString table;
    qint64 lignes = 0;
    qint64 dureeNs = 0;
};

struct Plancher {
    qint64 dureeNs = 0;
    qint64 lignes = 0;
    QList<LectureTable> tables;
};

// Opens the company database, reads once to warm the cache, then keeps the best of `repetitions`
// timed readings. Throws std::runtime_error when the database refuses a query.
Plancher MesurerPlancher(const Source& source, const QDate& debut, const QDate& fin, Sens sens,
                         int repetitions);

// A digest of every row of FACTCLI (types and values, in row order): two companies that end with
// the same digest hold the same FACTCLI.
QByteArray EmpreinteFactCli(const Source& source);

} // namespace cc::banc
