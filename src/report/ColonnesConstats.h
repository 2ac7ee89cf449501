#pragma once

#include <QString>
#include <QStringView>
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
inline const std::vector<QString>& ColonnesConstats() {
    static const std::vector<QString> colonnes{
        QStringLiteral("Exécution"),
        QStringLiteral("Sens"),
        QStringLiteral("Facture"),
        QStringLiteral("Dossier"),
        QStringLiteral("Devis"),
        QStringLiteral("Constat"),
        QStringLiteral("Montant FACTCLI"),
        QStringLiteral("Montant facturé"),
        QStringLiteral("Action"),
        QStringLiteral("Numéro écrit"),
        QStringLiteral("Jour écrit"),
        QStringLiteral("Date de mise à jour écrite"),
        QStringLiteral("Ancien numéro"),
        QStringLiteral("Ancien dossier"),
        QStringLiteral("Ancien jour"),
        QStringLiteral("Ancien devis"),
        QStringLiteral("Ancienne date de mise à jour"),
        QStringLiteral("Ligne"),
    };
    return colonnes;
}

// A DATE_MAJ the program wrote, as the findings file gives it (ISO 8601, to the minute).
inline constexpr QStringView FormatDateConstats = u"yyyy-MM-ddThh:mm";

} // namespace cc
