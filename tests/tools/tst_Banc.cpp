// Runs the benchmark as the lead does: on a small real company, in SQLite and on a throw-away
// PostgreSQL server, with a stand-in program that records how it was called, and with arguments it
// must refuse.

#include "ConnexionOutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Execution {
    int code = -1;
    QString sortie;
    QString erreurs;
};

Execution lancer(const QStringList& arguments,
                 const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("CC_BANC"), arguments);
    if (!p.waitForFinished(240'000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The cells of the table row that starts with the measure and the walk.
QStringList ligne(const QString& sortie, const QString& mesure, const QString& parcours) {
    const QRegularExpression re(u"^"_s + QRegularExpression::escape(mesure) + u"\\s+"_s +
                                    QRegularExpression::escape(parcours) + u"\\s+(.*)$"_s,
                                QRegularExpression::MultilineOption);
    const auto m = re.match(sortie);
    return m.hasMatch() ? m.captured(1).split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts)
                        : QStringList{};
}

// Rows read by the floor for one table, from
// "  factures : 0,068 s pour N lignes (FACTURES 4990 en 0,010 s, ...)".
qint64 lignesPlancher(const QString& sortie, const QString& sens, const QString& table) {
    const QRegularExpression re(u"^  "_s + sens + u"\\s+: .*\\("_s + u"(?:.*, )?"_s + table + u" (\\d+)"_s,
                                QRegularExpression::MultilineOption);
    const auto m = re.match(sortie);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

const QStringList Entetes{u"Mesure"_s,
                          u"Parcours"_s,
                          u"Enregistrements"_s,
                          u"Durée (s)"_s,
                          u"× plancher"_s,
                          u"× contrôle factures"_s,
                          u"Instructions"_s,
                          u"Instr./facture"_s,
                          u"Instr./ligne écrite"_s,
                          u"À 1 ms l'aller-retour (s)"_s,
                          u"Ajoutés"_s,
                          u"Réécrits"_s,
                          u"Mémoire max (Mo)"_s};

// Indexes of the cells that ligne() returns (the measure and the walk are not among them).
enum Cellule {
    Enregistrements,
    Duree,
    FoisPlancher,
    FoisControle,
    Instructions,
    ParFacture,
    ParLigneEcrite,
    AllerRetour,
    Ajoutes,
    Reecrits,
    Memoire,
    NombreCellules
};

const QString Reparation = u"réparation"_s;
const QString Remplissage = u"premier remplissage"_s;

double decimal(const QString& cellule) {
    bool ok = false;
    const double v = QLocale(QLocale::French, QLocale::France).toDouble(cellule, &ok);
    return ok ? v : -1.0;
}

// A figure of the generator's summary line: "..., 87 manquantes, ...".
qint64 bilan(const QString& sortie, const QString& mot) {
    const auto m = QRegularExpression(u"(\\d+) "_s + mot + u"\\b"_s).match(sortie);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// What both databases must agree on: every row of the table that counts records and writes.
QStringList comptes(const QString& sortie) {
    QStringList c;
    for (const QString& mesure : {u"contrôle factures"_s, u"contrôle factcli"_s, Reparation, Remplissage}) {
        const QStringList l = ligne(sortie, mesure, u"lots"_s);
        if (l.size() != NombreCellules)
            return {u"<ligne %1 absente>"_s.arg(mesure)};
        c << mesure + u' ' + l[Enregistrements] + u' ' + l[Ajoutes] + u' ' + l[Reecrits];
    }
    return c;
}

} // namespace

class TestBanc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void societeReelle();
    void comparaisonEtReparation();
    void appelsDuProgramme();
    void serveur();
    void refus_data();
    void refus();
    void reprise();
};

// The program walks exactly the rows that the floor reads: both bind the same period. The repair
// mends the planted faults; the first fill writes one row for each invoice-dossier pair, rewrites
// nothing, and so lands between FACTCLI's rows less the spurious ones and those rows plus the missing.
void TestBanc::societeReelle() {
    const Execution e = lancer({u"--taille"_s, u"200"_s, u"--repetitions"_s, u"1"_s});
    QCOMPARE(e.code, 0);
    for (const QString& entete : Entetes)
        QVERIFY2(e.sortie.contains(entete), qPrintable(entete));
    const QStringList factures = ligne(e.sortie, u"contrôle factures"_s, u"lots"_s);
    const QStringList factcli = ligne(e.sortie, u"contrôle factcli"_s, u"lots"_s);
    const QStringList reparation = ligne(e.sortie, Reparation, u"lots"_s);
    const QStringList remplissage = ligne(e.sortie, Remplissage, u"lots"_s);
    for (const QStringList* l : {&factures, &factcli, &reparation, &remplissage})
        QCOMPARE(l->size(), NombreCellules);
    QCOMPARE(ligne(e.sortie, u"plancher factures"_s, u"-"_s).value(Instructions), u"3"_s);
    QCOMPARE(ligne(e.sortie, u"plancher factcli"_s, u"-"_s).value(Instructions), u"2"_s);

    const qint64 facturesPeriode = lignesPlancher(e.sortie, u"factures"_s, u"FACTURES"_s);
    const qint64 factCliPeriode = lignesPlancher(e.sortie, u"factcli"_s, u"FACTCLI"_s);
    QVERIFY(facturesPeriode > 150);
    QCOMPARE(factures[Enregistrements].toLongLong(), facturesPeriode);
    QCOMPARE(factcli[Enregistrements].toLongLong(), factCliPeriode);
    QVERIFY(e.sortie.contains(u"%1 factures dans la période"_s.arg(facturesPeriode)));
    for (const QStringList* l : {&factures, &factcli}) {
        QCOMPARE((*l)[FoisControle], u"-"_s);
        QCOMPARE((*l)[ParLigneEcrite], u"-"_s);
        QCOMPARE((*l)[Ajoutes], u"0"_s);
        QCOMPARE((*l)[Reecrits], u"0"_s);
    }

    const qint64 manquantes = bilan(e.sortie, u"manquantes"_s);
    const qint64 faux = bilan(e.sortie, u"montants faux"_s);
    const qint64 enTrop = bilan(e.sortie, u"en trop"_s) + bilan(e.sortie, u"doublons"_s);
    QVERIFY(manquantes > 0 && faux > 0 && enTrop > 0);
    QVERIFY(reparation[Ajoutes].toLongLong() > 0);
    QVERIFY(reparation[Ajoutes].toLongLong() <= manquantes);
    QVERIFY(reparation[Reecrits].toLongLong() > 0);
    QVERIFY(reparation[Reecrits].toLongLong() <= faux);
    const qint64 rempli = remplissage[Ajoutes].toLongLong();
    QCOMPARE(remplissage[Reecrits], u"0"_s);
    QVERIFY2(rempli >= factCliPeriode - enTrop && rempli <= factCliPeriode + manquantes,
             qPrintable(u"%1 ajoutés pour %2 lignes FACTCLI"_s.arg(rempli).arg(factCliPeriode)));
    for (const QStringList* l : {&reparation, &remplissage}) {
        QCOMPARE((*l)[Enregistrements].toLongLong(), facturesPeriode);
        QVERIFY(decimal((*l)[FoisControle]) > 0);
        // Writing costs statements beyond the plain check's.
        QVERIFY(decimal((*l)[ParLigneEcrite]) > 0.0);
    }
}

// --reparation is still taken, though the writing runs are now always measured.
void TestBanc::comparaisonEtReparation() {
    const Execution e =
        lancer({u"--taille"_s, u"200"_s, u"--repetitions"_s, u"1"_s, u"--comparer"_s, u"--reparation"_s});
    QCOMPARE(e.code, 0);
    for (const QString& mesure : {u"contrôle factures"_s, u"contrôle factcli"_s, Reparation, Remplissage})
        for (const QString& parcours : {u"référence"_s, u"lots"_s})
            QVERIFY2(ligne(e.sortie, mesure, parcours).size() == NombreCellules,
                     qPrintable(mesure + u' ' + parcours));
    // Four pairs of reports, FACTCLI after the repair and after the fill.
    QCOMPARE(e.sortie.count(u": identiques"_s), 6);
    QVERIFY(!e.sortie.contains(u"DIFFÉRENT"_s));
}

// A stand-in for the program records its environment and arguments and prints figures that depend
// on the run: the walk is chosen by CC_PARCOURS, each writing run works on its own copy (the fill's
// with FACTCLI emptied, the source left whole), and the figures derived from the program's own lines
// are right.
void TestBanc::appelsDuProgramme() {
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString script = dossier.filePath(u"faux-programme"_s);
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"(#!/bin/sh
printf '%s|%s|%s\n' "${CC_PARCOURS-}" "$XDG_CONFIG_HOME" "$*" >> "$BANC_JOURNAL"
case "$*" in
*--mettre-a-jour*) instructions=3500 ajoutes=3 reecrits=2 ;;
*--ajouter*) instructions=2600 ajoutes=5 reecrits=0 ;;
*) instructions=2000 ajoutes=0 reecrits=0 ;;
esac
r="$(dirname "$0")/ResultatControl.FAUX.$$.txt"
printf 'ligne\r\n' > "$r"
echo "faux-programme: statistiques parcourus=8 lignes_rapport=1 manquants=0 montants_differents=0 ajoutes=$ajoutes reecrits=$reecrits instructions=$instructions lignes_lues=30 memoire_max_ko=3072 duree_ms=5" >&2
echo "$r"
exit 1
)");
    }
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString journal = dossier.filePath(u"journal.txt"_s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"BANC_JOURNAL"_s, journal);
    env.insert(u"CC_PARCOURS"_s, u"reference"_s); // must not leak into the batched walk
    const QString travail = dossier.filePath(u"travail"_s);
    const Execution e = lancer({u"--taille"_s, u"20"_s, u"--repetitions"_s, u"1"_s, u"--comparer"_s,
                                u"--programme"_s, script, u"--dossier"_s, travail},
                               env);
    QCOMPARE(e.code, 0);

    QFile f(journal);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList appels = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QString periode = u"--du 2024-01-01 --au 2024-12-31 --sens "_s;
    const QString societe = travail + u"/societe/config"_s;
    const QString controle = u"factures --statistiques"_s;
    const QStringList attendus{
        u"reference|"_s + societe + u'|' + periode + controle,
        u"reference|"_s + societe + u'|' + periode + u"factcli --statistiques"_s,
        u"|"_s + societe + u'|' + periode + controle,
        u"|"_s + societe + u'|' + periode + u"factcli --statistiques"_s,
        u"reference|"_s + travail + u"/reparation-reference/config|"_s + periode + controle +
            u" --ajouter --mettre-a-jour"_s,
        u"|"_s + travail + u"/reparation-lots/config|"_s + periode + controle +
            u" --ajouter --mettre-a-jour"_s,
        u"reference|"_s + travail + u"/remplissage-reference/config|"_s + periode + controle +
            u" --ajouter"_s,
        u"|"_s + travail + u"/remplissage-lots/config|"_s + periode + controle + u" --ajouter"_s,
    };
    QCOMPARE(appels, attendus);

    const auto lignesFactCli = [&](const QString& racine) {
        const cc::outils::ConnexionOutil c(u"QSQLITE"_s, travail + racine + u"/base/SOCBANC/vendrax.mdb"_s,
                                           cc::outils::ConnexionOutil::lectureSeule());
        QSqlQuery q = c.executer(u"SELECT COUNT(*) FROM FACTCLI"_s);
        return q.next() ? q.value(0).toLongLong() : -1;
    };
    const qint64 source = lignesFactCli(u"/societe"_s);
    QVERIFY(source > 0);
    QCOMPARE(lignesFactCli(u"/reparation-lots"_s), source);
    QCOMPARE(lignesFactCli(u"/remplissage-lots"_s), 0);
    QCOMPARE(lignesFactCli(u"/remplissage-reference"_s), 0);

    // 2000 statements for the invoices of the period; the repair writes 5 rows for 1500 statements
    // more, the fill 5 rows for 600 more.
    const qint64 factures = lignesPlancher(e.sortie, u"factures"_s, u"FACTURES"_s);
    QVERIFY(factures > 0);
    const QLocale francais(QLocale::French, QLocale::France);
    const QStringList cellules = ligne(e.sortie, u"contrôle factcli"_s, u"lots"_s);
    QCOMPARE(cellules.size(), NombreCellules);
    QCOMPARE(cellules[Enregistrements], u"8"_s);
    QCOMPARE(cellules[Instructions], u"2000"_s);
    QCOMPARE(cellules[ParFacture], francais.toString(2000.0 / double(factures), 'f', 2));
    QCOMPARE(cellules[AllerRetour], u"2,0"_s);
    QCOMPARE(cellules[ParLigneEcrite], u"-"_s);
    QCOMPARE(cellules[Memoire], u"3,0"_s);
    const struct {
        QString mesure, parcours;
        QList<std::pair<int, QString>> attendu;
    } ecritures[] = {
        {Reparation,
         u"lots"_s,
         {{ParLigneEcrite, u"300,00"_s}, {AllerRetour, u"3,5"_s}, {Ajoutes, u"3"_s}, {Reecrits, u"2"_s}}},
        {Remplissage, u"référence"_s, {{ParLigneEcrite, u"120,00"_s}, {Ajoutes, u"5"_s}, {Reecrits, u"0"_s}}},
    };
    for (const auto& [mesure, parcours, attendu] : ecritures) {
        const QStringList l = ligne(e.sortie, mesure, parcours);
        QCOMPARE(l.size(), NombreCellules);
        for (const auto& [cellule, valeur] : attendu)
            QCOMPARE(l[cellule], valeur);
    }
    // Every report was moved away under its own name, none rotated by a run in the same second.
    QCOMPARE(QDir(travail + u"/rapports"_s).entryList(QDir::Files).size(), 8);
    QVERIFY(QDir(travail + u"/programme"_s).entryList({u"*.old.txt"_s}, QDir::Files).isEmpty());
}

