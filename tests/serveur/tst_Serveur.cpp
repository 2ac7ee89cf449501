// The company database on a real client-server database: a PostgreSQL server reached through the
// PostgreSQL ODBC driver, the way a company on SQL Server is reached. Both checks must give the same
// report, findings file and FACTCLI there as on SQLite, and the undo must give FACTCLI back; a
// statement that hangs must fail; a server that stops during a repairing run must leave nothing
// half-done, and the next run must finish the job.
#include "FichierConstats.h"
#include "ServeurTest.h"
#include "app/Demarrage.h"
#include "commun/LigneStatistiques.h"

#include "InterlocuteurTest.h"
#include "app/FenetreControle.h"
#include "data/Connexion.h"
#include "data/ConnexionBase.h"
#include "data/Parcours.h"
#include "invoice/LecteurFacture.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// The tests that need the server skip without one.
#define SERVEUR_REQUIS()                                                                                     \
    if (!serveur_)                                                                                           \
    QSKIP("No PostgreSQL server: run through CTest, whose fixture starts one (scripts/postgres)")

using namespace cc;
using namespace cc::test;

namespace {

QString jourIso(const QDate& d) {
    return d.toString(Qt::ISODate);
}

// A report as its findings, each with the lines that follow it, in a fixed order. The invoices come
// in the order the database returns them, which on a server is its own (a long invoice may be stored
// after a shorter one inserted later), so the findings are compared, not their order.
QStringList constats(const QStringList& lignes) {
    QStringList blocs;
    for (const QString& l : lignes) {
        if (blocs.isEmpty() || l.startsWith(u"Erreur sur la facture"_s) ||
            l.startsWith(u"L'enregistrement pour la Facture"_s))
            blocs << l;
        else
            blocs.last() += u'\n' + l;
    }
    blocs.sort();
    return blocs;
}

// Invoice F1, which bills 100 to dossier D1.
bool facturerF1(ConnexionTest& c) {
    return c.executer(u"INSERT INTO FACTURES VALUES ('F1', '2024-03-01', 'D1', 'F', '0', ?)"_s,
                      {tranche(1, u"100.00"_s, u"DV1"_s, u"D1"_s)});
}

// FACTCLI rows in a fixed order that does not look at DATE_MAJ, which the run stamps.
QStringList trie(QStringList t) {
    const auto cle = [](const QString& l) { return l.section(u'|', 0, 3) + u'|' + l.section(u'|', 5); };
    std::stable_sort(t.begin(), t.end(), [&](const QString& a, const QString& b) { return cle(a) < cle(b); });
    return t;
}

// Waits until a session of the database the connection is on waits for a lock, as a run that wants a
// row another session holds does. False when the run ended first; the time limit only keeps a broken run
// from hanging the test.
bool attendreVerrou(ConnexionTest& c, QProcess& run) {
    const QString attente = u"SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                            "AND wait_event_type = 'Lock'"_s;
    QElapsedTimer chrono;
    chrono.start();
    while (!run.waitForFinished(20) && chrono.elapsed() < 60000)
        if (c.valeur(attente).toInt() > 0)
            return true;
    return false;
}

// Starts the company's program in the background, on the given walk (the default one when empty).
void demarrer(QProcess& p, const Lot& lot, const QStringList& arguments, const QString& parcours = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, lot.repertoireConfiguration());
    if (!parcours.isEmpty())
        env.insert(u"CC_PARCOURS"_s, parcours);
    p.setProcessEnvironment(env);
    p.start(lot.repertoireProgramme() + u"/controle-coherence"_s, arguments);
}

// The findings file of a batch run that ended, beside the report its output names last.
QString constatsDuLot(QProcess& p) {
    const QString rapport = QString::fromUtf8(p.readAllStandardOutput()).trimmed().section(u'\n', -1);
    QFile f(rapport.chopped(4) + u".csv"_s);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll())
                                       : u"no findings file for "_s + rapport;
}

} // namespace

class TestServeur : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void parametres_data();
    void parametres();
    void bornesDuJour_data();
    void bornesDuJour();
    void listeDeValeurs();
    void delaiRequete_data();
    void delaiRequete();
    void commeSurSQLite_data();
    void commeSurSQLite();
    void serveurArreteEnCours();
    void fenetreServeurArrete();
    void ecrituresSurLeServeur_data();
    void ecrituresSurLeServeur();
    void instructionsPreparees();
    void annulationParmiDesDoubles_data();
    void annulationParmiDesDoubles();
    void troisParcours_data();
    void troisParcours();
    void ajoutConcurrent_data();
    void ajoutConcurrent();
    void cleanupTestCase() { bornes_.reset(); }

private:
    std::unique_ptr<Connexion> ouvrirProgramme(const QString& base);
    std::optional<ServeurPostgres> serveur_;
    std::unique_ptr<BasePostgres> bornes_;
};

void TestServeur::initTestCase() {
    serveur_ = ServeurPostgres::depuisEnvironnement();
}

