// Over 400 lines: the benchmark's whole sequence (options, company, runs, tables) reads best in one place.
// banc-controle: measures controle-coherence on a generated company, in its SQLite file or loaded on a
// throw-away PostgreSQL server. It generates the company with generer-demo, runs each direction through
// the program's batch entry, then a repair and a first fill of an emptied FACTCLI on copies, reads the
// figures that the program prints with --statistiques, and sets them beside the time that reading the
// same rows once takes (the floor). It prints figures; it asserts nothing.

#include "Lancement.h"
#include "Plancher.h"
#include "Serveur.h"
#include "Tableau.h"
#include "commun/CodesSortie.h"
#include "data/ReglagesHote.h"

#include "Arguments.h"
#include "ConnexionOutil.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

using namespace cc::banc;
using namespace cc;
using cc::outils::entier;

namespace {

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
    QString fichier; // in file and database names
    bool reference;
};

// What a run does to FACTCLI: nothing, a repair, or the first fill of an emptied FACTCLI.
enum class Genre { Controle, Reparation, Remplissage };

struct Mesure {
    Sens sens;
    Parcours parcours;
    Genre genre = Genre::Controle;
    qint64 dureeNs = 0;
    Statistiques stats;
    QString rapport; // the report, moved under the work folder
};

QString nomSens(Sens s) {
    return s == Sens::Factures ? QStringLiteral("factures") : QStringLiteral("factcli");
}

QString nomGenre(Genre g) {
    switch (g) {
    case Genre::Reparation:
        return QStringLiteral("reparation");
    case Genre::Remplissage:
        return QStringLiteral("remplissage");
    case Genre::Controle:
        break;
    }
    return QStringLiteral("controle");
}

QString nomMesure(const Mesure& m) {
    switch (m.genre) {
    case Genre::Reparation:
        return QStringLiteral("réparation");
    case Genre::Remplissage:
        return QStringLiteral("premier remplissage");
    case Genre::Controle:
        break;
    }
    return QStringLiteral("contrôle ") + nomSens(m.sens);
}

double secondes(qint64 ns) {
    return static_cast<double>(ns) / 1e9;
}

double rapport(qint64 a, qint64 b) {
    return static_cast<double>(a) / static_cast<double>(std::max<qint64>(b, 1));
}

// A company with its own base directory and its own settings, so that the program finds it through
// XDG_CONFIG_HOME alone. On the server, the name of its directory is the name of its database.
struct Societe {
    QString racine;
    QString nom = societe;
    QString repertoireBase() const { return racine + QStringLiteral("/base"); }
    QString base() const { return repertoireBase() + u'/' + nom + QStringLiteral("/vendrax.mdb"); }
    QString config() const { return racine + QStringLiteral("/config"); }
};

void ecrireReglages(const Societe& s) {
    QSettings reglages(FichierReglages(s.config()), QSettings::IniFormat);
    reglages.setValue(CleRepertoireBase(), s.repertoireBase());
    reglages.setValue(CleSocieteActive(), s.nom);
    reglages.sync();
    if (reglages.status() != QSettings::NoError)
        throw Echec(QStringLiteral("impossible d'écrire les réglages de %1").arg(s.racine));
}

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

// A company whose database is on the server: SQLSERVER.DAT in its base directory names the server,
// as in a host installation that uses one; no file is needed under the company's directory.
Societe versServeur(const ServeurBanc& serveur, const QString& racine, const QString& nom) {
    const Societe s{racine, nom};
    QDir(racine).removeRecursively();
    if (!QDir().mkpath(s.repertoireBase() + u'/' + nom))
        throw Echec(QStringLiteral("impossible de créer %1").arg(racine));
    QFile dat(s.repertoireBase() + QStringLiteral("/SQLSERVER.DAT"));
    const QByteArray octets = serveur.sqlServerDat();
    if (!dat.open(QIODevice::WriteOnly) || dat.write(octets) != octets.size())
        throw Echec(QStringLiteral("impossible d'écrire %1").arg(dat.fileName()));
    ecrireReglages(s);
    return s;
}

// Where the runs go: the company's SQLite file, or its database on the server.
class Cible {
public:
    explicit Cible(ServeurBanc* serveur) : serveur_(serveur) {}

    Source source(const Societe& s) const {
        return serveur_ ? serveur_->source(s.nom) : Source::sqlite(s.base());
    }