// The same company on the server gives the same counts as in its SQLite file, read through the
// program's ODBC connection; the server is stopped and its cluster removed at the end.
void TestBanc::serveur() {
    const QString script = qEnvironmentVariable("CC_POSTGRES_SCRIPT");
    if (script.isEmpty())
        QSKIP("CC_POSTGRES_SCRIPT is not set (run the tests through CTest)");
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QStringList base{u"--taille"_s, u"1500"_s, u"--repetitions"_s, u"1"_s};
    const Execution local = lancer(base);
    QCOMPARE(local.code, 0);
    const QString travail = dossier.filePath(u"travail"_s);
    const Execution distant =
        lancer(base + QStringList{u"--serveur"_s, u"--script-postgres"_s, script, u"--dossier"_s, travail});
    QVERIFY2(distant.code == 0, qPrintable(distant.erreurs));
    QVERIFY(distant.sortie.contains(u"base PostgreSQL par ODBC"_s));
    QVERIFY(distant.sortie.contains(u"Société chargée sur le serveur"_s));
    QCOMPARE(comptes(distant.sortie), comptes(local.sortie));
    for (const QString& sens : {u"factures"_s, u"factcli"_s})
        for (const QString& table : {u"FACTURES"_s, u"FACTCLI"_s})
            QCOMPARE(lignesPlancher(distant.sortie, sens, table), lignesPlancher(local.sortie, sens, table));
    // The program was pointed at the server, not at a file.
    QFile dat(travail + u"/serveur/base/SQLSERVER.DAT"_s);
    QVERIFY(dat.open(QIODevice::ReadOnly));
    QVERIFY(dat.readAll().startsWith("\"127.0.0.1,"));
    QVERIFY(!QFileInfo::exists(travail + u"/serveur/base/SOCBANC/vendrax.mdb"_s));
    QVERIFY(!QFileInfo::exists(travail + u"/postgres/serveur.env"_s));
}

