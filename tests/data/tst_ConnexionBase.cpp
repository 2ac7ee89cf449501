#include "BaseTest.h"
#include "InterlocuteurTest.h"
#include "app/Demarrage.h"
#include "data/ConnexionBase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;
using cc::test::InterlocuteurTest;

namespace {

void ecrire(const QString& chemin, const QByteArray& octets) {
    QFile f(chemin);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(octets), octets.size());
}

// Any driver that the SQL Server kind takes, the PostgreSQL one included.
bool piloteSqlServerInstalle() {
    return !PiloteSqlServer(PilotesOdbcInstalles(), false, SystemeCourant).isEmpty();
}

// "32" or "64", as the messages about missing drivers give the program's size.
const QString Bits = QString::number(sizeof(void*) * 8);

} // namespace

class TestConnexionBase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valeursDelimitees_data();
    void valeursDelimitees();
    void fichierSqlServer_data();
    void fichierSqlServer();
    void nomBaseSql_data();
    void nomBaseSql();
    void chaineSqlServer_data();
    void chaineSqlServer();
    void chaineJet_data();
    void chaineJet();
    void sqlServerSansPiloteInscrit_data();
    void sqlServerSansPiloteInscrit();
    void dialecteDuSgbd_data();
    void dialecteDuSgbd();
    void sourceErreur_data();
    void sourceErreur();
    void messageErreur_data();
    void messageErreur();
    void ouvrirSQLite();
    void ouvrirBaseSelonFichierDat();
    void echecsFichier_data();
    void echecsFichier();
    void sqlServerSansPilote();
    void serveurInconnu();

private:
    QTemporaryDir dossier_;
};

void TestConnexionBase::valeursDelimitees_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QStringList>("attendu");
    QTest::newRow("deux lignes") << u"SRV01\r\n2008\r\n"_s << QStringList{u"SRV01"_s, u"2008"_s};
    QTest::newRow("fins de ligne Unix") << u"SRV01\n2005"_s << QStringList{u"SRV01"_s, u"2005"_s};
    QTest::newRow("une ligne") << u"SRV01\r\n"_s << QStringList{u"SRV01"_s};
    QTest::newRow("vide") << QString() << QStringList{};
    QTest::newRow("virgule") << u"SRV01,2008\r\nautre"_s << QStringList{u"SRV01"_s, u"2008"_s};
    QTest::newRow("guillemets avec virgule")
        << u"\"SRV,01\"\r\n2008"_s << QStringList{u"SRV,01"_s, u"2008"_s};
    QTest::newRow("guillemets puis virgule")
        << u"\"SRV\\INST\",\"2008\""_s << QStringList{u"SRV\\INST"_s, u"2008"_s};
    QTest::newRow("blancs autour") << u"  SRV01  \r\n  2008  "_s << QStringList{u"SRV01"_s, u"2008"_s};
    QTest::newRow("blancs gardés entre guillemets")
        << u"\" SRV \"\r\n\" 2008 \""_s << QStringList{u" SRV "_s, u" 2008 "_s};
    QTest::newRow("ligne vide au milieu") << u"SRV01\r\n\r\n2008"_s << QStringList{u"SRV01"_s, QString()};
    QTest::newRow("virgule en fin de ligne") << u"SRV01,\r\n2008"_s << QStringList{u"SRV01"_s, u"2008"_s};
    QTest::newRow("seulement deux lues") << u"a,b,c"_s << QStringList{u"a"_s, u"b"_s};
}

void TestConnexionBase::valeursDelimitees() {
    QFETCH(QString, texte);
    QFETCH(QStringList, attendu);
    QCOMPARE(LireValeursDelimitees(texte, 2), attendu);
}

