#include "BaseTest.h"
#include "InterlocuteurTest.h"
#include "data/AccesBase.h"
#include "invoice/LecteurFacture.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace cc;
using cc::test::BaseTest;
using cc::test::InterlocuteurTest;
using cc::test::Tranche;
using cc::test::tranche;

namespace {

// The rows that hold anything, each as "row:estimate|dossier|amount".
QStringList resume(const EnregistrementFacture& f) {
    QStringList r;
    for (int k = 0; k < NombreRangees; ++k) {
        bool vide = true;
        for (const auto& c : f.LignesFacture[k])
            vide = vide && c.isEmpty();
        if (!vide)
            r << QStringLiteral("%1:%2|%3|%4")
                     .arg(k)
                     .arg(f.cellule(k, NumeroDevis), f.cellule(k, NumeroDossier), f.cellule(k, MontantLigne));
    }
    return r;
}

bool tableVide(const EnregistrementFacture& f) {
    return resume(f).isEmpty();
}

} // namespace

class TestLecteurFacture : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void numeroEtEntete();
    void absenteGardeEntete();
    void typePiece_data();
    void typePiece();
    void ancienne_data();
    void ancienne();
    void tranches_data();
    void tranches();
    void colonnes();
    void montants_data();
    void montants();
    void dossierFacture_data();
    void dossierFacture();
    void remises();
    void remisesNulles();
    void corpsLimites_data();
    void corpsLimites();
    void numeroAvecApostrophe();
    void depassementNommeLaFacture();
    void lotsCommeLaReference();

private:
    ResultatLecture lire(const QString& numero) { return lecteur->LireFacture(numero, facture); }

    std::unique_ptr<QTemporaryDir> dossierTemp;
    std::unique_ptr<BaseTest> base;
    std::unique_ptr<Connexion> connexion;
    InterlocuteurTest interlocuteur;
    std::unique_ptr<LecteurFacture> lecteur;
    EnregistrementFacture facture;
};

void TestLecteurFacture::init() {
    dossierTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(dossierTemp->isValid());
    base = std::make_unique<BaseTest>(dossierTemp->filePath(QStringLiteral("societe.db")));
    connexion = Connexion::ouvrirSQLite(base->chemin());
    interlocuteur = InterlocuteurTest();
    // The reference walk: one statement for the invoice and one for each line's discount data.
    lecteur = std::make_unique<LecteurFacture>(*connexion, Parcours::Reference);
    facture = EnregistrementFacture();
}

void TestLecteurFacture::cleanup() {
    lecteur.reset();
    connexion.reset();
    base.reset();
    dossierTemp.reset();
}

void TestLecteurFacture::numeroEtEntete() {
    base->facture(QStringLiteral("F100"), QStringLiteral("2024-03-05"), QStringLiteral("D1"),
                  tranche(1, QStringLiteral("10"), QStringLiteral("DV1"), QStringLiteral("D1")));
    QCOMPARE(lire(QStringLiteral("  F100  ")), ResultatLecture::Lue);
    QCOMPARE(facture.JourFacture, QStringLiteral("2024-03-05"));
    QCOMPARE(facture.DossierFacture, QStringLiteral("D1"));
    QCOMPARE(facture.TypePiece, QStringLiteral("F"));
    // The last line loses its trailing blanks with those of Corps.
    QCOMPARE(resume(facture), QStringList{QStringLiteral("2:DV1     |D1|10.00")});
    QVERIFY(interlocuteur.boites.isEmpty());
}

void TestLecteurFacture::absenteGardeEntete() {
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QStringLiteral("D9"),
                  tranche(1, QStringLiteral("5"), QStringLiteral("DV"), QStringLiteral("D9")),
                  QStringLiteral("A"));
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QVERIFY(!tableVide(facture));
    const qint64 avant = connexion->instructionsExecutees();
    QCOMPARE(lire(QStringLiteral("F2")), ResultatLecture::Absente);
    QCOMPARE(connexion->instructionsExecutees() - avant, 1);
    QVERIFY(tableVide(facture));
    QCOMPARE(facture.JourFacture, QStringLiteral("2024-01-02"));
    QCOMPARE(facture.DossierFacture, QStringLiteral("D9"));
    QCOMPARE(facture.TypePiece, QStringLiteral("A"));
}

