// Runs the benchmark as the lead does: on a small real company, with a stand-in program that records
// how it was called, and with arguments it must refuse.

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// The cells of the table row that starts with the direction and the walk.
QStringList ligne(const QString& sortie, const QString& sens, const QString& parcours) {
    const QRegularExpression re(u"^"_s + QRegularExpression::escape(sens) + u"\\s+"_s +
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

const QStringList Entetes{
    u"Sens"_s,        u"Parcours"_s,    u"Enregistrements"_s,  u"Durée (s)"_s,         u"Enr./s"_s,
    u"Instr./enr."_s, u"Lignes lues"_s, u"Mémoire max (Mo)"_s, u"Lignes du rapport"_s, u"× plancher"_s};

} // namespace

class TestBanc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void societeReelle();
    void comparaisonEtReparation();
    void appelsDuProgramme();
    void refus_data();
    void refus();
    void reprise();
};

// The program walks exactly the rows that the floor reads: both bind the same period.
void TestBanc::societeReelle() {
    const Execution e = lancer({u"--taille"_s, u"200"_s, u"--repetitions"_s, u"1"_s});
    QCOMPARE(e.code, 0);
    for (const QString& entete : Entetes)
        QVERIFY2(e.sortie.contains(entete), qPrintable(entete));
    const QStringList factures = ligne(e.sortie, u"factures"_s, u"lots"_s);
    const QStringList factcli = ligne(e.sortie, u"factcli"_s, u"lots"_s);
    QCOMPARE(factures.size(), Entetes.size() - 2);
    QCOMPARE(factcli.size(), Entetes.size() - 2);
    QVERIFY(factures[0].toLongLong() > 150);
    QCOMPARE(factures[0].toLongLong(), lignesPlancher(e.sortie, u"factures"_s, u"FACTURES"_s));
    QCOMPARE(factcli[0].toLongLong(), lignesPlancher(e.sortie, u"factcli"_s, u"FACTCLI"_s));
    // The demo company has faults planted in it, so both reports have lines.
    QVERIFY(factures[6].toLongLong() > 0);
    QVERIFY(factcli[6].toLongLong() > 0);
}

void TestBanc::comparaisonEtReparation() {
    const Execution e =
        lancer({u"--taille"_s, u"200"_s, u"--repetitions"_s, u"1"_s, u"--comparer"_s, u"--reparation"_s});
    QCOMPARE(e.code, 0);
    for (const QString& sens : {u"factures"_s, u"factcli"_s, u"factures + réparation"_s})
        for (const QString& parcours : {u"référence"_s, u"lots"_s})
            QVERIFY2(!ligne(e.sortie, sens, parcours).isEmpty(), qPrintable(sens + u' ' + parcours));
    QCOMPARE(e.sortie.count(u": identiques"_s), 4);
    QVERIFY(!e.sortie.contains(u"DIFFÉRENT"_s));
    QVERIFY(e.sortie.contains(u"× le même contrôle sans réparation"_s));
}

// A stand-in for the program records its environment and arguments and prints fixed figures: the
// walk is chosen by CC_PARCOURS, a repair run has both options and works on its own copy, and the
// figures derived from the program's own lines are right.
void TestBanc::appelsDuProgramme() {
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString script = dossier.filePath(u"faux-programme"_s);
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"(#!/bin/sh
printf '%s|%s|%s\n' "${CC_PARCOURS-}" "$XDG_CONFIG_HOME" "$*" >> "$BANC_JOURNAL"
r="$(dirname "$0")/ResultatControl.FAUX.$$.txt"
printf 'ligne\r\n' > "$r"
echo "Enregistrements parcourus : 8 ; lignes du rapport : 1 ; enregistrements manquants : 0 ; montants différents : 0 ; enregistrements ajoutés : 3 ; montants réécrits : 2" >&2
echo "Statistiques : instructions 20 ; lignes lues 30 ; mémoire maximale 3072 Ko ; durée 5 ms" >&2
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
                                u"--reparation"_s, u"--programme"_s, script, u"--dossier"_s, travail},
                               env);
    QCOMPARE(e.code, 0);

    QFile f(journal);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList appels = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QString periode = u"--du 2024-01-01 --au 2024-12-31 --sens "_s;
    const QString societe = travail + u"/societe/config"_s;
    const QStringList attendus{
        u"reference|"_s + societe + u'|' + periode + u"factures --statistiques"_s,
        u"reference|"_s + societe + u'|' + periode + u"factcli --statistiques"_s,
        u"|"_s + societe + u'|' + periode + u"factures --statistiques"_s,
        u"|"_s + societe + u'|' + periode + u"factcli --statistiques"_s,
        u"reference|"_s + travail + u"/reparation-reference/config|"_s + periode +
            u"factures --statistiques --ajouter --mettre-a-jour"_s,
        u"|"_s + travail + u"/reparation-lots/config|"_s + periode +
            u"factures --statistiques --ajouter --mettre-a-jour"_s,
    };
    QCOMPARE(appels, attendus);

    // 20 statements over 8 records, 3072 Ko.
    const QStringList cellules = ligne(e.sortie, u"factcli"_s, u"lots"_s);
    QCOMPARE(cellules.size(), Entetes.size() - 2);
    QCOMPARE(cellules[0], u"8"_s);
    QCOMPARE(cellules[3], u"2,500"_s);
    QCOMPARE(cellules[4], u"30"_s);
    QCOMPARE(cellules[5], u"3,0"_s);
    QVERIFY(e.sortie.contains(u"3 enregistrements ajoutés, 2 montants réécrits"_s));
    // Every report was moved away under its own name, none rotated by a run in the same second.
    QCOMPARE(QDir(travail + u"/rapports"_s).entryList(QDir::Files).size(), 6);
    QVERIFY(QDir(travail + u"/programme"_s).entryList({u"*.old.txt"_s}, QDir::Files).isEmpty());
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
    QVERIFY(!ligne(e.sortie, u"factures"_s, u"lots"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestBanc)
#include "tst_Banc.moc"