void TestConnexionBase::fichierSqlServer_data() {
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("serveur");
    QTest::addColumn<QString>("version");
    const QString avant = u"avant"_s;
    QTest::newRow("absent") << QString() << QByteArray() << int(TypeSource::Jet) << avant << avant;
    QTest::newRow("caché") << u".SQLSERVER.DAT"_s << QByteArray("SRV\r\n2008\r\n") << int(TypeSource::Jet)
                           << avant << avant;
    QTest::newRow("deux lignes") << u"SQLSERVER.DAT"_s << QByteArray("SRV\r\n2008\r\n")
                                 << int(TypeSource::SqlServer) << u"SRV"_s << u"2008"_s;
    QTest::newRow("une ligne, la version reste")
        << u"SQLSERVER.DAT"_s << QByteArray("SRV\r\n") << int(TypeSource::SqlServer) << u"SRV"_s << avant;
    QTest::newRow("vide, présence seule")
        << u"SQLSERVER.DAT"_s << QByteArray() << int(TypeSource::SqlServer) << avant << avant;
    QTest::newRow("ANSI") << u"SQLSERVER.DAT"_s << QByteArray("SERVEUR\xC9T\x80\r\n2005")
                          << int(TypeSource::SqlServer) << u"SERVEURÉT€"_s << u"2005"_s;
}

void TestConnexionBase::fichierSqlServer() {
    QFETCH(QString, nom);
    QFETCH(QByteArray, contenu);
    QFETCH(int, type);
    QFETCH(QString, serveur);
    QFETCH(QString, version);
    QTemporaryDir base;
    if (!nom.isEmpty())
        ecrire(base.filePath(nom), contenu);
    Environnement env{base.path(), u"SOC1"_s, u"avant"_s, u"avant"_s};
    QCOMPARE(int(LireFichierSqlServer(env)), type);
    QCOMPARE(env.ServeurSQL, serveur);
    QCOMPARE(env.VersionSQL, version);
}

void TestConnexionBase::nomBaseSql_data() {
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("société") << u"/opt/vendrax/SOC1/vendrax.mdb"_s << u"SOC1"_s;
    QTest::newRow("société vide") << u"/opt/vendrax//vendrax.mdb"_s << QString();
    QTest::newRow("base vide") << u"/SOC1/vendrax.mdb"_s << u"SOC1"_s;
    QTest::newRow("société en deux parties") << u"/opt/A/B/vendrax.mdb"_s << u"B"_s;
    QTest::newRow("relatif") << u"SOC1/vendrax.mdb"_s << u"SOC1"_s;
    QTest::newRow("sans séparateur") << u"vendrax.mdb"_s << QString();
    QTest::newRow("fichier absent du nom")
        << CheminBaseSociete({u"/b"_s, u"Société 2"_s, {}, {}}) << u"Société 2"_s;
}

void TestConnexionBase::nomBaseSql() {
    QFETCH(QString, chemin);
    QFETCH(QString, attendu);
    QCOMPARE(NomBaseSql(chemin), attendu);
}

