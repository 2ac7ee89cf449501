#include "app/Lot.h"

#include "commun/TexteChamp.h"

#include "app/Demarrage.h"
#include "app/Execution.h"
#include "report/DossierRapports.h"
#include "report/Rapport.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <csignal>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace cc {

namespace {

// The signal that asked the run to stop, 0 while none has come. A signal handler can reach nothing
// else: this is the one state of the program that is not passed explicitly.
std::atomic<int> signalRecu{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void noterSignal(int numero) {
    signalRecu.store(numero);
}

// SIGINT and SIGTERM stop the run after its current record while it lives; a second one ends the
// program at once, as it would have without this.
class ArretParSignal {
public:
#ifdef Q_OS_WIN
    // Windows has no sigaction; its C runtime resets a handler once it has run, as SA_RESETHAND does.
    ArretParSignal() {
        signalRecu.store(0);
        ancienInt_ = std::signal(SIGINT, noterSignal);
        ancienTerm_ = std::signal(SIGTERM, noterSignal);
    }
    ~ArretParSignal() {
        std::signal(SIGINT, ancienInt_);
        std::signal(SIGTERM, ancienTerm_);
    }
#else
    ArretParSignal() {
        signalRecu.store(0);
        struct sigaction action {};
        action.sa_handler = noterSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &ancienInt_);
        sigaction(SIGTERM, &action, &ancienTerm_);
    }
    ~ArretParSignal() {
        sigaction(SIGINT, &ancienInt_, nullptr);
        sigaction(SIGTERM, &ancienTerm_, nullptr);
    }
#endif
    ArretParSignal(const ArretParSignal&) = delete;
    ArretParSignal& operator=(const ArretParSignal&) = delete;

private:
#ifdef Q_OS_WIN
    void (*ancienInt_)(int) = nullptr;
    void (*ancienTerm_)(int) = nullptr;
#else
    struct sigaction ancienInt_ {};
    struct sigaction ancienTerm_ {};
#endif
};

int sortieSignal(int numero) {
    return numero == SIGTERM ? SortieTerminaison : SortieInterruption;
}

// The batch progress: a line on a terminal, rewritten in place at most ten times a second; nothing
// when standard error is not a terminal, so that logs stay clean.
class ProgressionLot : public Progression {
public:
    explicit ProgressionLot(QTextStream* ligne) : ligne_(ligne) {}
    void definirMaximum(int maximum) override { maximum_ = maximum; }
    void definirValeur(int valeur) override {
        if (!ligne_ || (chrono_.isValid() && chrono_.elapsed() < 100))
            return;
        chrono_.start();
        *ligne_ << u'\r' << PrefixeTerminal() << valeur << QStringLiteral(" / ") << maximum_ << Qt::flush;
        affichee_ = true;
    }
    void traiterEvenements() override {}
    bool arretDemande() const override { return signalRecu.load() != 0; }
    void effacer() {
        if (affichee_)
            *ligne_ << QStringLiteral("\r\x1b[K") << Qt::flush;
        affichee_ = false;
    }

private:
    QTextStream* ligne_;
    int maximum_ = 0;
    bool affichee_ = false;
    QElapsedTimer chrono_;
};

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
#ifdef Q_OS_WIN
    PROCESS_MEMORY_COUNTERS compteurs{};
    compteurs.cb = sizeof compteurs;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &compteurs, sizeof compteurs))
        return -1;
    return long(compteurs.PeakWorkingSetSize / 1024);
#else
    // The peak of this program's own memory. getrusage() would also count what the parent held when it
    // started the program (the maximum survives the exec), as much as a few hundred MB for a benchmark.
    QFile etat(QStringLiteral("/proc/self/status"));
    if (etat.open(QIODevice::ReadOnly)) {
        for (const QByteArray& ligne : etat.readAll().split('\n')) {
            if (!ligne.startsWith("VmHWM:"))
                continue;
            bool ok = false;
            const long ko = ligne.mid(6).trimmed().split(' ').value(0).toLong(&ok);
            if (ok)
                return ko;
        }
    }
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    return usage.ru_maxrss;
#endif
}

struct Option {
    QStringList noms;
    QString valeur; // the value's name; empty for a switch
};

