#include "commun/Erreur.h"
#include "invoice/Nombres.h"

#include <QLocale>
#include <QTest>
#include <cfloat>

using namespace Qt::StringLiterals;

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
    QTest::newRow("blancs") << u"     "_s << 0.0;
    QTest::newRow("entier") << u"42"_s << 42.0;
    QTest::newRow("cadré à droite") << u"     100.00"_s << 100.0;
    QTest::newRow("blancs dedans") << u" 1 2 . 5 0 "_s << 12.5;
    QTest::newRow("moins") << u"-12.5"_s << -12.5;
    QTest::newRow("moins puis blancs") << u"  -  3"_s << -3.0;
    QTest::newRow("plus") << u"+7"_s << 7.0;
    QTest::newRow("deux signes") << u"--1"_s << 0.0;
    QTest::newRow("signe après chiffres") << u"5-3"_s << 5.0;
    QTest::newRow("moins seul") << u"-"_s << 0.0;
    QTest::newRow("point seul") << u"."_s << 0.0;
    QTest::newRow("point initial") << u".5"_s << 0.5;
    QTest::newRow("moins point") << u"-.25"_s << -0.25;
    QTest::newRow("point final") << u"5."_s << 5.0;
    QTest::newRow("deux points") << u"1.2.3"_s << 1.2;
    QTest::newRow("virgule") << u"12,50"_s << 12.0;
    QTest::newRow("lettre") << u"12A5"_s << 12.0;
    QTest::newRow("texte") << u"abc"_s << 0.0;
    QTest::newRow("tabulation") << u"\t5"_s << 0.0;
    QTest::newRow("exposant E") << u"1.5E3"_s << 1500.0;
    QTest::newRow("exposant e") << u"2e2"_s << 200.0;
    QTest::newRow("exposant négatif") << u"25E-1"_s << 2.5;
    QTest::newRow("exposant signe plus, blancs") << u"1 E + 2"_s << 100.0;
    QTest::newRow("1e") << u"1e"_s << 1.0;
    QTest::newRow("1e+") << u"1e+"_s << 1.0;
    QTest::newRow("1e suivi de lettre") << u"3Ex"_s << 3.0;
    QTest::newRow("E seul") << u"E5"_s << 0.0;
    QTest::newRow("point puis E") << u".E5"_s << 0.0;
    QTest::newRow("D n'est pas un exposant") << u"1D2"_s << 1.0;
    QTest::newRow("seuil") << u"0.001"_s << 0.001;
    QTest::newRow("zéros de tête") << u"000012.50"_s << 12.5;
    QTest::newRow("grand") << u"99999999999"_s << 99999999999.0;
    QTest::newRow("très grand") << u"1E308"_s << 1e308;
    QTest::newRow("trop petit") << u"1E-400"_s << 0.0;
    QTest::newRow("exposant démesuré négatif") << u"5E-99999999999999999999"_s << 0.0;
    QTest::newRow("zéro à grand exposant") << u"0E99999"_s << 0.0;
    QTest::newRow("chiffres arabes-indiens") << u"\u0661\u0662"_s << 0.0;
    QTest::newRow("accent") << u"7é"_s << 7.0;
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
    QTest::newRow("1E309") << u"1E309"_s;
    QTest::newRow("-9E999") << u"-9E999"_s;
    QTest::newRow("exposant démesuré") << u"1E99999999999999999999"_s;
    QTest::newRow("0.001E400") << u"0.001E400"_s;
}

void TestNombres::depassement() {
    QFETCH(QString, texte);
    try {
        LireNombre(texte);
        QFAIL("no error");
    } catch (const Erreur& e) {
        QCOMPARE(e.numero(), 6);
        QCOMPARE(e.description(), u"Dépassement de capacité"_s);
    }
}

