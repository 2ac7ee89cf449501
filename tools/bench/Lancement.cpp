#include "Lancement.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

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
    static const QRegularExpression bilan(
        QStringLiteral("Enregistrements parcourus : (\\d+) ; lignes du rapport : (\\d+) ;.*"
                       "enregistrements ajoutés : (\\d+) ; montants réécrits : (\\d+)"));
    static const QRegularExpression mesures(
        QStringLiteral("Statistiques : instructions (\\d+) ; lignes lues (\\d+) ; mémoire maximale (-?\\d+) "
                       "Ko ; durée (\\d+) ms"));
    const auto b = bilan.match(erreurs);
    const auto m = mesures.match(erreurs);
    if (!b.hasMatch() || !m.hasMatch())
        return std::nullopt;
    Statistiques s;
    s.parcourus = b.captured(1).toLongLong();
    s.lignesRapport = b.captured(2).toLongLong();
    s.ajoutes = b.captured(3).toLongLong();
    s.reecrits = b.captured(4).toLongLong();
    s.instructions = m.captured(1).toLongLong();
    s.lignesLues = m.captured(2).toLongLong();
    s.memoireKo = m.captured(3).toLongLong();
    s.dureeMs = m.captured(4).toLongLong();
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
