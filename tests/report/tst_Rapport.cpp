#include "commun/Erreur.h"
#include "commun/Windows1252.h"
#include "report/Constats.h"
#include "report/Rapport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;
using namespace cc;

class TestRapport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nom_data();
    void nom();
    void rotation();
    void encodage_data();
    void encodage();
    void horsOuverture();
    void ligneSurDisqueAvantFermeture();
    void echecCreation();
    void echecRotation();
    void rotationPendantUneAutreExecution();
    void disquePlein();
};

namespace {

QByteArray contenu(const QString& chemin) {
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return "<absent>";
    return f.readAll();
}

// A clock that gives the moments it is told, one per reading.
struct HorlogeFixe {
    QDateTime moment;
    QDateTime operator()() const { return moment; }
};

QStringList fichiers(const QString& dossier) {
    return QDir(dossier).entryList(QDir::Files, QDir::Name);
}

} // namespace

void TestRapport::nom_data() {
    QTest::addColumn<QString>("societe");
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("exemple") << u"SOC1"_s << QDateTime(QDate(2023, 12, 7), QTime(22, 32, 23))
                             << u"ResultatControl.SOC1.2023-12-07-22-32-23.txt"_s;
    QTest::newRow("zéros, matin") << u"soc 2"_s << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))
                                  << u"ResultatControl.soc 2.2024-01-02-03-04-05.txt"_s;
    QTest::newRow("accents gardés") << u"Société"_s << QDateTime(QDate(2024, 1, 2), QTime(13, 0, 0))
                                    << u"ResultatControl.Société.2024-01-02-13-00-00.txt"_s;
    QTest::newRow("séparateurs remplacés") << u"A/B\\..\\C"_s << QDateTime(QDate(2024, 1, 2), QTime(13, 0, 0))
                                           << u"ResultatControl.A_B_.._C.2024-01-02-13-00-00.txt"_s;
    QTest::newRow("caractères interdits")
        << u"a:b*c?\"<>|\t"_s << QDateTime(QDate(2024, 1, 2), QTime(13, 0, 0))
        << u"ResultatControl.a_b_c______.2024-01-02-13-00-00.txt"_s;
}

void TestRapport::nom() {
    QFETCH(QString, societe);
    QFETCH(QDateTime, moment);
    QFETCH(QString, attendu);
    QTemporaryDir d;
    Rapport r(d.path(), societe, HorlogeFixe{moment});
    QVERIFY(r.FichierRapport().isEmpty());
    r.OuvrirRapport();
    r.FermerRapport();
    QCOMPARE(r.FichierRapport(), QDir::toNativeSeparators(d.path() + QDir::separator() + attendu));
    // Created empty, in the given directory and nowhere else.
    QCOMPARE(fichiers(d.path()), QStringList{attendu});
    QCOMPARE(contenu(r.FichierRapport()), QByteArray());
}

void TestRapport::rotation() {
    QTemporaryDir d;
    const QDateTime seconde(QDate(2023, 12, 7), QTime(22, 32, 23));
    const QString rapport = u"ResultatControl.SOC1.2023-12-07-22-32-23.txt"_s;
    const QString sauvegarde = u"ResultatControl.SOC1.2023-12-07-22-3223.old.txt"_s;
    // An earlier run in another second, and another company in the same second: both left alone.
    for (const auto& [societe, moment] :
         {std::pair{u"SOC1"_s, seconde.addSecs(-1)}, std::pair{u"SOC2"_s, seconde}}) {
        Rapport r(d.path(), societe, HorlogeFixe{moment});
        r.OuvrirRapport();
        r.EcrireRapport(u"autre"_s);
        r.FermerRapport();
    }
    const QStringList autres = fichiers(d.path());

    Rapport r(d.path(), u"SOC1"_s, HorlogeFixe{seconde});
    const QList<QByteArray> lignes{"premier", "deuxième", "troisième"};
    for (qsizetype n = 0; n < lignes.size(); ++n) {
        r.OuvrirRapport();
        r.EcrireRapport(QString::fromUtf8(lignes.at(n)));
        r.FermerRapport();
        QCOMPARE(r.lignesEcrites(), 1);
        QCOMPARE(contenu(d.filePath(rapport)), EncoderWindows1252(QString::fromUtf8(lignes.at(n))) + "\r\n");
        if (n > 0)
            QCOMPARE(contenu(d.filePath(sauvegarde)),
                     EncoderWindows1252(QString::fromUtf8(lignes.at(n - 1))) + "\r\n");
    }
    QStringList attendus = autres + QStringList{rapport, sauvegarde};
    attendus.sort();
    QCOMPARE(fichiers(d.path()), attendus);
}