void TestBanc::refus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("taille nulle") << QStringList{u"--taille"_s, u"0"_s} << 64 << u"taille invalide"_s;
    QTest::newRow("taille en lettres")
        << QStringList{u"--taille"_s, u"mille"_s} << 64 << u"taille invalide"_s;
    QTest::newRow("rapide et taille")
        << QStringList{u"--rapide"_s, u"--taille"_s, u"10"_s} << 64 << u"ne vont pas ensemble"_s;
    QTest::newRow("référence et comparer")
        << QStringList{u"--reference"_s, u"--comparer"_s} << 64 << u"ne vont pas ensemble"_s;
    QTest::newRow("option inconnue") << QStringList{u"--vite"_s} << 64 << u"vite"_s;
    QTest::newRow("programme absent")
        << QStringList{u"--programme"_s, u"/nulle/part"_s} << 64 << u"programme introuvable"_s;
    // A program that ends without its figures is a failure, never a measurement of nothing.
    // A server that cannot be started stops the bench before anything is measured.
    QTest::newRow("serveur impossible")
        << QStringList{u"--taille"_s, u"10"_s, u"--serveur"_s, u"--script-postgres"_s, u"/bin/false"_s} << 2
        << u"banc-controle : impossible de démarrer PostgreSQL"_s;
    QTest::newRow("programme muet") << QStringList{u"--taille"_s, u"10"_s, u"--programme"_s, u"/bin/false"_s}
                                    << 2 << u"n'a pas donné ses statistiques"_s;
}