void TestLecteurFacture::typePiece_data() {
    QTest::addColumn<QVariant>("valeur");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("A") << QVariant(QStringLiteral("A")) << QStringLiteral("A");
    QTest::newRow("A et blancs de fin") << QVariant(QStringLiteral("A  ")) << QStringLiteral("A");
    QTest::newRow("a") << QVariant(QStringLiteral("a")) << QStringLiteral("F");
    QTest::newRow("blanc puis A") << QVariant(QStringLiteral(" A")) << QStringLiteral("F");
    QTest::newRow("F") << QVariant(QStringLiteral("F")) << QStringLiteral("F");
    QTest::newRow("P") << QVariant(QStringLiteral("P")) << QStringLiteral("F");
    QTest::newRow("vide") << QVariant(QString(u""_qs)) << QStringLiteral("F");
    QTest::newRow("null") << QVariant() << QStringLiteral("F");
}

void TestLecteurFacture::typePiece() {
    QFETCH(QVariant, valeur);
    QFETCH(QString, attendu);
    facture.TypePiece = QStringLiteral("?");
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QString(), QString(), valeur);
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QCOMPARE(facture.TypePiece, attendu);
}

void TestLecteurFacture::ancienne_data() {
    QTest::addColumn<QVariant>("flag");
    QTest::addColumn<bool>("ancienne");
    QTest::newRow("7") << QVariant(QStringLiteral("7")) << true;
    QTest::newRow("7 et blancs de fin") << QVariant(QStringLiteral("7 ")) << true;
    QTest::newRow("7 entier") << QVariant(7) << true;
    QTest::newRow("blanc puis 7") << QVariant(QStringLiteral(" 7")) << false;
    QTest::newRow("70") << QVariant(QStringLiteral("70")) << false;
    QTest::newRow("null") << QVariant() << false;
}

void TestLecteurFacture::ancienne() {
    QFETCH(QVariant, flag);
    QFETCH(bool, ancienne);
    const QString corps = tranche(1, QStringLiteral("10"), QStringLiteral("DV1"), QStringLiteral("D2"));
    base->facture(QStringLiteral("F0"), QStringLiteral("2020-01-01"), QStringLiteral("D0"), corps);
    base->facture(QStringLiteral("F7"), QStringLiteral("1995-06-30"), QStringLiteral("D7"), corps,
                  QStringLiteral("A"), flag);
    QCOMPARE(lire(QStringLiteral("F0")), ResultatLecture::Lue);
    const ResultatLecture resultat = lire(QStringLiteral("F7"));
    QCOMPARE(facture.JourFacture, QStringLiteral("1995-06-30"));
    QCOMPARE(facture.TypePiece, QStringLiteral("A"));
    if (!ancienne) {
        QCOMPARE(resultat, ResultatLecture::Lue);
        QVERIFY(interlocuteur.boites.isEmpty());
        QVERIFY(!tableVide(facture));
        return;
    }
    QCOMPARE(resultat, ResultatLecture::Ancienne);
    QVERIFY(tableVide(facture));
    QCOMPARE(facture.DossierFacture, QStringLiteral("D7"));
    // The reader only tells; the run shows this text to the user.
    QVERIFY(interlocuteur.boites.isEmpty());
    QCOMPARE(MessageFactureAncienne(),
             QStringLiteral("Cette facture provient de votre ancienne version de Vendrax pour DOS.\n\n"
                            "Elle ne peut être relue dans Vendrax pour Windows.\n\n"
                            "Cependant, elle sera prise en compte dans les diverses éditions\n"
                            "et statistiques de chiffre d'affaires."));
    QCOMPARE(TitreLectureFacture(), QStringLiteral("Lecture d'une facture"));
}

