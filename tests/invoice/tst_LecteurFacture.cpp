#include "BaseTest.h"
#include "InterlocuteurTest.h"
#include "data/Connexion.h"
#include "invoice/LecteurFacture.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

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
            r << u"%1:%2|%3|%4"_s.arg(k).arg(f.cellule(k, NumeroDevis), f.cellule(k, NumeroDossier),
                                             f.cellule(k, MontantLigne));
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
    base = std::make_unique<BaseTest>(dossierTemp->filePath(u"societe.db"_s));
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
    base->facture(u"F100"_s, u"2024-03-05"_s, u"D1"_s, tranche(1, u"10"_s, u"DV1"_s, u"D1"_s));
    QCOMPARE(lire(u"  F100  "_s), ResultatLecture::Lue);
    QCOMPARE(facture.JourFacture, u"2024-03-05"_s);
    QCOMPARE(facture.DossierFacture, u"D1"_s);
    QCOMPARE(facture.TypePiece, u"F"_s);
    // The last line loses its trailing blanks with those of Corps.
    QCOMPARE(resume(facture), QStringList{u"2:DV1     |D1|10.00"_s});
    QVERIFY(interlocuteur.boites.isEmpty());
}

void TestLecteurFacture::absenteGardeEntete() {
    base->facture(u"F1"_s, u"2024-01-02"_s, u"D9"_s, tranche(1, u"5"_s, u"DV"_s, u"D9"_s), u"A"_s);
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QVERIFY(!tableVide(facture));
    const qint64 avant = connexion->instructionsExecutees();
    QCOMPARE(lire(u"F2"_s), ResultatLecture::Absente);
    QCOMPARE(connexion->instructionsExecutees() - avant, 1);
    QVERIFY(tableVide(facture));
    QCOMPARE(facture.JourFacture, u"2024-01-02"_s);
    QCOMPARE(facture.DossierFacture, u"D9"_s);
    QCOMPARE(facture.TypePiece, u"A"_s);
}

void TestLecteurFacture::typePiece_data() {
    QTest::addColumn<QVariant>("valeur");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("A") << QVariant(u"A"_s) << u"A"_s;
    QTest::newRow("A et blancs de fin") << QVariant(u"A  "_s) << u"A"_s;
    QTest::newRow("a") << QVariant(u"a"_s) << u"F"_s;
    QTest::newRow("blanc puis A") << QVariant(u" A"_s) << u"F"_s;
    QTest::newRow("F") << QVariant(u"F"_s) << u"F"_s;
    QTest::newRow("P") << QVariant(u"P"_s) << u"F"_s;
    QTest::newRow("vide") << QVariant(QString(u""_s)) << u"F"_s;
    QTest::newRow("null") << QVariant() << u"F"_s;
}

void TestLecteurFacture::typePiece() {
    QFETCH(QVariant, valeur);
    QFETCH(QString, attendu);
    facture.TypePiece = u"?"_s;
    base->facture(u"F1"_s, u"2024-01-02"_s, QString(), QString(), valeur);
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QCOMPARE(facture.TypePiece, attendu);
}

void TestLecteurFacture::ancienne_data() {
    QTest::addColumn<QVariant>("flag");
    QTest::addColumn<bool>("ancienne");
    QTest::newRow("7") << QVariant(u"7"_s) << true;
    QTest::newRow("7 et blancs de fin") << QVariant(u"7 "_s) << true;
    QTest::newRow("7 entier") << QVariant(7) << true;
    QTest::newRow("blanc puis 7") << QVariant(u" 7"_s) << false;
    QTest::newRow("70") << QVariant(u"70"_s) << false;
    QTest::newRow("null") << QVariant() << false;
}