// Which driver a SQL Server kind takes off Windows, and how "host,port" reaches it.
void TestServeur::parametres_data() {
    QTest::addColumn<QString>("serveur");
    QTest::addColumn<QStringList>("pilotes");
    QTest::addColumn<QString>("chaine");
    QTest::addColumn<int>("dialecte");
    const QStringList pg{u"PostgreSQL ANSI"_s, u"PostgreSQL Unicode"_s};
    QTest::newRow("hôte et port") << u"127.0.0.1,5433"_s << pg
                                  << u"DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=5433;"
                                     "DATABASE=SOC1"_s
                                  << int(Dialecte::Postgres);
    QTest::newRow("hôte seul") << u" db.example "_s << pg
                               << u"DRIVER={PostgreSQL Unicode};SERVER=db.example;DATABASE=SOC1"_s
                               << int(Dialecte::Postgres);
    QTest::newRow("port qui n'en est pas un")
        << u"srv,70000"_s << pg << u"DRIVER={PostgreSQL Unicode};SERVER=srv,70000;DATABASE=SOC1"_s
        << int(Dialecte::Postgres);
    QTest::newRow("port qui ajouterait un attribut")
        << u"srv;UID=postgres,5432"_s << pg
        << u"DRIVER={PostgreSQL Unicode};SERVER={srv;UID=postgres};PORT=5432;DATABASE=SOC1"_s
        << int(Dialecte::Postgres);
    // A SQL Server driver, when there is one, comes first: the server value then goes whole.
    QTest::newRow("SQL Server d'abord")
        << u"srv,1433"_s << QStringList{pg.at(1), u"ODBC Driver 17 for SQL Server"_s}
        << u"DRIVER={ODBC Driver 17 for SQL Server};SERVER=srv,1433;DATABASE=SOC1;"
           "MARS_Connection=yes"_s
        << int(Dialecte::SqlServer);
}

void TestServeur::parametres() {
    QFETCH(QString, serveur);
    QFETCH(QStringList, pilotes);
    QFETCH(QString, chaine);
    QFETCH(int, dialecte);
    const Environnement env{u"/base"_s, u"SOC1"_s, serveur, u"2008"_s};
    const ParametresOdbc p = ParametresSqlServer(env, CheminBaseSociete(env), pilotes, Systeme::Autre);
    QCOMPARE(p.chaine, chaine);
    QCOMPARE(int(p.dialecte), dialecte);
    QCOMPARE(p.utilisateur, u"VENDRAX"_s);
    QVERIFY(!p.chaine.contains(p.motDePasse, Qt::CaseInsensitive));
}

std::unique_ptr<Connexion> TestServeur::ouvrirProgramme(const QString& base) {
    // The dialect given is the kind's; the server must be recognised for what it is.
    auto c = Connexion::ouvrirOdbc(serveur_->chaine(base), u"VENDRAX"_s, u"MBRTQL"_s, Dialecte::SqlServer);
    if (c->dialecte() != Dialecte::Postgres)
        qFatal("the server was not recognised as PostgreSQL (%d)", int(c->dialecte()));
    return c;
}

// The period's bounds against real date and timestamp columns: the last day counts up to its
// midnight only.
void TestServeur::bornesDuJour_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("jour");
    QTest::addColumn<bool>("dedans");
    for (const char* type : {"timestamp", "date"}) {
        const bool date = QByteArray(type) == "date";
        const auto cas = [&](const char* nom, const char* jour, bool dedans) {
            QTest::addRow("%s, %s", type, nom)
                << QString::fromLatin1(type) << QString::fromLatin1(jour) << dedans;
        };
        cas("veille 23:59", "2024-02-29 23:59:59", false);
        cas("premier jour 00:00", "2024-03-01 00:00:00", true);
        cas("dernier jour 00:00", "2024-03-31 00:00:00", true);
        cas("dernier jour 10:00", "2024-03-31 10:00:00", date);
        cas("lendemain", "2024-04-01 00:00:00", false);
    }
}

void TestServeur::bornesDuJour() {
    SERVEUR_REQUIS();
    QFETCH(QString, type);
    QFETCH(QString, jour);
    QFETCH(bool, dedans);
    if (!bornes_)
        bornes_ = std::make_unique<BasePostgres>(*serveur_, nomSociete("bornes"));
    BasePostgres* base = bornes_.get();
    QVERIFY(base->connexion().executer(u"DROP TABLE IF EXISTS JOURS"_s));
    QVERIFY(base->connexion().executer(u"CREATE TABLE JOURS (N integer, JOUR %1)"_s.arg(type)));
    QVERIFY(base->connexion().executer(u"INSERT INTO JOURS VALUES (1, CAST(? AS timestamp))"_s, {jour}));
    auto c = ouvrirProgramme(base->nom());
    Requete r(*c, u"SELECT N FROM JOURS WHERE JOUR >= ? AND JOUR <= ?"_s);
    r.executer(BornesPeriode(*c, QDate(2024, 3, 1), QDate(2024, 3, 31)));
    QCOMPARE(r.suivant(), dedans);
}

// A batch of invoice numbers given as a VALUES list of bound values, joined with the table: the
// server must type the values from the column, quotes and all.
void TestServeur::listeDeValeurs() {
    SERVEUR_REQUIS();
    BasePostgres base(*serveur_, nomSociete("valeurs"));
    for (const char* n : {"F1", "F'2", "F3 ", "F4"})
        QVERIFY(base.connexion().executer(u"INSERT INTO FACTURES (NUMERO_DE_FACTURE) VALUES (?)"_s,
                                          {QString::fromLatin1(n)}));
    auto c = ouvrirProgramme(base.nom());
    Requete r(*c, u"SELECT f.NUMERO_DE_FACTURE FROM (VALUES (?),(?),(?),(?)) AS v(n) JOIN FACTURES f "
                  "ON f.NUMERO_DE_FACTURE = v.n ORDER BY f.NUMERO_DE_FACTURE"_s);
    r.executer({u"F'2"_s, u"F3"_s, u"F4"_s, u"x' OR '1'='1"_s});
    QStringList trouves;
    while (r.suivant())
        trouves << r.valeur(0).toString();
    QCOMPARE(trouves, (QStringList{u"F'2"_s, u"F4"_s}));
}