const QList<Option>& optionsDuProgramme() {
    static const QList<Option> options{
        {{QStringLiteral("du")}, QStringLiteral("AAAA-MM-JJ")},
        {{QStringLiteral("au")}, QStringLiteral("AAAA-MM-JJ")},
        {{QStringLiteral("sens")}, QStringLiteral("SENS")},
        {{QStringLiteral("ajouter")}, {}},
        {{QStringLiteral("mettre-a-jour")}, {}},
        {{QStringLiteral("rapports")}, QStringLiteral("DOSSIER")},
        {{QStringLiteral("annuler")}, QStringLiteral("FICHIER")},
        {{QStringLiteral("statistiques")}, {}},
        {{QStringLiteral("q"), QStringLiteral("silencieux")}, {}},
        {{QStringLiteral("h"), QStringLiteral("?"), QStringLiteral("help")}, {}},
        {{QStringLiteral("v"), QStringLiteral("V"), QStringLiteral("version")}, {}},
    };
    return options;
}

QString nomAffiche(const QString& nom) {
    return (nom.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + nom;
}

// QCommandLineParser's own error texts are English: only the name it quotes is kept.
QString messageAnalyse(const QCommandLineParser& analyseur) {
    const QStringList inconnues = analyseur.unknownOptionNames();
    if (!inconnues.isEmpty())
        return QStringLiteral("option inconnue : %1").arg(nomAffiche(inconnues.first()));
    static const QRegularExpression cite(QStringLiteral("'([^']*)'"));
    const QRegularExpressionMatch m = cite.match(analyseur.errorText());
    if (m.hasMatch())
        return QStringLiteral("l'option %1 attend une valeur").arg(m.captured(1));
    return QStringLiteral("arguments invalides");
}

} // namespace

QString PrefixeTerminal() {
    return QStringLiteral("controle-coherence: ");
}

QString TexteUsage() {
    return QStringLiteral(
        "Usage : controle-coherence --du AAAA-MM-JJ [OPTION]...\n"
        "Contrôle la cohérence entre les factures de la société active et la table FACTCLI.\n"
        "\n"
        "Sans option, ouvre la fenêtre (les options de Qt, comme -style fusion, y sont admises).\n"
        "Avec des options, exécute un contrôle sans fenêtre.\n"
        "\n"
        "  --du AAAA-MM-JJ           premier jour de la période (obligatoire)\n"
        "  --au AAAA-MM-JJ           dernier jour de la période (par défaut : aujourd'hui)\n"
        "  --sens factures           contrôle à partir des factures (par défaut)\n"
        "  --sens factcli            contrôle à partir de FACTCLI\n"
        "  --ajouter                 ajouter les enregistrements manquants dans FACTCLI\n"
        "  --mettre-a-jour           mettre à jour les montants différents\n"
        "  --rapports DOSSIER        écrire le rapport dans DOSSIER\n"
        "  --annuler FICHIER         annuler les écritures enregistrées dans un fichier de constats (.csv)\n"
        "  --statistiques            ajoute une ligne de mesures (instructions, lignes lues, mémoire, "
        "durée)\n"
        "  -q, --silencieux          n'écrit que les erreurs et le chemin du rapport\n"
        "  -h, --help                affiche cette aide\n"
        "  -v, -V, --version         affiche la version\n"
        "\n"
        "Une valeur s'écrit à la suite de son option ou après un signe égal : --du=2025-01-01.\n"
        "Le rapport est écrit dans le répertoire du programme ou, s'il n'est pas accessible en écriture,\n"
        "dans le dossier « Contrôle de cohérence » des documents de l'utilisateur. Son chemin est la\n"
        "dernière ligne de la sortie standard. Sur un terminal, une ligne montre la progression.\n"
        "Ctrl-C (SIGINT) ou SIGTERM arrête le contrôle après la facture en cours.\n"
        "\n"
        "Code de sortie : 0 rien trouvé, 1 quelque chose trouvé (une ligne au rapport, ou un montant\n"
        "différent laissé tel quel ; avec --annuler, des lignes laissées telles quelles), 2 échec,\n"
        "64 erreur d'usage, 130 arrêté par SIGINT, 143 arrêté par SIGTERM.\n");
}

bool EstAppelLot(const QStringList& arguments) {
    for (const QString& a : arguments) {
        if (!a.startsWith(u'-') || a.size() < 2)
            continue;
        // Short switches written together, as -qV.
        if (!a.startsWith(QStringLiteral("--")) &&
            std::all_of(a.begin() + 1, a.end(), [](QChar c) { return QStringView(u"qh?vV").contains(c); }))
            return true;
        for (const Option& o : optionsDuProgramme()) {
            for (const QString& nom : o.noms) {
                const QString forme = nomAffiche(nom);
                if (a == forme || (nom.size() > 1 && a.startsWith(forme + u'=')))
                    return true;
            }
        }
    }
    return false;
}

