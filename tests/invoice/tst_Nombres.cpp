#include "commun/Erreur.h"
#include "invoice/Nombres.h"

#include <QLocale>
#include <QTest>
#include <cfloat>

using namespace cc;

class TestNombres : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lecture_data();
    void lecture();
    void depassement_data();
    void depassement();
    void entier_data();
    void entier();
    void decimales_data();
    void decimales();
    void decimalesNonFinies();
};

void TestNombres::lecture_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<double>("attendu");
    QTest::newRow("vide") << QString() << 0.0;
    QTest::newRow("blancs") << QStringLiteral("     ") << 0.0;
    QTest::newRow("entier") << QStringLiteral("42") << 42.0;
    QTest::newRow("cadré à droite") << QStringLiteral("     100.00") << 100.0;
    QTest::newRow("blancs dedans") << QStringLiteral(" 1 2 . 5 0 ") << 12.5;
    QTest::newRow("moins") << QStringLiteral("-12.5") << -12.5;
    QTest::newRow("moins puis blancs") << QStringLiteral("  -  3") << -3.0;
    QTest::newRow("plus") << QStringLiteral("+7") << 7.0;
    QTest::newRow("deux signes") << QStringLiteral("--1") << 0.0;
    QTest::newRow("signe après chiffres") << QStringLiteral("5-3") << 5.0;
    QTest::newRow("moins seul") << QStringLiteral("-") << 0.0;
    QTest::newRow("point seul") << QStringLiteral(".") << 0.0;
    QTest::newRow("point initial") << QStringLiteral(".5") << 0.5;
    QTest::newRow("moins point") << QStringLiteral("-.25") << -0.25;
    QTest::newRow("point final") << QStringLiteral("5.") << 5.0;
    QTest::newRow("deux points") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("virgule") << QStringLiteral("12,50") << 12.0;
    QTest::newRow("lettre") << QStringLiteral("12A5") << 12.0;
    QTest::newRow("texte") << QStringLiteral("abc") << 0.0;
    QTest::newRow("tabulation") << QStringLiteral("\t5") << 0.0;
    QTest::newRow("exposant E") << QStringLiteral("1.5E3") << 1500.0;
    QTest::newRow("exposant e") << QStringLiteral("2e2") << 200.0;
    QTest::newRow("exposant négatif") << QStringLiteral("25E-1") << 2.5;
    QTest::newRow("exposant signe plus, blancs") << QStringLiteral("1 E + 2") << 100.0;
    QTest::newRow("1e") << QStringLiteral("1e") << 1.0;
    QTest::newRow("1e+") << QStringLiteral("1e+") << 1.0;
    QTest::newRow("1e suivi de lettre") << QStringLiteral("3Ex") << 3.0;
    QTest::newRow("E seul") << QStringLiteral("E5") << 0.0;
    QTest::newRow("point puis E") << QStringLiteral(".E5") << 0.0;
    QTest::newRow("D n'est pas un exposant") << QStringLiteral("1D2") << 1.0;
    QTest::newRow("seuil") << QStringLiteral("0.001") << 0.001;
    QTest::newRow("zéros de tête") << QStringLiteral("000012.50") << 12.5;
    QTest::newRow("grand") << QStringLiteral("99999999999") << 99999999999.0;
    QTest::newRow("très grand") << QStringLiteral("1E308") << 1e308;
    QTest::newRow("trop petit") << QStringLiteral("1E-400") << 0.0;
    QTest::newRow("exposant démesuré négatif") << QStringLiteral("5E-99999999999999999999") << 0.0;
    QTest::newRow("zéro à grand exposant") << QStringLiteral("0E99999") << 0.0;
    QTest::newRow("chiffres arabes-indiens") << QStringLiteral("\u0661\u0662") << 0.0;
    QTest::newRow("accent") << QStringLiteral("7é") << 7.0;
}

void TestNombres::lecture() {
    QFETCH(QString, texte);
    QFETCH(double, attendu);
    QCOMPARE(LireNombre(texte), attendu);
    // The user's locale never changes the reading.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(LireNombre(texte), attendu);
    QLocale::setDefault(QLocale::c());
}

void TestNombres::depassement_data() {
    QTest::addColumn<QString>("texte");
    QTest::newRow("1E309") << QStringLiteral("1E309");
    QTest::newRow("-9E999") << QStringLiteral("-9E999");
    QTest::newRow("exposant démesuré") << QStringLiteral("1E99999999999999999999");
    QTest::newRow("0.001E400") << QStringLiteral("0.001E400");
}

void TestNombres::depassement() {
    QFETCH(QString, texte);
    try {
        LireNombre(texte);
        QFAIL("no error");
    } catch (const Erreur& e) {
        QCOMPARE(e.numero(), 6);
        QCOMPARE(e.description(), QStringLiteral("Dépassement de capacité"));
    }
}