void TestLecteurFacture::ancienne() {
    QFETCH(QVariant, flag);
    QFETCH(bool, ancienne);
    const QString corps = tranche(1, u"10"_s, u"DV1"_s, u"D2"_s);
    base->facture(u"F0"_s, u"2020-01-01"_s, u"D0"_s, corps);
    base->facture(u"F7"_s, u"1995-06-30"_s, u"D7"_s, corps, u"A"_s, flag);
    QCOMPARE(lire(u"F0"_s), ResultatLecture::Lue);
    const ResultatLecture resultat = lire(u"F7"_s);
    QCOMPARE(facture.JourFacture, u"1995-06-30"_s);
    QCOMPARE(facture.TypePiece, u"A"_s);
    if (!ancienne) {
        QCOMPARE(resultat, ResultatLecture::Lue);
        QVERIFY(interlocuteur.boites.isEmpty());
        QVERIFY(!tableVide(facture));
        return;
    }
    QCOMPARE(resultat, ResultatLecture::Ancienne);
    QVERIFY(tableVide(facture));
    QCOMPARE(facture.DossierFacture, u"D7"_s);
    // The reader only tells; the run shows this text to the user.
    QVERIFY(interlocuteur.boites.isEmpty());
    QCOMPARE(MessageFactureAncienne(),
             u"Cette facture provient de votre ancienne version de Vendrax pour DOS.\n\n"
             "Elle ne peut être relue dans Vendrax pour Windows.\n\n"
             "Cependant, elle sera prise en compte dans les diverses éditions\n"
             "et statistiques de chiffre d'affaires."_s);
    QCOMPARE(TitreLectureFacture(), u"Lecture d'une facture"_s);
}

void TestLecteurFacture::tranches_data() {
    QTest::addColumn<QString>("corps");
    QTest::addColumn<QStringList>("attendu");
    // A code at 141 keeps the blanks of the dossier even on the last line.
    const auto t = [](int n, const char* devis, const char* dossier) {
        Tranche tr;
        tr.numero = u"%1"_s.arg(n, 2, 10, QLatin1Char('0'));
        tr.montant = QString::number(n);
        tr.devis = QString::fromUtf8(devis);
        tr.dossier = QString::fromUtf8(dossier);
        tr.zone141 = u"Z"_s;
        return tr.texte();
    };
    QTest::newRow("01 02 04, devis différents")
        << t(1, "DV1", "D1") + t(2, "DV1", "D1") + t(4, "DV2", "D1")
        << QStringList{u"2:DV1     |D1      |1.00"_s, u"4:DV1     |D1      |2.00"_s,
                       u"8:DV2     |D1      |4.00"_s};
    QTest::newRow("01 02 04, même devis et dossier: la ligne 3 leur revient")
        << t(1, "DV0", "D0") + t(2, "DV1", "D1") + t(4, "DV1", "D1")
        << QStringList{u"2:DV0     |D0      |1.00"_s, u"4:DV1     |D1      |2.00"_s,
                       u"6:DV1     |D1      |"_s, u"8:DV1     |D1      |4.00"_s};
    QTest::newRow("devis blancs des deux côtés: blancs recopiés, pas d'étoiles")
        << t(2, "", "D1") + t(4, "", "D1")
        << QStringList{u"4:********|D1      |2.00"_s, u"6:        |D1      |"_s,
                       u"8:********|D1      |4.00"_s};
    QTest::newRow("dossier différent par la casse")
        << t(2, "DV1", "D1") + t(4, "DV1", "d1")
        << QStringList{u"4:DV1     |D1      |2.00"_s, u"8:DV1     |d1      |4.00"_s};
    QTest::newRow("deux lignes manquantes")
        << t(1, "DV1", "D1") + t(4, "DV1", "D1")
        << QStringList{u"2:DV1     |D1      |1.00"_s, u"8:DV1     |D1      |4.00"_s};
    QTest::newRow("01 03 02: la 02 n'est jamais lue")
        << t(1, "DV1", "D1") + t(3, "DV1", "D1") + t(2, "DV1", "D1") + t(4, "DV1", "D1")
        << QStringList{u"2:DV1     |D1      |1.00"_s, u"4:DV1     |D1      |"_s,
                       u"6:DV1     |D1      |3.00"_s};
    QTest::newRow("dernière ligne sans code: ses blancs de fin manquent à la comparaison")
        << t(2, "DV1", "D1") + tranche(4, u"4"_s, u"DV1"_s, u"D1"_s)
        << QStringList{u"4:DV1     |D1      |2.00"_s, u"8:DV1     |D1|4.00"_s};
    QTest::newRow("numéro répété") << t(1, "DV1", "D1") + t(1, "DV1", "D1") + t(2, "DV1", "D1")
                                   << QStringList{u"2:DV1     |D1      |1.00"_s};
    QTest::newRow("numéro non numérique arrête la lecture")
        << t(1, "DV1", "D1") + u"xx"_s + t(3, "DV1", "D1").mid(2) + t(3, "DV1", "D1")
        << QStringList{u"2:DV1     |D1      |1.00"_s};
    QTest::newRow("numéro à un chiffre") << u" 1"_s + t(1, "DV1", "D1").mid(2) << QStringList{};
    QTest::newRow("ligne 99") << t(99, "DV9", "D9") << QStringList{u"198:DV9     |D9      |99.00"_s};
}