void TestLecteurFacture::tranches_data() {
    QTest::addColumn<QString>("corps");
    QTest::addColumn<QStringList>("attendu");
    // A code at 141 keeps the blanks of the dossier even on the last line.
    const auto t = [](int n, const char* devis, const char* dossier) {
        Tranche tr;
        tr.numero = QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        tr.montant = QString::number(n);
        tr.devis = QString::fromUtf8(devis);
        tr.dossier = QString::fromUtf8(dossier);
        tr.zone141 = QStringLiteral("Z");
        return tr.texte();
    };
    QTest::newRow("01 02 04, devis différents")
        << t(1, "DV1", "D1") + t(2, "DV1", "D1") + t(4, "DV2", "D1")
        << QStringList{QStringLiteral("2:DV1     |D1      |1.00"), QStringLiteral("4:DV1     |D1      |2.00"),
                       QStringLiteral("8:DV2     |D1      |4.00")};
    QTest::newRow("01 02 04, même devis et dossier: la ligne 3 leur revient")
        << t(1, "DV0", "D0") + t(2, "DV1", "D1") + t(4, "DV1", "D1")
        << QStringList{QStringLiteral("2:DV0     |D0      |1.00"), QStringLiteral("4:DV1     |D1      |2.00"),
                       QStringLiteral("6:DV1     |D1      |"), QStringLiteral("8:DV1     |D1      |4.00")};
    QTest::newRow("devis blancs des deux côtés: blancs recopiés, pas d'étoiles")
        << t(2, "", "D1") + t(4, "", "D1")
        << QStringList{QStringLiteral("4:********|D1      |2.00"), QStringLiteral("6:        |D1      |"),
                       QStringLiteral("8:********|D1      |4.00")};
    QTest::newRow("dossier différent par la casse")
        << t(2, "DV1", "D1") + t(4, "DV1", "d1")
        << QStringList{QStringLiteral("4:DV1     |D1      |2.00"),
                       QStringLiteral("8:DV1     |d1      |4.00")};
    QTest::newRow("deux lignes manquantes") << t(1, "DV1", "D1") + t(4, "DV1", "D1")
                                            << QStringList{QStringLiteral("2:DV1     |D1      |1.00"),
                                                           QStringLiteral("8:DV1     |D1      |4.00")};
    QTest::newRow("01 03 02: la 02 n'est jamais lue")
        << t(1, "DV1", "D1") + t(3, "DV1", "D1") + t(2, "DV1", "D1") + t(4, "DV1", "D1")
        << QStringList{QStringLiteral("2:DV1     |D1      |1.00"), QStringLiteral("4:DV1     |D1      |"),
                       QStringLiteral("6:DV1     |D1      |3.00")};
    QTest::newRow("dernière ligne sans code: ses blancs de fin manquent à la comparaison")
        << t(2, "DV1", "D1") + tranche(4, QStringLiteral("4"), QStringLiteral("DV1"), QStringLiteral("D1"))
        << QStringList{QStringLiteral("4:DV1     |D1      |2.00"), QStringLiteral("8:DV1     |D1|4.00")};
    QTest::newRow("numéro répété") << t(1, "DV1", "D1") + t(1, "DV1", "D1") + t(2, "DV1", "D1")
                                   << QStringList{QStringLiteral("2:DV1     |D1      |1.00")};
    QTest::newRow("numéro non numérique arrête la lecture")
        << t(1, "DV1", "D1") + QStringLiteral("xx") + t(3, "DV1", "D1").mid(2) + t(3, "DV1", "D1")
        << QStringList{QStringLiteral("2:DV1     |D1      |1.00")};
    QTest::newRow("numéro à un chiffre") << QStringLiteral(" 1") + t(1, "DV1", "D1").mid(2) << QStringList{};
    QTest::newRow("ligne 99") << t(99, "DV9", "D9")
                              << QStringList{QStringLiteral("198:DV9     |D9      |99.00")};
}

void TestLecteurFacture::tranches() {
    QFETCH(QString, corps);
    QFETCH(QStringList, attendu);
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QString(), corps);
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QCOMPARE(resume(facture), attendu);
}

