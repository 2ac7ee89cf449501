#include "data/Catalogue.h"

#include "data/EcritureTableFactCli.h"
#include "data/LectureFactCli.h"
#include "data/LectureFactures.h"

namespace cc {

void ConstruireInstructions(Connexion& connexion) {
    const QDate jour(2000, 1, 1);
    ListerFacturesPeriode(connexion, jour, jour, [](const QVariant&) {});
    ListerFactCliPeriode(connexion, jour, jour, [](const QString&, const QString&, const QVariant&) {});
    for (const Parcours parcours : {Parcours::Reference, Parcours::ParFacture, Parcours::ParLots}) {
        const LectureFactures factures(connexion, parcours, true);
        for (const bool complete : {false, true})
            const LectureFactCli factCli(connexion, parcours, complete);
    }
    EcritureTableFactCli ecriture(connexion);
    if (!ecriture.groupable())
        return;
    for (const auto genre : {EcritureTableFactCli::Groupe::Ajout, EcritureTableFactCli::Groupe::Lecture,
                             EcritureTableFactCli::Groupe::Reecriture})
        for (const std::size_t nombre : {1, 2})
            ecriture.instruction(genre, nombre);
}

QStringList InstructionsDuDialecte(Dialecte dialecte) {
    QStringList releve;
    Connexion connexion(Connexion::nouveauNom(), dialecte);
    connexion.releverInstructions(&releve, false);
    ConstruireInstructions(connexion);
    return releve;
}

const std::vector<DialecteListe>& DialectesListes() {
    static const std::vector<DialecteListe> liste{
        {Dialecte::SQLite, QStringLiteral("SQLite")},
        {Dialecte::Postgres, QStringLiteral("PostgreSQL")},
        {Dialecte::SqlServer2005, QStringLiteral("SQL Server 2005")},
        {Dialecte::SqlServer, QStringLiteral("SQL Server 2008+")},
        {Dialecte::Jet, QStringLiteral("Jet")}};
    return liste;
}

} // namespace cc