void TestLecteurFacture::tranches() {
    QFETCH(QString, corps);
    QFETCH(QStringList, attendu);
    base->facture(u"F1"_s, u"2024-01-02"_s, QString(), corps);
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QCOMPARE(resume(facture), attendu);
}

void TestLecteurFacture::colonnes() {
    Tranche t;
    t.numero = u"03"_s;
    t.zone03 = u" AB "_s;
    t.zone08 = u" C"_s;
    t.reference = u"  RÉF-1"_s;
    t.designation = u"Peinture façade été"_s;
    t.zone71 = u"   00012"_s;
    t.zone79 = u"   1.23456"_s;
    t.montant = u"  1 234.5"_s;
    t.zone100 = u"U "_s;
    t.zone103 = u"X"_s;
    t.zone104 = u" 1234567"_s;
    t.zone112 = u"TVA"_s;
    t.devis = u"  DV42"_s;
    t.dossier = u" D42"_s;
    t.zone141 = u"Z"_s;
    QString corps = t.texte();
    QCOMPARE(corps.size(), 150);
    corps.replace(130, 10, u"IGNORÉ----"_s); // 131-140 is not read
    base->facture(u"F1"_s, u"2024-01-02"_s, QString(), tranche(1, {}, {}, {}) + corps);
    base->ligne(u"F1"_s, 6, 10.5, 12.25, u"R "_s, u" suite "_s, u"+X"_s);
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    const auto& r = facture.LignesFacture[6];
    const QStringList attendu{
        QString(), u"AB"_s,     u"C"_s,        u"  RÉF-1+X"_s, u"Peinture façade été suite "_s,
        u"12"_s,   u"1.2346"_s, u"1234.50"_s,  u"U  "_s,       u" 1234567"_s,
        u"TVA"_s,  u"X"_s,      u"  DV42  "_s, u" D42    "_s,  u"Z"_s,
        u"10.5"_s, u"12.25"_s,  u"R "_s};
    QCOMPARE(QStringList(r.begin(), r.end()), attendu);
    // The line without its own FACTURES_LIGNE row, and the odd rows around.
    QCOMPARE(facture.cellule(2, TauxRemise), u"0"_s);
    QCOMPARE(facture.cellule(2, MontantRemise), u"0"_s);
    QCOMPARE(facture.cellule(2, CodeRemise), QString());
    QCOMPARE(facture.cellule(2, NumeroDevis), u"********"_s);
    QCOMPARE(facture.cellule(2, Zone71), u"        "_s);
    QCOMPARE(facture.cellule(2, MontantLigne), QString());
    QVERIFY(facture.cellule(5, NumeroDossier).isEmpty());
    QVERIFY(facture.cellule(7, NumeroDossier).isEmpty());
}

void TestLecteurFacture::montants_data() {
    QTest::addColumn<QString>("zone79");
    QTest::addColumn<QString>("montant");
    QTest::addColumn<QString>("attendu79");
    QTest::addColumn<QString>("attenduMontant");
    QTest::newRow("0.001: vide") << u"0.001"_s << u"0.001"_s << QString() << QString();
    QTest::newRow("-0.001: vide") << u"-0.001"_s << u"-0.001"_s << QString() << QString();
    QTest::newRow("0.0011") << u"0.0011"_s << u"0.0011"_s << u"0.0011"_s << u"0.00"_s;
    QTest::newRow("-12.5") << u"-12.5"_s << u"-12.5"_s << u"-12.5000"_s << u"-12.50"_s;
    QTest::newRow("12,50 lu 12") << u"12,50"_s << u"12,50"_s << u"12.0000"_s << u"12.00"_s;
    QTest::newRow("cadré à droite") << u"    2.5"_s << u"     100.00"_s << u"2.5000"_s << u"100.00"_s;
    QTest::newRow("demi") << u"1.00005"_s << u"2.675"_s << u"1.0001"_s << u"2.68"_s;
    QTest::newRow("exposant") << u"1E3"_s << u"-1.5e2"_s << u"1000.0000"_s << u"-150.00"_s;
    QTest::newRow("pas un nombre") << u"abc"_s << u"N/A"_s << QString() << QString();
    QTest::newRow("grand") << u"9999999999"_s << u"99999999999"_s << u"9999999999.0000"_s
                           << u"99999999999.00"_s;
}