void TestConnexionBase::chaineSqlServer_data() {
    QTest::addColumn<QString>("serveur");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("pilotes");
    QTest::addColumn<int>("systeme");
    QTest::addColumn<QString>("chaine");
    QTest::addColumn<int>("delaiConnexion");
    QTest::addColumn<int>("delaiRequete");
    const int autre = int(Systeme::Autre);
    const int windows = int(Systeme::Windows);
    const QStringList tous{u"FreeTDS"_s, u"ODBC Driver 17 for SQL Server"_s,
                           u"ODBC Driver 18 for SQL Server"_s};
    QTest::newRow("2008 entre blancs, pilote 18")
        << u"SRV"_s << u"  2008 "_s << tous << autre
        << u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=SRV;DATABASE=SOC1;Encrypt=no;MARS_Connection=yes"_s
        << 15 << 30;
    QTest::newRow("autre année, pilote 17")
        << u"SRV"_s << u"2012"_s << QStringList{u"FreeTDS"_s, u"ODBC Driver 17 for SQL Server"_s} << autre
        << u"DRIVER={ODBC Driver 17 for SQL Server};SERVER=SRV;DATABASE=SOC1"_s << 10 << 120;
    QTest::newRow("année et mots, FreeTDS")
        << u"SRV\\INST"_s << u"2008 R2"_s << QStringList{u"FreeTDS"_s} << autre
        << u"DRIVER={FreeTDS};SERVER=SRV\\INST;DATABASE=SOC1"_s << 10 << 120;
    QTest::newRow("2005, FreeTDS sans MARS") << u"SRV"_s << u"2005"_s << QStringList{u"FreeTDS"_s} << autre
                                             << u"DRIVER={FreeTDS};SERVER=SRV;DATABASE=SOC1"_s << 15 << 30;
    QTest::newRow("version vide")
        << u"SRV"_s << QString() << tous << autre
        << u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=SRV;DATABASE=SOC1;Encrypt=no"_s << 10 << 120;
    QTest::newRow("serveur qui voudrait ajouter un attribut")
        << u"SRV;UID=sa"_s << QString() << QStringList{u"FreeTDS"_s} << autre
        << u"DRIVER={FreeTDS};SERVER={SRV;UID=sa};DATABASE=SOC1"_s << 10 << 120;
    // On Windows, from what is installed; the native client's settings go with the newer drivers only.
    const QString simple = u"SQL Server"_s;
    const QString natif10 = u"SQL Server Native Client 10.0"_s;
    const QString natif11 = u"SQL Server Native Client 11.0"_s;
    const QString pilote17 = u"ODBC Driver 17 for SQL Server"_s;
    const QString pilote18 = u"ODBC Driver 18 for SQL Server"_s;
    const QStringList windowsTous{simple, pilote18, pilote17, natif11, natif10};
    const auto windowsRecent = [&](const char* nom, const char* version, const QStringList& pilotes,
                                   const QString& attendu) {
        QTest::newRow(nom) << u"SRV"_s << QString::fromLatin1(version) << pilotes << windows
                           << u"DRIVER={%1};SERVER=SRV;DATABASE=SOC1;MARS_Connection=yes"_s.arg(attendu) << 15
                           << 30;
    };
    windowsRecent("Windows 2008, tous", "2008", windowsTous, natif10);
    windowsRecent("Windows 2005, sans le natif 10", "2005", {simple, pilote18, pilote17, natif11}, natif11);
    windowsRecent("Windows 2008, nom en minuscules", "2008", {simple, natif11.toLower()}, natif11);
    windowsRecent("Windows 2005, 17 avant 18", "2005", {simple, pilote18, pilote17}, pilote17);
    QTest::newRow("Windows 2008, 18 seul")
        << u"SRV"_s << u"2008"_s << QStringList{pilote18} << windows
        << u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=SRV;DATABASE=SOC1;Encrypt=no;MARS_Connection=yes"_s
        << 15 << 30;
    QTest::newRow("Windows 2005, pilote simple seul")
        << u"SRV"_s << u"2005"_s << QStringList{simple, u"FreeTDS"_s} << windows
        << u"DRIVER={SQL Server};SERVER=SRV;DATABASE=SOC1"_s << 10 << 120;
    QTest::newRow("Windows, ancien") << u"SRV"_s << u"2000"_s << windowsTous << windows
                                     << u"DRIVER={SQL Server};SERVER=SRV;DATABASE=SOC1"_s << 10 << 120;
    QTest::newRow("Windows, récent sans pilote simple")
        << u"SRV"_s << u"2019"_s << QStringList{natif10, pilote17, pilote18} << windows
        << u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=SRV;DATABASE=SOC1;Encrypt=no"_s << 10 << 120;
    QTest::newRow("Windows, sans version, natif seul")
        << u"SRV"_s << QString() << QStringList{natif10} << windows
        << u"DRIVER={SQL Server Native Client 10.0};SERVER=SRV;DATABASE=SOC1"_s << 10 << 120;
}

void TestConnexionBase::chaineSqlServer() {
    QFETCH(QString, serveur);
    QFETCH(QString, version);
    QFETCH(QStringList, pilotes);
    QFETCH(int, systeme);
    QFETCH(QString, chaine);
    QFETCH(int, delaiConnexion);
    QFETCH(int, delaiRequete);
    const Environnement env{u"/base"_s, u"SOC1"_s, serveur, version};
    const ParametresOdbc p = ParametresSqlServer(env, CheminBaseSociete(env), pilotes, Systeme(systeme));
    QCOMPARE(p.chaine, chaine);
    QCOMPARE(p.delaiConnexionS, delaiConnexion);
    QCOMPARE(p.delaiRequeteS, delaiRequete);
    QCOMPARE(p.utilisateur, u"VENDRAX"_s);
    QCOMPARE(p.motDePasse, u"MBRTQL"_s);
    QVERIFY(!p.chaine.contains(u"MBRTQL"_s, Qt::CaseInsensitive));
    QCOMPARE(p.dialecte, Dialecte::SqlServer);
}

