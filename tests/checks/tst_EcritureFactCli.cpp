#include "BaseTest.h"
#include "InterlocuteurTest.h"
#include "checks/EcritureFactCli.h"
#include "data/Connexion.h"
#include "invoice/LecteurFacture.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

using namespace cc;
using cc::test::BaseTest;
using cc::test::tranche;

namespace {

QDateTime moment() {
    return QDateTime(QDate(2026, 12, 7), QTime(22, 32, 59));
}

// An invoice billing D1 and D2: 100.00 less 5 on D1, 40.00 on D2.
EnregistrementFacture deuxDossiers() {
    EnregistrementFacture f;
    f.TypePiece = u"F"_s;
    f.JourFacture = u"2024-03-05"_s;
    f.cellule(2, NumeroDossier) = u"D1      "_s;
    f.cellule(2, MontantLigne) = u"100.00"_s;
    f.cellule(2, MontantRemise) = u"5"_s;
    f.cellule(4, NumeroDossier) = u"D2      "_s;
    f.cellule(4, MontantLigne) = u"40.00"_s;
    f.cellule(4, MontantRemise) = u"0"_s;
    return f;
}

} // namespace

class TestEcritureFactCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void dossierVide();
    void ajout_data();
    void ajout();
    void reecriture();
    void doublonsPremierSeul();
    void sansLocalisateur_data();
    void sansLocalisateur();
    void autresColonnes();
    void apostrophes();
    void lectureEtEcritureCentimes_data();
    void lectureEtEcritureCentimes();

private:
    EcritureFactCli ecriture(Horloge h = moment) { return EcritureFactCli(*connexion, std::move(h)); }
    QString typeMontant() {
        QSqlQuery q(base->base());
        q.exec(u"SELECT typeof(Montant) FROM FACTCLI ORDER BY rowid"_s);
        return q.next() ? q.value(0).toString() : QString();
    }

    std::unique_ptr<QTemporaryDir> dossierTemp;
    std::unique_ptr<BaseTest> base;
    std::unique_ptr<Connexion> connexion;
};

void TestEcritureFactCli::init() {
    dossierTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(dossierTemp->isValid());
    base = std::make_unique<BaseTest>(dossierTemp->filePath(u"societe.db"_s));
    connexion = Connexion::ouvrirSQLite(base->chemin());
}

void TestEcritureFactCli::cleanup() {
    connexion.reset();
    base.reset();
    dossierTemp.reset();
}

void TestEcritureFactCli::dossierVide() {
    base->factCli(u"F1"_s, u"D1"_s, u"x"_s, u"x"_s, u"x"_s, 1);
    auto e = ecriture();
    const qint64 avant = connexion->instructionsExecutees();
    e.EnregistrerFactCli(deuxDossiers(), QString(), u"DV"_s, u"F1"_s);
    QCOMPARE(connexion->instructionsExecutees(), avant);
    QCOMPARE(base->contenuFactCli(), QStringList{u"F1|D1|x|x|x|1.0"_s});
}

void TestEcritureFactCli::ajout_data() {
    QTest::addColumn<QString>("dossier");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QDateTime>("quand");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("D1") << u"D1"_s << u"F100"_s << moment()
                        << u"F100|D1|2024-03-05|DV|07/12/2026 22:32|95.0"_s;
    QTest::newRow("numéro rogné, heure à un chiffre")
        << u"D2"_s << u"  F100 "_s << QDateTime(QDate(2025, 1, 5), QTime(9, 5))
        << u"F100|D2|2024-03-05|DV|05/01/2025 09:05|40.0"_s;
    QTest::newRow("dossier qu'aucune ligne ne nomme: montant 0")
        << u"D3"_s << u"F100"_s << moment() << u"F100|D3|2024-03-05|DV|07/12/2026 22:32|0.0"_s;
}

