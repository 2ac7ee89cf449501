// The whole program, run as a user's scheduled check would run it, on company databases built here:
// the exact bytes of the report and the exact content of FACTCLI afterwards.
#include "Lot.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include "InterlocuteurTest.h"
#include "app/FenetreControle.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>

using namespace cc::test;

namespace {

const QString MessageAncienne =
    QStringLiteral("Cette facture provient de votre ancienne version de Vendrax pour DOS.");
const QString Manquant = QStringLiteral("L'enregistrement est manquant");
const QString ManquantFacture = QStringLiteral("L'enregistrement est manquant dans la facture");

QString erreur(const QString& facture, const QString& dossier) {
    return QStringLiteral("Erreur sur la facture : ") + facture + QStringLiteral(" et le dossier : ") +
           dossier;
}

// One company holding the cases worth having, each invoice named after what it shows.
void remplirSociete(BaseTest& b) {
    // Rows 2, 4, 6, 8: D1, "D2 ", D1, d2. D1 bills 130, D2 20, d2 5.
    b.facture(QStringLiteral("F1"), QStringLiteral("2024-03-01"), QString(),
              tranche(1, QStringLiteral("100.00"), QStringLiteral("DV1"), QStringLiteral("D1")) +
                  tranche(2, QStringLiteral("20.00"), QStringLiteral("DV2"), QStringLiteral("D2 ")) +
                  tranche(3, QStringLiteral("30.00"), QStringLiteral("DV1"), QStringLiteral("D1")) +
                  tranche(4, QStringLiteral("5.00"), QStringLiteral("DV3"), QStringLiteral("d2")));
    // One dossier, a discount of 5: bills 45. Last day, no time of day.
    b.facture(QStringLiteral("F2"), QStringLiteral("2024-03-31"), QStringLiteral("D3"),
              tranche(1, QStringLiteral("50.00"), QStringLiteral("DV3"), QStringLiteral("D3")));
    b.ligne(QStringLiteral("F2"), 2, 10.0, 5.0, QStringLiteral("R"));
    // Last day at midnight, blank estimate.
    b.facture(QStringLiteral("F3"), QStringLiteral("2024-03-31 00:00:00"), QVariant(),
              tranche(1, QStringLiteral("10.00"), QString(), QStringLiteral("D1")));
    // Last day at 10:00 and the day before the first: outside.
    b.facture(QStringLiteral("F4"), QStringLiteral("2024-03-31 10:00:00"), QString(),
              tranche(1, QStringLiteral("1.00"), QStringLiteral("DV4"), QStringLiteral("D4")));
    b.facture(QStringLiteral("F5"), QStringLiteral("2024-02-29"), QString(),
              tranche(1, QStringLiteral("3.00"), QStringLiteral("DV5"), QStringLiteral("D5")));
    // Quotes, and a credit note: bills -12.34.
    b.facture(QStringLiteral("F'6"), QStringLiteral("2024-03-15"), QStringLiteral("D'6"),
              tranche(1, QStringLiteral("12.34"), QStringLiteral("DV6"), QStringLiteral("D'6")),
              QStringLiteral("A"));
    // Old version.
    b.facture(QStringLiteral("F7"), QStringLiteral("2024-03-10"), QString(),
              tranche(1, QStringLiteral("9.00"), QStringLiteral("DV7"), QStringLiteral("D7")),
              QStringLiteral("F"), QStringLiteral("7"));
    b.facture(QStringLiteral("F8"), QStringLiteral("2024-03-12"), QStringLiteral("D8"),
              tranche(1, QStringLiteral("80.00"), QStringLiteral("DV8"), QStringLiteral("D8")));
    b.facture(QStringLiteral("F9"), QStringLiteral("2024-03-13"), QString(),
              tranche(1, QStringLiteral("70.00"), QStringLiteral("DV9"), QStringLiteral("D9")));
    b.facture(QStringLiteral("F10"), QStringLiteral("2024-03-14"), QString(),
              tranche(1, QStringLiteral("60.00"), QStringLiteral("DV10"), QStringLiteral("D10")));

    const QString maj = QStringLiteral("01/01/2024 09:00");
    b.factCli(QStringLiteral("F1"), QStringLiteral("D1"), QStringLiteral("2024-03-01"), QStringLiteral("DV1"),
              maj, 130.0);
    b.factCli(QStringLiteral("F1"), QStringLiteral("D2"), QStringLiteral("2024-03-01"), QStringLiteral("DV2"),
              maj, 20.001);
    b.factCli(QStringLiteral("F2"), QStringLiteral("D3   "), QStringLiteral("2024-03-31"),
              QStringLiteral("DV3"), {}, 45.0);
    b.factCli(QStringLiteral("F2"), QStringLiteral("d3"), QStringLiteral("2024-03-31"), QStringLiteral("DV3"),
              {}, 45.0);
    b.factCli(QStringLiteral("F3"), QStringLiteral(" D1"), QStringLiteral("2024-03-31 00:00:00"),
              QStringLiteral("DV1"), {}, 10.0);
    b.factCli(QStringLiteral("F3"), QStringLiteral("d1"), QStringLiteral("2024-03-31 00:00:00"),
              QStringLiteral("DV1"), {}, 10.0);
    b.factCli(QStringLiteral("F4"), QStringLiteral("DX"), QStringLiteral("2024-03-31 10:00:00"),
              QStringLiteral("DV4"), {}, 1.0);
    b.factCli(QStringLiteral("F4"), QStringLiteral("DY"), QStringLiteral("2024-03-31"), QStringLiteral("DV4"),
              {}, 1.0);
    b.factCli(QStringLiteral("F7"), QStringLiteral("D7"), QStringLiteral("2024-03-10"), QStringLiteral("DV7"),
              {}, 9.0);
    b.factCli(QStringLiteral("F7"), QStringLiteral("D7B"), QStringLiteral("2024-03-10"),
              QStringLiteral("DV7"), {}, 1.0);
    b.factCli(QStringLiteral("F8"), QStringLiteral("D8"), QStringLiteral("2024-03-12"), QStringLiteral("DV8"),
              {}, 79.5);
    b.factCli(QStringLiteral("F8"), QStringLiteral("D8"), QStringLiteral("2024-03-12"), QStringLiteral("DV8"),
              {}, 80.0);
    b.factCli(QStringLiteral("F9"), QStringLiteral("D9"), QStringLiteral("2024-03-13"), QStringLiteral("DV9"),
              {}, QVariant());
    b.factCli(QStringLiteral("F404"), QStringLiteral("D1"), QStringLiteral("2024-03-05"),
              QStringLiteral("DV1"), {}, 1.0);
    b.factCli(QVariant(), QStringLiteral("D1"), QStringLiteral("2024-03-05"), QStringLiteral("DV1"), {}, 1.0);
    b.factCli(QStringLiteral("F1"), QStringLiteral("   "), QStringLiteral("2024-03-05"),
              QStringLiteral("DV1"), {}, 1.0);
    b.factCli(QStringLiteral("F10"), QStringLiteral("D10  "), QStringLiteral("2024-03-14"),
              QStringLiteral("DV10"), {}, 1.0);
}

// FACTCLI as remplirSociete leaves it, as contenuFactCli() shows it.
QStringList factCliInitiale() {
    return {
        QStringLiteral("F1|D1|2024-03-01|DV1|01/01/2024 09:00|130.0"),
        QStringLiteral("F1|D2|2024-03-01|DV2|01/01/2024 09:00|20.001"),
        QStringLiteral("F2|D3   |2024-03-31|DV3|<null>|45.0"),
        QStringLiteral("F2|d3|2024-03-31|DV3|<null>|45.0"),
        QStringLiteral("F3| D1|2024-03-31 00:00:00|DV1|<null>|10.0"),
        QStringLiteral("F3|d1|2024-03-31 00:00:00|DV1|<null>|10.0"),
        QStringLiteral("F4|DX|2024-03-31 10:00:00|DV4|<null>|1.0"),
        QStringLiteral("F4|DY|2024-03-31|DV4|<null>|1.0"),
        QStringLiteral("F7|D7|2024-03-10|DV7|<null>|9.0"),
        QStringLiteral("F7|D7B|2024-03-10|DV7|<null>|1.0"),
        QStringLiteral("F8|D8|2024-03-12|DV8|<null>|79.5"),
        QStringLiteral("F8|D8|2024-03-12|DV8|<null>|80.0"),
        QStringLiteral("F9|D9|2024-03-13|DV9|<null>|<null>"),
        QStringLiteral("F404|D1|2024-03-05|DV1|<null>|1.0"),
        QStringLiteral("<null>|D1|2024-03-05|DV1|<null>|1.0"),
        QStringLiteral("F1|   |2024-03-05|DV1|<null>|1.0"),
        QStringLiteral("F10|D10  |2024-03-14|DV10|<null>|1.0"),
    };
}

} // namespace

