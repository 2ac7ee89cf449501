#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <utility>

// The line that --statistiques adds on standard error, for programs to read (the benchmark): the word
// "statistiques", then clé=valeur pairs one space apart, every value a whole number. A key keeps its
// meaning; keys may be added, never renamed.

namespace cc {

namespace cle {
// A check's counts.
inline constexpr QStringView Parcourus = u"parcourus";
inline constexpr QStringView LignesRapport = u"lignes_rapport";
inline constexpr QStringView Manquants = u"manquants";
inline constexpr QStringView MontantsDifferents = u"montants_differents";
inline constexpr QStringView Ajoutes = u"ajoutes";
inline constexpr QStringView Reecrits = u"reecrits";
// An undo's counts.
inline constexpr QStringView Ecritures = u"ecritures";
inline constexpr QStringView Annulees = u"annulees";
inline constexpr QStringView DejaRetablies = u"deja_retablies";
inline constexpr QStringView Laissees = u"laissees";
// What the run cost.
inline constexpr QStringView Instructions = u"instructions";
inline constexpr QStringView LignesLues = u"lignes_lues";
inline constexpr QStringView MemoireMaximaleKo = u"memoire_max_ko";
inline constexpr QStringView DureeMs = u"duree_ms";
} // namespace cle

using ValeursStatistiques = QList<std::pair<QStringView, qint64>>;

// "statistiques" and the pairs, in the order given.
QString LigneStatistiques(const ValeursStatistiques& valeurs);

// The pairs of the first line of a text (standard error) that holds the word followed by pairs only;
// nothing when no line does.
std::optional<QHash<QString, qint64>> LireLigneStatistiques(QStringView texte);

} // namespace cc
