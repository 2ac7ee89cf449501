// banc-controle: measures the two checks of controle-coherence on a generated company. It generates
// the company with generer-demo, runs each direction through the program's batch entry, reads the
// figures that the program prints with --statistiques, and sets them beside the time that reading the
// same rows once takes (the floor). It prints figures; it asserts nothing.

#include "Lancement.h"
#include "Plancher.h"
#include "Tableau.h"
#include "data/ReglagesHote.h"

#include "Arguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <optional>
#include <stdexcept>

using namespace cc::banc;
using namespace cc;
using cc::outils::entier;

namespace {

constexpr int SortieDifferences = 1;
constexpr int SortieEchec = 2;
constexpr int SortieUsage = 64;

constexpr qint64 tailleDefaut = 100'000;
constexpr qint64 tailleRapide = 5'000;
const QString societe = QStringLiteral("SOCBANC");
// A fixed year: the same seed gives the same company whatever the year of the run.
const QDate debut(2024, 1, 1);
const QDate fin(2024, 12, 31);

QTextStream& erreurs() {
    static QTextStream flux(stderr);
    return flux;
}

QTextStream& sortie() {
    static QTextStream flux(stdout);
    return flux;
}

void dire(const QString& texte) {
    erreurs() << QStringLiteral("banc-controle : ") << texte << Qt::endl;
}

class Echec : public std::runtime_error {
public:
    explicit Echec(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString texte() const { return QString::fromStdString(what()); }
};

struct Parcours {
    QString nom;     // as printed
    QString fichier; // in file names
    bool reference;
};

struct Mesure {
    Sens sens;
    Parcours parcours;
    bool reparation = false;
    qint64 dureeNs = 0;
    Statistiques stats;
    QString rapport; // the report, moved under the work folder
};

QString nomSens(Sens s) {
    return s == Sens::Factures ? QStringLiteral("factures") : QStringLiteral("factcli");
}

double secondes(qint64 ns) {
    return static_cast<double>(ns) / 1e9;
}

// A company with its own base directory and its own settings, so that the program finds it through
// XDG_CONFIG_HOME alone.
struct Societe {
    QString racine;
    QString base() const {
        return racine + QStringLiteral("/base/") + societe + QStringLiteral("/vendrax.mdb");
    }
    QString config() const { return racine + QStringLiteral("/config"); }
};

// The generator is run only when the folder does not already hold the same company.
Societe preparerSociete(const QString& generateur, const QString& dossier, qint64 taille, quint64 graine) {
    Societe s{dossier + QStringLiteral("/societe")};
    const QString marque = s.racine + QStringLiteral("/parametres-banc.txt");
    const QByteArray parametres = QStringLiteral("factures=%1 graine=%2 du %3 au %4\n")
                                      .arg(taille)
                                      .arg(graine)
                                      .arg(debut.toString(Qt::ISODate), fin.toString(Qt::ISODate))
                                      .toUtf8();
    QFile f(marque);
    if (QFileInfo::exists(s.base()) && f.open(QIODevice::ReadOnly) && f.readAll() == parametres) {
        dire(QStringLiteral("société déjà générée, reprise : %1").arg(s.base()));
        return s;
    }
    f.close();
    QFile::remove(marque);
    dire(QStringLiteral("génération de %1 factures…").arg(taille));
    const Lancement l =
        Lancer(generateur,
               {QStringLiteral("--sortie"), s.racine, QStringLiteral("--societe"), societe,
                QStringLiteral("--factures"), QString::number(taille), QStringLiteral("--graine"),
                QString::number(graine), QStringLiteral("--debut"), debut.toString(Qt::ISODate),
                QStringLiteral("--fin"), fin.toString(Qt::ISODate)},
               QProcessEnvironment::systemEnvironment());
    const QString messages = QString::fromLocal8Bit(l.erreurs).trimmed();
    if (!l.demarre || l.code != 0)
        throw Echec(QStringLiteral("le générateur %1 a échoué (code %2) : %3")
                        .arg(generateur)
                        .arg(l.code)
                        .arg(messages));
    sortie()
        << QStringLiteral("Société générée en %1 s : %2\n").arg(Decimal(secondes(l.dureeNs), 1), messages);
    if (!f.open(QIODevice::WriteOnly) || f.write(parametres) != parametres.size())
        throw Echec(QStringLiteral("impossible d'écrire %1").arg(marque));
    return s;
}

// A copy of a company, with settings that point at the copy, for a run that writes.
Societe copierSociete(const Societe& source, const QString& racine) {
    Societe copie{racine};
    QDir(racine).removeRecursively();
    if (!QDir().mkpath(QFileInfo(copie.base()).absolutePath()) || !QFile::copy(source.base(), copie.base()))
        throw Echec(QStringLiteral("impossible de copier la société dans %1").arg(racine));
    QSettings reglages(FichierReglages(copie.config()), QSettings::IniFormat);
    reglages.setValue(CleRepertoireBase(), racine + QStringLiteral("/base"));
    reglages.setValue(CleSocieteActive(), societe);
    reglages.sync();
    if (reglages.status() != QSettings::NoError)
        throw Echec(QStringLiteral("impossible d'écrire les réglages de %1").arg(racine));
    return copie;
}

// The program is copied into the work folder, since it writes its report beside itself.
QString copierProgramme(const QString& programme, const QString& dossier) {
    const QString rep = dossier + QStringLiteral("/programme");
    const QString copie = rep + QStringLiteral("/controle-coherence");
    QDir().mkpath(rep);
    QFile::remove(copie);
    if (!QFile::copy(programme, copie))
        throw Echec(QStringLiteral("impossible de copier %1 dans %2").arg(programme, rep));
    return copie;
}

Mesure executer(const QString& programme, const Societe& s, const QString& dossier, Sens sens,
                const Parcours& parcours, bool reparation) {
    QStringList arguments{QStringLiteral("--du"),          debut.toString(Qt::ISODate),
                          QStringLiteral("--au"),          fin.toString(Qt::ISODate),
                          QStringLiteral("--sens"),        nomSens(sens),
                          QStringLiteral("--statistiques")};
    if (reparation)
        arguments << QStringLiteral("--ajouter") << QStringLiteral("--mettre-a-jour");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), s.config());
    if (parcours.reference)
        env.insert(QStringLiteral("CC_PARCOURS"), QStringLiteral("reference"));
    else
        env.remove(QStringLiteral("CC_PARCOURS"));

