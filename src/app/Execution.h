#pragma once

#include "checks/Annulation.h"
#include "checks/Verification.h"
#include "commun/Erreur.h"
#include "commun/Progression.h"

#include <optional>

class QTextStream;

namespace cc {

class Rapport;

// How one run ended.
struct ResultatExecution {
    Compteurs compteurs;
    CompteursAnnulation annulation; // an undo's
    QString fichierRapport;
    QString fichierConstats;
    qint64 lignesRapport = 0;
    std::optional<Erreur> erreur;       // set when the run failed
    std::optional<ArretControle> arret; // set when the user stopped the run
    bool reussi() const { return !erreur.has_value() && !arret.has_value(); }
    // Whether the run found anything: a report line, or an amount that differs and stays so.
    bool trouve() const { return compteurs.trouve(lignesRapport); }
    // The findings of the report: a missing row takes two of its lines, every other finding one.
    qint64 constatsRapport() const { return lignesRapport - compteurs.manquants; }
};

// One run: opens the report, runs the check that the options pick, closes the report. A failure
// stops the run but keeps every line written and every row saved; it is returned, never thrown.
ResultatExecution ExecuterControle(const ContexteControle& contexte, const OptionsControle& options);

// One undo of the writes a findings file records, with its own report and findings file.
ResultatExecution ExecuterAnnulation(const ContexteControle& contexte, const QString& fichierConstats,
                                     const QString& identiteBase);

// Why a findings file to undo cannot be read (missing, a folder, not readable), in a French sentence
// that names it; nothing when it opens. Asked before the database is opened, so that the database is
// never blamed for the file and no report is written for nothing.
std::optional<QString> ProblemeFichierConstats(const QString& chemin);

// The text of the box that tells a failed run. The report is named only when it exists. With the
// database's designation, an error that is not the report's own is introduced by a French sentence
// that names the database.
QString MessageEchec(const Erreur& erreur, const QString& fichierRapport, const QString& base = {});
// Writes what the box leaves out of an error (the statement, the driver's words) for support.
void EcrireDetails(const Erreur& erreur, QTextStream& flux);

// The text of the box that tells where a stopped run stopped.
QString MessageArret(const ArretControle& arret, const QString& fichierRapport);

// The run's counts, in one line.
QString TexteCompteurs(const Compteurs& compteurs);

// An undo's counts, in one line.
QString TexteCompteursAnnulation(const CompteursAnnulation& compteurs);

// What a run that wrote says before the end-of-run prompt: what it wrote, and that its findings file
// allows undoing it.
QString MessageEcritures(const Compteurs& compteurs, const QString& fichierConstats);

// What a run that walked nothing says before the end-of-run prompt.
QString MessagePeriodeVide(const OptionsControle& options);

// The question asked before undoing a run's writes.
QString QuestionAnnulation(const QString& fichierConstats);

// A file that no viewer could open: where it is.
QString MessageOuvertureImpossible(const QString& chemin);

// The end-of-run prompt.
QString MessageFin(const QString& fichierRapport);

// A day in French words: « 1er janvier 2024 », with the day of the week « lundi 1er janvier 2024 ».
QString JourEnLettres(const QDate& jour, bool avecJourDeLaSemaine = false);

// The period in words: « Du lundi 1er janvier 2024 au mardi 31 décembre 2024 ».
QString TextePeriode(const QDate& debut, const QDate& fin);

// The words that refuse a period whose first day is after its last.
QString PeriodeInversee(const QString& debut, const QString& fin);
// The same, as a box says it, with the days in words.
QString MessagePeriodeInversee(const QDate& debut, const QDate& fin);

// The question asked before a run that writes: what it will write, and for which invoices.
QString QuestionReparation(const OptionsControle& options);

} // namespace cc
