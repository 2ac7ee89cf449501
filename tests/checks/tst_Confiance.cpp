// Writes to FACTCLI that can be trusted, tried as an adversary would: another program changing the
// table under the run, a table whose shape hides its rowid, triggers that refuse or roll back, a
// reader that keeps the commit from happening, discount rows whose line number is not a plain one.
#include "InterlocuteurTest.h"
#include "Lot.h"

#include "app/Execution.h"
#include "commun/FormeLarge.h"
#include "commun/LigneStatistiques.h"
#include "data/EcritureTableFactCli.h"
#include "report/Constats.h"
#include "report/LectureConstats.h"
#include "report/Rapport.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace cc;
using namespace cc::test;

namespace {

const QString Du = u"2024-03-01"_s;
const QString Au = u"2024-03-31"_s;

// Runs SQL through the sqlite3 program: another process than the one under test.
void autreProgramme(const QString& base, const QString& sql) {
    QProcess p;
    p.start(u"sqlite3"_s, {base, sql});
    QVERIFY2(p.waitForFinished(30000) && p.exitCode() == 0, p.readAllStandardError().constData());
}

// F1 bills 100 to D1 and is wrong in FACTCLI; F2 bills 50 to D2 and is right; F9 has no invoice.
void remplir(BaseTest& b) {
    b.facture(u"F1"_s, u"2024-03-01"_s, u"D1"_s, tranche(1, u"100.00"_s, u"DV1"_s, u"D1"_s));
    b.facture(u"F2"_s, u"2024-03-02"_s, u"D2"_s, tranche(1, u"50.00"_s, u"DV2"_s, u"D2"_s));
    b.factCli(u"F1"_s, u"D1"_s, u"2024-03-01"_s, u"DV1"_s, u"01/01/2024 09:00"_s, 1.0);
    b.factCli(u"F2"_s, u"D2"_s, u"2024-03-02"_s, u"DV2"_s, u"01/01/2024 09:00"_s, 50.0);
    b.factCli(u"F9"_s, u"D9"_s, u"2024-03-09"_s, u"DV9"_s, u"01/01/2024 09:00"_s, 77.0);
}

// The rows of a findings file after its header.
std::vector<std::vector<QString>> constats(const QString& cheminRapport) {
    QFile f(cheminRapport.chopped(4) + u".csv"_s);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    auto lignes = LireCsv(QString::fromUtf8(f.readAll()).mid(1));
    if (!lignes.empty())
        lignes.erase(lignes.begin());
    // The rows that close a group of writes are no finding.
    std::erase_if(lignes, [](const std::vector<QString>& l) { return l.at(5) == u"validation"_s; });
    return lignes;
}

QStringList actions(const std::vector<std::vector<QString>>& lignes) {
    QStringList r;
    for (const auto& l : lignes)
        r << l.at(2) + u'/' + l.at(3) + u':' + l.at(8);
    return r;
}

} // namespace

class TestConfiance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void autreLigneJamaisReecrite();
    void formesDeFactCli_data();
    void formesDeFactCli();
    void ecrituresQuiNeDurentPas_data();
    void ecrituresQuiNeDurentPas();
    void groupeRefaitEnEntier();
    void validationRefusee();
    void numerosDeLigne_data();
    void numerosDeLigne();
    void formeLarge_data();
    void formeLarge();
};

// The run selected a row; another program deletes it and inserts another, which takes the freed
// rowid. The rewrite names the row by rowid and by its pair: it changes nothing.
void TestConfiance::autreLigneJamaisReecrite() {
    Lot lot;
    remplir(lot.base());
    auto c = Connexion::ouvrirSQLite(lot.cheminBase());
    EcritureTableFactCli table(*c);
    const std::optional<LigneTrouvee> ligne = table.premiereLigne(u"F9"_s, u"D9"_s);
    QVERIFY(ligne);
    autreProgramme(lot.cheminBase(),
                   u"DELETE FROM FACTCLI WHERE NUM_FACTURE = 'F9'; "
                   "INSERT INTO FACTCLI VALUES ('F3', 'D3', '2024-03-03', 'DV3', NULL, 30);"_s);
    QCOMPARE(table.reecrireMontant(*ligne, u"F9"_s, u"D9"_s, 99.0).lignes, 0);
    QCOMPARE(table.supprimer(*ligne, u"F9"_s, u"D9"_s), 0);
    QCOMPARE(lot.base().contenuFactCli().last(), u"F3|D3|2024-03-03|DV3|<null>|30.0"_s);
}

