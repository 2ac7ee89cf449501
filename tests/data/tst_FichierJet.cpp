#include "Lot.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

using cc::test::Lot;
using cc::test::ResultatLot;

// A real Jet 4 file, read through the MDBTools driver. It holds none of the company tables.
class TestFichierJet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void refusAuDemarrage_data();
    void refusAuDemarrage();

private:
    QByteArray jet_;
};

void TestFichierJet::initTestCase() {
    const QString dossier = u"/usr/share/doc/mrtg-contrib/examples/contrib/monitor/"_s;
    QFile fichier(dossier + u"Monitor.mdb"_s);
    if (fichier.open(QIODevice::ReadOnly)) {
        jet_ = fichier.readAll();
    } else {
        QProcess gzip;
        gzip.start(u"gzip"_s, {u"-dc"_s, dossier + u"Monitor.mdb.gz"_s});
        if (gzip.waitForFinished() && gzip.exitCode() == 0)
            jet_ = gzip.readAllStandardOutput();
    }
    if (jet_.isEmpty())
        QSKIP("Monitor.mdb (mrtg-contrib) is missing: scripts/installer-dependances installs it");
}

void TestFichierJet::refusAuDemarrage_data() {
    QTest::addColumn<bool>("aPartirDesFactures");
    QTest::addColumn<bool>("ajouter");
    QTest::addColumn<bool>("mettreAJour");
    QTest::addColumn<QStringList>("attendus");
    // A check names every table the file lacks; a repair is refused before the file is looked at,
    // since the driver writes nothing.
    const QStringList tables{u"Les tables FACTURES, FACTURES_LIGNE et FACTCLI sont absentes"_s};
    const QStringList reparation{u"réparations de FACTCLI"_s, u"programme pour Windows"_s};
    QTest::newRow("factures") << true << false << false << tables;
    QTest::newRow("factcli") << false << false << false << tables;
    QTest::newRow("ajout") << true << true << false << reparation;
    QTest::newRow("mise à jour") << true << false << true << reparation;
}

void TestFichierJet::refusAuDemarrage() {
    QFETCH(bool, aPartirDesFactures);
    QFETCH(bool, ajouter);
    QFETCH(bool, mettreAJour);
    QFETCH(QStringList, attendus);
    Lot lot;
    QVERIFY(lot.supprimerBase());
    QFile base(lot.cheminBase());
    QVERIFY(base.open(QIODevice::WriteOnly));
    QCOMPARE(base.write(jet_), jet_.size());
    base.close();

    const ResultatLot r = lot.lancer(
        cc::test::argumentsLot(u"2024-01-01"_s, u"2024-01-31"_s, aPartirDesFactures, ajouter, mettreAJour));
    QCOMPARE(r.code, 2);
    QVERIFY2(r.cheminRapport.isEmpty(), qPrintable(r.cheminRapport));
    for (const QString& attendu : attendus)
        QVERIFY2(r.erreurs.contains(attendu), qPrintable(r.erreurs));
    // Never the driver manager's words, mid-run.
    QVERIFY2(!r.erreurs.contains(u"SQL_CURSOR"_s), qPrintable(r.erreurs));
}

QTEST_GUILESS_MAIN(TestFichierJet)
#include "tst_FichierJet.moc"