void TestLecteurFacture::montants() {
    QFETCH(QString, zone79);
    QFETCH(QString, montant);
    QFETCH(QString, attendu79);
    QFETCH(QString, attenduMontant);
    Tranche t;
    t.numero = u"01"_s;
    t.zone79 = zone79;
    t.montant = montant;
    base->facture(u"F1"_s, u"2024-01-02"_s, QString(), t.texte());
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QCOMPARE(facture.cellule(2, Zone79), attendu79);
    QCOMPARE(facture.cellule(2, MontantLigne), attenduMontant);
}

void TestLecteurFacture::dossierFacture_data() {
    QTest::addColumn<QVariant>("entete");
    QTest::addColumn<QStringList>("dossiers");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("lignes du même dossier")
        << QVariant(u"D1"_s) << QStringList{u"D1"_s, u"  D1"_s} << u"D1"_s;
    QTest::newRow("deux dossiers") << QVariant(u"D1"_s) << QStringList{u"D1"_s, u"D2"_s, u"D1"_s}
                                   << QString();
    QTest::newRow("lignes sans dossier") << QVariant(u"D1"_s) << QStringList{QString(), QString()} << u"D1"_s;
    QTest::newRow("casse différente") << QVariant(u"D1"_s) << QStringList{u"d1"_s} << QString();
    QTest::newRow("en-tête vide") << QVariant(QString(u""_s)) << QStringList{u"D1"_s} << QString();
    QTest::newRow("en-tête null, lignes sans dossier") << QVariant() << QStringList{QString()} << QString();
    QTest::newRow("en-tête à blanc de tête") << QVariant(u" D1"_s) << QStringList{u"D1"_s} << QString();
    QTest::newRow("en-tête numérique") << QVariant(1234) << QStringList{u"1234"_s} << u"1234"_s;
}

void TestLecteurFacture::dossierFacture() {
    QFETCH(QVariant, entete);
    QFETCH(QStringList, dossiers);
    QFETCH(QString, attendu);
    QString corps;
    for (int j = 0; j < dossiers.size(); ++j)
        corps += tranche(j + 1, u"1"_s, u"DV"_s, dossiers.at(j));
    base->facture(u"F1"_s, u"2024-01-02"_s, entete, corps);
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QCOMPARE(facture.DossierFacture, attendu);
}

void TestLecteurFacture::remises() {
    // The discount data of line j is stored under NUMERO_DE_LIGNE 2*j.
    QString corps;
    for (int j = 1; j <= 4; ++j)
        corps += tranche(j, u"100"_s, u"DV"_s, u"D1"_s);
    base->facture(u"F1"_s, u"2024-01-02"_s, QString(), corps);
    base->facture(u"F2"_s, u"2024-01-02"_s, QString(), corps);
    base->ligne(u"F1"_s, 3, 1, 1, u"NON"_s);
    base->ligne(u"F1"_s, 6, 2.5, 5.75, u"C6"_s);
    base->ligne(u"F1"_s, 6, 9, 9, u"SECOND"_s);
    base->ligne(u"F2"_s, 4, 9, 9, u"AUTRE"_s);
    base->ligne(u"F1"_s, 8, u"3"_s, u"  7,5 "_s, u"T"_s);
    const qint64 avant = connexion->instructionsExecutees();
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    // One FACTURES statement, one FACTURES_LIGNE statement per line read.
    QCOMPARE(connexion->instructionsExecutees() - avant, 5);
    const auto remise = [&](int k) {
        return QStringList{facture.cellule(k, TauxRemise), facture.cellule(k, MontantRemise),
                           facture.cellule(k, CodeRemise)};
    };
    QCOMPARE(remise(2), (QStringList{u"0"_s, u"0"_s, QString()}));
    QCOMPARE(remise(4), (QStringList{u"0"_s, u"0"_s, QString()}));
    QCOMPARE(remise(6), (QStringList{u"2.5"_s, u"5.75"_s, u"C6"_s}));
    // A text value is kept as it is, blanks included (SQLite keeps "3" as a number in a REAL column).
    QCOMPARE(remise(8), (QStringList{u"3"_s, u"  7,5 "_s, u"T"_s}));
}

