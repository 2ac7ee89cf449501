#include "Lancement.h"

#include "commun/LigneStatistiques.h"

#include <QElapsedTimer>
#include <QProcess>

namespace cc::banc {

Lancement Lancer(const QString& programme, const QStringList& arguments,
                 const QProcessEnvironment& environnement) {
    Lancement l;
    QProcess p;
    p.setProcessEnvironment(environnement);
    // Both streams are kept whole: the figures come from standard error, the report path from
    // standard output.
    QElapsedTimer chrono;
    chrono.start();
    p.start(programme, arguments);
    if (!p.waitForStarted(-1))
        return l;
    p.closeWriteChannel();
    p.waitForFinished(-1);
    l.dureeNs = chrono.nsecsElapsed();
    l.sortie = p.readAllStandardOutput();
    l.erreurs = p.readAllStandardError();
    l.demarre = p.exitStatus() == QProcess::NormalExit;
    l.code = p.exitCode();
    return l;
}

std::optional<Statistiques> LireStatistiques(const QString& erreurs) {
    const auto valeurs = LireLigneStatistiques(erreurs);
    if (!valeurs)
        return std::nullopt;
    Statistiques s;
    const std::pair<QStringView, qint64*> champs[] = {{cle::Parcourus, &s.parcourus},
                                                      {cle::LignesRapport, &s.lignesRapport},
                                                      {cle::Ajoutes, &s.ajoutes},
                                                      {cle::Reecrits, &s.reecrits},
                                                      {cle::Instructions, &s.instructions},
                                                      {cle::LignesLues, &s.lignesLues},
                                                      {cle::MemoireMaximaleKo, &s.memoireKo},
                                                      {cle::DureeMs, &s.dureeMs}};
    for (const auto& [nom, champ] : champs) {
        const auto v = valeurs->constFind(nom.toString());
        if (v == valeurs->cend())
            return std::nullopt;
        *champ = *v;
    }
    return s;
}

QString DerniereLigne(const QString& texte) {
    const QStringList lignes = texte.split(u'\n', Qt::SkipEmptyParts);
    for (auto it = lignes.crbegin(); it != lignes.crend(); ++it) {
        const QString l = it->trimmed();
        if (!l.isEmpty())
            return l;
    }
    return {};
}

} // namespace cc::banc