    // A copy of a company for a run that writes, with its FACTCLI emptied for a first fill.
    Societe copie(const Societe& source, const QString& racine, bool viderFactCli) const {
        if (serveur_) {
            const QString nom =
                (source.nom + u'_' + QFileInfo(racine).fileName()).toUpper().replace(u'-', u'_');
            serveur_->copier(source.nom, nom);
            if (viderFactCli)
                serveur_->executer(nom, QStringLiteral("DELETE FROM FACTCLI"));
            return versServeur(*serveur_, racine, nom);
        }
        const Societe c{racine, source.nom};
        QDir(racine).removeRecursively();
        if (!QDir().mkpath(QFileInfo(c.base()).absolutePath()) || !QFile::copy(source.base(), c.base()))
            throw Echec(QStringLiteral("impossible de copier la société dans %1").arg(racine));
        if (viderFactCli) {
            const outils::ConnexionOutil connexion(QStringLiteral("QSQLITE"), c.base());
            connexion.executer(QStringLiteral("DELETE FROM FACTCLI"));
        }
        ecrireReglages(c);
        return c;
    }

private:
    ServeurBanc* serveur_;
};

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
                const Parcours& parcours, Genre genre) {
    QStringList arguments{QStringLiteral("--du"),          debut.toString(Qt::ISODate),
                          QStringLiteral("--au"),          fin.toString(Qt::ISODate),
                          QStringLiteral("--sens"),        nomSens(sens),
                          QStringLiteral("--statistiques")};
    if (genre != Genre::Controle)
        arguments << QStringLiteral("--ajouter");
    if (genre == Genre::Reparation)
        arguments << QStringLiteral("--mettre-a-jour");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), s.config());
    if (parcours.reference)
        env.insert(QStringLiteral("CC_PARCOURS"), QStringLiteral("reference"));
    else
        env.remove(QStringLiteral("CC_PARCOURS"));

    const QString etiquette = nomSens(sens) + u'-' + parcours.fichier +
                              (genre != Genre::Controle ? u'-' + nomGenre(genre) : QString());
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

    Mesure m{sens, parcours, genre, l.dureeNs, *stats, {}};
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

const QStringList& entetes() {
    static const QStringList e{QStringLiteral("Mesure"),
                               QStringLiteral("Parcours"),
                               QStringLiteral("Enregistrements"),
                               QStringLiteral("Durée (s)"),
                               QStringLiteral("× plancher"),
                               QStringLiteral("× contrôle factures"),
                               QStringLiteral("Instructions"),
                               QStringLiteral("Instr./facture"),
                               QStringLiteral("Instr./ligne écrite"),
                               QStringLiteral("À 1 ms l'aller-retour (s)"),
                               QStringLiteral("Ajoutés"),
                               QStringLiteral("Réécrits"),
                               QStringLiteral("Mémoire max (Mo)")};
    return e;
}

qint64 lignesDe(const Plancher& p, const QString& table) {
    for (const LectureTable& l : p.tables)
        if (l.table == table)
            return l.lignes;
    return 0;
}

// A statement is at least one round trip to a server: the least that a network would add to a run.
QString allerRetour(qint64 instructions) {
    return Decimal(static_cast<double>(instructions) / 1000.0, 1);
}

QStringList lignePlancher(Sens sens, const Plancher& p, qint64 factures) {
    const qint64 requetes = p.tables.size();
    return {QStringLiteral("plancher ") + nomSens(sens),
            QStringLiteral("-"),
            Entier(p.lignes),
            Decimal(secondes(p.dureeNs), 3),
            Decimal(1.0, 1),
            QStringLiteral("-"),
            Entier(requetes),
            Decimal(rapport(requetes, factures), 2),
            QStringLiteral("-"),
            allerRetour(requetes),
            QStringLiteral("-"),
            QStringLiteral("-"),
            QStringLiteral("-")};
}