// A statement that runs past its time-out fails with the server's reason, and the connection stays
// usable for what follows (the run then closes its report and ends).
void TestServeur::delaiRequete_data() {
    QTest::addColumn<bool>("verrou");
    QTest::newRow("requête lente") << false;
    QTest::newRow("table verrouillée par une autre session") << true;
}

void TestServeur::delaiRequete() {
    SERVEUR_REQUIS();
    QFETCH(bool, verrou);
    BasePostgres base(*serveur_, nomSociete("delai"));
    QVERIFY(base.connexion().executer(
        u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, Montant) VALUES ('F1', 'D1', 1)"_s));

    // The host product holding the table, as it does while it saves an invoice.
    ConnexionTest autre(*serveur_, base.nom(), u"VENDRAX"_s, u"MBRTQL"_s);
    if (verrou) {
        QVERIFY(autre.base().transaction());
        QVERIFY(autre.executer(u"LOCK TABLE FACTCLI IN ACCESS EXCLUSIVE MODE"_s));
    }

    auto c = ouvrirProgramme(base.nom());
    c->definirDelaiRequete(1);
    Requete lente(*c, verrou ? u"UPDATE FACTCLI SET Montant = ? WHERE NUM_FACTURE = ?"_s
                             : u"SELECT pg_sleep(?)"_s);
    QElapsedTimer chrono;
    chrono.start();
    bool echec = false;
    try {
        lente.executer(verrou ? QVariantList{2.0, u"F1"_s} : QVariantList{30});
    } catch (const Erreur& e) {
        echec = true;
        QVERIFY2(e.description().contains(u"cancel"_s, Qt::CaseInsensitive), qPrintable(e.description()));
    }
    QVERIFY(echec);
    QVERIFY2(chrono.elapsed() < 10000, qPrintable(QString::number(chrono.elapsed())));
    if (verrou)
        QVERIFY(autre.base().rollback());

    Requete suite(*c, u"SELECT Montant FROM FACTCLI WHERE NUM_FACTURE = ?"_s);
    suite.executer({u"F1"_s});
    QVERIFY(suite.suivant());
    QCOMPARE(suite.valeur(0).toDouble(), 1.0);
}

// The same random company on SQLite and on the server, in every direction and option combination:
// the reports must be the same bytes, FACTCLI the same rows, and both what the model of the rules says.
void TestServeur::commeSurSQLite_data() {
    QTest::addColumn<quint32>("graine");
    QTest::addColumn<bool>("aPartirDesFactures");
    QTest::addColumn<bool>("ajouter");
    QTest::addColumn<bool>("mettreAJour");
    for (quint32 graine : {5u, 29u}) {
        for (int cas = 0; cas < 6; ++cas) {
            const bool factures = cas >= 2;
            const bool ajouter = factures ? (cas - 2) & 1 : cas == 1;
            const bool maj = factures ? (cas - 2) & 2 : cas == 1;
            QTest::addRow("graine %u, %s%s%s", graine, factures ? "factures" : "factcli",
                          ajouter ? ", ajouter" : "", maj ? ", mettre à jour" : "")
                << graine << factures << ajouter << maj;
        }
    }
}

void TestServeur::commeSurSQLite() {
    SERVEUR_REQUIS();
    QFETCH(quint32, graine);
    QFETCH(bool, aPartirDesFactures);
    QFETCH(bool, ajouter);
    QFETCH(bool, mettreAJour);

    const QDate du(2024, 3, 1);
    const QDate au(2024, 3, 31);
    const modele::Societe societe = modele::generer(graine, 100, du, au);
    const modele::Attendu attendu =
        modele::simuler(societe, {du, au, aPartirDesFactures, ajouter, mettreAJour});
    QVERIFY(attendu.rapport.size() >= 4);
    const QStringList arguments =
        argumentsLot(jourIso(du), jourIso(au), aPartirDesFactures, ajouter, mettreAJour);

    Lot surSQLite;
    societe.remplir(surSQLite.base());
    const ResultatLot a = surSQLite.lancer(arguments);

    const QString nom = nomSociete("comme");
    BasePostgres base(*serveur_, nom);
    base.remplir(societe);
    Lot surServeur(nom);
    versServeur(surServeur, *serveur_);
    const ResultatLot b = surServeur.lancer(arguments);

    const int code = attendu.rapport.isEmpty() ? 0 : 1;
    QVERIFY2(b.code == code, qPrintable(QString::number(b.code) + u' ' + b.erreurs));
    QCOMPARE(a.code, code);
    QVERIFY2(a.rapport == octetsRapport(attendu.rapport),
             qPrintable(premiereDifference(attendu.rapport, a.lignesRapport())));
    QVERIFY(b.rapport.endsWith("\r\n") || b.rapport.isEmpty());
    const QStringList obtenus = constats(b.lignesRapport());
    const QStringList voulus = constats(attendu.rapport);
    QVERIFY2(obtenus == voulus, qPrintable(premiereDifference(voulus, obtenus)));
    // Rows are added in the order of the walk: the table is compared as a whole, not row by row.
    const QStringList factCli = trie(base.contenuFactCli());
    const QString diff = comparerFactCli(trie(factCliAttendu(attendu.factCli)), factCli, b.avant, b.apres);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    const QString diffSQLite = comparerFactCli(factCliAttendu(attendu.factCli),
                                               contenuFactCliNormalise(a.rangees), a.avant, a.apres);
    QVERIFY2(diffSQLite.isEmpty(), qPrintable(diffSQLite));
    // The program's messages are the same on both, bar the company's name.
    QCOMPARE(b.compterErreurs(u"Cette facture provient"_s), attendu.messagesAnciennes);

    // The findings file holds the model's rows, in the order of the server's rows like the report: days
    // and times read from timestamp columns come out in the one format of their kind, as from texts.
    const std::vector<QStringList>& constatsVoulus = attendu.constats;
    const QString constats = comparerConstats(constatsVoulus, b, true);
    QVERIFY2(constats.isEmpty(), qPrintable(constats));
    const QString resume = comparerResume(b);
    QVERIFY2(resume.isEmpty(), qPrintable(resume));

    if (!(aPartirDesFactures && ajouter && mettreAJour))
        return;
    // The undo gives the server's FACTCLI back exactly, rows in their order; a second one does nothing.
    const QStringList depart = factCliAttendu(societe.factCli);
    for (const bool dejaFaite : {false, true}) {
        const ResultatLot annulation = surServeur.annuler(b.constats);
        const QString quand = dejaFaite ? u"second undo: "_s : u"first undo: "_s;
        const QString retablie =
            comparerFactCli(depart, base.contenuFactCli(), annulation.avant, annulation.apres);
        QVERIFY2(retablie.isEmpty(), qPrintable(quand + retablie));
        const QString compteRendu = verifierAnnulation(b, annulation, dejaFaite);
        QVERIFY2(compteRendu.isEmpty(), qPrintable(quand + compteRendu));
    }
}

// The server stops (as a crash would) in the middle of a run with both repair boxes ticked.
void TestServeur::serveurArreteEnCours() {
    SERVEUR_REQUIS();
    const QDate du(2024, 3, 1);
    const QDate au(2024, 3, 31);
    // Large enough for several groups of writes: the cut comes once the first is committed.
    const modele::Societe societe = modele::generer(71, 6000, du, au);
    const QStringList arguments = argumentsLot(jourIso(du), jourIso(au), true, true, true);

    // One run that nothing interrupts, for reference.
    const QString nomReference = nomSociete("reference");
    BasePostgres reference(*serveur_, nomReference);
    reference.remplir(societe);
    Lot lotReference(nomReference);
    versServeur(lotReference, *serveur_);
    const ResultatLot entier = lotReference.lancer(arguments);
    QCOMPARE(entier.code, 1);
    const QStringList tableEntiere = reference.contenuFactCli();
    const ResultatLot entierEnsuite = lotReference.lancer(arguments);

    const QString nom = nomSociete("coupe");
    BasePostgres base(*serveur_, nom);
    base.remplir(societe);
    const int avant = base.connexion().valeur(u"SELECT count(*) FROM FACTCLI"_s).toInt();
    Lot lot(nom);
    versServeur(lot, *serveur_);

    // Another session holds the row whose amount the run rewrites half-way through its findings: the run
    // waits for that row, its report half written, and cannot end before the cut however slow or fast
    // the machine is.
    const Constats constatsEntier = lireConstats(entier);
    QVERIFY2(constatsEntier.erreur.isEmpty(), qPrintable(constatsEntier.erreur));
    QStringList retenue;
    const std::size_t milieu = constatsEntier.lignes.size() / 2;
    for (std::size_t i = 0; i < constatsEntier.lignes.size() && (retenue.isEmpty() || i <= milieu); ++i) {
        const QStringList& c = constatsEntier.lignes[i];
        if (c.value(modele::Action) == u"montant réécrit"_s)
            retenue = {c.value(modele::NumeroFacture), c.value(modele::Dossier)};
    }
    QVERIFY2(!retenue.isEmpty(), "the uninterrupted run rewrote no amount");
    auto autre = std::make_unique<ConnexionTest>(*serveur_, nom, u"VENDRAX"_s, u"MBRTQL"_s);
    QVERIFY(autre->base().transaction());
    QVERIFY(autre->executer(u"SELECT Montant FROM FACTCLI WHERE NUM_FACTURE = ? AND NUM_DOSSIER = ? "
                            "FOR UPDATE"_s,
                            {retenue.at(0), retenue.at(1)}));

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, lot.repertoireConfiguration());
    p.setProcessEnvironment(env);
    p.start(lot.repertoireProgramme() + u"/controle-coherence"_s, arguments);
    QVERIFY(p.waitForStarted(10000));
    // The run is cut once it waits for the row held (its own statement time-out is far longer).
    const bool bloque = attendreVerrou(base.connexion(), p);
    QVERIFY2(bloque, "the run never waited for the row held by the other session");
    const int ajoutes = base.connexion().valeur(u"SELECT count(*) FROM FACTCLI"_s).toInt() - avant;
    // On a fast machine the row held may lie in the first group: then nothing is committed yet.
    QVERIFY(ajoutes >= 0);
    QVERIFY(serveur_->commande(u"couper"_s));
    QVERIFY(p.waitForFinished(120000));
    const QString erreurs = QString::fromUtf8(p.readAllStandardError());
    const QString sortie = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY(serveur_->commande(u"relancer"_s));
    autre.reset();
    base.reconnecter();

    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == 2, qPrintable(erreurs));
    QVERIFY2(erreurs.contains(u"Le traitement a été interrompu."_s), qPrintable(erreurs));
    QVERIFY2(!erreurs.contains(u"MBRTQL"_s, Qt::CaseInsensitive), qPrintable(erreurs));
    // The report keeps its lines: the first ones of the uninterrupted run, whole.
    const QString chemin = sortie.trimmed().section(u'\n', -1);
    QFile f(chemin);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(chemin));
    const QByteArray partiel = f.readAll();
    QVERIFY(!partiel.isEmpty() && partiel.endsWith("\r\n"));
    QVERIFY(entier.rapport.startsWith(partiel));
    QVERIFY(partiel.size() < entier.rapport.size());

    // DATE_MAJ differs by the minute of each run: the comparisons below leave it aside.
    const auto sansDate = [](QStringList t) {
        for (QString& l : t) {
            QStringList c = l.split(u'|');
            c[4] = QString();
            l = c.join(u'|');
        }
        return t;
    };
    // Every row is whole: each one is either as it was or as the uninterrupted run wrote it.
    const QStringList tableCoupee = sansDate(base.contenuFactCli());
    const QStringList depart = sansDate(factCliAttendu(societe.factCli));
    const QStringList entiere = sansDate(tableEntiere);
    QVERIFY(tableCoupee.size() >= avant + ajoutes);
    for (qsizetype i = 0; i < tableCoupee.size(); ++i) {
        const QString& r = tableCoupee.at(i);
        QVERIFY2(r == depart.value(i) || r == entiere.value(i),
                 qPrintable(u"row %1: %2"_s.arg(i + 1).arg(r)));
    }

    // The run after the server is back finishes the job.
    const ResultatLot ensuite = lot.lancer(arguments);
    QVERIFY2(ensuite.code == 1 || ensuite.code == 0, qPrintable(ensuite.erreurs));
    const QStringList finale = sansDate(base.contenuFactCli());
    QVERIFY2(finale == entiere, qPrintable(premiereDifference(entiere, finale)));
    // Between them, the cut run and the next report every finding of the uninterrupted run, and
    // nothing that a run after it would not.
    const QStringList lignesEntier = entier.lignesRapport();
    const QStringList lignesPartiel = QString::fromLatin1(partiel).chopped(2).split(u"\r\n"_s);
    const QStringList lignesEnsuite = ensuite.lignesRapport();
    const QStringList lignesEntierEnsuite = entierEnsuite.lignesRapport();
    for (qsizetype i = lignesPartiel.size(); i < lignesEntier.size(); ++i)
        QVERIFY2(lignesEnsuite.contains(lignesEntier.at(i)), qPrintable(lignesEntier.at(i)));
    for (const QString& l : lignesEnsuite)
        QVERIFY2(lignesEntier.contains(l) || lignesEntierEnsuite.contains(l), qPrintable(l));
    qInfo("server stopped after %d rows added; report kept %lld of %lld lines", ajoutes,
          qlonglong(lignesPartiel.size()), qlonglong(lignesEntier.size()));
}