// Shapes of FACTCLI that hide or lack SQLite's rowid: a repair rewrites the one wrong row and nothing
// else, a plain check writes nothing and works even where nothing can be written. A plain check that
// finds an amount different says so by its exit status, though the report lists none.
void TestConfiance::formesDeFactCli_data() {
    QTest::addColumn<QString>("forme");
    QTest::addColumn<bool>("reparer");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("montantF1");
    const QString recreer = u"CREATE TABLE T AS SELECT * FROM FACTCLI; DROP TABLE FACTCLI; "_s;
    const QString colonnes = u"NUM_FACTURE TEXT, NUM_DOSSIER TEXT, JOUR TEXT, NUM_DEVIS TEXT, DATE_MAJ TEXT, "
                             "Montant REAL"_s;
    const QString sansRowid = recreer + u"CREATE TABLE FACTCLI ("_s + colonnes +
                              u", PRIMARY KEY (NUM_FACTURE, NUM_DOSSIER)) WITHOUT ROWID; "
                              "INSERT INTO FACTCLI SELECT * FROM T; DROP TABLE T;"_s;
    const QString rowid = u"ALTER TABLE FACTCLI ADD COLUMN RowId INTEGER DEFAULT 1;"_s;
    const QString troisNoms = u"ALTER TABLE FACTCLI ADD COLUMN rowid INTEGER DEFAULT 1; "
                              "ALTER TABLE FACTCLI ADD COLUMN _ROWID_ INTEGER DEFAULT 1; "
                              "ALTER TABLE FACTCLI ADD COLUMN Oid INTEGER DEFAULT 1;"_s;
    const QString vue =
        u"ALTER TABLE FACTCLI RENAME TO FACTCLI_T; CREATE VIEW FACTCLI AS SELECT * FROM FACTCLI_T;"_s;
    // Grouped writes (lots) and writes one by one (the walk by invoice writes as the reference does).
    for (const char* parcours : {"lots", "reference"}) {
        const auto nom = [&](const char* cas) { return QByteArray(cas) + ' ' + parcours; };
        QTest::newRow(nom("colonne RowId")) << rowid << true << 0 << 100.0;
        QTest::newRow(nom("trois noms pris")) << troisNoms << true << 0 << 100.0;
        QTest::newRow(nom("sans rowid")) << sansRowid << true << 0 << 100.0;
        QTest::newRow(nom("sans rowid, contrôle seul")) << sansRowid << false << 1 << 1.0;
        QTest::newRow(nom("vue, contrôle seul")) << vue << false << 1 << 1.0;
    }
}

void TestConfiance::formesDeFactCli() {
    QFETCH(QString, forme);
    QFETCH(bool, reparer);
    QFETCH(int, code);
    QFETCH(double, montantF1);
    const QString parcours = QString::fromLatin1(QTest::currentDataTag()).section(u' ', -1);
    Lot lot;
    remplir(lot.base());
    autreProgramme(lot.cheminBase(), forme);
    if (parcours != u"lots")
        lot.definirVariable(u"CC_PARCOURS"_s, parcours);
    const ResultatLot r = lot.lancer(argumentsLot(Du, Au, true, false, reparer));
    QVERIFY2(r.code == code, qPrintable(r.erreurs));
    QVERIFY(r.rapport.isEmpty());
    QHash<QString, double> montants;
    for (const RangeeFactCli& rangee : lot.rangeesFactCli())
        montants.insert(rangee.facture.toString(), rangee.montant.toDouble());
    QCOMPARE(montants, (QHash<QString, double>{{u"F1"_s, montantF1}, {u"F2"_s, 50.0}, {u"F9"_s, 77.0}}));
    QCOMPARE(actions(constats(r.cheminRapport)),
             QStringList{reparer ? u"F1/D1:montant réécrit"_s : u"F1/D1:aucune"_s});
}