// `controle` is the plain invoice-driven check of the same walk, for a run that writes.
QStringList ligneTableau(const Mesure& m, const Plancher& plancher, const Mesure* controle, qint64 factures) {
    const qint64 ecrites = m.stats.ajoutes + m.stats.reecrits;
    QString parLigneEcrite = QStringLiteral("-");
    if (controle && ecrites > 0)
        parLigneEcrite = Decimal(rapport(m.stats.instructions - controle->stats.instructions, ecrites), 2);
    return {nomMesure(m),
            m.parcours.nom,
            Entier(m.stats.parcourus),
            Decimal(secondes(m.dureeNs), 3),
            plancher.dureeNs > 0 ? Decimal(rapport(m.dureeNs, plancher.dureeNs), 1) : QStringLiteral("-"),
            controle ? Decimal(rapport(m.dureeNs, controle->dureeNs), 2) : QStringLiteral("-"),
            Entier(m.stats.instructions),
            Decimal(rapport(m.stats.instructions, factures), 2),
            parLigneEcrite,
            allerRetour(m.stats.instructions),
            Entier(m.stats.ajoutes),
            Entier(m.stats.reecrits),
            m.stats.memoireKo < 0 ? QStringLiteral("-")
                                  : Decimal(static_cast<double>(m.stats.memoireKo) / 1024.0, 1)};
}

struct Options {
    qint64 taille = tailleDefaut;
    quint64 graine = 1;
    QString dossier;
    bool garder = false;
    bool reference = false;
    bool comparer = false;
    bool serveur = false;
    int repetitions = 3;
    QString programme;
    QString generateur;
    QString scriptPostgres;
};

int usage(const QString& message) {
    dire(message);
    erreurs() << QStringLiteral("Essayez « banc-controle --aide ».") << Qt::endl;
    return SortieUsage;
}

// The work folder: the one given, or a temporary one, removed at the end unless kept.
QString preparerDossier(const Options& o, std::optional<QTemporaryDir>& temporaire) {
    if (o.dossier.isEmpty()) {
        temporaire.emplace(QDir::tempPath() + QStringLiteral("/banc-controle-XXXXXX"));
        if (!temporaire->isValid())
            throw Echec(QStringLiteral("impossible de créer un dossier temporaire"));
        temporaire->setAutoRemove(!o.garder);
        return temporaire->path();
    }
    const QString dossier = QDir(o.dossier).absolutePath();
    if (!QDir().mkpath(dossier))
        throw Echec(QStringLiteral("impossible de créer %1").arg(dossier));
    return dossier;
}

// The generated company, loaded on the server when there is one.
Societe installerSociete(const Options& o, const QString& dossier, std::optional<ServeurBanc>& serveur) {
    sortie() << QStringLiteral(
                    "Banc d'essai de controle-coherence : %1 factures du %2 au %3, graine %4, %5\n")
                    .arg(o.taille)
                    .arg(debut.toString(QStringLiteral("dd/MM/yyyy")),
                         fin.toString(QStringLiteral("dd/MM/yyyy")))
                    .arg(o.graine)
                    .arg(serveur ? QStringLiteral("base PostgreSQL par ODBC") : QStringLiteral("base SQLite"))
             << Qt::flush;
    Societe s = preparerSociete(o.generateur, dossier, o.taille, o.graine);
    if (serveur) {
        dire(QStringLiteral("chargement de la société sur le serveur…"));
        QElapsedTimer chrono;
        chrono.start();
        const qint64 lignes = serveur->charger(s.base(), s.nom);
        sortie() << QStringLiteral("Société chargée sur le serveur en %1 s : %2 lignes\n")
                        .arg(Decimal(secondes(chrono.nsecsElapsed()), 1))
                        .arg(lignes)
                 << Qt::flush;
        s = versServeur(*serveur, dossier + QStringLiteral("/serveur"), s.nom);
    }
    return s;
}

QList<Parcours> parcoursDemandes(const Options& o) {
    QList<Parcours> parcours;
    if (o.comparer || o.reference)
        parcours.append({QStringLiteral("référence"), QStringLiteral("reference"), true});
    if (!o.reference || o.comparer)
        parcours.append({QStringLiteral("lots"), QStringLiteral("lots"), false});
    return parcours;
}

struct Planchers {
    Plancher factures;
    Plancher factCli;
    const Plancher& de(Sens sens) const { return sens == Sens::Factures ? factures : factCli; }
};

// Every run, and FACTCLI after each write, by walk, for the comparison.
struct Resultats {
    QList<Mesure> mesures;
    QList<QPair<Genre, QByteArray>> empreintes;
};

Resultats mesurer(const Options& o, const QString& programme, const Societe& s, const QString& dossier,
                  const Cible& cible, const QList<Parcours>& parcours) {
    Resultats r;
    for (const Parcours& p : parcours)
        for (Sens sens : {Sens::Factures, Sens::FactCli})
            r.mesures.append(executer(programme, s, dossier, sens, p, Genre::Controle));
    for (Genre genre : {Genre::Reparation, Genre::Remplissage}) {
        for (const Parcours& p : parcours) {
            const Societe copie = cible.copie(s, dossier + u'/' + nomGenre(genre) + u'-' + p.fichier,
                                              genre == Genre::Remplissage);
            r.mesures.append(executer(programme, copie, dossier, Sens::Factures, p, genre));
            if (o.comparer)
                r.empreintes.append({genre, EmpreinteFactCli(cible.source(copie))});
        }
    }
    return r;
}

