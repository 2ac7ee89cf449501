#include "InterlocuteurTest.h"
#include "app/Demarrage.h"
#include "data/ConnexionBase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;
using cc::test::InterlocuteurTest;

// Real attempts through the ODBC driver manager, with drivers registered whose library is missing.
// The driver manager reads its registry once per process, hence a program of its own.
class TestPiloteOdbc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void pilotesInscrits();
    void bibliothequeAbsente_data();
    void bibliothequeAbsente();

private:
    QTemporaryDir dossier_;
};

void TestPiloteOdbc::initTestCase() {
    QFile ini(dossier_.filePath(u"odbcinst.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    // Windows' driver names too, whose brackets, commas and stars must come through the listing whole.
    ini.write(
        "[FreeTDS]\nDriver=/nonexistent/libtdsodbc.so\n\n[MDBTools]\nDriver=/nonexistent/libmdbodbc.so\n\n"
        "[Microsoft Access Driver (*.mdb, *.accdb)]\nDriver=/nonexistent/ACEODBC.DLL\n\n"
        "[SQL Server Native Client 11.0]\nDriver=/nonexistent/sqlncli11.dll\n");
    ini.close();
    qputenv("ODBCSYSINI", dossier_.path().toLocal8Bit());
    qputenv("ODBCINI", dossier_.filePath(u"odbc.ini"_s).toLocal8Bit());
}

void TestPiloteOdbc::pilotesInscrits() {
    const QStringList pilotes = PilotesOdbcInstalles();
    QVERIFY2(pilotes.contains(u"FreeTDS"_s) && pilotes.contains(u"MDBTools"_s),
             qPrintable(pilotes.join(u',')));
    // The list the driver manager gives is the one each system chooses from.
    QCOMPARE(PiloteJet(pilotes, Systeme::Windows), u"Microsoft Access Driver (*.mdb, *.accdb)"_s);
    QCOMPARE(PiloteJet(pilotes, Systeme::Autre), u"MDBTools"_s);
    QCOMPARE(PiloteSqlServer(pilotes, true, Systeme::Windows), u"SQL Server Native Client 11.0"_s);
    QCOMPARE(PiloteSqlServer(pilotes, true, Systeme::Autre), u"FreeTDS"_s);
}

void TestPiloteOdbc::bibliothequeAbsente_data() {
    QTest::addColumn<int>("type");
    QTest::newRow("SQL Server") << int(TypeSource::SqlServer);
    QTest::newRow("fichier Jet") << int(TypeSource::Jet);
}

void TestPiloteOdbc::bibliothequeAbsente() {
    QFETCH(int, type);
    const QString chemin = dossier_.filePath(u"vendrax.mdb"_s);
    QFile jet(chemin);
    QVERIFY(jet.open(QIODevice::WriteOnly));
    jet.write(QByteArray("\0\1\0\0Standard Jet DB", 19));
    jet.close();
    const Environnement env{dossier_.path(), u"SOC1"_s, u"serveur.invalid"_s, {}};
    InterlocuteurTest i;
    QVERIFY(!OuvrirConnexion(env, chemin, TypeSource(type), false, i));
    QCOMPARE(i.boites.size(), 1);
    const QString texte = i.boites.at(0).texte;
    // The driver's own words come after a sentence that names the database.
    const QString designation = TypeSource(type) == TypeSource::Jet ? QDir::toNativeSeparators(chemin)
                                                                    : u"SQL Server "_s + NomBaseSql(chemin);
    QVERIFY2(texte.startsWith(u"Impossible d'ouvrir la base de données "_s + designation), qPrintable(texte));
    QVERIFY2(texte.contains(u".\r\n\r\nUne erreur s'est produite lors de la connexion à la base.\r\n\r\n"
                            "Source: [unixODBC][Driver Manager]\r\nDescription: Can't open lib"_s),
             qPrintable(texte));
    QVERIFY(texte.endsWith(u"\r\n\r\n"_s));
    QVERIFY(!texte.contains(u"MBRTQL"_s, Qt::CaseInsensitive));
    QCOMPARE(i.profondeurCurseur, 0);
}

QTEST_GUILESS_MAIN(TestPiloteOdbc)
#include "tst_PiloteOdbc.moc"