void TestLecteurFacture::colonnes() {
    Tranche t;
    t.numero = QStringLiteral("03");
    t.zone03 = QStringLiteral(" AB ");
    t.zone08 = QStringLiteral(" C");
    t.reference = QStringLiteral("  RÉF-1");
    t.designation = QStringLiteral("Peinture façade été");
    t.zone71 = QStringLiteral("   00012");
    t.zone79 = QStringLiteral("   1.23456");
    t.montant = QStringLiteral("  1 234.5");
    t.zone100 = QStringLiteral("U ");
    t.zone103 = QStringLiteral("X");
    t.zone104 = QStringLiteral(" 1234567");
    t.zone112 = QStringLiteral("TVA");
    t.devis = QStringLiteral("  DV42");
    t.dossier = QStringLiteral(" D42");
    t.zone141 = QStringLiteral("Z");
    QString corps = t.texte();
    QCOMPARE(corps.size(), 150);
    corps.replace(130, 10, QStringLiteral("IGNORÉ----")); // 131-140 is not read
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QString(),
                  tranche(1, {}, {}, {}) + corps);
    base->ligne(QStringLiteral("F1"), 6, 10.5, 12.25, QStringLiteral("R "), QStringLiteral(" suite "),
                QStringLiteral("+X"));
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    const auto& r = facture.LignesFacture[6];
    const QStringList attendu{QString(),
                              QStringLiteral("AB"),
                              QStringLiteral("C"),
                              QStringLiteral("  RÉF-1+X"),
                              QStringLiteral("Peinture façade été suite "),
                              QStringLiteral("12"),
                              QStringLiteral("1.2346"),
                              QStringLiteral("1234.50"),
                              QStringLiteral("U  "),
                              QStringLiteral(" 1234567"),
                              QStringLiteral("TVA"),
                              QStringLiteral("X"),
                              QStringLiteral("  DV42  "),
                              QStringLiteral(" D42    "),
                              QStringLiteral("Z"),
                              QStringLiteral("10.5"),
                              QStringLiteral("12.25"),
                              QStringLiteral("R ")};
    QCOMPARE(QStringList(r.begin(), r.end()), attendu);
    // The line without its own FACTURES_LIGNE row, and the odd rows around.
    QCOMPARE(facture.cellule(2, TauxRemise), QStringLiteral("0"));
    QCOMPARE(facture.cellule(2, MontantRemise), QStringLiteral("0"));
    QCOMPARE(facture.cellule(2, CodeRemise), QString());
    QCOMPARE(facture.cellule(2, NumeroDevis), QStringLiteral("********"));
    QCOMPARE(facture.cellule(2, Zone71), QStringLiteral("        "));
    QCOMPARE(facture.cellule(2, MontantLigne), QString());
    QVERIFY(facture.cellule(5, NumeroDossier).isEmpty());
    QVERIFY(facture.cellule(7, NumeroDossier).isEmpty());
}

void TestLecteurFacture::montants_data() {
    QTest::addColumn<QString>("zone79");
    QTest::addColumn<QString>("montant");
    QTest::addColumn<QString>("attendu79");
    QTest::addColumn<QString>("attenduMontant");
    QTest::newRow("0.001: vide") << QStringLiteral("0.001") << QStringLiteral("0.001") << QString()
                                 << QString();
    QTest::newRow("-0.001: vide") << QStringLiteral("-0.001") << QStringLiteral("-0.001") << QString()
                                  << QString();
    QTest::newRow("0.0011") << QStringLiteral("0.0011") << QStringLiteral("0.0011")
                            << QStringLiteral("0.0011") << QStringLiteral("0.00");
    QTest::newRow("-12.5") << QStringLiteral("-12.5") << QStringLiteral("-12.5") << QStringLiteral("-12.5000")
                           << QStringLiteral("-12.50");
    QTest::newRow("12,50 lu 12") << QStringLiteral("12,50") << QStringLiteral("12,50")
                                 << QStringLiteral("12.0000") << QStringLiteral("12.00");
    QTest::newRow("cadré à droite") << QStringLiteral("    2.5") << QStringLiteral("     100.00")
                                    << QStringLiteral("2.5000") << QStringLiteral("100.00");
    QTest::newRow("demi") << QStringLiteral("1.00005") << QStringLiteral("2.675") << QStringLiteral("1.0001")
                          << QStringLiteral("2.68");
    QTest::newRow("exposant") << QStringLiteral("1E3") << QStringLiteral("-1.5e2")
                              << QStringLiteral("1000.0000") << QStringLiteral("-150.00");
    QTest::newRow("pas un nombre") << QStringLiteral("abc") << QStringLiteral("N/A") << QString()
                                   << QString();
    QTest::newRow("grand") << QStringLiteral("9999999999") << QStringLiteral("99999999999")
                           << QStringLiteral("9999999999.0000") << QStringLiteral("99999999999.00");
}