void afficherPlanchers(int repetitions, const Planchers& planchers) {
    sortie()
        << QStringLiteral(
               "\nPlancher : lecture unique des mêmes lignes, une requête par table, meilleur temps sur %1 "
               "lecture%2 après une lecture d'échauffement\n")
               .arg(repetitions)
               .arg(repetitions > 1 ? QStringLiteral("s") : QString());
    for (Sens sens : {Sens::Factures, Sens::FactCli}) {
        const Plancher& pl = planchers.de(sens);
        QStringList detail;
        for (const LectureTable& l : pl.tables)
            detail.append(QStringLiteral("%1 %2 en %3 s")
                              .arg(l.table)
                              .arg(l.lignes)
                              .arg(Decimal(secondes(l.dureeNs), 3)));
        sortie() << QStringLiteral("  %1 : %2 s pour %3 lignes (%4)\n")
                        .arg(nomSens(sens).leftJustified(8), Decimal(secondes(pl.dureeNs), 3))
                        .arg(pl.lignes)
                        .arg(detail.join(QStringLiteral(", ")));
    }
}

void afficherTableau(const Planchers& planchers, const QList<Parcours>& parcours,
                     const QList<Mesure>& mesures, bool serveur) {
    // Per invoice: the invoices of the period, whichever table a run walks.
    const qint64 factures = lignesDe(planchers.factures, QStringLiteral("FACTURES"));
    Tableau t(2, entetes());
    t.ajouter(lignePlancher(Sens::Factures, planchers.factures, factures));
    t.ajouter(lignePlancher(Sens::FactCli, planchers.factCli, factures));
    for (const Parcours& p : parcours) {
        const Mesure* controle = nullptr;
        for (const Mesure& m : mesures)
            if (m.genre == Genre::Controle && m.sens == Sens::Factures && m.parcours.fichier == p.fichier)
                controle = &m;
        for (Genre genre : {Genre::Controle, Genre::Reparation, Genre::Remplissage})
            for (const Mesure& m : mesures)
                if (m.genre == genre && m.parcours.fichier == p.fichier)
                    t.ajouter(ligneTableau(m, planchers.de(m.sens),
                                           genre == Genre::Controle ? nullptr : controle, factures));
    }
    sortie() << QStringLiteral("\n%1 factures dans la période ; base %2\n")
                    .arg(factures)
                    .arg(serveur ? QStringLiteral("PostgreSQL par ODBC") : QStringLiteral("SQLite"))
             << t.texte()
             << QStringLiteral("Réparation : --ajouter --mettre-a-jour sur une copie de la société ; premier "
                               "remplissage : --ajouter sur une copie dont FACTCLI a été vidée.\n");
}

// The two walks side by side: their reports, and FACTCLI after each write. True when they differ.
bool comparerParcours(const Resultats& r) {
    bool differences = false;
    sortie() << QStringLiteral("\nComparaison des deux parcours\n");
    for (const Mesure& a : r.mesures) {
        if (!a.parcours.reference)
            continue;
        for (const Mesure& b : r.mesures) {
            if (b.parcours.reference || b.sens != a.sens || b.genre != a.genre)
                continue;
            const bool pareils = memesOctets(a.rapport, b.rapport);
            differences = differences || !pareils;
            sortie() << QStringLiteral("  rapports %1 : %2\n")
                            .arg(nomMesure(a),
                                 pareils ? QStringLiteral("identiques") : QStringLiteral("DIFFÉRENTS"));
        }
    }
    for (Genre genre : {Genre::Reparation, Genre::Remplissage}) {
        QList<QByteArray> apres;
        for (const auto& [g, empreinte] : r.empreintes)
            if (g == genre)
                apres.append(empreinte);
        if (apres.size() != 2)
            continue;
        const bool pareilles = apres[0] == apres[1];
        differences = differences || !pareilles;
        sortie() << QStringLiteral("  FACTCLI après %1 : %2\n")
                        .arg(genre == Genre::Reparation ? QStringLiteral("réparation")
                                                        : QStringLiteral("premier remplissage"),
                             pareilles ? QStringLiteral("identiques") : QStringLiteral("DIFFÉRENTES"));
    }
    return differences;
}

