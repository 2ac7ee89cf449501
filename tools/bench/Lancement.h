#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

namespace cc::banc {

// One run of a child program, waited for to its end.
struct Lancement {
    bool demarre = false; // false when the program could not be started or crashed
    int code = -1;
    qint64 dureeNs = 0; // wall time from the start to the end of the process
    QByteArray sortie;
    QByteArray erreurs;
};

Lancement Lancer(const QString& programme, const QStringList& arguments,
                 const QProcessEnvironment& environnement);

// What the program's --statistiques line says about a batch run: its counts and its costs.
struct Statistiques {
    qint64 parcourus = 0;
    qint64 lignesRapport = 0;
    qint64 ajoutes = 0;
    qint64 reecrits = 0;
    qint64 instructions = 0;
    qint64 lignesLues = 0;
    qint64 memoireKo = 0;
    qint64 dureeMs = 0;
};

// Empty when the line or one of these figures is missing: a program that does not print them cannot
// be measured.
std::optional<Statistiques> LireStatistiques(const QString& erreurs);

// The last non-empty line of a text (the report path the program prints last).
QString DerniereLigne(const QString& texte);

} // namespace cc::banc