std::variant<ArgumentsLot, ErreurUsage> AnalyserArguments(const QStringList& arguments,
                                                          const QDate& aujourdhui) {
    QCommandLineParser analyseur;
    for (const Option& o : optionsDuProgramme())
        analyseur.addOption(QCommandLineOption(o.noms, QString(), o.valeur));
    if (!analyseur.parse(QStringList{QStringLiteral("controle-coherence")} + arguments))
        return ErreurUsage{messageAnalyse(analyseur)};
    if (!analyseur.positionalArguments().isEmpty())
        return ErreurUsage{
            QStringLiteral("argument inattendu : %1").arg(analyseur.positionalArguments().first())};

    ArgumentsLot lot;
    lot.options.fin = aujourdhui;
    lot.aide = analyseur.isSet(QStringLiteral("help"));
    lot.version = analyseur.isSet(QStringLiteral("version"));
    lot.statistiques = analyseur.isSet(QStringLiteral("statistiques"));
    lot.silencieux = analyseur.isSet(QStringLiteral("silencieux"));
    lot.options.ajouter = analyseur.isSet(QStringLiteral("ajouter"));
    lot.options.mettreAJour = analyseur.isSet(QStringLiteral("mettre-a-jour"));
    lot.rapports = analyseur.value(QStringLiteral("rapports"));
    lot.annuler = analyseur.value(QStringLiteral("annuler"));
    if (lot.aide || lot.version)
        return lot;

    const bool periode = analyseur.isSet(QStringLiteral("du")) || analyseur.isSet(QStringLiteral("au")) ||
                         analyseur.isSet(QStringLiteral("sens"));
    if (analyseur.isSet(QStringLiteral("annuler"))) {
        if (periode || lot.options.ajouter || lot.options.mettreAJour)
            return ErreurUsage{QStringLiteral(
                "--annuler ne se combine pas avec --du, --au, --sens, --ajouter ni --mettre-a-jour")};
        if (lot.annuler.isEmpty())
            return ErreurUsage{QStringLiteral("l'option --annuler attend un fichier")};
        return lot;
    }

    for (const QString& nom : {QStringLiteral("du"), QStringLiteral("au")}) {
        if (!analyseur.isSet(nom))
            continue;
        const QString v = analyseur.value(nom);
        const auto jour = lireJour(v);
        if (!jour)
            return ErreurUsage{QStringLiteral("date invalide pour --%1 : %2 (AAAA-MM-JJ)").arg(nom, v)};
        (nom == u"du" ? lot.options.debut : lot.options.fin) = *jour;
    }
    if (!analyseur.isSet(QStringLiteral("du")))
        return ErreurUsage{QStringLiteral("l'option --du est obligatoire")};
    if (lot.options.debut > lot.options.fin)
        return ErreurUsage{
            QStringLiteral("période inversée : le premier jour %1 est après le dernier %2")
                .arg(lot.options.debut.toString(Qt::ISODate), lot.options.fin.toString(Qt::ISODate))};
    if (analyseur.isSet(QStringLiteral("sens"))) {
        const QString v = analyseur.value(QStringLiteral("sens"));
        if (v == u"factures")
            lot.options.aPartirDesFactures = true;
        else if (v == u"factcli")
            lot.options.aPartirDesFactures = false;
        else
            return ErreurUsage{QStringLiteral("sens inconnu : %1 (factures ou factcli)").arg(v)};
    }
    // The FACTCLI-driven check writes nothing: a repair asked of it would silently not happen.
    if (!lot.options.aPartirDesFactures && (lot.options.ajouter || lot.options.mettreAJour))
        return ErreurUsage{QStringLiteral(
            "--ajouter et --mettre-a-jour ne valent que pour le contrôle à partir des factures")};
    return lot;
}

void InterlocuteurTerminal::message(const QString& texte, const QString& titre, Icone icone) {
    if (silencieux_ && icone == Icone::Information)
        return;
    if (terminal_)
        erreurs_ << QStringLiteral("\r\x1b[K");
    erreurs_ << PrefixeTerminal() << titre << QStringLiteral(" : ") << FinsDeLigneSimples(texte) << Qt::endl;
}