int lancerBanc(const Options& o) {
    std::optional<QTemporaryDir> temporaire;
    const QString dossier = preparerDossier(o, temporaire);

    // Started first, so that a server that will not start costs no generation; stopped when the
    // object goes, on a failure too.
    std::optional<ServeurBanc> serveur;
    if (o.serveur) {
        dire(QStringLiteral("démarrage de PostgreSQL…"));
        serveur.emplace(o.scriptPostgres, dossier + QStringLiteral("/postgres"));
    }
    const Societe s = installerSociete(o, dossier, serveur);
    const Cible cible(serveur ? &*serveur : nullptr);
    const QString programme = copierProgramme(o.programme, dossier);
    const QList<Parcours> parcours = parcoursDemandes(o);

    dire(QStringLiteral("plancher…"));
    const Planchers planchers{MesurerPlancher(cible.source(s), debut, fin, Sens::Factures, o.repetitions),
                              MesurerPlancher(cible.source(s), debut, fin, Sens::FactCli, o.repetitions)};
    const Resultats resultats = mesurer(o, programme, s, dossier, cible, parcours);

    afficherPlanchers(o.repetitions, planchers);
    afficherTableau(planchers, parcours, resultats.mesures, serveur.has_value());
    const bool differences = o.comparer && comparerParcours(resultats);

    if (temporaire && o.garder)
        sortie() << QStringLiteral("\nDossier de travail gardé : %1\n").arg(dossier);
    else if (!temporaire)
        sortie() << QStringLiteral("\nDossier de travail : %1\n").arg(dossier);
    sortie() << Qt::flush;
    return differences ? SortieRapportNonVide : SortieRapportVide;
}

// The command line's options, declared once for the parser and for reading its values.
struct OptionsCommande {
    QCommandLineOption aide;
    QCommandLineOption taille;
    QCommandLineOption rapide;
    QCommandLineOption graine;
    QCommandLineOption dossier;
    QCommandLineOption garder;
    QCommandLineOption reparation;
    QCommandLineOption serveur;
    QCommandLineOption scriptPostgres;
    QCommandLineOption reference;
    QCommandLineOption comparer;
    QCommandLineOption repetitions;
    QCommandLineOption programme;
    QCommandLineOption generateur;
};

OptionsCommande optionsCommande() {
    const QString ici = QCoreApplication::applicationDirPath();
    return {
        .aide = QCommandLineOption({QStringLiteral("h"), QStringLiteral("aide"), QStringLiteral("help")},
                                   QStringLiteral("Affiche cette aide.")),
        .taille = QCommandLineOption(
            QStringLiteral("taille"),
            QStringLiteral("Nombre de factures de la société (défaut : %1).").arg(tailleDefaut),
            QStringLiteral("N")),
        .rapide = QCommandLineOption(
            QStringLiteral("rapide"),
            QStringLiteral("Une petite société (%1 factures), mesurée en quelques secondes.")
                .arg(tailleRapide)),
        .graine =
            QCommandLineOption(QStringLiteral("graine"), QStringLiteral("Graine du générateur (défaut : 1)."),
                               QStringLiteral("S"), QStringLiteral("1")),
        .dossier = QCommandLineOption(
            QStringLiteral("dossier"),
            QStringLiteral("Dossier de travail, gardé ; une société déjà générée avec les "
                           "mêmes paramètres y est reprise (défaut : un dossier temporaire)."),
            QStringLiteral("DOSSIER")),
        .garder = QCommandLineOption(QStringLiteral("garder"),
                                     QStringLiteral("Garde le dossier temporaire (société, rapports).")),
        .reparation = QCommandLineOption(
            QStringLiteral("reparation"),
            QStringLiteral(
                "Sans effet, gardée pour les scripts : la réparation (--ajouter --mettre-a-jour) et le "
                "premier remplissage d'une FACTCLI vide (--ajouter) sont toujours mesurés, chacun sur "
                "une copie de la société.")),
        .serveur = QCommandLineOption(
            QStringLiteral("serveur"),
            QStringLiteral("Mesure sur un serveur PostgreSQL jetable, atteint par ODBC comme le programme "
                           "l'atteint, où la société générée est chargée.")),
        .scriptPostgres = QCommandLineOption(
            QStringLiteral("script-postgres"),
            QStringLiteral(
                "Script qui démarre et arrête le serveur (défaut : scripts/postgres des sources)."),
            QStringLiteral("CHEMIN"), QStringLiteral(CC_SCRIPT_POSTGRES)),
        .reference = QCommandLineOption(
            QStringLiteral("reference"),
            QStringLiteral("Mesure le parcours de référence, facture par facture (CC_PARCOURS=reference).")),
        .comparer = QCommandLineOption(
            QStringLiteral("comparer"),
            QStringLiteral(
                "Mesure les deux parcours et compare leurs rapports octet par octet (et FACTCLI après "
                "réparation) ; code de sortie 1 s'ils diffèrent.")),
        .repetitions = QCommandLineOption(QStringLiteral("repetitions"),
                                          QStringLiteral("Lectures mesurées du plancher (défaut : 3)."),
                                          QStringLiteral("N"), QStringLiteral("3")),
        .programme =
            QCommandLineOption(QStringLiteral("programme"),
                               QStringLiteral("Chemin de controle-coherence (défaut : à côté du banc)."),
                               QStringLiteral("CHEMIN"), ici + QStringLiteral("/controle-coherence")),
        .generateur = QCommandLineOption(QStringLiteral("generateur"),
                                         QStringLiteral("Chemin de generer-demo (défaut : à côté du banc)."),
                                         QStringLiteral("CHEMIN"), ici + QStringLiteral("/generer-demo")),
    };
}