class TestBoutEnBout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void societe_data();
    void societe();
    void periode_data();
    void periode();
    void usage_data();
    void usage();
    void baseIntrouvable();
    void echecEnCours();
    void longuePeriode_data();
    void longuePeriode();
    void fenetre();
};

void TestBoutEnBout::societe_data() {
    QTest::addColumn<bool>("aPartirDesFactures");
    QTest::addColumn<bool>("ajouter");
    QTest::addColumn<bool>("mettreAJour");
    QTest::addColumn<QStringList>("rapport");
    QTest::addColumn<QStringList>("factCli");
    QTest::addColumn<int>("messagesAnciennes");

    // Invoice-driven: d2 of F1 (the case of a dossier counts), D1 of F3 (" D1" and "d1" are other
    // dossiers), D'6 of F'6 are missing; D2 of F1 (off by 0.001) and D8 of F8 differ; "D3   " and
    // "D10  " match D3 and D10; a Null amount is equal.
    const QStringList manquants{erreur(QStringLiteral("F1"), QStringLiteral("d2")),   Manquant,
                                erreur(QStringLiteral("F3"), QStringLiteral("D1")),   Manquant,
                                erreur(QStringLiteral("F'6"), QStringLiteral("D'6")), Manquant};
    // The rewrite finds its row by both keys exactly, so "D10  " is not found again.
    const QString introuvable =
        QStringLiteral("L'enregistrement pour la Facture :F10 et le Dossier : D10 n'existe pas dans FACTCLI");
    const QStringList ajouts{
        QStringLiteral("F1|d2|2024-03-01|DV3|") + Horodatage + QStringLiteral("|5.0"),
        QStringLiteral("F3|D1|2024-03-31 00:00:00|********|") + Horodatage + QStringLiteral("|10.0"),
        QStringLiteral("F'6|D'6|2024-03-15|DV6|") + Horodatage + QStringLiteral("|-12.34"),
    };
    QStringList misesAJour = factCliInitiale();
    misesAJour[1] = QStringLiteral("F1|D2|2024-03-01|DV2|01/01/2024 09:00|20.0");
    misesAJour[10] = QStringLiteral("F8|D8|2024-03-12|DV8|<null>|80.0"); // the first of the two only

    QTest::newRow("factures") << true << false << false << manquants << factCliInitiale() << 1;
    QTest::newRow("factures, ajouter")
        << true << true << false << manquants << factCliInitiale() + ajouts << 1;
    QTest::newRow("factures, mettre à jour")
        << true << false << true << manquants + QStringList{introuvable} << misesAJour << 1;
    QTest::newRow("factures, les deux")
        << true << true << true << manquants + QStringList{introuvable} << misesAJour + ajouts << 1;

    // FACTCLI-driven: the row's dossier is not trimmed but its case does not count; an old invoice is
    // read, and its message shown, once per row.
    const QStringList lignesFactCli{
        erreur(QStringLiteral("F2"), QStringLiteral("D3   ")),  ManquantFacture,
        erreur(QStringLiteral("F3"), QStringLiteral(" D1")),    ManquantFacture,
        erreur(QStringLiteral("F4"), QStringLiteral("DY")),     ManquantFacture,
        erreur(QStringLiteral("F7"), QStringLiteral("D7")),     ManquantFacture,
        erreur(QStringLiteral("F7"), QStringLiteral("D7B")),    ManquantFacture,
        erreur(QStringLiteral("F10"), QStringLiteral("D10  ")), ManquantFacture,
    };
    for (int boites = 0; boites < 4; ++boites)
        QTest::addRow("factcli, boîtes %d", boites)
            << false << bool(boites & 1) << bool(boites & 2) << lignesFactCli << factCliInitiale() << 2;
}