// A database that refuses a write, or rolls the group back: nothing is counted that did not last,
// and the findings file says the write was refused.
void TestConfiance::ecrituresQuiNeDurentPas_data() {
    QTest::addColumn<QString>("declencheur");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("attendu");
    QTest::addColumn<int>("ajoutes");
    QTest::newRow("ignorée") << u"SELECT RAISE(IGNORE)"_s << 1
                             << QStringList{u"F3/D3:écriture refusée par la base"_s,
                                            u"F4/D4:écriture refusée par la base"_s}
                             << 0;
    // Written in one group, the other row of the group lasts and counts once.
    QTest::newRow("une ignorée") << u"SELECT RAISE(IGNORE) WHERE NEW.NUM_FACTURE = 'F4'"_s << 1
                                 << QStringList{u"F3/D3:ligne ajoutée"_s,
                                                u"F4/D4:écriture refusée par la base"_s}
                                 << 1;
    // The second insert rolls back the whole group, the first one with it: the first write, recorded
    // before the commit, is then shown refused after it.
    QTest::newRow("annulée") << u"SELECT RAISE(ROLLBACK, 'refus') WHERE NEW.NUM_FACTURE = 'F4'"_s << 2
                             << QStringList{u"F3/D3:ligne ajoutée"_s, u"F4/D4:écriture refusée par la base"_s,
                                            u"F3/D3:écriture refusée par la base"_s}
                             << 0;
}

void TestConfiance::ecrituresQuiNeDurentPas() {
    QFETCH(QString, declencheur);
    QFETCH(int, code);
    QFETCH(QStringList, attendu);
    QFETCH(int, ajoutes);
    Lot lot;
    BaseTest& b = lot.base();
    b.facture(u"F3"_s, u"2024-03-03"_s, u"D3"_s, tranche(1, u"30.00"_s, u"DV3"_s, u"D3"_s));
    b.facture(u"F4"_s, u"2024-03-04"_s, u"D4"_s, tranche(1, u"40.00"_s, u"DV4"_s, u"D4"_s));
    b.executer(u"CREATE TRIGGER REFUS BEFORE INSERT ON FACTCLI BEGIN "_s + declencheur + u"; END"_s);
    const QStringList avant = b.contenuFactCli();
    const ResultatLot r = lot.lancer(argumentsLot(Du, Au, true, true, false) << u"--statistiques"_s);
    QVERIFY2(r.code == code, qPrintable(r.erreurs));
    // The counts, a failed run's too (it has no sum-up).
    const auto comptes = LireLigneStatistiques(r.erreurs);
    QVERIFY2(comptes && comptes->value(u"ajoutes"_s, -1) == ajoutes, qPrintable(r.erreurs));
    QCOMPARE(lot.base().contenuFactCli().size(), avant.size() + ajoutes);
    QCOMPARE(actions(constats(r.cheminRapport)), attendu);
}

// A write made alone (a row of another case might answer its pair) and a write kept for later share
// a group; the database ignores the second: the whole group is rolled back and made again one write
// at a time, the first row written once and counted once.
void TestConfiance::groupeRefaitEnEntier() {
    Lot lot;
    BaseTest& b = lot.base();
    b.facture(u"F2"_s, u"2024-03-02"_s, u"D2"_s, tranche(1, u"20.00"_s, u"DV2"_s, u"D2"_s));
    b.factCli(u"F2"_s, u"d2"_s, u"2024-03-02"_s, u"DV2"_s, u"01/01/2024 09:00"_s, 20.0);
    b.facture(u"F3"_s, u"2024-03-03"_s, u"D3"_s, tranche(1, u"30.00"_s, u"DV3"_s, u"D3"_s));
    b.executer(u"CREATE TRIGGER REFUS BEFORE INSERT ON FACTCLI WHEN NEW.NUM_FACTURE = 'F3' BEGIN "
               "SELECT RAISE(IGNORE); END"_s);
    const ResultatLot r = lot.lancer(argumentsLot(Du, Au, true, true, false));
    QVERIFY2(r.code == 1, qPrintable(r.erreurs));
    QVERIFY2(r.erreurs.contains(u"enregistrements ajoutés : 1 ;"_s), qPrintable(r.erreurs));
    QStringList dossiers;
    for (const RangeeFactCli& rangee : lot.rangeesFactCli())
        dossiers << rangee.facture.toString() + u'/' + rangee.dossier.toString();
    QCOMPARE(dossiers, (QStringList{u"F2/d2"_s, u"F2/D2"_s}));
    QCOMPARE(actions(constats(r.cheminRapport)),
             (QStringList{u"F2/D2:ligne ajoutée"_s, u"F3/D3:écriture refusée par la base"_s}));
}

