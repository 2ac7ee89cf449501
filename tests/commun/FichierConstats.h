#pragma once

// The findings file that a run writes beside its report, read back the way a spreadsheet would, and
// checked against the model, against the run's own summary and, for an undo, against the file undone.

#include "Lot.h"
#include "Modele.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace cc::test {

// A CSV file's rows: UTF-8 after a byte-order mark, ";" between fields, RFC 4180 quoting, each line
// ended by CR LF. erreur says where the bytes break these rules; the rows are then incomplete.
struct LectureCsv {
    std::vector<QStringList> lignes;
    QString erreur;
};
LectureCsv lireCsv(const QByteArray& octets);

// The rows of a run's findings file, header checked and left out, each with the stand-ins of the
// model where the run took the clock: the stamp must be the report's, a DATE_MAJ written by a check
// must lie within the run (an undo's rows may repeat those of the run undone). erreur says what is
// wrong with the file.
struct Constats {
    std::vector<QStringList> lignes;
    QString erreur;
};
Constats lireConstats(const ResultatLot& r);

// Empty when the run's findings file holds the expected rows: in the same order, or in any order
// where the database gives its rows in an order of its own.
QString comparerConstats(const std::vector<QStringList>& attendu, const ResultatLot& r,
                         bool dansLeDesordre = false);

// Empty when the batch summary's counts of rows added and amounts rewritten are the findings file's.
QString comparerResume(const ResultatLot& r);

// The findings rows of a run that record a write, in the file's order.
std::vector<QStringList> ecritures(const std::vector<QStringList>& lignes);

// Empty when an undo of the repairing run's findings file did what it must: exit status 0, and one row
// per write of the file, the last first, saying the write was reversed, or, once it was (dejaFaite),
// that the row is already as before.
QString verifierAnnulation(const ResultatLot& reparation, const ResultatLot& annulation, bool dejaFaite);

} // namespace cc::test