void TestLecteurFacture::montants() {
    QFETCH(QString, zone79);
    QFETCH(QString, montant);
    QFETCH(QString, attendu79);
    QFETCH(QString, attenduMontant);
    Tranche t;
    t.numero = QStringLiteral("01");
    t.zone79 = zone79;
    t.montant = montant;
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QString(), t.texte());
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QCOMPARE(facture.cellule(2, Zone79), attendu79);
    QCOMPARE(facture.cellule(2, MontantLigne), attenduMontant);
}

void TestLecteurFacture::dossierFacture_data() {
    QTest::addColumn<QVariant>("entete");
    QTest::addColumn<QStringList>("dossiers");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("lignes du même dossier")
        << QVariant(QStringLiteral("D1")) << QStringList{QStringLiteral("D1"), QStringLiteral("  D1")}
        << QStringLiteral("D1");
    QTest::newRow("deux dossiers") << QVariant(QStringLiteral("D1"))
                                   << QStringList{QStringLiteral("D1"), QStringLiteral("D2"),
                                                  QStringLiteral("D1")}
                                   << QString();
    QTest::newRow("lignes sans dossier")
        << QVariant(QStringLiteral("D1")) << QStringList{QString(), QString()} << QStringLiteral("D1");
    QTest::newRow("casse différente")
        << QVariant(QStringLiteral("D1")) << QStringList{QStringLiteral("d1")} << QString();
    QTest::newRow("en-tête vide") << QVariant(QString(u""_qs)) << QStringList{QStringLiteral("D1")}
                                  << QString();
    QTest::newRow("en-tête null, lignes sans dossier") << QVariant() << QStringList{QString()} << QString();
    QTest::newRow("en-tête à blanc de tête")
        << QVariant(QStringLiteral(" D1")) << QStringList{QStringLiteral("D1")} << QString();
    QTest::newRow("en-tête numérique")
        << QVariant(1234) << QStringList{QStringLiteral("1234")} << QStringLiteral("1234");
}

void TestLecteurFacture::dossierFacture() {
    QFETCH(QVariant, entete);
    QFETCH(QStringList, dossiers);
    QFETCH(QString, attendu);
    QString corps;
    for (int j = 0; j < dossiers.size(); ++j)
        corps += tranche(j + 1, QStringLiteral("1"), QStringLiteral("DV"), dossiers.at(j));
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), entete, corps);
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QCOMPARE(facture.DossierFacture, attendu);
}

