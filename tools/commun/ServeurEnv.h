#pragma once

// The address and logins of the throw-away PostgreSQL server, as scripts/postgres writes them to
// DOSSIER/serveur.env (lines KEY=value, a value maybe between double quotes). Shared by the benchmark
// and the server tests.

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>
#include <optional>

namespace cc::outils {

// The keys and values of the file; nothing when it cannot be read.
inline std::optional<QHash<QByteArray, QString>> LireServeurEnv(const QString& chemin) {
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QByteArray, QString> valeurs;
    for (const QByteArray& ligne : f.readAll().split('\n')) {
        const qsizetype egal = ligne.indexOf('=');
        if (egal < 0)
            continue;
        QString valeur = QString::fromUtf8(ligne.mid(egal + 1));
        if (valeur.size() >= 2 && valeur.startsWith(u'"') && valeur.endsWith(u'"'))
            valeur = valeur.mid(1, valeur.size() - 2);
        valeurs.insert(ligne.left(egal), valeur);
    }
    return valeurs;
}

} // namespace cc::outils