// The same cut seen from the window: an error box, no end-of-run prompt, the window usable again.
void TestServeur::fenetreServeurArrete() {
    SERVEUR_REQUIS();
    const QDate du(2024, 3, 1);
    const QDate au(2024, 3, 31);
    const QString nom = nomSociete("fenetre");
    BasePostgres base(*serveur_, nom);
    base.remplir(modele::generer(73, 1500, du, au));
    Lot lot(nom);
    versServeur(lot, *serveur_);

    InterlocuteurTest utilisateur;
    Session session;
    session.environnement.RepertoireBase =
        QFileInfo(QFileInfo(lot.cheminBase()).absolutePath()).absolutePath();
    session.environnement.RepertoireSociete = nom;
    QCOMPARE(LireFichierSqlServer(session.environnement), TypeSource::SqlServer);
    session.connexion = OuvrirConnexion(session.environnement, CheminBaseSociete(session.environnement),
                                        TypeSource::SqlServer, false, utilisateur);
    QVERIFY2(session.connexion, qPrintable(utilisateur.textes().join(u'\n')));
    FenetreControle f(lot.repertoireProgramme(), HorlogeSysteme(), &utilisateur);
    f.Form_Load(std::move(session));
    f.findChild<QCalendarWidget*>(u"dte_Date"_s)->setSelectedDate(du);
    f.findChild<QCalendarWidget*>(u"dte_Date_Fin"_s)->setSelectedDate(au);
    f.findChild<QCheckBox*>(u"chk_AjoutEnregistrement"_s)->setChecked(true);
    f.findChild<QCheckBox*>(u"chk_MiseAJour"_s)->setChecked(true);

    // The run lets the window's events through between records: the server is stopped from there, at
    // the first chance, so that the run is surely under way whatever the machine's speed.
    bool coupe = false;
    QTimer minuterie;
    minuterie.setInterval(0);
    connect(&minuterie, &QTimer::timeout, this, [&] {
        if (!coupe) {
            coupe = true;
            serveur_->commande(u"couper"_s);
        }
    });
    minuterie.start();
    QTest::mouseClick(f.findChild<QPushButton*>(u"cmd_Lancer"_s), Qt::LeftButton);
    minuterie.stop();
    QVERIFY(serveur_->commande(u"relancer"_s));
    base.reconnecter();

    QVERIFY2(coupe, "the run ended before the server could be stopped: make it longer");
    // Old invoices of the company tell the user as they are read; besides them, one box.
    QList<InterlocuteurTest::Boite> boites;
    for (const auto& b : utilisateur.boites)
        if (b.titre != TitreLectureFacture())
            boites.append(b);
    QCOMPARE(boites.size(), 1);
    const auto& boite = boites.first();
    QVERIFY(!boite.question);
    QCOMPARE(boite.icone, Icone::Critique);
    QVERIFY2(boite.texte.startsWith(u"Erreur "_s), qPrintable(boite.texte));
    QVERIFY(boite.texte.contains(u"Le traitement a été interrompu."_s));
    QVERIFY(!boite.texte.contains(u"MBRTQL"_s, Qt::CaseInsensitive));
    QVERIFY(f.isEnabled());
    QVERIFY(f.findChild<QPushButton*>(u"cmd_Lancer"_s)->isEnabled());
    QVERIFY(QFile::exists(f.FichierRapport()));
}