void TestBoutEnBout::societe() {
    QFETCH(bool, aPartirDesFactures);
    QFETCH(bool, ajouter);
    QFETCH(bool, mettreAJour);
    QFETCH(QStringList, rapport);
    QFETCH(QStringList, factCli);
    QFETCH(int, messagesAnciennes);

    Lot lot;
    remplirSociete(lot.base());
    QCOMPARE(lot.base().contenuFactCli(), factCliInitiale());

    const ResultatLot r = lot.lancer(argumentsLot(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"),
                                                  aPartirDesFactures, ajouter, mettreAJour));
    QVERIFY2(r.code == 1, qPrintable(QString::number(r.code) + u' ' + r.erreurs));
    QCOMPARE(r.lignesRapport(), rapport);
    QCOMPARE(r.rapport, octetsRapport(rapport));
    const QString diff = comparerFactCli(factCli, r.factCli, r.avant, r.apres);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(r.compterErreurs(MessageAncienne), messagesAnciennes);

    // The report lies beside the program, named after the company and the moment of the run, and its
    // path is the last line of the standard output.
    const QFileInfo info(r.cheminRapport);
    QCOMPARE(info.absolutePath(), QDir(lot.repertoireProgramme()).absolutePath());
    const QRegularExpressionMatch m =
        QRegularExpression(
            QStringLiteral("^ResultatControl\\.SOC1\\.(\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d)\\.txt$"))
            .match(info.fileName());
    QVERIFY2(m.hasMatch(), qPrintable(info.fileName()));
    const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
    QVERIFY(stamp >= r.avant.addMSecs(-r.avant.time().msec()) && stamp <= r.apres);
    const QStringList sortie = r.sortie.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(!sortie.isEmpty());
    QCOMPARE(QFileInfo(sortie.last().trimmed()).absoluteFilePath(), info.absoluteFilePath());
}