void TestLecteurFacture::remises() {
    // The discount data of line j is stored under NUMERO_DE_LIGNE 2*j.
    QString corps;
    for (int j = 1; j <= 4; ++j)
        corps += tranche(j, QStringLiteral("100"), QStringLiteral("DV"), QStringLiteral("D1"));
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QString(), corps);
    base->facture(QStringLiteral("F2"), QStringLiteral("2024-01-02"), QString(), corps);
    base->ligne(QStringLiteral("F1"), 3, 1, 1, QStringLiteral("NON"));
    base->ligne(QStringLiteral("F1"), 6, 2.5, 5.75, QStringLiteral("C6"));
    base->ligne(QStringLiteral("F1"), 6, 9, 9, QStringLiteral("SECOND"));
    base->ligne(QStringLiteral("F2"), 4, 9, 9, QStringLiteral("AUTRE"));
    base->ligne(QStringLiteral("F1"), 8, QStringLiteral("3"), QStringLiteral("  7,5 "), QStringLiteral("T"));
    const qint64 avant = connexion->instructionsExecutees();
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    // One FACTURES statement, one FACTURES_LIGNE statement per line read.
    QCOMPARE(connexion->instructionsExecutees() - avant, 5);
    const auto remise = [&](int k) {
        return QStringList{facture.cellule(k, TauxRemise), facture.cellule(k, MontantRemise),
                           facture.cellule(k, CodeRemise)};
    };
    QCOMPARE(remise(2), (QStringList{QStringLiteral("0"), QStringLiteral("0"), QString()}));
    QCOMPARE(remise(4), (QStringList{QStringLiteral("0"), QStringLiteral("0"), QString()}));
    QCOMPARE(remise(6), (QStringList{QStringLiteral("2.5"), QStringLiteral("5.75"), QStringLiteral("C6")}));
    // A text value is kept as it is, blanks included (SQLite keeps "3" as a number in a REAL column).
    QCOMPARE(remise(8), (QStringList{QStringLiteral("3"), QStringLiteral("  7,5 "), QStringLiteral("T")}));
}

void TestLecteurFacture::remisesNulles() {
    QString corps;
    for (int j = 1; j <= 3; ++j)
        corps += tranche(j, QStringLiteral("100"), QStringLiteral("DV"), QStringLiteral("D1"));
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QString(), corps);
    base->ligne(QStringLiteral("F1"), 2, QVariant(), QVariant(), QVariant(), QVariant(), QVariant());
    base->ligne(QStringLiteral("F1"), 4, QVariant(), 4.5, QVariant(), QStringLiteral("+D"), QVariant());
    base->ligne(QStringLiteral("F1"), 6, 1, 2, QStringLiteral("C"));
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QCOMPARE(facture.cellule(2, TauxRemise), QString());
    QCOMPARE(facture.cellule(2, MontantRemise), QString());
    QCOMPARE(facture.cellule(2, CodeRemise), QString());
    QCOMPARE(facture.cellule(4, MontantRemise), QStringLiteral("4.5"));
    QCOMPARE(facture.cellule(4, Designation), QStringLiteral("+D"));
    // The lines after a Null are read too.
    QCOMPARE(facture.cellule(6, MontantRemise), QStringLiteral("2"));
    QCOMPARE(facture.cellule(6, MontantLigne), QStringLiteral("100.00"));
}

void TestLecteurFacture::corpsLimites_data() {
    QTest::addColumn<QVariant>("corps");
    QTest::addColumn<QStringList>("attendu");
    const QString t1 = tranche(1, QStringLiteral("10"), QStringLiteral("DV1"), QStringLiteral("D1"));
    const QString t2 = tranche(2, QStringLiteral("20"), QStringLiteral("DV2"), QStringLiteral("D2"));
    QTest::newRow("null") << QVariant() << QStringList{};
    QTest::newRow("vide") << QVariant(QString(u""_qs)) << QStringList{};
    QTest::newRow("un caractère") << QVariant(QStringLiteral("0")) << QStringList{};
    QTest::newRow("numéro seul") << QVariant(QStringLiteral("01"))
                                 << QStringList{QStringLiteral("2:********||")};
    QTest::newRow("coupé dans le dossier")
        << QVariant(t1 + t2.left(125))
        << QStringList{QStringLiteral("2:DV1     |D1      |10.00"), QStringLiteral("4:DV2     |D2|20.00")};
    QTest::newRow("coupé avant le montant")
        << QVariant(t1 + t2.left(95))
        << QStringList{QStringLiteral("2:DV1     |D1      |10.00"), QStringLiteral("4:********||20.00")};
    QTest::newRow("blancs de fin ôtés") << QVariant(tranche(1, QStringLiteral("1"), QString(), QString()))
                                        << QStringList{QStringLiteral("2:********||1.00")};
    QString long120;
    for (int j = 1; j <= 120; ++j)
        long120 +=
            tranche(j <= 99 ? j : j - 99, QStringLiteral("1"), QStringLiteral("DV"), QStringLiteral("D1"));
    QStringList attendu99;
    for (int j = 1; j <= 99; ++j)
        attendu99 << QStringLiteral("%1:DV      |D1      |1.00").arg(2 * j);
    QTest::newRow("plus de 99 tranches") << QVariant(long120) << attendu99;
    QString accents = tranche(1, QStringLiteral("3"), QStringLiteral("DÉVÎS"), QStringLiteral("DOSSIÉ"));
    accents.replace(30, 40, QStringLiteral("€ùñ😀").leftJustified(40, u'é'));
    QTest::newRow("accents et hors plan de base")
        << QVariant(accents + tranche(2, QStringLiteral("4"), QStringLiteral("ÆØ"), QStringLiteral("Œ")))
        << QStringList{QStringLiteral("2:DÉVÎS   |DOSSIÉ  |3.00"), QStringLiteral("4:ÆØ      |Œ|4.00")};
    QTest::newRow("octets (BLOB)") << QVariant(QByteArray("01"))
                                   << QStringList{QStringLiteral("2:********||")};
}