// A reader keeps the database past the wait: the commit fails, the run fails, nothing is counted and
// the rows written in that group, recorded before the commit, are then shown refused.
void TestConfiance::validationRefusee() {
    QTemporaryDir dossier;
    BaseTest b(dossier.filePath(u"vendrax.mdb"_s));
    b.facture(u"F3"_s, u"2024-03-03"_s, u"D3"_s, tranche(1, u"30.00"_s, u"DV3"_s, u"D3"_s));
    QProcess lecteur;
    lecteur.start(u"sqlite3"_s, {b.chemin()});
    QVERIFY(lecteur.waitForStarted());
    lecteur.write("BEGIN; SELECT 'verrou' FROM FACTCLI UNION ALL SELECT 'verrou';\n");
    QVERIFY(lecteur.waitForReadyRead(10000));

    auto c = Connexion::ouvrirSQLite(b.chemin(), 300);
    Rapport rapport(dossier.path(), u"SOC1"_s, HorlogeSysteme());
    FichierConstats fichier;
    InterlocuteurTest interlocuteur;
    ProgressionMuette progression;
    const ContexteControle contexte{*c, rapport, interlocuteur, progression, HorlogeSysteme(), &fichier};
    OptionsControle options;
    options.debut = QDate(2024, 3, 1);
    options.fin = QDate(2024, 3, 31);
    options.ajouter = true;
    const ResultatExecution r = ExecuterControle(contexte, options);
    lecteur.closeWriteChannel();
    QVERIFY(lecteur.waitForFinished(10000));
    QVERIFY(r.erreur);
    QCOMPARE(r.compteurs.manquants, 1);
    QCOMPARE(r.compteurs.ajoutes, 0);
    QCOMPARE(actions(constats(r.fichierRapport)),
             (QStringList{u"F3/D3:ligne ajoutée"_s, u"F3/D3:écriture refusée par la base"_s}));
    QFile journal(r.fichierRapport.chopped(4) + u".csv"_s);
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QVERIFY(journal.readAll().contains(u";validation;;;groupe annulé;"_s.toUtf8()));
    QVERIFY(b.contenuFactCli().isEmpty());
}

// A discount row belongs to a line only when its number is exactly that line's row number, whatever
// the walk: numbers that truncate or round onto a row (2^32 + 2, -2^32 + 2, 3.5) belong to none.
void TestConfiance::numerosDeLigne_data() {
    QTest::addColumn<QString>("parcours");
    QTest::newRow("lots") << QString();
    QTest::newRow("facture") << u"facture"_s;
    QTest::newRow("reference") << u"reference"_s;
}

void TestConfiance::numerosDeLigne() {
    QFETCH(QString, parcours);
    Lot lot;
    BaseTest& b = lot.base();
    b.facture(u"F1"_s, u"2024-03-01"_s, u"D1"_s,
              tranche(1, u"100.00"_s, u"DV1"_s, u"D1"_s) + tranche(2, u"10.00"_s, u"DV1"_s, u"D1"_s));
    for (const QVariant& numero : {QVariant(qint64(4294967298)), QVariant(qint64(-4294967294)), QVariant(3.5),
                                   QVariant(4.5), QVariant(4)})
        b.executer(
            u"INSERT INTO FACTURES_LIGNE (NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, TAUX_REMISE, MONTANT_REMISE, "
            "CODE_REMISE) VALUES ('F1', ?, 10, 1, 'R')"_s,
            {numero});
    if (!parcours.isEmpty())
        lot.definirVariable(u"CC_PARCOURS"_s, parcours);
    const ResultatLot r = lot.lancer(argumentsLot(Du, Au, true, true, false));
    QVERIFY2(r.code == 1, qPrintable(r.erreurs));
    // Only the row numbered exactly 4 (line 2) takes its discount: 100 + 10 - 1.
    QCOMPARE(lot.rangeesFactCli().at(0).montant.toDouble(), 109.0);
}

// Two numbers that some database's way of comparing may find equal share their FormeLarge, so that a
// write to one has the other asked again; numbers plainly apart keep theirs apart.
void TestConfiance::formeLarge_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("memeForme");
    QTest::newRow("casse, blancs de fin") << u"F0010"_s << u"f0010  "_s << true;
    QTest::newRow("accents") << u"É-1"_s << u"e1"_s << true;
    QTest::newRow("chiffres pleine chasse") << u"Ｆ１２"_s << u"f12"_s << true;
    QTest::newRow("ligature") << u"ﬁ1"_s << u"FI1"_s << true;
    QTest::newRow("autre numéro") << u"F0010"_s << u"F0011"_s << false;
    QTest::newRow("autre lettre") << u"A1"_s << u"B1"_s << false;
}

void TestConfiance::formeLarge() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, memeForme);
    QCOMPARE(FormeLarge(a) == FormeLarge(b), memeForme);
}

QTEST_GUILESS_MAIN(TestConfiance)
#include "tst_Confiance.moc"
