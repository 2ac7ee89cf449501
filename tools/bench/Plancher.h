#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace cc::banc {

enum class Sens { Factures, FactCli };

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

// Opens the company database read-only, reads once to warm the cache, then keeps the best of
// `repetitions` timed readings. Throws std::runtime_error when the database refuses a query.
Plancher MesurerPlancher(const QString& base, const QDate& debut, const QDate& fin, Sens sens,
                         int repetitions);

// A digest of every row of FACTCLI (types and values, in row order): two companies that end with
// the same digest hold the same FACTCLI.
QByteArray EmpreinteFactCli(const QString& base);

} // namespace cc::banc