// Writes on the server that do not go as planned: another session rewrites the row while the run waits
// for it, a trigger refuses the insert, a deferred check refuses the commit. The run counts only what
// lasted, and a row left different is never reported as rewritten.
void TestServeur::ecrituresSurLeServeur_data() {
    QTest::addColumn<QString>("cas");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("compte"); // a key of the --statistiques line, and its value
    QTest::addColumn<int>("valeur");
    QTest::addColumn<QString>("action");
    QTest::addColumn<double>("montant");
    QTest::newRow("mise à jour concurrente")
        << u"concurrente"_s << 0 << u"reecrits"_s << 1 << u"montant réécrit"_s << 100.0;
    QTest::newRow("insertion ignorée")
        << u"ignoree"_s << 1 << u"ajoutes"_s << 0 << u"écriture refusée par la base"_s << -1.0;
    QTest::newRow("validation refusée")
        << u"validation"_s << 2 << u"ajoutes"_s << 0 << u"écriture refusée par la base"_s << -1.0;
}

void TestServeur::ecrituresSurLeServeur() {
    SERVEUR_REQUIS();
    QFETCH(QString, cas);
    QFETCH(int, code);
    QFETCH(QString, compte);
    QFETCH(int, valeur);
    QFETCH(QString, action);
    QFETCH(double, montant);
    const QString nom = nomSociete("ecritures");
    BasePostgres base(*serveur_, nom);
    ConnexionTest& c = base.connexion();
    QVERIFY(facturerF1(c));
    const bool concurrente = cas == u"concurrente";
    if (concurrente)
        QVERIFY(c.executer(u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, Montant) "
                           "VALUES ('F1', 'D1', '2024-03-01', 'DV1', 1)"_s));
    else if (cas == u"ignoree")
        QVERIFY(
            c.executer(u"CREATE FUNCTION refus() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RETURN NULL; "
                       "END $$; CREATE TRIGGER refus BEFORE INSERT ON FACTCLI FOR EACH ROW EXECUTE "
                       "FUNCTION refus();"_s));
    else
        QVERIFY(
            c.executer(u"CREATE FUNCTION refus() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE "
                       "EXCEPTION 'refus'; END $$; CREATE CONSTRAINT TRIGGER refus AFTER INSERT ON FACTCLI "
                       "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION refus();"_s));

    // Another session holds the row while the run wants to rewrite it, then rewrites it itself.
    ConnexionTest autre(*serveur_, nom, u"VENDRAX"_s, u"MBRTQL"_s);
    if (concurrente) {
        QVERIFY(autre.base().transaction());
        QVERIFY(autre.executer(u"UPDATE FACTCLI SET Montant = 2 WHERE NUM_FACTURE = 'F1'"_s));
    }
    Lot lot(nom);
    versServeur(lot, *serveur_);
    QProcess p;
    demarrer(p, lot,
             argumentsLot(u"2024-03-01"_s, u"2024-03-31"_s, true, !concurrente, concurrente)
                 << u"--statistiques"_s);
    QVERIFY(p.waitForStarted(10000));
    if (concurrente) {
        QVERIFY2(attendreVerrou(c, p), "the run never waited for the row held");
        QVERIFY(autre.base().commit());
    }
    QVERIFY(p.waitForFinished(60000));
    const QString erreurs = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == code, qPrintable(erreurs));
    // The counts, a failed run's too (it has no sum-up), count only what lasted.
    const auto comptes = LireLigneStatistiques(erreurs);
    QVERIFY2(comptes && comptes->value(compte, -1) == valeur, qPrintable(erreurs));
    const QString constatsRun = constatsDuLot(p);
    QVERIFY2(constatsRun.contains(u";"_s + action + u";"_s), qPrintable(constatsRun));
    const QVariant reste = c.valeur(u"SELECT Montant FROM FACTCLI WHERE NUM_FACTURE = 'F1'"_s);
    if (montant < 0)
        QVERIFY(reste.isNull());
    else
        QCOMPARE(reste.toDouble(), montant);
}