    const QString etiquette =
        nomSens(sens) + u'-' + parcours.fichier + (reparation ? QStringLiteral("-reparation") : QString());
    dire(QStringLiteral("contrôle %1…").arg(etiquette));
    const Lancement l = Lancer(programme, arguments, env);
    const QString messages = QString::fromUtf8(l.erreurs);
    // 0 and 1 are runs that ended (empty report or not); anything else is a failure.
    if (!l.demarre || (l.code != 0 && l.code != 1))
        throw Echec(QStringLiteral("le contrôle %1 a échoué (code %2) :\n%3")
                        .arg(etiquette)
                        .arg(l.code)
                        .arg(messages));
    const auto stats = LireStatistiques(messages);
    if (!stats)
        throw Echec(
            QStringLiteral("le contrôle %1 n'a pas donné ses statistiques :\n%2").arg(etiquette, messages));

    Mesure m{sens, parcours, reparation, l.dureeNs, *stats, {}};
    // Each report is moved away at once, so that a run in the same second never rotates another.
    const QString rapport = DerniereLigne(QString::fromLocal8Bit(l.sortie));
    const QString rep = dossier + QStringLiteral("/rapports");
    QDir().mkpath(rep);
    m.rapport = rep + u'/' + etiquette + QStringLiteral(".txt");
    QFile::remove(m.rapport);
    if (rapport.isEmpty() || !QFile::rename(rapport, m.rapport))
        throw Echec(QStringLiteral("rapport du contrôle %1 introuvable (%2)").arg(etiquette, rapport));
    return m;
}

bool memesOctets(const QString& a, const QString& b) {
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    return fa.readAll() == fb.readAll();
}