void TestEcritureFactCli::ajout() {
    QFETCH(QString, dossier);
    QFETCH(QString, numero);
    QFETCH(QDateTime, quand);
    QFETCH(QString, attendu);
    // Another invoice's row of the same dossier is left alone.
    base->factCli(u"F99"_s, dossier, u"j"_s, u"d"_s, u"m"_s, 7);
    auto e = ecriture([quand] { return quand; });
    e.EnregistrerFactCli(deuxDossiers(), dossier, u"DV"_s, numero);
    QCOMPARE(base->contenuFactCli(), (QStringList{u"F99|%1|j|d|m|7.0"_s.arg(dossier), attendu}));
    QCOMPARE(typeMontant(), u"real"_s);
}

void TestEcritureFactCli::reecriture() {
    base->factCli(u"F100"_s, u"D1"_s, u"2000-01-01"_s, u"OLD"_s, u"01/01/2000 00:00"_s, 12);
    auto e = ecriture();
    // Prepared once, used twice: the second write finds the row the first one left.
    e.EnregistrerFactCli(deuxDossiers(), u"D1"_s, u"DV"_s, u"F100"_s);
    auto f = deuxDossiers();
    f.JourFacture = u"2024-03-06"_s;
    e.EnregistrerFactCli(f, u"D1"_s, u"DV2"_s, u"F100 "_s);
    QCOMPARE(base->contenuFactCli(), QStringList{u"F100|D1|2024-03-06|DV2|07/12/2026 22:32|95.0"_s});
}

void TestEcritureFactCli::doublonsPremierSeul() {
    base->factCli(u"F100"_s, u"D1"_s, u"j1"_s, u"d1"_s, u"m1"_s, 1);
    base->factCli(u"F100"_s, u"D1"_s, u"j2"_s, u"d2"_s, u"m2"_s, 2);
    auto e = ecriture();
    e.EnregistrerFactCli(deuxDossiers(), u"D1"_s, u"DV"_s, u"F100"_s);
    QCOMPARE(base->contenuFactCli(),
             (QStringList{u"F100|D1|2024-03-05|DV|07/12/2026 22:32|95.0"_s, u"F100|D1|j2|d2|m2|2.0"_s}));
}

void TestEcritureFactCli::sansLocalisateur_data() {
    QTest::addColumn<int>("dialecte");
    QTest::newRow("Jet") << int(Dialecte::Jet);
    QTest::newRow("SQL Server 2005") << int(Dialecte::SqlServer2005);
}

void TestEcritureFactCli::sansLocalisateur() {
    // A database without row locator finds the row by its keys alone: every duplicate is rewritten.
    QFETCH(int, dialecte);
    base->factCli(u"F100"_s, u"D1"_s, u"j1"_s, u"d1"_s, u"m1"_s, 1);
    base->factCli(u"F100"_s, u"D1"_s, u"j2"_s, u"d2"_s, u"m2"_s, 2);
    base->factCli(u"F100"_s, u"D2"_s, u"j3"_s, u"d3"_s, u"m3"_s, 3);
    const QString nom = Connexion::nouveauNom();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nom);
        db.setDatabaseName(base->chemin());
        QVERIFY(db.open());
    }
    Connexion sansLocalisateur(nom, Dialecte(dialecte));
    QVERIFY(sansLocalisateur.pieces().localisateur.isEmpty());
    EcritureFactCli e(sansLocalisateur, moment);
    e.EnregistrerFactCli(deuxDossiers(), u"D1"_s, u"DV"_s, u"F100"_s);
    e.EnregistrerFactCli(deuxDossiers(), u"D4"_s, u"DV"_s, u"F100"_s);
    const QString ecrit = u"F100|D1|2024-03-05|DV|07/12/2026 22:32|95.0"_s;
    QCOMPARE(base->contenuFactCli(), (QStringList{ecrit, ecrit, u"F100|D2|j3|d3|m3|3.0"_s,
                                                  u"F100|D4|2024-03-05|DV|07/12/2026 22:32|0.0"_s}));
}