// Each statement listed for PostgreSQL is compiled by the server against a company database (PREPARE,
// nothing run): the ODBC driver sends a statement only when it runs it, so that preparing through the
// driver alone would prove nothing.
void TestServeur::instructionsPreparees() {
    SERVEUR_REQUIS();
    BasePostgres base(*serveur_, nomSociete("instructions"));
    auto c = ouvrirProgramme(base.nom());
    QStringList preparees;
    const QString ecart = EcartInstructions(*c, preparees);
    QVERIFY2(ecart.isEmpty(), qPrintable(ecart));
    for (const QString& sql : std::as_const(preparees)) {
        QString numerotee;
        int marque = 0;
        for (const QChar caractere : sql)
            numerotee += caractere == u'?' ? u'$' + QString::number(++marque) : QString(caractere);
        QVERIFY2(base.connexion().executer(u"PREPARE cc_essai AS "_s + numerotee), qPrintable(sql));
        QVERIFY(base.connexion().executer(u"DEALLOCATE cc_essai"_s));
    }
}

void TestServeur::annulationParmiDesDoubles_data() {
    QTest::addColumn<QString>("ensuite"); // what becomes of the other duplicate before the undo
    QTest::addColumn<QString>("attendu"); // the two amounts after the undo, in order
    QTest::newRow("rien") << QString() << u"1,1"_s;
    // The untouched duplicate changed later: the rewritten row is still put back.
    QTest::newRow("l'autre change") << u"UPDATE FACTCLI SET Montant = 5 WHERE Montant = 1"_s << u"1,5"_s;
    // The rewritten row changed later: it is left, and said so, never "déjà rétablie".
    QTest::newRow("la réécrite change")
        << u"UPDATE FACTCLI SET Montant = 7 WHERE Montant = 100"_s << u"1,7"_s;
}