void TestBoutEnBout::periode_data() {
    QTest::addColumn<QString>("du");
    QTest::addColumn<QString>("au");
    QTest::addColumn<QStringList>("jours");
    QTest::addColumn<QStringList>("retenus");

    const QStringList jours{QStringLiteral("2024-02-29 23:59:59"), QStringLiteral("2024-03-01"),
                            QStringLiteral("2024-03-01 10:00:00"), QStringLiteral("2024-03-15 12:30:00"),
                            QStringLiteral("2024-03-31"),          QStringLiteral("2024-03-31 00:00:00"),
                            QStringLiteral("2024-03-31 10:00:00"), QStringLiteral("2024-04-01")};
    QTest::newRow("mois") << QStringLiteral("2024-03-01") << QStringLiteral("2024-03-31") << jours
                          << QStringList{QStringLiteral("J2"), QStringLiteral("J3"), QStringLiteral("J4"),
                                         QStringLiteral("J5"), QStringLiteral("J6")};
    QTest::newRow("un jour") << QStringLiteral("2024-03-31") << QStringLiteral("2024-03-31") << jours
                             << QStringList{QStringLiteral("J5"), QStringLiteral("J6")};
    QTest::newRow("premier jour après le dernier")
        << QStringLiteral("2024-03-31") << QStringLiteral("2024-03-01") << jours << QStringList{};
    QTest::newRow("à cheval sur deux mois")
        << QStringLiteral("2024-02-29") << QStringLiteral("2024-03-01") << jours
        << QStringList{QStringLiteral("J1"), QStringLiteral("J2")};
}

