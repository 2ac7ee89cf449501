#include "app/Lot.h"

#include "commun/TexteChamp.h"

#include "app/Demarrage.h"
#include "app/Execution.h"
#include "report/Rapport.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>

namespace cc {

namespace {

std::optional<QDate> lireJour(const QString& texte) {
    // Exactly AAAA-MM-JJ, and a real day.
    if (texte.size() != 10)
        return std::nullopt;
    const QDate d = QDate::fromString(texte, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

long memoireMaximaleKo() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    return usage.ru_maxrss;
}

} // namespace

QString TexteUsage() {
    return QStringLiteral(
        "Usage : controle-coherence --du AAAA-MM-JJ [--au AAAA-MM-JJ] [--sens factures|factcli]\n"
        "                          [--ajouter] [--mettre-a-jour]\n"
        "\n"
        "Sans argument, ouvre la fenêtre. Avec des arguments, exécute un contrôle sans fenêtre.\n"
        "  --du AAAA-MM-JJ    premier jour de la période\n"
        "  --au AAAA-MM-JJ    dernier jour de la période (par défaut : aujourd'hui)\n"
        "  --sens factures    contrôle à partir des factures (par défaut)\n"
        "  --sens factcli     contrôle à partir de FACTCLI\n"
        "  --ajouter          ajouter les enregistrements manquants dans FACTCLI\n"
        "  --mettre-a-jour    mettre à jour les montants différents\n"
        "  --annuler FICHIER  annuler les écritures enregistrées dans un fichier de constats (.csv)\n"
        "  --statistiques     ajoute une ligne de mesures (instructions, lignes lues, mémoire, durée)\n"
        "  --help             affiche cette aide\n"
        "  --version          affiche la version\n"
        "\n"
        "Code de sortie : 0 rien trouvé, 1 quelque chose trouvé (ou, avec --annuler, des lignes laissées\n"
        "telles quelles), 2 échec, 64 erreur d'usage.\n");
}

std::variant<ArgumentsLot, ErreurUsage> AnalyserArguments(const QStringList& arguments,
                                                          const QDate& aujourdhui) {
    ArgumentsLot lot;
    lot.options.fin = aujourdhui;
    bool duDonne = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        auto valeur = [&](QString& v) -> bool {
            if (i + 1 >= arguments.size())
                return false;
            v = arguments.at(++i);
            return true;
        };
        QString v;
        if (a == u"--help" || a == u"-h") {
            lot.aide = true;
        } else if (a == u"--version") {
            lot.version = true;
        } else if (a == u"--du" || a == u"--au") {
            if (!valeur(v))
                return ErreurUsage{QStringLiteral("L'option %1 attend une date AAAA-MM-JJ.").arg(a)};
            const auto jour = lireJour(v);
            if (!jour)
                return ErreurUsage{QStringLiteral("Date invalide pour %1 : %2").arg(a, v)};
            if (a == u"--du") {
                lot.options.debut = *jour;
                duDonne = true;
            } else {
                lot.options.fin = *jour;
            }
        } else if (a == u"--sens") {
            if (!valeur(v))
                return ErreurUsage{QStringLiteral("L'option --sens attend factures ou factcli.")};
            if (v == u"factures")
                lot.options.aPartirDesFactures = true;
            else if (v == u"factcli")
                lot.options.aPartirDesFactures = false;
            else
                return ErreurUsage{QStringLiteral("Sens inconnu : %1 (factures ou factcli)").arg(v)};
        } else if (a == u"--annuler") {
            if (!valeur(v) || v.isEmpty())
                return ErreurUsage{
                    QStringLiteral("L'option --annuler attend un fichier de constats (.csv).")};
            lot.annuler = v;
        } else if (a == u"--statistiques") {
            lot.statistiques = true;
        } else if (a == u"--ajouter") {
            lot.options.ajouter = true;
        } else if (a == u"--mettre-a-jour") {
            lot.options.mettreAJour = true;
        } else {
            return ErreurUsage{QStringLiteral("Option inconnue : %1").arg(a)};
        }
    }
    if (!lot.annuler.isEmpty()) {
        if (duDonne || lot.options.ajouter || lot.options.mettreAJour || !lot.options.aPartirDesFactures ||
            arguments.contains(QStringLiteral("--au")) || arguments.contains(QStringLiteral("--sens")))
            return ErreurUsage{QStringLiteral("L'option --annuler ne se combine pas avec un contrôle.")};
        return lot;
    }
    if (!duDonne && !lot.aide && !lot.version)
        return ErreurUsage{QStringLiteral("L'option --du est obligatoire.")};
    return lot;
}

void InterlocuteurTerminal::message(const QString& texte, const QString& titre, Icone) {
    erreurs_ << titre << QStringLiteral(" : ") << FinsDeLigneSimples(texte) << Qt::endl;
}

bool InterlocuteurTerminal::question(const QString& texte, const QString& titre) {
    erreurs_ << titre << QStringLiteral(" : ") << FinsDeLigneSimples(texte)
             << QStringLiteral("\n(réponse : Non)") << Qt::endl;
    return false;
}

int ExecuterLot(const QStringList& arguments, const QString& repertoireProgramme, const Horloge& horloge,
                QTextStream& sortie, QTextStream& erreurs) {
    const auto analyse = AnalyserArguments(arguments, horloge().date());
    if (const auto* e = std::get_if<ErreurUsage>(&analyse)) {
        erreurs << e->message << QStringLiteral("\n\n") << TexteUsage() << Qt::flush;
        return SortieUsage;
    }
    ArgumentsLot lot = std::get<ArgumentsLot>(analyse);
    // The reference walk, one invoice at a time, for the benchmark and the differential tests.
    // CC_PARCOURS=facture: one statement per table and invoice, as on a database without lists.
    if (qEnvironmentVariable("CC_PARCOURS") == u"reference")
        lot.options.parcours = Parcours::Reference;
    else if (qEnvironmentVariable("CC_PARCOURS") == u"facture")
        lot.options.parcours = Parcours::ParFacture;
    if (lot.aide) {
        sortie << TexteUsage() << Qt::flush;
        return SortieRapportVide;
    }
    if (lot.version) {
        sortie << QStringLiteral("controle-coherence ") << QStringLiteral(CC_VERSION) << Qt::endl;
        return SortieRapportVide;
    }

    QElapsedTimer chrono;
    chrono.start();
    InterlocuteurTerminal interlocuteur(erreurs);
    auto session = Demarrer(interlocuteur);
    if (!session)
        return SortieEchec;

    Rapport rapport(repertoireProgramme, session->environnement.RepertoireSociete, horloge);
    FichierConstats constats;
    ProgressionMuette progression;
    const ContexteControle contexte{*session->connexion, rapport, interlocuteur,
                                    progression,         horloge, &constats};
    const bool annulation = !lot.annuler.isEmpty();
    const ResultatExecution resultat =
        annulation ? ExecuterAnnulation(contexte, lot.annuler) : ExecuterControle(contexte, lot.options);

    if (annulation) {
        const CompteursAnnulation& a = resultat.annulation;
        erreurs << QStringLiteral("Écritures à annuler : %1 ; annulées : %2 ; déjà rétablies : %3 ; laissées "
                                  "telles quelles : %4")
                       .arg(a.ecritures)
                       .arg(a.annulees)
                       .arg(a.dejaRetablies)
                       .arg(a.laissees)
                << Qt::endl;
    } else {
        const Compteurs& c = resultat.compteurs;
        erreurs << QStringLiteral(
                       "Enregistrements parcourus : %1 ; lignes du rapport : %2 ; enregistrements "
                       "manquants : %3 ; montants différents : %4 ; enregistrements ajoutés : %5 ; "
                       "montants réécrits : %6")
                       .arg(c.parcourus)
                       .arg(resultat.lignesRapport)
                       .arg(c.manquants)
                       .arg(c.montantsDifferents)
                       .arg(c.ajoutes)
                       .arg(c.reecrits)
                << Qt::endl;
    }
    if (lot.statistiques) {
        const Connexion& connexion = *session->connexion;
        erreurs
            << QStringLiteral(
                   "Statistiques : instructions %1 ; lignes lues %2 ; mémoire maximale %3 Ko ; durée %4 ms")
                   .arg(connexion.instructionsExecutees())
                   .arg(connexion.lignesLues())
                   .arg(memoireMaximaleKo())
                   .arg(chrono.elapsed())
            << Qt::endl;
    }
    if (!resultat.reussi()) {
        interlocuteur.message(MessageEchec(*resultat.erreur, resultat.fichierRapport), TitreApplication(),
                              Icone::Critique);
        if (!resultat.fichierRapport.isEmpty() && QFileInfo::exists(resultat.fichierRapport))
            sortie << resultat.fichierRapport << Qt::endl;
        return SortieEchec;
    }
    interlocuteur.question(MessageFin(resultat.fichierRapport), TitreApplication());
    sortie << resultat.fichierRapport << Qt::endl;
    // A scheduled job must see that something was found even when the report, as specified, lists
    // no differing amount.
    if (annulation)
        return resultat.annulation.incomplete() ? SortieRapportNonVide : SortieRapportVide;
    return resultat.trouve() ? SortieRapportNonVide : SortieRapportVide;
}

} // namespace cc
