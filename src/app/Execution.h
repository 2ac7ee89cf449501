#pragma once

#include "checks/Annulation.h"
#include "checks/Controles.h"
#include "commun/Erreur.h"

#include <optional>

namespace cc {

class Rapport;

// How one run ended.
struct ResultatExecution {
    Compteurs compteurs;
    CompteursAnnulation annulation; // an undo's
    QString fichierRapport;
    QString fichierConstats;
    qint64 lignesRapport = 0;
    std::optional<Erreur> erreur; // set when the run failed
    bool reussi() const { return !erreur.has_value(); }
    // Whether the run found anything: a report line, or an amount that differs and stays so.
    bool trouve() const { return compteurs.trouve(lignesRapport); }
};

// One run: opens the report, runs the check that the options pick, closes the report. A failure
// stops the run but keeps every line written and every row saved; it is returned, never thrown.
ResultatExecution ExecuterControle(const ContexteControle& contexte, const OptionsControle& options);

// One undo of the writes a findings file records, with its own report and findings file.
ResultatExecution ExecuterAnnulation(const ContexteControle& contexte, const QString& fichierConstats);

// The text of the box that tells a failed run.
QString MessageEchec(const Erreur& erreur, const QString& fichierRapport);

// The end-of-run prompt.
QString MessageFin(const QString& fichierRapport);

} // namespace cc
