#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstddef>
#include <vector>

namespace cc {

// The columns of the findings file, in their order: what writes the file and what reads it back go
// by these alone.
enum class ColonneConstat {
    Execution,
    Sens,
    Facture,
    Dossier,
    Devis,
    Constat,
    MontantFactCli,
    MontantFacture,
    Action,
    NumeroEcrit,
    JourEcrit,
    DateMajEcrite,
    AncienNumero,
    AncienDossier,
    AncienJour,
    AncienDevis,
    AncienneDateMaj,
    Ligne,
    // Appended later: a file without them is an older one, still read.
    Groupe,
    Base,
    ValeursExactes,
    Controle,
};
inline constexpr std::size_t NombreColonnesConstats = std::size_t(ColonneConstat::Controle) + 1;
// The columns of a file written before the undo journal.
inline constexpr std::size_t NombreColonnesAnciennes = std::size_t(ColonneConstat::Ligne) + 1;

// The header row's column names, in the order of ColonneConstat.
inline constexpr std::array<QStringView, NombreColonnesConstats> NomsColonnesConstats{
    u"Exécution",
    u"Sens",
    u"Facture",
    u"Dossier",
    u"Devis",
    u"Constat",
    u"Montant FACTCLI",
    u"Montant facturé",
    u"Action",
    u"Numéro écrit",
    u"Jour écrit",
    u"Date de mise à jour écrite",
    u"Ancien numéro",
    u"Ancien dossier",
    u"Ancien jour",
    u"Ancien devis",
    u"Ancienne date de mise à jour",
    u"Ligne",
    u"Groupe",
    u"Base",
    u"Valeurs exactes",
    u"Contrôle",
};
static_assert(!NomsColonnesConstats.back().isEmpty(), "every column has a name");

inline const std::vector<QString>& ColonnesConstats() {
    static const std::vector<QString> colonnes = [] {
        std::vector<QString> noms;
        for (const QStringView nom : NomsColonnesConstats)
            noms.push_back(nom.toString());
        return noms;
    }();
    return colonnes;
}

// A time in the human columns (the run's start, a DATE_MAJ written or replaced), one format whatever the
// database held; a day alone is FormatJourConstats.
inline constexpr QStringView FormatDateConstats = u"yyyy-MM-dd hh:mm:ss";
inline constexpr QStringView FormatJourConstats = u"yyyy-MM-dd";

} // namespace cc