// Each invoice bills a dossier that FACTCLI lacks, and each FACTCLI row names a dossier its invoice
// lacks, on the same day: both directions report exactly the days selected.
void TestBoutEnBout::periode() {
    QFETCH(QString, du);
    QFETCH(QString, au);
    QFETCH(QStringList, jours);
    QFETCH(QStringList, retenus);

    for (const bool aPartirDesFactures : {true, false}) {
        Lot lot;
        for (qsizetype i = 0; i < jours.size(); ++i) {
            const QString numero = QStringLiteral("J%1").arg(i + 1);
            lot.base().facture(numero, jours[i], QString(),
                               tranche(1, QStringLiteral("1.00"), QStringLiteral("DV"), QStringLiteral("D")));
            lot.base().factCli(numero, QStringLiteral("AUTRE"), jours[i], QStringLiteral("DV"), QVariant(),
                               1.0);
        }
        QStringList attendu;
        for (const QString& n : retenus)
            attendu << (aPartirDesFactures ? erreur(n, QStringLiteral("D"))
                                           : erreur(n, QStringLiteral("AUTRE")))
                    << (aPartirDesFactures ? Manquant : ManquantFacture);

        const ResultatLot r = lot.lancer(argumentsLot(du, au, aPartirDesFactures, false, false));
        QCOMPARE(r.lignesRapport(), attendu);
        QCOMPARE(r.code, attendu.isEmpty() ? 0 : 1);
        // A run that finds nothing still leaves its report, empty.
        QVERIFY(QFile::exists(r.cheminRapport));
    }
}

void TestBoutEnBout::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("sans --du") << QStringList{QStringLiteral("--au"), QStringLiteral("2024-03-31")};
    QTest::newRow("option inconnue") << QStringList{QStringLiteral("--du"), QStringLiteral("2024-03-01"),
                                                    QStringLiteral("--bidule")};
    QTest::newRow("jour inexistant") << QStringList{QStringLiteral("--du"), QStringLiteral("2024-02-30")};
    QTest::newRow("date mal écrite") << QStringList{QStringLiteral("--du"), QStringLiteral("01/03/2024")};
    QTest::newRow("option sans valeur") << QStringList{QStringLiteral("--du")};
    QTest::newRow("sens inconnu") << QStringList{QStringLiteral("--du"), QStringLiteral("2024-03-01"),
                                                 QStringLiteral("--sens"), QStringLiteral("autre")};
}

void TestBoutEnBout::usage() {
    QFETCH(QStringList, arguments);
    Lot lot;
    remplirSociete(lot.base());
    const ResultatLot r = lot.lancer(arguments);
    QCOMPARE(r.code, 64);
    QVERIFY(!r.erreurs.trimmed().isEmpty());
    QVERIFY2(r.cheminRapport.isEmpty(), qPrintable(r.cheminRapport));
    QCOMPARE(r.factCli, factCliInitiale());
}

void TestBoutEnBout::baseIntrouvable() {
    Lot lot;
    QVERIFY(lot.supprimerBase());
    const ResultatLot r = lot.lancer(
        argumentsLot(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), true, true, true));
    QCOMPARE(r.code, 2);
    QVERIFY2(r.erreurs.contains(QStringLiteral("Impossible d'accèder à ") +
                                QDir::toNativeSeparators(lot.cheminBase())),
             qPrintable(r.erreurs));
    QVERIFY(r.erreurs.contains(QStringLiteral("Veuillez relancer VENDRAX.")));
    QVERIFY(r.cheminRapport.isEmpty());
    QVERIFY(QDir(lot.repertoireProgramme()).entryList({QStringLiteral("ResultatControl*")}).isEmpty());
    // Nothing is created in the company's place either.
    QVERIFY(!QFile::exists(lot.cheminBase()));
}