void TestBanc::refus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);
    const Execution e = lancer(arguments);
    QCOMPARE(e.code, code);
    QVERIFY2(e.erreurs.contains(message), qPrintable(e.erreurs));
    QVERIFY(!e.sortie.contains(u"Enregistrements"_s));
}

// A work folder that already holds the same company is used again; another size generates anew.
void TestBanc::reprise() {
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QStringList base{u"--repetitions"_s, u"1"_s, u"--dossier"_s, dossier.path()};
    const QString fichier = dossier.filePath(u"societe/base/SOCBANC/vendrax.mdb"_s);
    QCOMPARE(lancer(base + QStringList{u"--taille"_s, u"30"_s}).code, 0);
    // An old date on the file is a mark that a new generation would wipe out.
    const QDateTime marque(QDate(2001, 2, 3), QTime(4, 5, 6));
    auto dater = [&] {
        QFile f(fichier);
        return f.open(QIODevice::ReadWrite) && f.setFileTime(marque, QFileDevice::FileModificationTime);
    };
    QVERIFY(dater());
    Execution e = lancer(base + QStringList{u"--taille"_s, u"30"_s});
    QCOMPARE(e.code, 0);
    QVERIFY(e.erreurs.contains(u"reprise"_s));
    QCOMPARE(QFileInfo(fichier).lastModified(), marque);
    e = lancer(base + QStringList{u"--taille"_s, u"40"_s});
    QCOMPARE(e.code, 0);
    QVERIFY(!e.erreurs.contains(u"reprise"_s));
    QVERIFY(QFileInfo(fichier).lastModified() != marque);
    QVERIFY(!ligne(e.sortie, u"contrôle factures"_s, u"lots"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestBanc)
#include "tst_Banc.moc"