void TestLecteurFacture::remisesNulles() {
    QString corps;
    for (int j = 1; j <= 3; ++j)
        corps += tranche(j, u"100"_s, u"DV"_s, u"D1"_s);
    base->facture(u"F1"_s, u"2024-01-02"_s, QString(), corps);
    base->ligne(u"F1"_s, 2, QVariant(), QVariant(), QVariant(), QVariant(), QVariant());
    base->ligne(u"F1"_s, 4, QVariant(), 4.5, QVariant(), u"+D"_s, QVariant());
    base->ligne(u"F1"_s, 6, 1, 2, u"C"_s);
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QCOMPARE(facture.cellule(2, TauxRemise), QString());
    QCOMPARE(facture.cellule(2, MontantRemise), QString());
    QCOMPARE(facture.cellule(2, CodeRemise), QString());
    QCOMPARE(facture.cellule(4, MontantRemise), u"4.5"_s);
    QCOMPARE(facture.cellule(4, Designation), u"+D"_s);
    // The lines after a Null are read too.
    QCOMPARE(facture.cellule(6, MontantRemise), u"2"_s);
    QCOMPARE(facture.cellule(6, MontantLigne), u"100.00"_s);
}

void TestLecteurFacture::corpsLimites_data() {
    QTest::addColumn<QVariant>("corps");
    QTest::addColumn<QStringList>("attendu");
    const QString t1 = tranche(1, u"10"_s, u"DV1"_s, u"D1"_s);
    const QString t2 = tranche(2, u"20"_s, u"DV2"_s, u"D2"_s);
    QTest::newRow("null") << QVariant() << QStringList{};
    QTest::newRow("vide") << QVariant(QString(u""_s)) << QStringList{};
    QTest::newRow("un caractère") << QVariant(u"0"_s) << QStringList{};
    QTest::newRow("numéro seul") << QVariant(u"01"_s) << QStringList{u"2:********||"_s};
    QTest::newRow("coupé dans le dossier")
        << QVariant(t1 + t2.left(125))
        << QStringList{u"2:DV1     |D1      |10.00"_s, u"4:DV2     |D2|20.00"_s};
    QTest::newRow("coupé avant le montant")
        << QVariant(t1 + t2.left(95)) << QStringList{u"2:DV1     |D1      |10.00"_s, u"4:********||20.00"_s};
    QTest::newRow("blancs de fin ôtés")
        << QVariant(tranche(1, u"1"_s, QString(), QString())) << QStringList{u"2:********||1.00"_s};
    QString long120;
    for (int j = 1; j <= 120; ++j)
        long120 += tranche(j <= 99 ? j : j - 99, u"1"_s, u"DV"_s, u"D1"_s);
    QStringList attendu99;
    for (int j = 1; j <= 99; ++j)
        attendu99 << u"%1:DV      |D1      |1.00"_s.arg(2 * j);
    QTest::newRow("plus de 99 tranches") << QVariant(long120) << attendu99;
    QString accents = tranche(1, u"3"_s, u"DÉVÎS"_s, u"DOSSIÉ"_s);
    accents.replace(30, 40, u"€ùñ😀"_s.leftJustified(40, u'é'));
    QTest::newRow("accents et hors plan de base")
        << QVariant(accents + tranche(2, u"4"_s, u"ÆØ"_s, u"Œ"_s))
        << QStringList{u"2:DÉVÎS   |DOSSIÉ  |3.00"_s, u"4:ÆØ      |Œ|4.00"_s};
    QTest::newRow("octets (BLOB)") << QVariant(QByteArray("01")) << QStringList{u"2:********||"_s};
}