void TestRapport::encodage_data() {
    QTest::addColumn<QStringList>("lignes");
    QTest::addColumn<QByteArray>("octets");
    QTest::newRow("aucune ligne") << QStringList{} << QByteArray();
    QTest::newRow("accents, un octet chacun")
        << QStringList{u"Erreur sur la facture : F001 dossier D1 "_s,
                       u"L'enregistrement est manquant à é è"_s}
        << QByteArray("Erreur sur la facture : F001 dossier D1 \r\nL'enregistrement est manquant \xE0 \xE9 "
                      "\xE8\r\n");
    QTest::newRow("plage 80-9F") << QStringList{u"€ œ Œ … ’"_s} << QByteArray("\x80 \x9C \x8C \x85 \x92\r\n");
    QTest::newRow("hors de la page de code") << QStringList{u"Łódź 😀 x"_s}
                                             << QByteArray("?\xF3"
                                                           "d? ? x\r\n");
    QTest::newRow("ligne vide et blancs gardés")
        << QStringList{QString(), u"  a  "_s} << QByteArray("\r\n  a  \r\n");
}

void TestRapport::encodage() {
    QFETCH(QStringList, lignes);
    QFETCH(QByteArray, octets);
    QTemporaryDir d;
    Rapport r(d.path(), u"SOC1"_s, HorlogeSysteme());
    r.OuvrirRapport();
    for (const QString& l : lignes)
        r.EcrireRapport(l);
    QCOMPARE(r.lignesEcrites(), lignes.size());
    r.FermerRapport();
    QCOMPARE(contenu(r.FichierRapport()), octets);
    QCOMPARE(r.lignesEcrites(), lignes.size());
}

void TestRapport::horsOuverture() {
    QTemporaryDir d;
    Rapport r(d.path(), u"SOC1"_s, HorlogeSysteme());
    r.EcrireRapport(u"avant"_s);
    r.FermerRapport();
    QVERIFY(!r.estOuvert());
    QVERIFY(fichiers(d.path()).isEmpty());
    r.OuvrirRapport();
    QVERIFY(r.estOuvert());
    r.FermerRapport();
    r.EcrireRapport(u"après"_s);
    r.FermerRapport();
    QCOMPARE(contenu(r.FichierRapport()), QByteArray());
}

void TestRapport::ligneSurDisqueAvantFermeture() {
    QTemporaryDir d;
    Rapport r(d.path(), u"SOC1"_s, HorlogeSysteme());
    r.OuvrirRapport();
    r.EcrireRapport(u"déjà là"_s);
    // Read by another handle while the report is still open.
    QCOMPARE(contenu(r.FichierRapport()), QByteArray("d\xE9j\xE0 l\xE0\r\n"));
    r.FermerRapport();
}

void TestRapport::echecCreation() {
    QTemporaryDir d;
    const QString absent = d.filePath(u"absent"_s);
    Rapport r(absent, u"SOC1"_s, HorlogeSysteme());
    try {
        r.OuvrirRapport();
        QFAIL("no error");
    } catch (const Erreur& e) {
        QCOMPARE(e.numero(), int(Erreur::AccesFichier));
        QVERIFY(e.description().contains(QDir::toNativeSeparators(absent)));
    }
    // The error can name the report it could not create.
    QVERIFY(r.FichierRapport().startsWith(QDir::toNativeSeparators(absent)));
    QVERIFY(!r.estOuvert());
    r.EcrireRapport(u"rien"_s);
    r.FermerRapport();
}

