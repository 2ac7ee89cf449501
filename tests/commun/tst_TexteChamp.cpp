#include "commun/TexteChamp.h"

#include <QDate>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;

class TestTexteChamp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valeurs_data();
    void valeurs();
    void blancs_data();
    void blancs();
};

void TestTexteChamp::valeurs_data() {
    QTest::addColumn<QVariant>("valeur");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("null") << QVariant() << QString();
    QTest::newRow("null texte") << QVariant(QMetaType::fromType<QString>()) << QString();
    QTest::newRow("texte, blancs de fin") << QVariant(u"  D12   "_s) << u"  D12"_s;
    QTest::newRow("texte, tabulation gardée") << QVariant(u"A\t "_s) << u"A\t"_s;
    QTest::newRow("entier") << QVariant(42) << u"42"_s;
    QTest::newRow("entier long") << QVariant(qlonglong(-9000000000)) << u"-9000000000"_s;
    QTest::newRow("décimal") << QVariant(12.5) << u"12.5"_s;
    QTest::newRow("centimes") << QVariant(1234567.89) << u"1234567.89"_s;
    QTest::newRow("0.1") << QVariant(0.1) << u"0.1"_s;
    QTest::newRow("négatif") << QVariant(-95.05) << u"-95.05"_s;
    QTest::newRow("grand") << QVariant(1e20) << u"100000000000000000000"_s;
    QTest::newRow("petit") << QVariant(0.00001) << u"0.00001"_s;
    QTest::newRow("zéro") << QVariant(0.0) << u"0"_s;
    QTest::newRow("date") << QVariant(QDate(2024, 1, 31)) << u"2024-01-31"_s;
    QTest::newRow("date-heure minuit")
        << QVariant(QDateTime(QDate(2024, 1, 31), QTime(0, 0))) << u"2024-01-31"_s;
    QTest::newRow("date-heure") << QVariant(QDateTime(QDate(2024, 1, 31), QTime(10, 5, 7)))
                                << u"2024-01-31 10:05:07"_s;
}

void TestTexteChamp::valeurs() {
    QFETCH(QVariant, valeur);
    QFETCH(QString, attendu);
    QCOMPARE(TexteChamp(valeur), attendu);
    // The regional format never leaks in.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(TexteChamp(valeur), attendu);
    QLocale::setDefault(QLocale::c());
}

void TestTexteChamp::blancs_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("deuxCotes");
    QTest::addColumn<QString>("fin");
    QTest::newRow("vide") << QString() << QString() << QString();
    QTest::newRow("blancs seuls") << u"   "_s << QString() << QString();
    QTest::newRow("deux côtés") << u"  a b  "_s << u"a b"_s << u"  a b"_s;
    QTest::newRow("tabulation") << u"\ta\t"_s << u"\ta\t"_s << u"\ta\t"_s;
}

void TestTexteChamp::blancs() {
    QFETCH(QString, texte);
    QFETCH(QString, deuxCotes);
    QFETCH(QString, fin);
    QCOMPARE(SupprimerBlancs(texte), deuxCotes);
    QCOMPARE(SupprimerBlancsFin(texte), fin);
}

QTEST_GUILESS_MAIN(TestTexteChamp)
#include "tst_TexteChamp.moc"