void TestLecteurFacture::corpsLimites() {
    QFETCH(QVariant, corps);
    QFETCH(QStringList, attendu);
    base->facture(u"F1"_s, u"2024-01-02"_s, u"D1"_s, corps);
    const qint64 avant = connexion->instructionsExecutees();
    QCOMPARE(lire(u"F1"_s), ResultatLecture::Lue);
    QCOMPARE(resume(facture), attendu);
    // One FACTURES_LIGNE statement for each line read, and none for a missing line.
    int lues = 0;
    for (int k = 0; k < NombreRangees; ++k)
        lues += facture.cellule(k, TauxRemise).isEmpty() ? 0 : 1;
    QCOMPARE(connexion->instructionsExecutees() - avant, 1 + lues);
}

void TestLecteurFacture::numeroAvecApostrophe() {
    const QString numero = u"F'1 OR '1'='1"_s;
    base->facture(u"F0"_s, u"2024-01-01"_s, u"D0"_s, QString());
    base->facture(numero, u"2024-01-02"_s, u"D1"_s, tranche(1, u"10"_s, u"DV"_s, u"D1"_s));
    base->ligne(numero, 2, 1, 2.5, u"C"_s);
    QCOMPARE(lire(u" "_s + numero), ResultatLecture::Lue);
    QCOMPARE(facture.DossierFacture, u"D1"_s);
    QCOMPARE(facture.cellule(2, MontantRemise), u"2.5"_s);
    QCOMPARE(lire(u"F'1"_s), ResultatLecture::Absente);
}

void TestLecteurFacture::depassementNommeLaFacture() {
    base->facture(u"F9"_s, u"2024-01-02"_s, QString(), tranche(1, u"1E999"_s, u"DV"_s, u"D1"_s));
    try {
        lire(u"F9"_s);
        QFAIL("no error");
    } catch (const Erreur& e) {
        QCOMPARE(e.numero(), 6);
        QVERIFY2(e.description().contains(u"F9"_s), qPrintable(e.description()));
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
    const QString corps1 = tranche(1, u"100"_s, u"DV1"_s, u"D1"_s) + tranche(2, u"50.5"_s, u"DV1"_s, u"D2"_s);
    const QString corps2 = tranche(1, u"7"_s, QString(), u"D9"_s);
    base->ligne(u"F2"_s, 2, 1, 1, u"F2-1"_s);
    base->facture(u"F2"_s, u"2024-01-03"_s, QString(), corps2);
    base->facture(u"F1"_s, u"2024-01-02"_s, u"D1"_s, corps1);
    base->facture(u"F1"_s, u"2024-01-09"_s, u"DX"_s, corps2);
    base->ligne(u"F1"_s, 4, 3, 3.25, u"PREMIER"_s, u" +dés"_s);
    base->ligne(u"F1"_s, 2, 2, 2, u"L1"_s);
    base->ligne(u"F1"_s, 4, 9, 9, u"SECOND"_s);
    base->executer(u"INSERT INTO FACTURES_LIGNE (NUMERO_DE_FACTURE, CODE_REMISE) VALUES (?, ?)"_s,
                   {u"F1"_s, u"SANS LIGNE"_s});
    base->facture(u"f1"_s, u"2024-01-04"_s, QString(), corps2, u"A"_s);
    base->facture(u"F7"_s, u"2024-01-05"_s, QString(), corps1, u"F"_s, u"7"_s);
    const QStringList numeros{u"F1"_s, u" F2 "_s, u"f1"_s, u"F404"_s, u"F7"_s, u"F1"_s};

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
    sansRemises.prevoir({u"F1"_s});
    QCOMPARE(sansRemises.LireFacture(u"F1"_s, f), ResultatLecture::Lue);
    QCOMPARE(connexion->instructionsExecutees() - avant, 1);
    QCOMPARE(f.cellule(2, NumeroDossier), attendus[0].at(3 + 2).section(u'|', NumeroDossier, NumeroDossier));
    QCOMPARE(f.cellule(4, MontantLigne), u"50.50"_s);
    QCOMPARE(f.cellule(4, MontantRemise), u"0"_s);
}

QTEST_GUILESS_MAIN(TestLecteurFacture)
#include "tst_LecteurFacture.moc"
