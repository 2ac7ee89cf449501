#include "app/Lot.h"

#include "app/ArretParSignal.h"
#include "app/Demarrage.h"
#include "app/Execution.h"
#include "app/MemoireProcessus.h"
#include "app/OptionsLot.h"
#include "app/TerminalLot.h"
#include "report/DossierRapports.h"
#include "report/Rapport.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace cc {

namespace {

// The reference walk, one invoice at a time, for the benchmark and the differential tests.
// CC_PARCOURS=facture: one statement per table and invoice, as on a database without lists.
void choisirParcours(OptionsControle& options) {
    if (qEnvironmentVariable("CC_PARCOURS") == u"reference")
        options.parcours = Parcours::Reference;
    else if (qEnvironmentVariable("CC_PARCOURS") == u"facture")
        options.parcours = Parcours::ParFacture;
}

// A run's messages on standard error after its end: its sum-up and, when asked, its statistics. A run
// that failed has no sum-up: its counts would read as a result, just before the error that voids it.
void ecrireBilan(const ArgumentsLot& lot, const ResultatExecution& resultat, const Connexion& connexion,
                 const QElapsedTimer& chrono, QTextStream& erreurs) {
    const bool annulation = !lot.annuler.isEmpty();
    if (!lot.silencieux && !resultat.erreur)
        erreurs << PrefixeTerminal() << BilanLot(resultat, annulation) << Qt::endl;
    if (lot.statistiques) {
        const CoutsLot couts{connexion.instructionsExecutees(), connexion.lignesLues(), MemoireMaximaleKo(),
                             chrono.elapsed()};
        erreurs << PrefixeTerminal() << StatistiquesLot(resultat, annulation, couts) << Qt::endl;
    }
}

// How the run ended: its last message, the report's path on standard output, the exit status.
int conclure(const ArgumentsLot& lot, const ResultatExecution& resultat, const Session& session,
             const ArretParSignal& arret, Interlocuteur& interlocuteur, QTextStream& sortie,
             QTextStream& erreurs) {
    const bool rapportPresent =
        !resultat.fichierRapport.isEmpty() && QFileInfo::exists(resultat.fichierRapport);
    if (resultat.arret) {
        interlocuteur.message(MessageArret(*resultat.arret, resultat.fichierRapport), TitreApplication(),
                              Icone::Critique);
        if (rapportPresent)
            sortie << resultat.fichierRapport << Qt::endl;
        return SortieSignal(arret.signalRecu());
    }
    if (!resultat.reussi()) {
        interlocuteur.message(MessageEchec(*resultat.erreur, resultat.fichierRapport, session.designation),
                              TitreApplication(), Icone::Critique);
        EcrireDetails(*resultat.erreur, erreurs);
        if (rapportPresent)
            sortie << resultat.fichierRapport << Qt::endl;
        return SortieEchec;
    }
    interlocuteur.question(MessageFin(resultat.fichierRapport), TitreApplication());
    sortie << resultat.fichierRapport << Qt::endl;
    if (!lot.annuler.isEmpty())
        return resultat.annulation.incomplete() ? SortieRapportNonVide : SortieRapportVide;
    // A scheduled job must see that something was found even when the report, as specified, lists
    // no differing amount.
    return resultat.trouve() ? SortieRapportNonVide : SortieRapportVide;
}

// The check or the undo, from the start-up to the exit status.
int executer(const ArgumentsLot& lot, const QString& repertoireProgramme, const Horloge& horloge,
             QTextStream& sortie, QTextStream& erreurs, bool erreursSurTerminal) {
    QElapsedTimer chrono;
    chrono.start();
    const ArretParSignal arret;
    InterlocuteurTerminal interlocuteur(erreurs, lot.silencieux, erreursSurTerminal);
    if (!lot.annuler.isEmpty()) {
        if (const auto probleme = ProblemeFichierConstats(lot.annuler)) {
            interlocuteur.message(*probleme, TitreApplication(), Icone::Critique);
            return SortieEchec;
        }
    }
    const bool ecritures = !lot.annuler.isEmpty() || lot.options.ajouter || lot.options.mettreAJour;
    auto session = Demarrer(interlocuteur, ecritures);
    if (!session)
        return SortieEchec;
    if (const int numero = arret.signalRecu()) {
        interlocuteur.message(
            QStringLiteral("Arrêt demandé avant le début du contrôle : rien n'a été lu ni écrit."),
            TitreApplication(), Icone::Critique);
        return SortieSignal(numero);
    }

    const EmplacementRapports emplacement = DossierRapports(repertoireProgramme, lot.rapports);
    if (emplacement.horsProgramme && !lot.silencieux)
        erreurs << PrefixeTerminal() << MessageDossierRapports(emplacement) << Qt::endl;
    Rapport rapport(emplacement.dossier, session->environnement.RepertoireSociete, horloge);
    FichierConstats constats(session->identite);
    ProgressionLot progression(erreursSurTerminal && !lot.silencieux ? &erreurs : nullptr, arret);
    const ContexteControle contexte{*session->connexion, rapport, interlocuteur,
                                    progression,         horloge, &constats};
    const ResultatExecution resultat = lot.annuler.isEmpty()
                                           ? ExecuterControle(contexte, lot.options)
                                           : ExecuterAnnulation(contexte, lot.annuler, session->identite);
    progression.effacer();
    ecrireBilan(lot, resultat, *session->connexion, chrono, erreurs);
    return conclure(lot, resultat, *session, arret, interlocuteur, sortie, erreurs);
}

} // namespace

int ExecuterLot(const QStringList& arguments, const QString& repertoireProgramme, const Horloge& horloge,
                QTextStream& sortie, QTextStream& erreurs, bool erreursSurTerminal) {
    const auto analyse = AnalyserArguments(arguments, horloge().date());
    if (const auto* e = std::get_if<ErreurUsage>(&analyse)) {
        erreurs << TexteErreurUsage(e->message) << Qt::flush;
        return SortieUsage;
    }
    ArgumentsLot lot = std::get<ArgumentsLot>(analyse);
    choisirParcours(lot.options);
    if (lot.aide) {
        sortie << TexteUsage() << Qt::flush;
        return SortieRapportVide;
    }
    if (lot.version) {
        sortie << QStringLiteral("controle-coherence ") << QStringLiteral(CC_VERSION) << Qt::endl;
        return SortieRapportVide;
    }
    return executer(lot, repertoireProgramme, horloge, sortie, erreurs, erreursSurTerminal);
}

} // namespace cc
