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
};
inline constexpr std::size_t NombreColonnesConstats = std::size_t(ColonneConstat::Ligne) + 1;

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

// A DATE_MAJ the program wrote, as the findings file gives it (ISO 8601, to the minute).
inline constexpr QStringView FormatDateConstats = u"yyyy-MM-ddThh:mm";

} // namespace cc