void TestConnexionBase::chaineJet_data() {
    QTest::addColumn<QStringList>("pilotes");
    QTest::addColumn<int>("systeme");
    QTest::addColumn<QString>("chaine");
    // Without a driver, the error names what is needed.
    QTest::addColumn<QString>("erreur");
    const QString fichier = QDir::toNativeSeparators(u"/base/SOC 1/vendrax.mdb"_s);
    const QString ace = u"Microsoft Access Driver (*.mdb, *.accdb)"_s;
    const QString jet = u"Microsoft Access Driver (*.mdb)"_s;
    const int windows = int(Systeme::Windows);
    QTest::newRow("MDBTools") << QStringList{u"FreeTDS"_s, u"MDBTools"_s} << int(Systeme::Autre)
                              << u"DRIVER={MDBTools};DBQ="_s + fichier << QString();
    QTest::newRow("aucun pilote") << QStringList{u"FreeTDS"_s} << int(Systeme::Autre) << QString()
                                  << u"MDBTools"_s;
    QTest::newRow("Windows, pilote ACE d'abord")
        << QStringList{jet, ace} << windows << u"DRIVER={%1};DBQ=%2;PWD=mbrtql"_s.arg(ace, fichier)
        << QString();
    QTest::newRow("Windows, pilote Jet seul")
        << QStringList{u"SQL Server"_s, jet} << windows
        << u"DRIVER={%1};DBQ=%2;PWD=mbrtql"_s.arg(jet, fichier) << QString();
    QTest::newRow("Windows, aucun pilote")
        << QStringList{u"SQL Server"_s, u"MDBTools"_s} << windows << QString()
        << u"Aucun pilote ODBC Access %1 bits n'est installé pour lire %2 (« %3 » ou « %4 »)."_s.arg(
               Bits, fichier, ace, jet);
}

void TestConnexionBase::chaineJet() {
    QFETCH(QStringList, pilotes);
    QFETCH(int, systeme);
    QFETCH(QString, chaine);
    QFETCH(QString, erreur);
    try {
        const ParametresOdbc p = ParametresJet(u"/base/SOC 1/vendrax.mdb"_s, pilotes, Systeme(systeme));
        QCOMPARE(p.chaine, chaine);
        QVERIFY(p.utilisateur.isEmpty() && p.motDePasse.isEmpty());
    } catch (const Erreur& e) {
        QVERIFY2(chaine.isEmpty(), qPrintable(e.description()));
        QCOMPARE(e.numero(), 3706);
        QVERIFY2(e.description().contains(erreur), qPrintable(e.description()));
        QVERIFY(e.source().isEmpty());
    }
}

void TestConnexionBase::sqlServerSansPiloteInscrit_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("systeme");
    QTest::addColumn<QString>("message");
    const QStringList possibles{u"SQL Server Native Client 10.0"_s, u"SQL Server Native Client 11.0"_s,
                                u"ODBC Driver 17 for SQL Server"_s, u"ODBC Driver 18 for SQL Server"_s,
                                u"SQL Server"_s};
    QTest::newRow("Windows")
        << u"2005"_s << int(Systeme::Windows)
        << u"Aucun pilote ODBC %1 bits pour SQL Server n'est installé (« %2 », « %3 », « %4 », « %5 » ou « %6 »)."_s
               .arg(Bits, possibles[0], possibles[1], possibles[2], possibles[3], possibles[4]);
    QTest::newRow("ailleurs")
        << QString() << int(Systeme::Autre)
        << u"Aucun pilote ODBC pour SQL Server n'est installé (« ODBC Driver 18 for SQL "
           u"Server », « ODBC Driver 17 for SQL Server », « FreeTDS » ou « PostgreSQL "
           u"Unicode »)."_s;
}

