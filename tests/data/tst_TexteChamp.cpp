#include "commun/TexteChamp.h"

#include <QDate>
#include <QLocale>
#include <QTest>

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
    QTest::newRow("texte, blancs de fin") << QVariant(QStringLiteral("  D12   ")) << QStringLiteral("  D12");
    QTest::newRow("texte, tabulation gardée") << QVariant(QStringLiteral("A\t ")) << QStringLiteral("A\t");
    QTest::newRow("entier") << QVariant(42) << QStringLiteral("42");
    QTest::newRow("entier long") << QVariant(qlonglong(-9000000000)) << QStringLiteral("-9000000000");
    QTest::newRow("décimal") << QVariant(12.5) << QStringLiteral("12.5");
    QTest::newRow("centimes") << QVariant(1234567.89) << QStringLiteral("1234567.89");
    QTest::newRow("0.1") << QVariant(0.1) << QStringLiteral("0.1");
    QTest::newRow("négatif") << QVariant(-95.05) << QStringLiteral("-95.05");
    QTest::newRow("grand") << QVariant(1e20) << QStringLiteral("100000000000000000000");
    QTest::newRow("petit") << QVariant(0.00001) << QStringLiteral("0.00001");
    QTest::newRow("zéro") << QVariant(0.0) << QStringLiteral("0");
    QTest::newRow("date") << QVariant(QDate(2024, 1, 31)) << QStringLiteral("2024-01-31");
    QTest::newRow("date-heure minuit")
        << QVariant(QDateTime(QDate(2024, 1, 31), QTime(0, 0))) << QStringLiteral("2024-01-31");
    QTest::newRow("date-heure") << QVariant(QDateTime(QDate(2024, 1, 31), QTime(10, 5, 7)))
                                << QStringLiteral("2024-01-31 10:05:07");
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
    QTest::newRow("blancs seuls") << QStringLiteral("   ") << QString() << QString();
    QTest::newRow("deux côtés") << QStringLiteral("  a b  ") << QStringLiteral("a b")
                                << QStringLiteral("  a b");
    QTest::newRow("tabulation") << QStringLiteral("\ta\t") << QStringLiteral("\ta\t")
                                << QStringLiteral("\ta\t");
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