// Two identical rows of one pair, one rewritten by a repair: the undo puts back that very row (its
// locator says which), whatever became of the other, and FACTCLI comes back value for value.
void TestServeur::annulationParmiDesDoubles() {
    SERVEUR_REQUIS();
    QFETCH(QString, ensuite);
    QFETCH(QString, attendu);
    const QString nom = nomSociete("doubles");
    BasePostgres base(*serveur_, nom);
    ConnexionTest& c = base.connexion();
    QVERIFY(facturerF1(c));
    for (int i = 0; i < 2; ++i)
        QVERIFY(c.executer(u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, Montant) "
                           "VALUES ('F1', 'D1', '2024-03-01', 'DV1', 1)"_s));
    Lot lot(nom);
    versServeur(lot, *serveur_);
    const ResultatLot r = lot.lancer(argumentsLot(u"2024-03-01"_s, u"2024-03-31"_s, true, false, true));
    QVERIFY2(r.code == 0 || r.code == 1, qPrintable(r.erreurs));
    QCOMPARE(c.valeur(u"SELECT COUNT(*) FROM FACTCLI WHERE Montant = 100"_s).toInt(), 1);
    if (!ensuite.isEmpty())
        QVERIFY(c.executer(ensuite));
    const ResultatLot a = lot.annuler(r.constats);
    const bool laissee = attendu.contains(u'7');
    QVERIFY2(a.code == (laissee ? 1 : 0), qPrintable(a.erreurs));
    QVERIFY2(!a.erreurs.contains(u"déjà rétablies : 1"_s), qPrintable(a.erreurs));
    QStringList montants;
    for (const QString& ligne : trie(base.contenuFactCli()))
        montants << QString::number(ligne.section(u'|', -1).toDouble());
    montants.sort();
    QCOMPARE(montants.join(u','), attendu);
}

// Keys the server compares otherwise than the program could tell from the rows (an ICU collation for
// which D05 is D5), or rows a selection of one number returns in an index's order: the three walks
// leave the same report and FACTCLI.
void TestServeur::troisParcours_data() {
    QTest::addColumn<QStringList>("schema");  // run on the company's database, in order
    QTest::addColumn<QStringList>("factCli"); // NUM_FACTURE|NUM_DOSSIER|Montant, in insertion order
    QTest::addColumn<QString>("dossier");     // the one dossier invoice F1 bills, 10.00
    QTest::addColumn<QStringList>("apres");   // NUM_DOSSIER|Montant afterwards, in insertion order
    QTest::newRow("index de la démo, dossier complété de blancs")
        << QStringList{u"CREATE INDEX IX_FACTCLI ON FACTCLI (NUM_FACTURE, NUM_DOSSIER)"_s,
                       // Every selection of one number then goes through the index, as on a large table.
                       u"ALTER DATABASE \"%1\" SET enable_seqscan = off"_s,
                       u"ALTER DATABASE \"%1\" SET enable_bitmapscan = off"_s}
        << QStringList{u"F1|D1 |10"_s, u"F1|D1|999"_s} << u"D1"_s << QStringList{u"D1 |10"_s, u"D1|10"_s};
    QTest::newRow("collation ICU non déterministe")
        << QStringList{u"CREATE COLLATION cc_large (provider = icu, locale = 'und-u-kn-ks-level1', "
                       "deterministic = false)"_s,
                       u"ALTER TABLE FACTCLI ALTER COLUMN NUM_DOSSIER TYPE varchar(20) COLLATE cc_large"_s}
        << QStringList{u"F1|D5|3"_s} << u"D05"_s << QStringList{u"D05|10"_s};
}