void TestNombres::entier_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("vide") << QString() << QString();
    QTest::newRow("blancs gardés") << QStringLiteral("        ") << QStringLiteral("        ");
    QTest::newRow("cadré") << QStringLiteral("      12") << QStringLiteral("12");
    QTest::newRow("zéros de tête") << QStringLiteral("00000042") << QStringLiteral("42");
    QTest::newRow("zéro") << QStringLiteral("       0") << QString();
    QTest::newRow("moins zéro") << QStringLiteral("-0.4") << QString();
    QTest::newRow("négatif") << QStringLiteral("     -15") << QStringLiteral("-15");
    QTest::newRow("arrondi bas") << QStringLiteral("12.49") << QStringLiteral("12");
    QTest::newRow("demi loin de zéro") << QStringLiteral("12.5") << QStringLiteral("13");
    QTest::newRow("demi pair") << QStringLiteral("  2.5") << QStringLiteral("3");
    QTest::newRow("demi négatif") << QStringLiteral("-2.5") << QStringLiteral("-3");
    QTest::newRow("demi vers zéro") << QStringLiteral("0.5") << QStringLiteral("1");
    QTest::newRow("retenue") << QStringLiteral("999.5") << QStringLiteral("1000");
    QTest::newRow("exposant") << QStringLiteral("12E2") << QStringLiteral("1200");
    QTest::newRow("virgule: pas un nombre") << QStringLiteral("12,5") << QStringLiteral("12,5");
    QTest::newRow("blanc dedans: pas un nombre") << QStringLiteral("1 2") << QStringLiteral("1 2");
    QTest::newRow("lettres") << QStringLiteral("ABC     ") << QStringLiteral("ABC     ");
    QTest::newRow("point seul") << QStringLiteral("   .") << QStringLiteral("   .");
    QTest::newRow("moins seul") << QStringLiteral("-") << QStringLiteral("-");
    QTest::newRow("exposant incomplet") << QStringLiteral("1E") << QStringLiteral("1E");
    QTest::newRow("hors des doubles") << QStringLiteral("1E999") << QStringLiteral("1E999");
    QTest::newRow("très petit") << QStringLiteral("1E-999") << QString();
    QTest::newRow("grand") << QStringLiteral("1E20") << QStringLiteral("100000000000000000000");
}

void TestNombres::entier() {
    QFETCH(QString, texte);
    QFETCH(QString, attendu);
    QCOMPARE(FormatEntier(texte), attendu);
}

void TestNombres::decimales_data() {
    QTest::addColumn<double>("valeur");
    QTest::addColumn<int>("decimales");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("12.5") << 12.5 << 2 << QStringLiteral("12.50");
    QTest::newRow("-12.5") << -12.5 << 2 << QStringLiteral("-12.50");
    QTest::newRow("entier") << 100.0 << 2 << QStringLiteral("100.00");
    QTest::newRow("zéro") << 0.0 << 2 << QStringLiteral("0.00");
    QTest::newRow("moins zéro") << -0.0 << 2 << QStringLiteral("0.00");
    QTest::newRow("arrondi à zéro, sans signe") << -0.004 << 2 << QStringLiteral("0.00");
    QTest::newRow("0.0011") << 0.0011 << 2 << QStringLiteral("0.00");
    QTest::newRow("un chiffre entier au moins") << 0.5 << 2 << QStringLiteral("0.50");
    QTest::newRow("demi 0.005") << 0.005 << 2 << QStringLiteral("0.01");
    QTest::newRow("demi 2.675") << 2.675 << 2 << QStringLiteral("2.68");
    QTest::newRow("demi 1.005") << 1.005 << 2 << QStringLiteral("1.01");
    QTest::newRow("demi négatif") << -0.125 << 2 << QStringLiteral("-0.13");
    QTest::newRow("sous le demi") << 0.12499 << 2 << QStringLiteral("0.12");
    QTest::newRow("retenue") << 99.995 << 2 << QStringLiteral("100.00");
    QTest::newRow("retenue négative") << -9.999 << 2 << QStringLiteral("-10.00");
    QTest::newRow("quatre") << 1.5 << 4 << QStringLiteral("1.5000");
    QTest::newRow("quatre, demi") << 0.00005 << 4 << QStringLiteral("0.0001");
    QTest::newRow("quatre, petit") << 0.0011 << 4 << QStringLiteral("0.0011");
    QTest::newRow("grand") << 99999999999.0 << 2 << QStringLiteral("99999999999.00");
    QTest::newRow("centimes exacts") << 1234567.89 << 2 << QStringLiteral("1234567.89");
    QTest::newRow("1e20") << 1e20 << 2 << QStringLiteral("100000000000000000000.00");
    QTest::newRow("minuscule") << 1e-300 << 4 << QStringLiteral("0.0000");
    QTest::newRow("max") << DBL_MAX << 2
                         << QStringLiteral("17976931348623157") + QString(292, u'0') + QStringLiteral(".00");
}

void TestNombres::decimales() {
    QFETCH(double, valeur);
    QFETCH(int, decimales);
    QFETCH(QString, attendu);
    QCOMPARE(FormatDecimales(valeur, decimales), attendu);
    // A point whatever the locale: the text is read back by the number reading, which stops at a comma.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(FormatDecimales(valeur, decimales), attendu);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(LireNombre(FormatDecimales(valeur, decimales)), LireNombre(attendu));
}

void TestNombres::decimalesNonFinies() {
    QVERIFY_THROWS_EXCEPTION(Erreur, FormatDecimales(qInf(), 2));
    QVERIFY_THROWS_EXCEPTION(Erreur, FormatDecimales(qQNaN(), 2));
}

QTEST_GUILESS_MAIN(TestNombres)
#include "tst_Nombres.moc"