// A row that the database refuses in the middle of a run: the run fails, but every line written and
// every row saved before stays.
void TestBoutEnBout::echecEnCours() {
    Lot lot;
    remplirSociete(lot.base());
    lot.base().executer(
        QStringLiteral("CREATE TRIGGER refus BEFORE INSERT ON FACTCLI WHEN NEW.NUM_FACTURE = 'F3' "
                       "BEGIN SELECT RAISE(ABORT, 'ligne refusée'); END"));
    const ResultatLot r = lot.lancer(
        argumentsLot(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), true, true, false));
    QCOMPARE(r.code, 2);
    QVERIFY2(r.erreurs.contains(QStringLiteral("ligne refusée")), qPrintable(r.erreurs));
    QCOMPARE(r.lignesRapport(), (QStringList{erreur(QStringLiteral("F1"), QStringLiteral("d2")), Manquant,
                                             erreur(QStringLiteral("F3"), QStringLiteral("D1")), Manquant}));
    const QString diff = comparerFactCli(factCliInitiale() << QStringLiteral("F1|d2|2024-03-01|DV3|") +
                                                                  Horodatage + QStringLiteral("|5.0"),
                                         r.factCli, r.avant, r.apres);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestBoutEnBout::longuePeriode_data() {
    QTest::addColumn<bool>("aPartirDesFactures");
    QTest::newRow("factures") << true;
    QTest::newRow("factcli") << false;
}

// More records than a 16-bit index can number: the last one is still checked.
void TestBoutEnBout::longuePeriode() {
    QFETCH(bool, aPartirDesFactures);
    constexpr int nombre = 32770;
    Lot lot;
    BaseTest& b = lot.base();
    // As on a host database, the invoice number is indexed.
    b.executer(QStringLiteral("CREATE INDEX factures_numero ON FACTURES (NUMERO_DE_FACTURE)"));
    b.executer(QStringLiteral("BEGIN"));
    for (int i = 1; i < nombre; ++i) {
        const QString numero = QStringLiteral("L%1").arg(i);
        if (aPartirDesFactures)
            b.facture(numero, QStringLiteral("2024-03-05"), QString(), QString());
        else
            b.factCli(numero, QString(), QStringLiteral("2024-03-05"), QString(), QVariant(), 0.0);
    }
    b.executer(QStringLiteral("COMMIT"));
    b.facture(QStringLiteral("DERNIERE"), QStringLiteral("2024-03-31"), QString(),
              tranche(1, QStringLiteral("1.00"), QStringLiteral("DV"), QStringLiteral("D")));
    b.factCli(QStringLiteral("DERNIERE"), QStringLiteral("AUTRE"), QStringLiteral("2024-03-31"), QString(),
              QVariant(), 1.0);

    const ResultatLot r = lot.lancer(argumentsLot(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"),
                                                  aPartirDesFactures, false, false));
    QVERIFY2(r.code == 1, qPrintable(QString::number(r.code) + u' ' + r.erreurs));
    QCOMPARE(
        r.lignesRapport(),
        aPartirDesFactures
            ? (QStringList{erreur(QStringLiteral("DERNIERE"), QStringLiteral("D")), Manquant})
            : (QStringList{erreur(QStringLiteral("DERNIERE"), QStringLiteral("AUTRE")), ManquantFacture}));
}