void TestConnexionBase::sqlServerSansPiloteInscrit() {
    QFETCH(QString, version);
    QFETCH(int, systeme);
    QFETCH(QString, message);
    const Environnement env{u"/base"_s, u"SOC1"_s, u"SRV"_s, version};
    try {
        ParametresSqlServer(env, CheminBaseSociete(env),
                            {u"MDBTools"_s, u"Microsoft Access Driver (*.mdb)"_s}, Systeme(systeme));
        QFAIL("no driver was expected");
    } catch (const Erreur& e) {
        QCOMPARE(e.description(), message);
        QCOMPARE(e.numero(), 3706);
    }
}

void TestConnexionBase::dialecteDuSgbd_data() {
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("dialecte");
    // Whether the dialect reads lots through a list of values and names rows by their location.
    QTest::addColumn<bool>("listes");
    const QString microsoft = u"Microsoft SQL Server"_s;
    const auto cas = [](const char* ligne, const QString& nom, const char* version, Dialecte d, bool listes) {
        QTest::newRow(ligne) << nom << QString::fromLatin1(version) << int(d) << listes;
    };
    cas("2000", microsoft, "08.00.2039", Dialecte::SqlServer2005, false);
    cas("2005", microsoft, "09.00.5000", Dialecte::SqlServer2005, false);
    cas("2008", microsoft, "10.00.1600", Dialecte::SqlServer, true);
    cas("2008 R2", microsoft, "10.50.6000", Dialecte::SqlServer, true);
    cas("2022", microsoft, "16.00.1000", Dialecte::SqlServer, true);
    cas("sans zéro, entre blancs", u"SQL Server"_s, " 9.0.1399 ", Dialecte::SqlServer2005, false);
    cas("majeure seule", microsoft, "11", Dialecte::SqlServer, true);
    // A version that cannot be read gets the dialect that every version takes.
    cas("version vide", microsoft, "", Dialecte::SqlServer2005, false);
    cas("texte", microsoft, "Microsoft SQL Server 2008", Dialecte::SqlServer2005, false);
    cas("point d'abord", microsoft, ".10.00", Dialecte::SqlServer2005, false);
    cas("signe", microsoft, "+10.00.1600", Dialecte::SqlServer2005, false);
    cas("trop de chiffres", microsoft, "0000000000000000000010.0", Dialecte::SqlServer2005, false);
    // The version says nothing of another DBMS.
    cas("PostgreSQL", u"PostgreSQL"_s, "09.06.0000", Dialecte::Postgres, true);
    cas("inconnu", u"ACCESS"_s, "04.00.0000", Dialecte::Jet, false);
}

void TestConnexionBase::dialecteDuSgbd() {
    QFETCH(QString, nom);
    QFETCH(QString, version);
    QFETCH(int, dialecte);
    QFETCH(bool, listes);
    const Dialecte d = DialecteDuSgbd(nom, version, Dialecte::Jet);
    QCOMPARE(int(d), dialecte);
    const PiecesDialecte& pieces = PiecesDe(d);
    QCOMPARE(ListeDeValeurs(pieces, 2).contains(u"VALUES"_s), listes);
    QCOMPARE(!pieces.localisateur.isEmpty(), listes);
}

void TestConnexionBase::sourceErreur_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("description");
    QTest::newRow("gestionnaire")
        << u"Unable to connect : [unixODBC][Driver Manager]Data source name not found"_s
        << u"[unixODBC][Driver Manager]"_s << u"Data source name not found"_s;
    QTest::newRow("la dernière de trois")
        << u"[A][B]un [A][C]deux [Microsoft][ODBC Driver 18 for SQL Server]Login timeout expired"_s
        << u"[Microsoft][ODBC Driver 18 for SQL Server]"_s << u"Login timeout expired"_s;
    QTest::newRow("crochets en fin de texte") << u"[FreeTDS][SQL Server]Login failed [28000]"_s
                                              << u"[FreeTDS][SQL Server]"_s << u"Login failed [28000]"_s;
    QTest::newRow("sans composant") << u"file is not a database"_s << u"SQLite"_s
                                    << u"file is not a database"_s;
}