void TestEcritureFactCli::autresColonnes() {
    // The host's FACTCLI may carry more columns: a new row takes their defaults, a rewritten row keeps them.
    base->executer(u"ALTER TABLE FACTCLI ADD COLUMN ORIGINE TEXT DEFAULT 'hôte'"_s);
    base->executer(u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, Montant, ORIGINE) "
                   "VALUES ('F100', 'D1', 3, 'saisie')"_s);
    auto e = ecriture();
    e.EnregistrerFactCli(deuxDossiers(), u"D1"_s, u"DV"_s, u"F100"_s);
    e.EnregistrerFactCli(deuxDossiers(), u"D2"_s, u"DV"_s, u"F100"_s);
    QSqlQuery q(base->base());
    QVERIFY(q.exec(u"SELECT NUM_DOSSIER, Montant, ORIGINE FROM FACTCLI ORDER BY rowid"_s));
    QStringList lu;
    while (q.next())
        lu << u"%1 %2 %3"_s.arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    QCOMPARE(lu, (QStringList{u"D1 95 saisie"_s, u"D2 40 hôte"_s}));
}

void TestEcritureFactCli::apostrophes() {
    base->factCli(u"F'1"_s, u"D'1"_s, u"j"_s, u"d"_s, u"m"_s, 1);
    base->factCli(u"F1"_s, u"D1"_s, u"j"_s, u"d"_s, u"m"_s, 1);
    auto f = deuxDossiers();
    f.DossierFacture = u"D'1"_s;
    auto e = ecriture();
    e.EnregistrerFactCli(f, u"D'1"_s, u"DV'"_s, u"F'1"_s);
    e.EnregistrerFactCli(f, u"D' OR ''='"_s, u"DV"_s, u"F1"_s);
    QCOMPARE(base->contenuFactCli(),
             (QStringList{u"F'1|D'1|2024-03-05|DV'|07/12/2026 22:32|135.0"_s, u"F1|D1|j|d|m|1.0"_s,
                          u"F1|D' OR ''='|2024-03-05|DV|07/12/2026 22:32|135.0"_s}));
}

void TestEcritureFactCli::lectureEtEcritureCentimes_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("facture") << u"F"_s << u"F7|D1|2024-03-05|DV1|07/12/2026 22:32|24.5"_s;
    QTest::newRow("avoir") << u"A"_s << u"F7|D1|2024-03-05|DV1|07/12/2026 22:32|-24.75"_s;
}

void TestEcritureFactCli::lectureEtEcritureCentimes() {
    // From the invoice to FACTCLI under the user's locale (a comma one in the French run): the cents of
    // the lines and of the discounts survive the record.
    QFETCH(QString, type);
    QFETCH(QString, attendu);
    base->facture(u"F7"_s, u"2024-03-05"_s, u"D1"_s,
                  tranche(1, u"12.50"_s, u"DV1"_s, u"D1"_s) + tranche(2, u"12.25"_s, u"DV1"_s, u"D1"_s),
                  type);
    base->ligne(u"F7"_s, 4, 2, 0.25, u"R"_s);
    LecteurFacture lecteur(*connexion);
    EnregistrementFacture f;
    QCOMPARE(lecteur.LireFacture(u"F7"_s, f), ResultatLecture::Lue);
    QCOMPARE(f.cellule(2, MontantLigne), u"12.50"_s);
    QCOMPARE(f.cellule(4, MontantRemise), u"0.25"_s);
    auto e = ecriture();
    e.EnregistrerFactCli(f, u"D1"_s, u"DV1"_s, u"F7"_s);
    QCOMPARE(base->contenuFactCli(), QStringList{attendu});
}

QTEST_GUILESS_MAIN(TestEcritureFactCli)
#include "tst_EcritureFactCli.moc"