QStringList ligneTableau(const Mesure& m, const std::optional<Plancher>& plancher) {
    const double s = secondes(m.dureeNs);
    const double parEnr = m.stats.parcourus > 0 ? static_cast<double>(m.stats.instructions) /
                                                      static_cast<double>(m.stats.parcourus)
                                                : 0.0;
    const QString debit =
        s > 0 ? Entier(qRound64(static_cast<double>(m.stats.parcourus) / s)) : QStringLiteral("-");
    QString rapportPlancher = QStringLiteral("-");
    if (plancher && plancher->dureeNs > 0)
        rapportPlancher = Decimal(static_cast<double>(m.dureeNs) / static_cast<double>(plancher->dureeNs), 1);
    return {nomSens(m.sens) + (m.reparation ? QStringLiteral(" + réparation") : QString()),
            m.parcours.nom,
            Entier(m.stats.parcourus),
            Decimal(s, 3),
            debit,
            Decimal(parEnr, 3),
            Entier(m.stats.lignesLues),
            Decimal(static_cast<double>(m.stats.memoireKo) / 1024.0, 1),
            Entier(m.stats.lignesRapport),
            rapportPlancher};
}

struct Options {
    qint64 taille = tailleDefaut;
    quint64 graine = 1;
    QString dossier;
    bool garder = false;
    bool reparation = false;
    bool reference = false;
    bool comparer = false;
    int repetitions = 3;
    QString programme;
    QString generateur;
};

int usage(const QString& message) {
    dire(message);
    erreurs() << QStringLiteral("Essayez « banc-controle --aide ».") << Qt::endl;
    return SortieUsage;
}