// The options of a bench from the command line; on a bad one, what usage() says.
std::optional<QString> lireOptions(const QCommandLineParser& parser, const OptionsCommande& c, Options& o) {
    if (parser.isSet(c.taille) && parser.isSet(c.rapide))
        return QStringLiteral("--taille et --rapide ne vont pas ensemble.");
    if (parser.isSet(c.rapide))
        o.taille = tailleRapide;
    if (parser.isSet(c.taille)) {
        const auto n = entier(parser.value(c.taille), 1, 10'000'000);
        if (!n)
            return QStringLiteral("taille invalide (de 1 à 10000000) : « %1 ».").arg(parser.value(c.taille));
        o.taille = *n;
    }
    bool ok = false;
    o.graine = parser.value(c.graine).toULongLong(&ok);
    if (!ok)
        return QStringLiteral("graine invalide : « %1 ».").arg(parser.value(c.graine));
    const auto n = entier(parser.value(c.repetitions), 1, 100);
    if (!n)
        return QStringLiteral("nombre de lectures invalide (de 1 à 100) : « %1 ».")
            .arg(parser.value(c.repetitions));
    o.repetitions = static_cast<int>(*n);
    if (parser.isSet(c.reference) && parser.isSet(c.comparer))
        return QStringLiteral("--reference et --comparer ne vont pas ensemble.");
    o.dossier = parser.value(c.dossier);
    o.garder = parser.isSet(c.garder);
    o.serveur = parser.isSet(c.serveur);
    o.scriptPostgres = parser.value(c.scriptPostgres);
    o.reference = parser.isSet(c.reference);
    o.comparer = parser.isSet(c.comparer);
    o.programme = parser.value(c.programme);
    o.generateur = parser.value(c.generateur);
    for (const QString& chemin : {o.programme, o.generateur})
        if (!QFileInfo(chemin).isExecutable())
            return QStringLiteral("programme introuvable : %1").arg(chemin);
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("banc-controle"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Mesure les deux contrôles de controle-coherence, une réparation et un premier remplissage de "
        "FACTCLI sur une société générée, en SQLite ou sur un serveur PostgreSQL : durée, rapport au "
        "plancher (le temps de lire une fois les mêmes lignes), instructions, lignes écrites, mémoire "
        "maximale."));
    const OptionsCommande c = optionsCommande();
    parser.addOptions({c.aide, c.taille, c.rapide, c.graine, c.dossier, c.garder, c.reparation, c.serveur,
                       c.scriptPostgres, c.reference, c.comparer, c.repetitions, c.programme, c.generateur});

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(c.aide)) {
        sortie() << parser.helpText() << Qt::flush;
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("argument inattendu : %1").arg(parser.positionalArguments().front()));

    Options o;
    if (const auto erreur = lireOptions(parser, c, o))
        return usage(*erreur);
    try {
        return lancerBanc(o);
    } catch (const Echec& e) {
        dire(e.texte());
    } catch (const std::exception& e) {
        dire(QString::fromStdString(e.what()));
    }
    return SortieEchec;
}