bool InterlocuteurTerminal::question(const QString&, const QString&) {
    // Nobody is there to answer; what the question offers (the report) is on standard output.
    return false;
}

int ExecuterLot(const QStringList& arguments, const QString& repertoireProgramme, const Horloge& horloge,
                QTextStream& sortie, QTextStream& erreurs, bool erreursSurTerminal) {
    const auto analyse = AnalyserArguments(arguments, horloge().date());
    if (const auto* e = std::get_if<ErreurUsage>(&analyse)) {
        erreurs << PrefixeTerminal() << e->message
                << QStringLiteral("\nEssayez « controle-coherence --help ».\n") << Qt::flush;
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
    const ArretParSignal arret;
    InterlocuteurTerminal interlocuteur(erreurs, lot.silencieux, erreursSurTerminal);
    auto session = Demarrer(interlocuteur);
    if (!session)
        return SortieEchec;
    if (const int numero = signalRecu.load()) {
        interlocuteur.message(
            QStringLiteral("Arrêt demandé avant le début du contrôle : rien n'a été lu ni écrit."),
            TitreApplication(), Icone::Critique);
        return sortieSignal(numero);
    }

    const EmplacementRapports emplacement = DossierRapports(repertoireProgramme, lot.rapports);
    if (emplacement.horsProgramme && !lot.silencieux)
        erreurs << PrefixeTerminal() << MessageDossierRapports(emplacement) << Qt::endl;
    Rapport rapport(emplacement.dossier, session->environnement.RepertoireSociete, horloge);
    FichierConstats constats;
    ProgressionLot progression(erreursSurTerminal && !lot.silencieux ? &erreurs : nullptr);
    const ContexteControle contexte{*session->connexion, rapport, interlocuteur,
                                    progression,         horloge, &constats};
    const bool annulation = !lot.annuler.isEmpty();
    const ResultatExecution resultat =
        annulation ? ExecuterAnnulation(contexte, lot.annuler) : ExecuterControle(contexte, lot.options);
    progression.effacer();

    if (!lot.silencieux && annulation) {
        const CompteursAnnulation& a = resultat.annulation;
        erreurs << PrefixeTerminal()
                << QStringLiteral("Écritures à annuler : %1 ; annulées : %2 ; déjà rétablies : %3 ; laissées "
                                  "telles quelles : %4")
                       .arg(a.ecritures)
                       .arg(a.annulees)
                       .arg(a.dejaRetablies)
                       .arg(a.laissees)
                << Qt::endl;
    } else if (!lot.silencieux) {
        const Compteurs& c = resultat.compteurs;
        erreurs << PrefixeTerminal()
                << QStringLiteral(
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
            << PrefixeTerminal()
            << QStringLiteral(
                   "Statistiques : instructions %1 ; lignes lues %2 ; mémoire maximale %3 Ko ; durée %4 ms")
                   .arg(connexion.instructionsExecutees())
                   .arg(connexion.lignesLues())
                   .arg(memoireMaximaleKo())
                   .arg(chrono.elapsed())
            << Qt::endl;
    }
    const bool rapportPresent =
        !resultat.fichierRapport.isEmpty() && QFileInfo::exists(resultat.fichierRapport);
    if (resultat.arret) {
        interlocuteur.message(MessageArret(*resultat.arret, resultat.fichierRapport), TitreApplication(),
                              Icone::Critique);
        if (rapportPresent)
            sortie << resultat.fichierRapport << Qt::endl;
        return sortieSignal(signalRecu.load());
    }
    if (!resultat.reussi()) {
        interlocuteur.message(MessageEchec(*resultat.erreur, resultat.fichierRapport, session->designation),
                              TitreApplication(), Icone::Critique);
        if (rapportPresent)
            sortie << resultat.fichierRapport << Qt::endl;
        return SortieEchec;
    }
    interlocuteur.question(MessageFin(resultat.fichierRapport), TitreApplication());
    sortie << resultat.fichierRapport << Qt::endl;
    if (annulation)
        return resultat.annulation.incomplete() ? SortieRapportNonVide : SortieRapportVide;
    // A scheduled job must see that something was found even when the report, as specified, lists
    // no differing amount.
    return resultat.trouve() ? SortieRapportNonVide : SortieRapportVide;
}

} // namespace cc
