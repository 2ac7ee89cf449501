#include "commun/Erreur.h"
#include "commun/TexteErreurSysteme.h"
#include "commun/Windows1252.h"
#include "report/Constats.h"
#include "report/Rapport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <map>
#include <memory>

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
    void executionsDeLaMemeSeconde_data();
    void executionsDeLaMemeSeconde();
    void encodage_data();
    void encodage();
    void horsOuverture();
    void ligneSurDisqueAvantFermeture();
    void echecCreation();
    void echecRotation();
    void disquePlein();
    void texteErreurFichier_data();
    void texteErreurFichier();
    void erreurEnFrancais();
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
    return QDir(dossier).entryList(QDir::Files | QDir::Hidden, QDir::Name);
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

void TestRapport::executionsDeLaMemeSeconde_data() {
    // Events, in order: "+X" run X starts (report and findings file opened, one line each), "-X" it
    // ends (both closed, its path printed), "xX" its program is gone. Then where each run's files lie
    // at the end, as stamp endings after "ResultatControl.SOC1.2023-12-07-".
    QTest::addColumn<QStringList>("evenements");
    QTest::addColumn<QStringList>("finaux");
    const QString un = u"22-32-23"_s;
    const QString sauvegarde = u"22-3223.old"_s;
    QTest::newRow("l'une après l'autre")
        << QStringList{u"+A"_s, u"-A"_s, u"xA"_s, u"+B"_s, u"-B"_s, u"xB"_s, u"+C"_s, u"-C"_s, u"xC"_s}
        << QStringList{sauvegarde + u"=A"_s, un + u"=B"_s, un + u"-2=C"_s};
    QTest::newRow("ensemble") << QStringList{u"+A"_s, u"+B"_s, u"+C"_s, u"-C"_s, u"-B"_s, u"-A"_s}
                              << QStringList{un + u"=A"_s, un + u"-2=B"_s, un + u"-3=C"_s};
    QTest::newRow("la première finit pendant la deuxième")
        << QStringList{u"+A"_s, u"+B"_s, u"-A"_s, u"xA"_s, u"+C"_s, u"-B"_s, u"-C"_s}
        << QStringList{sauvegarde + u"=A"_s, un + u"-2=B"_s, un + u"=C"_s};
#ifndef Q_OS_WIN
    // A window still shows the report of its ended run: nothing moves it.
    QTest::newRow("fenêtres encore ouvertes")
        << QStringList{u"+A"_s, u"-A"_s, u"+B"_s, u"-B"_s, u"+C"_s, u"-C"_s}
        << QStringList{un + u"=A"_s, un + u"-2=B"_s, un + u"-3=C"_s};
#endif
}

// Runs of one company started in the same second: each keeps a report and a findings file of its own,
// prints the path where they are, and an undo started later finds each one where it went.
void TestRapport::executionsDeLaMemeSeconde() {
    QFETCH(QStringList, evenements);
    QFETCH(QStringList, finaux);
    QTemporaryDir d;
    const QDateTime seconde(QDate(2023, 12, 7), QTime(22, 32, 23));
    // An earlier second, and another company in the same second: left alone.
    for (const auto& [societe, moment] :
         {std::pair{u"SOC1"_s, seconde.addSecs(-1)}, std::pair{u"SOC2"_s, seconde}}) {
        Rapport r(d.path(), societe, HorlogeFixe{moment});
        r.OuvrirRapport();
        r.EcrireRapport(u"autre"_s);
        r.FermerRapport();
    }
    QStringList attendus = fichiers(d.path());

    struct Execution {
        std::unique_ptr<Rapport> rapport;
        FichierConstats constats;
        QString constatsActuels; // where an undo would look for its findings file
    };
    std::map<QChar, Execution> executions;
    for (const QString& evenement : evenements) {
        const QChar nom = evenement.at(1);
        Execution& x = executions[nom];
        if (evenement.startsWith(u'+')) {
            x.rapport = std::make_unique<Rapport>(d.path(), u"SOC1"_s, HorlogeFixe{seconde});
            x.rapport->OuvrirRapport();
            x.constats.ouvrir(x.rapport->FichierConstats(), seconde, u"factures"_s);
            x.rapport->EcrireRapport(nom);
            x.constats.ecrire({.facture = nom});
            for (auto& [autre, y] : executions)
                if (autre != nom && !y.constatsActuels.isEmpty())
                    y.constatsActuels = x.rapport->CheminActuel(y.constatsActuels);
        } else if (evenement.startsWith(u'-')) {
            x.rapport->FermerRapport();
            x.constats.fermer();
            // The path it prints holds its own lines.
            QCOMPARE(contenu(x.rapport->FichierRapport()), QByteArray(1, char(nom.unicode())) + "\r\n");
            QCOMPARE(x.constats.chemin(), x.rapport->FichierConstats());
            x.constatsActuels = x.constats.chemin();
        } else {
            x.rapport.reset();
        }
    }
    for (const QString& fin : finaux) {
        const QString base = u"ResultatControl.SOC1.2023-12-07-"_s + fin.section(u'=', 0, 0);
        const QByteArray nom = fin.section(u'=', 1).toLatin1();
        QCOMPARE(contenu(d.filePath(base + u".txt"_s)), nom + "\r\n");
        QVERIFY(contenu(d.filePath(base + u".csv"_s)).contains(";" + nom + ";"));
        QCOMPARE(QFileInfo(executions[QChar(nom.at(0))].constatsActuels),
                 QFileInfo(d.filePath(base + u".csv"_s)));
        attendus << base + u".csv"_s << base + u".txt"_s;
    }
    attendus.sort();
    // No other file: nothing lost, nothing left over.
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

void TestRapport::texteErreurFichier_data() {
    QTest::addColumn<int>("numero");
    for (const int numero : {ENOENT, EACCES, ENOSPC, EROFS, EEXIST, EISDIR})
        QTest::addRow("errno %d", numero) << numero;
}

// The system's text or ours, whichever, in French: never the English of the C library, and a text of
// its own for each error.
void TestRapport::texteErreurFichier() {
    QFETCH(int, numero);
    const QString texte = TexteErreurSysteme(numero);
    QVERIFY(!texte.isEmpty());
    for (const char* anglais :
         {"No such", "Permission denied", "No space", "Read-only", "File exists", "Is a directory"})
        QVERIFY2(!texte.contains(QLatin1StringView(anglais)), qPrintable(texte));
    QVERIFY(texte != TexteErreurSysteme(numero == ENOENT ? EACCES : ENOENT));
}

// A report that cannot be created says why in French, as every file error the user sees.
void TestRapport::erreurEnFrancais() {
    QTemporaryDir d;
    Rapport r(d.filePath(u"absent"_s), u"SOC1"_s, HorlogeSysteme());
    try {
        r.OuvrirRapport();
        QFAIL("no error");
    } catch (const Erreur& e) {
#ifdef Q_OS_WIN
        // Qt gives no error number there: the sentence names the kind of failure.
        const QString attendu = TexteErreurQt(QFileDevice::OpenError);
#else
        const QString attendu = TexteErreurSysteme(ENOENT);
#endif
        QVERIFY2(e.description().endsWith(u" : "_s + attendu), qPrintable(e.description()));
    }
}

QTEST_GUILESS_MAIN(TestRapport)
#include "tst_Rapport.moc"