void TestConnexionBase::sourceErreur() {
    QFETCH(QString, texte);
    QFETCH(QString, source);
    QFETCH(QString, description);
    const Erreur e = ErreurPilote(Erreur(42, texte), u"SQLite"_s);
    QCOMPARE(e.source(), source);
    QCOMPARE(e.description(), description);
    QCOMPARE(e.numero(), 42);
}

void TestConnexionBase::messageErreur_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("erreur du pilote") << u"[unixODBC][Driver Manager]"_s << u"Data source name not found"_s
                                      << u"Une erreur s'est produite lors de la connexion à la "
                                         u"base.\r\n\r\nSource: [unixODBC][Driver Manager]\r\n"
                                         u"Description: Data source name not found\r\n\r\n"_s;
    QTest::newRow("erreur du programme")
        << QString() << u"Aucun pilote"_s
        << u"Erreur 3706 : Aucun pilote\r\n\r\nImpossible d'établir la connexion de données.\r\n"
           u"ADO ou OLEDB ne sont peut-être pas bien installés sur cette machine."_s;
    QTest::newRow("mot de passe masqué")
        << u"X"_s << u"PWD=mbrtql refusé"_s
        << u"Une erreur s'est produite lors de la connexion à la base.\r\n\r\n"
           u"Source: X\r\nDescription: PWD=****** refusé\r\n\r\n"_s;
}

void TestConnexionBase::messageErreur() {
    QFETCH(QString, source);
    QFETCH(QString, description);
    QFETCH(QString, attendu);
    QCOMPARE(MessageErreurConnexion(Erreur(3706, description, source)), attendu);
}

void TestConnexionBase::ouvrirSQLite() {
    const QString chemin = dossier_.filePath(u"vendrax.mdb"_s);
    {
        cc::test::BaseTest base(chemin);
        base.facture(u"F1"_s, u"2024-01-02"_s, u"D1"_s, QString());
    }
    for (const bool silencieux : {false, true}) {
        InterlocuteurTest i;
        auto connexion = OuvrirConnexion({}, chemin, TypeSource::Jet, silencieux, i);
        QVERIFY(connexion);
        QCOMPARE(connexion->dialecte(), Dialecte::SQLite);
        Requete r(*connexion, u"SELECT NUMERO_DE_FACTURE FROM factures WHERE NUMERO_DE_FACTURE = ?"_s);
        r.executer({u"F1"_s});
        QVERIFY(r.suivant());
        QVERIFY(i.boites.isEmpty());
        QCOMPARE(i.sabliers, 1);
        QCOMPARE(i.profondeurCurseur, 0);
    }
}

void TestConnexionBase::ouvrirBaseSelonFichierDat() {
    // With SQLSERVER.DAT present the company file is not opened, even though it is there.
    QTemporaryDir base;
    QVERIFY(QDir(base.path()).mkdir(u"SOC1"_s));
    { cc::test::BaseTest b(base.filePath(u"SOC1/vendrax.mdb"_s)); }
    const Environnement env{base.path(), u"SOC1"_s, {}, {}};
    InterlocuteurTest i;
    QVERIFY(OuvrirBase(env, i));
    QVERIFY(i.boites.isEmpty());

    ecrire(base.filePath(u"SQLSERVER.DAT"_s), "serveur.invalid\r\n2000\r\n");
    QElapsedTimer chrono;
    chrono.start();
    QVERIFY(!OuvrirBase(env, i));
    QCOMPARE(i.boites.size(), 1);
    QCOMPARE(i.boites.at(0).titre, TitreConnexion());
    QCOMPARE(i.boites.at(0).icone, Icone::Critique);
    QCOMPARE(i.profondeurCurseur, 0);
    // The login time-out of the older driver bounds the wait.
    QVERIFY(chrono.elapsed() < 60000);
}