void TestRapport::echecRotation() {
    QTemporaryDir d;
    const QDateTime seconde(QDate(2023, 12, 7), QTime(22, 32, 23));
    // A backup name taken by a folder that holds something cannot be replaced.
    QVERIFY(QDir(d.path()).mkpath(u"ResultatControl.SOC1.2023-12-07-22-3223.old.txt/x"_s));
    Rapport r(d.path(), u"SOC1"_s, HorlogeFixe{seconde});
    r.OuvrirRapport();
    r.EcrireRapport(u"premier"_s);
    r.FermerRapport();
    const QString premier = r.FichierRapport();
    // The second run takes the next free name; the first run's report is not lost.
    r.OuvrirRapport();
    r.EcrireRapport(u"second"_s);
    r.FermerRapport();
    QCOMPARE(QFileInfo(r.FichierRapport()).fileName(), u"ResultatControl.SOC1.2023-12-07-22-32-23-2.txt"_s);
    QCOMPARE(contenu(premier), QByteArray("premier\r\n"));
    QCOMPARE(contenu(r.FichierRapport()), QByteArray("second\r\n"));
}

// Two runs for the same company in the same second: the first one's report and findings file become
// the backups while it still writes into them, and lose nothing.
void TestRapport::rotationPendantUneAutreExecution() {
    QTemporaryDir d;
    const QDateTime seconde(QDate(2023, 12, 7), QTime(22, 32, 23));
    Rapport premier(d.path(), u"SOC1"_s, HorlogeFixe{seconde});
    Rapport second(d.path(), u"SOC1"_s, HorlogeFixe{seconde});
    FichierConstats constatsPremier;
    FichierConstats constatsSecond;
    premier.OuvrirRapport();
    constatsPremier.ouvrir(premier.FichierConstats(), premier.SauvegardeConstats(), seconde, u"factures"_s);
    premier.EcrireRapport(u"un"_s);
    constatsPremier.ecrire({.facture = u"F1"_s});
    second.OuvrirRapport();
    constatsSecond.ouvrir(second.FichierConstats(), second.SauvegardeConstats(), seconde, u"factcli"_s);
    premier.EcrireRapport(u"deux"_s);
    constatsPremier.ecrire({.facture = u"F2"_s});
    second.EcrireRapport(u"autre"_s);
    for (Rapport* r : {&premier, &second})
        r->FermerRapport();
    constatsPremier.fermer();
    constatsSecond.fermer();
#ifdef Q_OS_WIN
    // A file held open cannot be renamed: the second run takes the next free name, and has no backup.
    const QString premierNom = u"ResultatControl.SOC1.2023-12-07-22-32-23"_s;
    const QString secondNom = u"ResultatControl.SOC1.2023-12-07-22-32-23-2"_s;
#else
    const QString premierNom = u"ResultatControl.SOC1.2023-12-07-22-3223.old"_s;
    const QString secondNom = u"ResultatControl.SOC1.2023-12-07-22-32-23"_s;
#endif
    QCOMPARE(contenu(d.filePath(premierNom + u".txt"_s)), QByteArray("un\r\ndeux\r\n"));
    QCOMPARE(contenu(d.filePath(secondNom + u".txt"_s)), QByteArray("autre\r\n"));
    const QByteArray ancien = contenu(d.filePath(premierNom + u".csv"_s));
    QCOMPARE(ancien.count("\r\n"), 3);
    QVERIFY(ancien.contains(";F2;"));
    QCOMPARE(contenu(d.filePath(secondNom + u".csv"_s)).count("\r\n"), 1);
}

void TestRapport::disquePlein() {
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit");
#else
    // A file size limit makes the system refuse the write as a full disk would.
    QTemporaryDir d;
    Rapport r(d.path(), u"SOC1"_s, HorlogeSysteme());
    r.OuvrirRapport();
    r.EcrireRapport(u"gardée"_s);
    const auto ancienSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit ancienne{};
    getrlimit(RLIMIT_FSIZE, &ancienne);
    rlimit limite = ancienne;
    limite.rlim_cur = 20;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limite), 0);
    bool leve = false;
    try {
        r.EcrireRapport(QString(100, u'x'));
    } catch (const Erreur& e) {
        leve = true;
        QCOMPARE(e.numero(), int(Erreur::DisquePlein));
    }
    setrlimit(RLIMIT_FSIZE, &ancienne);
    std::signal(SIGXFSZ, ancienSignal);
    QVERIFY(leve);
    QCOMPARE(r.lignesEcrites(), 1);
    r.FermerRapport();
    QVERIFY(contenu(r.FichierRapport()).startsWith("gard\xE9\x65\r\n"));
#endif
}

QTEST_GUILESS_MAIN(TestRapport)
#include "tst_Rapport.moc"