// The real window, offscreen: the user's period, boxes and button, then the same options in a batch run
// on a copy of the company give the same report bytes and the same FACTCLI.
void TestBoutEnBout::fenetre() {
    Lot lot;
    remplirSociete(lot.base());
    InterlocuteurTest utilisateur;
    cc::FenetreControle f(lot.repertoireProgramme(), cc::horlogeSysteme(), &utilisateur);
    cc::Session session;
    session.environnement.RepertoireBase =
        QFileInfo(QFileInfo(lot.cheminBase()).absolutePath()).absolutePath();
    session.environnement.RepertoireSociete = lot.societe();
    session.connexion = cc::Connexion::ouvrirSQLite(lot.cheminBase());
    f.Form_Load(std::move(session));
    f.show();

    auto* prg = f.findChild<QProgressBar*>(QStringLiteral("prg_Facture"));
    auto* lancer = f.findChild<QPushButton*>(QStringLiteral("cmd_Lancer"));
    QVERIFY(prg && lancer);
    QList<int> valeurs;
    connect(prg, &QProgressBar::valueChanged, this, [&](int v) { valeurs << v; });

    f.findChild<QCalendarWidget*>(QStringLiteral("dte_Date"))->setSelectedDate(QDate(2024, 3, 1));
    f.findChild<QCalendarWidget*>(QStringLiteral("dte_Date_Fin"))->setSelectedDate(QDate(2024, 3, 31));
    f.findChild<QCheckBox*>(QStringLiteral("chk_AjoutEnregistrement"))->setChecked(true);
    f.findChild<QCheckBox*>(QStringLiteral("chk_MiseAJour"))->setChecked(true);
    const QDateTime avant = QDateTime::currentDateTime();
    QTest::mouseClick(lancer, Qt::LeftButton);
    const QDateTime apres = QDateTime::currentDateTime();

    // Eight invoices in the period, each begun with its number on the bar, which stays at the end.
    QCOMPARE(valeurs, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(prg->maximum(), 8);
    QCOMPARE(prg->value(), 8);
    QVERIFY(lancer->isEnabled() && f.isEnabled());
    // The old invoice's message, then the prompt naming the report.
    QCOMPARE(utilisateur.boites.size(), 2);
    QVERIFY(utilisateur.boites[0].texte.startsWith(MessageAncienne));
    QCOMPARE(utilisateur.boites[0].titre, QStringLiteral("Lecture d'une facture"));
    QVERIFY(utilisateur.boites[1].question);
    const QString chemin = f.FichierRapport();
    QCOMPARE(utilisateur.boites[1].texte,
             QStringLiteral(
                 "Traitement terminé, le rapport à été généré.\r\n Désirez-vous ouvrir le fichier ? \r\n") +
                 chemin);
    QVERIFY(utilisateur.fichiersOuverts.isEmpty());
    QFile fichier(chemin);
    QVERIFY(fichier.open(QIODevice::ReadOnly));
    const QByteArray rapportFenetre = fichier.readAll();
    // Closed, as a viewer leaves it: Windows would not let the next run of the same second replace it.
    fichier.close();
    const QStringList tableFenetre = lot.base().contenuFactCli();

    Lot autre;
    remplirSociete(autre.base());
    const ResultatLot r = autre.lancer(
        argumentsLot(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), true, true, true));
    QCOMPARE(rapportFenetre, r.rapport);
    QCOMPARE(tableFenetre.size(), r.factCli.size());
    for (qsizetype i = 0; i < tableFenetre.size(); ++i) {
        QStringList a = tableFenetre[i].split(u'|');
        QStringList b = r.factCli[i].split(u'|');
        if (horodatageValide(a[4], avant, apres) && horodatageValide(b[4], r.avant, r.apres))
            a[4] = b[4] = Horodatage;
        QCOMPARE(a, b);
    }

    // The other direction, on the repaired table: every row of the period is walked, the ones passed
    // over included, and the old invoice is read once per row. The user opens the report.
    f.findChild<QCheckBox*>(QStringLiteral("chk_Facture_FactCli"))->setChecked(false);
    valeurs.clear();
    utilisateur.boites.clear();
    utilisateur.reponse = true;
    QTest::mouseClick(lancer, Qt::LeftButton);
    QList<int> tous;
    for (int i = 1; i <= 19; ++i)
        tous << i;
    QCOMPARE(valeurs, tous);
    QCOMPARE(prg->maximum(), 19);
    QCOMPARE(utilisateur.boites.size(), 3);
    QCOMPARE(utilisateur.fichiersOuverts, QStringList{f.FichierRapport()});
    QCOMPARE(lot.base().contenuFactCli(), tableFenetre);

    // A period that selects nothing leaves the bar as it was and an empty report.
    f.findChild<QCalendarWidget*>(QStringLiteral("dte_Date"))->setSelectedDate(QDate(2024, 4, 1));
    valeurs.clear();
    QTest::mouseClick(lancer, Qt::LeftButton);
    QVERIFY(valeurs.isEmpty());
    QCOMPARE(prg->value(), 19);
    QCOMPARE(QFileInfo(f.FichierRapport()).size(), 0);
}

QTEST_MAIN(TestBoutEnBout)
#include "tst_BoutEnBout.moc"