void TestLecteurFacture::corpsLimites() {
    QFETCH(QVariant, corps);
    QFETCH(QStringList, attendu);
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QStringLiteral("D1"), corps);
    const qint64 avant = connexion->instructionsExecutees();
    QCOMPARE(lire(QStringLiteral("F1")), ResultatLecture::Lue);
    QCOMPARE(resume(facture), attendu);
    // One FACTURES_LIGNE statement for each line read, and none for a missing line.
    int lues = 0;
    for (int k = 0; k < NombreRangees; ++k)
        lues += facture.cellule(k, TauxRemise).isEmpty() ? 0 : 1;
    QCOMPARE(connexion->instructionsExecutees() - avant, 1 + lues);
}

void TestLecteurFacture::numeroAvecApostrophe() {
    const QString numero = QStringLiteral("F'1 OR '1'='1");
    base->facture(QStringLiteral("F0"), QStringLiteral("2024-01-01"), QStringLiteral("D0"), QString());
    base->facture(numero, QStringLiteral("2024-01-02"), QStringLiteral("D1"),
                  tranche(1, QStringLiteral("10"), QStringLiteral("DV"), QStringLiteral("D1")));
    base->ligne(numero, 2, 1, 2.5, QStringLiteral("C"));
    QCOMPARE(lire(QStringLiteral(" ") + numero), ResultatLecture::Lue);
    QCOMPARE(facture.DossierFacture, QStringLiteral("D1"));
    QCOMPARE(facture.cellule(2, MontantRemise), QStringLiteral("2.5"));
    QCOMPARE(lire(QStringLiteral("F'1")), ResultatLecture::Absente);
}

void TestLecteurFacture::depassementNommeLaFacture() {
    base->facture(QStringLiteral("F9"), QStringLiteral("2024-01-02"), QString(),
                  tranche(1, QStringLiteral("1E999"), QStringLiteral("DV"), QStringLiteral("D1")));
    try {
        lire(QStringLiteral("F9"));
        QFAIL("no error");
    } catch (const Erreur& e) {
        QCOMPARE(e.numero(), 6);
        QVERIFY2(e.description().contains(QStringLiteral("F9")), qPrintable(e.description()));
    }
}

namespace {
// Every cell and header value of the record, for comparing two reads whole.
QStringList toutLeRecord(const EnregistrementFacture& f) {
    QStringList t{f.TypePiece, f.JourFacture, f.DossierFacture};
    for (int k = 0; k < NombreRangees; ++k)
        t.append(QStringList(f.LignesFacture[k].begin(), f.LignesFacture[k].end()).join(u'|'));
    return t;
}
} // namespace

