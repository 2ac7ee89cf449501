#pragma once

// What the readers of the invoice tables and of FACTCLI share: the walk they follow, the lot of
// numbers they read at once, and the bounds of a period.

#include "data/Connexion.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>

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

// The statement that reads the given columns of a table for a whole lot of numbers, each row beside
// the number it answers (column 0). The rows of a number come in the order a plain selection of that
// number returns them, where the table keeps one (the first row of a number is the one that counts).
QString SqlLot(const Connexion& connexion, const QString& colonnes, const QString& table,
               const QString& colonneNumero, const Localisation& localisation);

// The two days of a period as values to bind against a JOUR column, both included. Where days are
// ISO text, the last day must also take "yyyy-MM-dd 00:00:00" and nothing later.
QVariantList BornesPeriode(const Connexion& connexion, const QDate& debut, const QDate& fin);

} // namespace cc