void TestNombres::entier_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("vide") << QString() << QString();
    QTest::newRow("blancs gardés") << u"        "_s << u"        "_s;
    QTest::newRow("cadré") << u"      12"_s << u"12"_s;
    QTest::newRow("zéros de tête") << u"00000042"_s << u"42"_s;
    QTest::newRow("zéro") << u"       0"_s << QString();
    QTest::newRow("moins zéro") << u"-0.4"_s << QString();
    QTest::newRow("négatif") << u"     -15"_s << u"-15"_s;
    QTest::newRow("arrondi bas") << u"12.49"_s << u"12"_s;
    QTest::newRow("demi loin de zéro") << u"12.5"_s << u"13"_s;
    QTest::newRow("demi pair") << u"  2.5"_s << u"3"_s;
    QTest::newRow("demi négatif") << u"-2.5"_s << u"-3"_s;
    QTest::newRow("demi vers zéro") << u"0.5"_s << u"1"_s;
    QTest::newRow("retenue") << u"999.5"_s << u"1000"_s;
    QTest::newRow("exposant") << u"12E2"_s << u"1200"_s;
    QTest::newRow("virgule: pas un nombre") << u"12,5"_s << u"12,5"_s;
    QTest::newRow("blanc dedans: pas un nombre") << u"1 2"_s << u"1 2"_s;
    QTest::newRow("lettres") << u"ABC     "_s << u"ABC     "_s;
    QTest::newRow("point seul") << u"   ."_s << u"   ."_s;
    QTest::newRow("moins seul") << u"-"_s << u"-"_s;
    QTest::newRow("exposant incomplet") << u"1E"_s << u"1E"_s;
    QTest::newRow("hors des doubles") << u"1E999"_s << u"1E999"_s;
    QTest::newRow("très petit") << u"1E-999"_s << QString();
    QTest::newRow("grand") << u"1E20"_s << u"100000000000000000000"_s;
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
    QTest::newRow("12.5") << 12.5 << 2 << u"12.50"_s;
    QTest::newRow("-12.5") << -12.5 << 2 << u"-12.50"_s;
    QTest::newRow("entier") << 100.0 << 2 << u"100.00"_s;
    QTest::newRow("zéro") << 0.0 << 2 << u"0.00"_s;
    QTest::newRow("moins zéro") << -0.0 << 2 << u"0.00"_s;
    QTest::newRow("arrondi à zéro, sans signe") << -0.004 << 2 << u"0.00"_s;
    QTest::newRow("0.0011") << 0.0011 << 2 << u"0.00"_s;
    QTest::newRow("un chiffre entier au moins") << 0.5 << 2 << u"0.50"_s;
    QTest::newRow("demi 0.005") << 0.005 << 2 << u"0.01"_s;
    QTest::newRow("demi 2.675") << 2.675 << 2 << u"2.68"_s;
    QTest::newRow("demi 1.005") << 1.005 << 2 << u"1.01"_s;
    QTest::newRow("demi négatif") << -0.125 << 2 << u"-0.13"_s;
    QTest::newRow("sous le demi") << 0.12499 << 2 << u"0.12"_s;
    QTest::newRow("retenue") << 99.995 << 2 << u"100.00"_s;
    QTest::newRow("retenue négative") << -9.999 << 2 << u"-10.00"_s;
    QTest::newRow("quatre") << 1.5 << 4 << u"1.5000"_s;
    QTest::newRow("quatre, demi") << 0.00005 << 4 << u"0.0001"_s;
    QTest::newRow("quatre, petit") << 0.0011 << 4 << u"0.0011"_s;
    QTest::newRow("grand") << 99999999999.0 << 2 << u"99999999999.00"_s;
    QTest::newRow("centimes exacts") << 1234567.89 << 2 << u"1234567.89"_s;
    QTest::newRow("1e20") << 1e20 << 2 << u"100000000000000000000.00"_s;
    QTest::newRow("minuscule") << 1e-300 << 4 << u"0.0000"_s;
    QTest::newRow("max") << DBL_MAX << 2 << u"17976931348623157"_s + QString(292, u'0') + u".00"_s;
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