void TestLecteurFacture::lotsCommeLaReference() {
    // Rows inserted out of order, duplicated numbers and lines: the first row of a number, in the
    // order a plain selection returns them, is the one that counts on every walk.
    const QString corps1 = tranche(1, QStringLiteral("100"), QStringLiteral("DV1"), QStringLiteral("D1")) +
                           tranche(2, QStringLiteral("50.5"), QStringLiteral("DV1"), QStringLiteral("D2"));
    const QString corps2 = tranche(1, QStringLiteral("7"), QString(), QStringLiteral("D9"));
    base->ligne(QStringLiteral("F2"), 2, 1, 1, QStringLiteral("F2-1"));
    base->facture(QStringLiteral("F2"), QStringLiteral("2024-01-03"), QString(), corps2);
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-02"), QStringLiteral("D1"), corps1);
    base->facture(QStringLiteral("F1"), QStringLiteral("2024-01-09"), QStringLiteral("DX"), corps2);
    base->ligne(QStringLiteral("F1"), 4, 3, 3.25, QStringLiteral("PREMIER"), QStringLiteral(" +dés"));
    base->ligne(QStringLiteral("F1"), 2, 2, 2, QStringLiteral("L1"));
    base->ligne(QStringLiteral("F1"), 4, 9, 9, QStringLiteral("SECOND"));
    base->executer(
        QStringLiteral("INSERT INTO FACTURES_LIGNE (NUMERO_DE_FACTURE, CODE_REMISE) VALUES (?, ?)"),
        {QStringLiteral("F1"), QStringLiteral("SANS LIGNE")});
    base->facture(QStringLiteral("f1"), QStringLiteral("2024-01-04"), QString(), corps2, QStringLiteral("A"));
    base->facture(QStringLiteral("F7"), QStringLiteral("2024-01-05"), QString(), corps1, QStringLiteral("F"),
                  QStringLiteral("7"));
    const QStringList numeros{QStringLiteral("F1"),   QStringLiteral(" F2 "), QStringLiteral("f1"),
                              QStringLiteral("F404"), QStringLiteral("F7"),   QStringLiteral("F1")};

    std::vector<QStringList> attendus;
    std::vector<ResultatLecture> resultats;
    for (const QString& n : numeros) {
        resultats.push_back(lire(n));
        attendus.push_back(toutLeRecord(facture));
    }

    for (const bool prevu : {true, false}) {
        LecteurFacture parLots(*connexion, Parcours::ParLots);
        EnregistrementFacture f;
        const qint64 avant = connexion->instructionsExecutees();
        if (prevu)
            parLots.prevoir(std::vector<QString>(numeros.begin(), numeros.end()));
        // One statement per table for the whole lot; without it, two per invoice found.
        QCOMPARE(connexion->instructionsExecutees() - avant, prevu ? 2 : 0);
        const qint64 apres = connexion->instructionsExecutees();
        for (qsizetype i = 0; i < numeros.size(); ++i) {
            QCOMPARE(parLots.LireFacture(numeros[i], f), resultats[i]);
            QCOMPARE(toutLeRecord(f), attendus[i]);
        }
        QCOMPARE(connexion->instructionsExecutees() - apres, prevu ? 0 : 4 * 2 + 2);
    }

    // Without the discount data the dossiers and amounts are read alike, with one statement a lot.
    LecteurFacture sansRemises(*connexion, Parcours::ParLots, false);
    EnregistrementFacture f;
    const qint64 avant = connexion->instructionsExecutees();
    sansRemises.prevoir({QStringLiteral("F1")});
    QCOMPARE(sansRemises.LireFacture(QStringLiteral("F1"), f), ResultatLecture::Lue);
    QCOMPARE(connexion->instructionsExecutees() - avant, 1);
    QCOMPARE(f.cellule(2, NumeroDossier), attendus[0].at(3 + 2).section(u'|', NumeroDossier, NumeroDossier));
    QCOMPARE(f.cellule(4, MontantLigne), QStringLiteral("50.50"));
    QCOMPARE(f.cellule(4, MontantRemise), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestLecteurFacture)
#include "tst_LecteurFacture.moc"
