#include "data/RefusPilote.h"

#include "data/ColonnesFactCli.h"
#include "data/LectureFactures.h"

#include <QSqlDatabase>

namespace cc {

namespace {

// "A", "A et B", "A, B et C".
QString enumeration(const QStringList& noms) {
    if (noms.size() < 2)
        return noms.join(QString());
    return noms.first(noms.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" et ") + noms.last();
}

const QString WindowsLit =
    QStringLiteral("Le programme pour Windows, avec le pilote Access de Windows, lit ");

} // namespace

QStringList TablesControlees() {
    return {TableFactures, TableLignesFactures, TableFactCli};
}

std::optional<QString> RefusPilote(const Connexion& connexion, const QString& designation, bool ecritures) {
    const LimitesPilote& limites = connexion.limites();
    if (ecritures && limites.lectureSeule)
        return QStringLiteral(
                   "La base %1 est un fichier Jet, que le pilote MDBTools lit ici sans pouvoir y "
                   "écrire : les réparations de FACTCLI (ajout de lignes, réécriture des montants, "
                   "annulation) sont impossibles sous Linux. Rien n'a été lu ni écrit.\r\n")
                   .arg(designation) +
               WindowsLit + QStringLiteral("et répare ce fichier.");
    if (!limites.lectureSeule && !limites.sansParametres)
        return std::nullopt;
    // The list of tables comes from the driver's catalogue, which takes no statement.
    const QStringList presentes = connexion.base().tables(QSql::Tables);
    QStringList absentes;
    for (const QString& table : TablesControlees())
        if (!presentes.contains(table, Qt::CaseInsensitive))
            absentes.append(table);
    if (!absentes.isEmpty())
        return (absentes.size() == 1
                    ? QStringLiteral("La table %1 est absente de la base %2 : ce fichier n'est "
                                     "pas une base de société VENDRAX.")
                    : QStringLiteral("Les tables %1 sont absentes de la base %2 : ce fichier "
                                     "n'est pas une base de société VENDRAX."))
            .arg(enumeration(absentes), designation);
    if (limites.sansParametres)
        // Values are never written into the text of a statement: without parameters nothing can be asked.
        return QStringLiteral(
                   "La base %1 est un fichier Jet, que le pilote MDBTools ne sait pas interroger "
                   "avec des valeurs (il ne prend aucun paramètre) : aucun contrôle ne peut la lire "
                   "sous Linux. Rien n'a été lu ni écrit.\r\n")
                   .arg(designation) +
               WindowsLit + QStringLiteral("ce fichier.");
    return std::nullopt;
}

} // namespace cc