void TestServeur::troisParcours() {
    SERVEUR_REQUIS();
    QFETCH(QStringList, schema);
    QFETCH(QStringList, factCli);
    QFETCH(QString, dossier);
    QFETCH(QStringList, apres);
    QStringList rapports;
    for (const QString& parcours : {u"reference"_s, u"facture"_s, QString()}) {
        const QString nom = nomSociete("parcours");
        BasePostgres base(*serveur_, nom);
        ConnexionTest& c = base.connexion();
        for (const QString& sql : schema)
            QVERIFY(c.executer(sql.contains(u"%1"_s) ? sql.arg(nom) : sql));
        for (const QString& l : factCli)
            QVERIFY(
                c.executer(u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, Montant) "
                           "VALUES (?, ?, '2024-03-01', 'DV1', ?)"_s,
                           {l.section(u'|', 0, 0), l.section(u'|', 1, 1), l.section(u'|', 2).toDouble()}));
        QVERIFY(c.executer(u"INSERT INTO FACTURES VALUES ('F1', '2024-03-05', NULL, 'F', '0', ?)"_s,
                           {tranche(1, u"10.00"_s, u"DV1"_s, dossier)}));
        Lot lot(nom);
        if (!parcours.isEmpty())
            lot.definirVariable(u"CC_PARCOURS"_s, parcours);
        versServeur(lot, *serveur_);
        const ResultatLot r = lot.lancer(argumentsLot(u"2024-03-01"_s, u"2024-03-31"_s, true, true, true));
        QVERIFY2(r.code == 0 || r.code == 1, qPrintable(r.erreurs));
        QStringList reste;
        QSqlQuery q(c.base());
        QVERIFY(q.exec(u"SELECT NUM_DOSSIER, Montant FROM FACTCLI ORDER BY ID_FACTCLI"_s));
        while (q.next())
            reste << q.value(0).toString() + u'|' + QString::number(q.value(1).toDouble());
        QCOMPARE(reste, apres);
        rapports << QString::fromLatin1(r.rapport);
    }
    QCOMPARE(rapports[1], rapports[0]);
    QCOMPARE(rapports[2], rapports[0]);
}

// Another session adds the pairs the run found missing, between its selection and its insert (as the
// host product does when it invoices): the run finds them as it inserts, adds no second row, and its
// findings say so.
void TestServeur::ajoutConcurrent_data() {
    QTest::addColumn<QString>("parcours");
    QTest::newRow("par lots") << QString();
    QTest::newRow("par facture") << u"facture"_s;
    QTest::newRow("référence") << u"reference"_s;
}

void TestServeur::ajoutConcurrent() {
    SERVEUR_REQUIS();
    QFETCH(QString, parcours);
    const QString nom = nomSociete("concurrent");
    BasePostgres base(*serveur_, nom);
    ConnexionTest& c = base.connexion();
    for (int i = 1; i <= 3; ++i)
        QVERIFY(c.executer(u"INSERT INTO FACTURES VALUES (?, '2024-03-05', NULL, 'F', '0', ?)"_s,
                           {u"F%1"_s.arg(i), tranche(1, u"10.00"_s, u"DV1"_s, u"D%1"_s.arg(i))}));
    // The other session lets the run read FACTCLI but holds its first insert back, until it has added
    // the pairs itself.
    ConnexionTest autre(*serveur_, nom, u"VENDRAX"_s, u"MBRTQL"_s);
    QVERIFY(autre.base().transaction());
    QVERIFY(autre.executer(u"LOCK TABLE FACTCLI IN SHARE MODE"_s));
    Lot lot(nom);
    versServeur(lot, *serveur_);
    QProcess p;
    demarrer(p, lot, argumentsLot(u"2024-03-01"_s, u"2024-03-31"_s, true, true, false), parcours);
    QVERIFY(p.waitForStarted(10000));
    // The run waits for the lock: it has found the pair missing and is inserting it.
    ConnexionTest observateur(*serveur_, nom, u"VENDRAX"_s, u"MBRTQL"_s);
    QTRY_VERIFY_WITH_TIMEOUT(observateur
                                     .valeur(u"SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                             "current_database() AND wait_event_type = 'Lock'"_s)
                                     .toInt() == 1,
                             60000);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(autre.executer(u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, Montant) "
                               "VALUES (?, ?, '2024-03-05', 'DV1', 10)"_s,
                               {u"F%1"_s.arg(i), u"D%1"_s.arg(i)}));
    QVERIFY(autre.base().commit());
    QVERIFY(p.waitForFinished(60000));
    const QString erreurs = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == 1, qPrintable(erreurs));
    QCOMPARE(c.valeur(u"SELECT count(*) FROM FACTCLI"_s).toInt(), 3);
    const QString constatsRun = constatsDuLot(p);
    QVERIFY2(constatsRun.contains(u";ligne apparue entre-temps;"_s), qPrintable(constatsRun));
}

QTEST_MAIN(TestServeur)
#include "tst_Serveur.moc"