int lancerBanc(const Options& o) {
    std::optional<QTemporaryDir> temporaire;
    QString dossier = o.dossier;
    if (dossier.isEmpty()) {
        temporaire.emplace(QDir::tempPath() + QStringLiteral("/banc-controle-XXXXXX"));
        if (!temporaire->isValid())
            throw Echec(QStringLiteral("impossible de créer un dossier temporaire"));
        temporaire->setAutoRemove(!o.garder);
        dossier = temporaire->path();
    } else {
        dossier = QDir(dossier).absolutePath();
        if (!QDir().mkpath(dossier))
            throw Echec(QStringLiteral("impossible de créer %1").arg(dossier));
    }

    sortie() << QStringLiteral("Banc d'essai de controle-coherence : %1 factures du %2 au %3, graine %4\n")
                    .arg(o.taille)
                    .arg(debut.toString(QStringLiteral("dd/MM/yyyy")),
                         fin.toString(QStringLiteral("dd/MM/yyyy")))
                    .arg(o.graine)
             << Qt::flush;
    const Societe s = preparerSociete(o.generateur, dossier, o.taille, o.graine);
    const QString programme = copierProgramme(o.programme, dossier);

    QList<Parcours> parcours;
    if (o.comparer || o.reference)
        parcours.append({QStringLiteral("référence"), QStringLiteral("reference"), true});
    if (!o.reference || o.comparer)
        parcours.append({QStringLiteral("lots"), QStringLiteral("lots"), false});

    dire(QStringLiteral("plancher…"));
    const Plancher plancherFactures = MesurerPlancher(s.base(), debut, fin, Sens::Factures, o.repetitions);
    const Plancher plancherFactCli = MesurerPlancher(s.base(), debut, fin, Sens::FactCli, o.repetitions);

    QList<Mesure> mesures;
    for (const Parcours& p : parcours)
        for (Sens sens : {Sens::Factures, Sens::FactCli})
            mesures.append(executer(programme, s, dossier, sens, p, false));
    QList<QByteArray> empreintes;
    if (o.reparation) {
        for (const Parcours& p : parcours) {
            const Societe copie = copierSociete(s, dossier + QStringLiteral("/reparation-") + p.fichier);
            mesures.append(executer(programme, copie, dossier, Sens::Factures, p, true));
            empreintes.append(EmpreinteFactCli(copie.base()));
        }
    }

    sortie()
        << QStringLiteral(
               "\nPlancher : lecture unique des mêmes lignes, une requête par table, meilleur temps sur %1 "
               "lecture%2 après une lecture d'échauffement\n")
               .arg(o.repetitions)
               .arg(o.repetitions > 1 ? QStringLiteral("s") : QString());
    for (const auto& [sens, pl] :
         {std::pair{Sens::Factures, &plancherFactures}, std::pair{Sens::FactCli, &plancherFactCli}}) {
        QStringList detail;
        for (const LectureTable& l : pl->tables)
            detail.append(QStringLiteral("%1 %2 en %3 s")
                              .arg(l.table)
                              .arg(l.lignes)
                              .arg(Decimal(secondes(l.dureeNs), 3)));
        sortie() << QStringLiteral("  %1 : %2 s pour %3 lignes (%4)\n")
                        .arg(nomSens(sens).leftJustified(8), Decimal(secondes(pl->dureeNs), 3))
                        .arg(pl->lignes)
                        .arg(detail.join(QStringLiteral(", ")));
    }

    Tableau t(2, {QStringLiteral("Sens"), QStringLiteral("Parcours"), QStringLiteral("Enregistrements"),
                  QStringLiteral("Durée (s)"), QStringLiteral("Enr./s"), QStringLiteral("Instr./enr."),
                  QStringLiteral("Lignes lues"), QStringLiteral("Mémoire max (Mo)"),
                  QStringLiteral("Lignes du rapport"), QStringLiteral("× plancher")});
    for (const Mesure& m : mesures)
        t.ajouter(ligneTableau(m, m.sens == Sens::Factures ? plancherFactures : plancherFactCli));
    sortie() << u'\n' << t.texte();

    if (o.reparation) {
        sortie() << QStringLiteral("\nRéparation (--ajouter --mettre-a-jour, sur une copie de la société)\n");
        for (const Mesure& r : mesures) {
            if (!r.reparation)
                continue;
            for (const Mesure& m : mesures) {
                if (m.reparation || m.sens != Sens::Factures || m.parcours.fichier != r.parcours.fichier)
                    continue;
                sortie() << QStringLiteral("  %1 : %2 s, soit %3 × le même contrôle sans réparation ; "
                                           "%4 enregistrements ajoutés, %5 montants réécrits\n")
                                .arg(r.parcours.nom, Decimal(secondes(r.dureeNs), 3),
                                     Decimal(static_cast<double>(r.dureeNs) /
                                                 static_cast<double>(std::max<qint64>(m.dureeNs, 1)),
                                             2))
                                .arg(r.stats.ajoutes)
                                .arg(r.stats.reecrits);
            }
        }
    }

    bool differences = false;
    if (o.comparer) {
        sortie() << QStringLiteral("\nComparaison des deux parcours\n");
        QList<QPair<QString, bool>> resultats;
        for (const Mesure& a : mesures) {
            if (!a.parcours.reference)
                continue;
            for (const Mesure& b : mesures) {
                if (b.parcours.reference || b.sens != a.sens || b.reparation != a.reparation)
                    continue;
                const bool pareils = memesOctets(a.rapport, b.rapport);
                differences = differences || !pareils;
                sortie() << QStringLiteral("  rapports %1%2 : %3\n")
                                .arg(nomSens(a.sens),
                                     a.reparation ? QStringLiteral(" + réparation") : QString(),
                                     pareils ? QStringLiteral("identiques") : QStringLiteral("DIFFÉRENTS"));
            }
        }
        if (empreintes.size() == 2) {
            const bool pareilles = empreintes[0] == empreintes[1];
            differences = differences || !pareilles;
            sortie() << QStringLiteral("  FACTCLI après réparation : %1\n")
                            .arg(pareilles ? QStringLiteral("identiques") : QStringLiteral("DIFFÉRENTES"));
        }
    }

    if (temporaire && o.garder)
        sortie() << QStringLiteral("\nDossier de travail gardé : %1\n").arg(dossier);
    else if (!temporaire)
        sortie() << QStringLiteral("\nDossier de travail : %1\n").arg(dossier);
    sortie() << Qt::flush;
    return differences ? SortieDifferences : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("banc-controle"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Mesure les deux contrôles de controle-coherence sur une société générée : durée, enregistrements "
        "par seconde, instructions par enregistrement, lignes lues, mémoire maximale, et le rapport de "
        "chaque contrôle au plancher (le temps de lire une fois les mêmes lignes)."));
    const QCommandLineOption aide({QStringLiteral("h"), QStringLiteral("aide"), QStringLiteral("help")},
                                  QStringLiteral("Affiche cette aide."));
    const QCommandLineOption taille(
        QStringLiteral("taille"),
        QStringLiteral("Nombre de factures de la société (défaut : %1).").arg(tailleDefaut),
        QStringLiteral("N"));
    const QCommandLineOption rapide(
        QStringLiteral("rapide"),
        QStringLiteral("Une petite société (%1 factures), mesurée en quelques secondes.").arg(tailleRapide));
    const QCommandLineOption graine(QStringLiteral("graine"),
                                    QStringLiteral("Graine du générateur (défaut : 1)."), QStringLiteral("S"),
                                    QStringLiteral("1"));
    const QCommandLineOption dossier(
        QStringLiteral("dossier"),
        QStringLiteral("Dossier de travail, gardé ; une société déjà générée avec les "
                       "mêmes paramètres y est reprise (défaut : un dossier temporaire)."),
        QStringLiteral("DOSSIER"));
    const QCommandLineOption garder(QStringLiteral("garder"),
                                    QStringLiteral("Garde le dossier temporaire (société, rapports)."));
    const QCommandLineOption reparation(
        QStringLiteral("reparation"),
        QStringLiteral(
            "Mesure aussi un contrôle à partir des factures avec --ajouter --mettre-a-jour, sur une "
            "copie de la société."));
    const QCommandLineOption reference(
        QStringLiteral("reference"),
        QStringLiteral("Mesure le parcours de référence, facture par facture (CC_PARCOURS=reference)."));
    const QCommandLineOption comparer(
        QStringLiteral("comparer"),
        QStringLiteral("Mesure les deux parcours et compare leurs rapports octet par octet (et FACTCLI après "
                       "réparation) ; code de sortie 1 s'ils diffèrent."));
    const QCommandLineOption repetitions(QStringLiteral("repetitions"),
                                         QStringLiteral("Lectures mesurées du plancher (défaut : 3)."),
                                         QStringLiteral("N"), QStringLiteral("3"));
    const QString ici = QCoreApplication::applicationDirPath();
    const QCommandLineOption programme(
        QStringLiteral("programme"),
        QStringLiteral("Chemin de controle-coherence (défaut : à côté du banc)."), QStringLiteral("CHEMIN"),
        ici + QStringLiteral("/controle-coherence"));
    const QCommandLineOption generateur(QStringLiteral("generateur"),
                                        QStringLiteral("Chemin de generer-demo (défaut : à côté du banc)."),
                                        QStringLiteral("CHEMIN"), ici + QStringLiteral("/generer-demo"));
    parser.addOptions({aide, taille, rapide, graine, dossier, garder, reparation, reference, comparer,
                       repetitions, programme, generateur});

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(aide)) {
        sortie() << parser.helpText() << Qt::flush;
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("argument inattendu : %1").arg(parser.positionalArguments().front()));

    Options o;
    if (parser.isSet(taille) && parser.isSet(rapide))
        return usage(QStringLiteral("--taille et --rapide ne vont pas ensemble."));
    if (parser.isSet(rapide))
        o.taille = tailleRapide;
    if (parser.isSet(taille)) {
        const auto n = entier(parser.value(taille), 1, 10'000'000);
        if (!n)
            return usage(
                QStringLiteral("taille invalide (de 1 à 10000000) : « %1 ».").arg(parser.value(taille)));
        o.taille = *n;
    }
    bool ok = false;
    o.graine = parser.value(graine).toULongLong(&ok);
    if (!ok)
        return usage(QStringLiteral("graine invalide : « %1 ».").arg(parser.value(graine)));
    const auto n = entier(parser.value(repetitions), 1, 100);
    if (!n)
        return usage(QStringLiteral("nombre de lectures invalide (de 1 à 100) : « %1 ».")
                         .arg(parser.value(repetitions)));
    o.repetitions = static_cast<int>(*n);
    if (parser.isSet(reference) && parser.isSet(comparer))
        return usage(QStringLiteral("--reference et --comparer ne vont pas ensemble."));
    o.dossier = parser.value(dossier);
    o.garder = parser.isSet(garder);
    o.reparation = parser.isSet(reparation);
    o.reference = parser.isSet(reference);
    o.comparer = parser.isSet(comparer);
    o.programme = parser.value(programme);
    o.generateur = parser.value(generateur);
    for (const QString& chemin : {o.programme, o.generateur})
        if (!QFileInfo(chemin).isExecutable())
            return usage(QStringLiteral("programme introuvable : %1").arg(chemin));

    try {
        return lancerBanc(o);
    } catch (const Echec& e) {
        dire(e.texte());
    } catch (const std::exception& e) {
        dire(QString::fromStdString(e.what()));
    }
    return SortieEchec;
}