void TestConnexionBase::echecsFichier_data() {
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<bool>("existe");
    QTest::addColumn<QString>("debutMessage");
    QTest::newRow("en-tête SQLite, pas une base")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(2000, 'x') << true
        << u"Une erreur s'est produite lors de la connexion à la base.\r\n\r\nSource: SQLite\r\n"_s;
    QTest::newRow("absent") << QByteArray() << false << u"Erreur 53 : Fichier introuvable : "_s;
    // Neither SQLite nor Jet: no driver is handed the file, the box says what it is not.
    const QString pasUneBase = u"Erreur 3343 : Le fichier %1 n'est pas une base de données"_s;
    QTest::newRow("ni SQLite ni Jet") << QByteArray("Standard Jet DB") << true << pasUneBase;
    QTest::newRow("vide") << QByteArray() << true << pasUneBase;
    QTest::newRow("texte") << QByteArray("Ceci n'est pas une base.\r\n") << true << pasUneBase;
}

void TestConnexionBase::echecsFichier() {
    QFETCH(QByteArray, contenu);
    QFETCH(bool, existe);
    QFETCH(QString, debutMessage);
    QTemporaryDir d;
    const QString chemin = d.filePath(u"vendrax.mdb"_s);
    if (existe)
        ecrire(chemin, contenu);
    for (const bool silencieux : {true, false}) {
        InterlocuteurTest i;
        QVERIFY(!OuvrirConnexion({}, chemin, TypeSource::Jet, silencieux, i));
        QCOMPARE(i.profondeurCurseur, 0);
        QCOMPARE(i.sabliers, 1);
        QCOMPARE(i.boites.size(), silencieux ? 0 : 1);
        if (!silencieux) {
            QCOMPARE(i.boites.at(0).titre, TitreConnexion());
            // A French sentence naming the file comes first, then the driver's or the program's words.
            const QString texte = i.boites.at(0).texte;
            const QString nomme = QDir::toNativeSeparators(chemin);
            QVERIFY2(texte.startsWith(u"Impossible d'ouvrir la base de données "_s + nomme + u".\r\n\r\n"_s),
                     qPrintable(texte));
            QVERIFY2(texte.contains(debutMessage.contains(u"%1"_s) ? debutMessage.arg(nomme) : debutMessage),
                     qPrintable(texte));
        }
    }
    // A failed attempt never leaves a database behind, nor alters the file.
    QCOMPARE(QFileInfo::exists(chemin), existe);
    if (existe) {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), contenu);
    }
}

void TestConnexionBase::sqlServerSansPilote() {
    if (piloteSqlServerInstalle())
        QSKIP("a SQL Server ODBC driver is registered on this machine");
    InterlocuteurTest i;
    const Environnement env{u"/base"_s, u"SOC1"_s, u"SRV"_s, u"2008"_s};
    QVERIFY(!OuvrirConnexion(env, CheminBaseSociete(env), TypeSource::SqlServer, false, i));
    QCOMPARE(i.boites.size(), 1);
    // The program's own words, after the sentence naming the database; never the driver manager's.
    QVERIFY2(i.boites.at(0).texte.startsWith(u"Impossible d'ouvrir la base de données SQL Server SOC1 sur le "
                                             "serveur SRV.\r\n\r\nErreur 3706 : Aucun pilote ODBC"_s),
             qPrintable(i.boites.at(0).texte));
    QCOMPARE(i.profondeurCurseur, 0);
}

void TestConnexionBase::serveurInconnu() {
    if (!piloteSqlServerInstalle())
        QSKIP("no SQL Server ODBC driver is registered on this machine");
    InterlocuteurTest i;
    const Environnement env{u"/base"_s, u"SOC1"_s, u"serveur.invalid"_s, QString()};
    QElapsedTimer chrono;
    chrono.start();
    QVERIFY(!OuvrirConnexion(env, CheminBaseSociete(env), TypeSource::SqlServer, false, i));
    QVERIFY(chrono.elapsed() < 60000);
    QCOMPARE(i.boites.size(), 1);
    const QString texte = i.boites.at(0).texte;
    QVERIFY2(texte.startsWith(u"Impossible d'ouvrir la base de données SQL Server SOC1 sur le serveur "
                              "serveur.invalid.\r\n\r\nUne erreur s'est produite lors de la connexion à la "
                              "base.\r\n\r\nSource: "_s),
             qPrintable(texte));
    QVERIFY(!texte.contains(u"MBRTQL"_s, Qt::CaseInsensitive));
}

QTEST_GUILESS_MAIN(TestConnexionBase)
#include "tst_ConnexionBase.moc"
