#include "InterlocuteurTest.h"
#include "ReglagesTest.h"
#include "app/Demarrage.h"
#include "data/Environnement.h"
#include "data/ReglagesHote.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;
using cc::test::InterlocuteurTest;
using cc::test::remplacerReglagesHote;

class TestEnvironnement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void fichierNormal_data();
    void fichierNormal();
    void verifier_data();
    void verifier();

private:
    QTemporaryDir xdg_;
};

namespace {

void ecrire(const QString& chemin, const QByteArray& octets) {
    QFile f(chemin);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(octets), octets.size());
}

} // namespace

void TestEnvironnement::initTestCase() {
    // The user's own settings are never read: every case points the settings at a folder of its own.
    qputenv("XDG_CONFIG_HOME", xdg_.path().toLocal8Bit());
}

void TestEnvironnement::fichierNormal_data() {
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("cree");
    QTest::addColumn<bool>("attendu");
    QTest::newRow("fichier") << u"vendrax.mdb"_s << u"fichier"_s << true;
    QTest::newRow("fichier vide") << u"vendrax.mdb"_s << u"vide"_s << true;
    QTest::newRow("caché") << u".vendrax.mdb"_s << u"fichier"_s << false;
    QTest::newRow("dossier") << u"vendrax.mdb"_s << u"dossier"_s << false;
    QTest::newRow("absent") << u"vendrax.mdb"_s << QString() << false;
    QTest::newRow("chemin vide") << QString() << QString() << false;
}

void TestEnvironnement::fichierNormal() {
    QFETCH(QString, nom);
    QFETCH(QString, cree);
    QFETCH(bool, attendu);
    QTemporaryDir d;
    const QString chemin = nom.isEmpty() ? QString() : d.filePath(nom);
    if (cree == u"fichier"_s)
        ecrire(chemin, "x");
    else if (cree == u"vide"_s)
        ecrire(chemin, {});
    else if (cree == u"dossier"_s)
        QVERIFY(QDir(d.path()).mkdir(nom));
    QCOMPARE(EstFichierNormal(chemin), attendu);
}

void TestEnvironnement::verifier_data() {
    QTest::addColumn<QByteArray>(
        "parametres");                    // the settings file; null for none; %BASE% stands for the base
    QTest::addColumn<QString>("societe"); // directory created under the base, with vendrax.mdb
    QTest::addColumn<QString>("mdb");     // "fichier", "dossier" or empty for none
    QTest::addColumn<bool>("sqlServer");  // SQLSERVER.DAT in the base
    QTest::addColumn<bool>("attendu");
    QTest::addColumn<QString>("message"); // %BASE% stands for the base, %SEP% for the separator
    QTest::addColumn<QString>("lueSociete");

    const QByteArray complet = "[R\xC3\xA9pertoire de base]\nNom=%BASE%\n\n[Soci\xC3\xA9t\xC3\xA9 active]\n"
                               "R\xC3\xA9pertoire=soc1\n";
    const QString aucune = u"Aucune société n'est actuellement active.\r\nVeuillez relancer VENDRAX."_s;
    const QString jet =
        u"Impossible d'accèder à %BASE%%SEP%soc1%SEP%vendrax.mdb\r\nVeuillez relancer VENDRAX."_s;
    const QString sql = u"Impossible d'accèder à la base SQL Server SOC1\r\nVeuillez relancer VENDRAX."_s;

    QTest::newRow("pas de paramètres")
        << QByteArray() << QString() << QString() << false << false << aucune << QString();
    QTest::newRow("société absente") << QByteArray("[R\xC3\xA9pertoire de base]\nNom=%BASE%\n") << QString()
                                     << QString() << false << false << aucune << QString();
    QTest::newRow("société vide") << QByteArray("[Soci\xC3\xA9t\xC3\xA9 active]\nR\xC3\xA9pertoire=\n")
                                  << QString() << QString() << false << false << aucune << QString();
    QTest::newRow("base Jet utilisable")
        << complet << u"soc1"_s << u"fichier"_s << false << true << QString() << u"soc1"_s;
    QTest::newRow("base Jet absente")
        << complet << u"soc1"_s << QString() << false << false << jet << u"soc1"_s;
    QTest::newRow("base Jet est un dossier")
        << complet << u"soc1"_s << u"dossier"_s << false << false << jet << u"soc1"_s;
    QTest::newRow("répertoire de base vide")
        << QByteArray("[Soci\xC3\xA9t\xC3\xA9 active]\nR\xC3\xA9pertoire=soc1\n") << QString() << QString()
        << false << false
        << u"Impossible d'accèder à %SEP%soc1%SEP%vendrax.mdb\r\nVeuillez relancer VENDRAX."_s << u"soc1"_s;
    QTest::newRow("SQL Server injoignable, en majuscules")
        << complet << u"soc1"_s << u"fichier"_s << true << false << sql << u"soc1"_s;
    QTest::newRow("nom accentué, écrit par Qt")
        << QByteArray("[R%E9pertoire%20de%20base]\nNom=%BASE%\n\n[Soci%E9t%E9%20active]\nR%E9pertoire="
                      "\"Soci\xC3\xA9t\xC3\xA9, "
                      "Fils\"\n")
        << u"Société, Fils"_s << u"fichier"_s << false << true << QString() << u"Société, Fils"_s;
}

void TestEnvironnement::verifier() {
    QFETCH(QByteArray, parametres);
    QFETCH(QString, societe);
    QFETCH(QString, mdb);
    QFETCH(bool, sqlServer);
    QFETCH(bool, attendu);
    QFETCH(QString, message);
    QFETCH(QString, lueSociete);

    QTemporaryDir base;
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    // As the host product writes it; the INI text doubles a backslash.
    parametres.replace("%BASE%", QDir::toNativeSeparators(base.path()).replace(u'\\', u"\\\\"_s).toUtf8());
    remplacerReglagesHote(config.path(), parametres);
    if (!societe.isEmpty()) {
        QVERIFY(QDir(base.path()).mkdir(societe));
        const QString chemin = base.filePath(societe + u"/vendrax.mdb"_s);
        if (mdb == u"fichier"_s)
            ecrire(chemin, "x");
        else if (mdb == u"dossier"_s)
            QVERIFY(QDir().mkdir(chemin));
    }
    if (sqlServer)
        ecrire(base.filePath(u"SQLSERVER.DAT"_s), "serveur.invalid\r\n2000\r\n");

    Environnement env;
    InterlocuteurTest i;
    QCOMPARE(VerifierEnvironnement(env, i), attendu);
    QCOMPARE(env.RepertoireSociete, lueSociete);
    message.replace(u"%BASE%"_s, QDir::toNativeSeparators(base.path()))
        .replace(u"%SEP%"_s, QDir::separator());
    if (message.isEmpty()) {
        QVERIFY(i.boites.isEmpty());
    } else {
        // One box only: the silent test connection shows none of its own.
        QCOMPARE(i.textes(), QStringList{message});
        QCOMPARE(i.boites.at(0).titre, TitreApplication());
        QCOMPARE(i.boites.at(0).icone, Icone::Critique);
    }
    QCOMPARE(i.profondeurCurseur, 0);
    // The check only looks: nothing is created where the database was not.
    if (!societe.isEmpty() && mdb.isEmpty())
        QVERIFY(!QFileInfo::exists(base.filePath(societe + u"/vendrax.mdb"_s)));
}

QTEST_GUILESS_MAIN(TestEnvironnement)
#include "tst_Environnement.moc"
