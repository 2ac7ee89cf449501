#include "BaseTest.h"
#include "InterlocuteurTest.h"
#include "checks/EcritureFactCli.h"
#include "data/AccesBase.h"
#include "invoice/LecteurFacture.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

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
    f.TypePiece = QStringLiteral("F");
    f.JourFacture = QStringLiteral("2024-03-05");
    f.cellule(2, NumeroDossier) = QStringLiteral("D1      ");
    f.cellule(2, MontantLigne) = QStringLiteral("100.00");
    f.cellule(2, MontantRemise) = QStringLiteral("5");
    f.cellule(4, NumeroDossier) = QStringLiteral("D2      ");
    f.cellule(4, MontantLigne) = QStringLiteral("40.00");
    f.cellule(4, MontantRemise) = QStringLiteral("0");
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
    void sansLocalisateur();
    void autresColonnes();
    void apostrophes();
    void lectureEtEcritureCentimes_data();
    void lectureEtEcritureCentimes();

private:
    EcritureFactCli ecriture(Horloge h = moment) { return EcritureFactCli(*connexion, std::move(h)); }
    QString typeMontant() {
        QSqlQuery q(base->base());
        q.exec(QStringLiteral("SELECT typeof(Montant) FROM FACTCLI ORDER BY rowid"));
        return q.next() ? q.value(0).toString() : QString();
    }

    std::unique_ptr<QTemporaryDir> dossierTemp;
    std::unique_ptr<BaseTest> base;
    std::unique_ptr<Connexion> connexion;
};

void TestEcritureFactCli::init() {
    dossierTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(dossierTemp->isValid());
    base = std::make_unique<BaseTest>(dossierTemp->filePath(QStringLiteral("societe.db")));
    connexion = Connexion::ouvrirSQLite(base->chemin());
}

void TestEcritureFactCli::cleanup() {
    connexion.reset();
    base.reset();
    dossierTemp.reset();
}

void TestEcritureFactCli::dossierVide() {
    base->factCli(QStringLiteral("F1"), QStringLiteral("D1"), QStringLiteral("x"), QStringLiteral("x"),
                  QStringLiteral("x"), 1);
    auto e = ecriture();
    const qint64 avant = connexion->instructionsExecutees();
    e.EnregistrerFactCli(deuxDossiers(), QString(), QStringLiteral("DV"), QStringLiteral("F1"));
    QCOMPARE(connexion->instructionsExecutees(), avant);
    QCOMPARE(base->contenuFactCli(), QStringList{QStringLiteral("F1|D1|x|x|x|1.0")});
}

void TestEcritureFactCli::ajout_data() {
    QTest::addColumn<QString>("dossier");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QDateTime>("quand");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("D1") << QStringLiteral("D1") << QStringLiteral("F100") << moment()
                        << QStringLiteral("F100|D1|2024-03-05|DV|07/12/2026 22:32|95.0");
    QTest::newRow("numéro rogné, heure à un chiffre")
        << QStringLiteral("D2") << QStringLiteral("  F100 ") << QDateTime(QDate(2025, 1, 5), QTime(9, 5))
        << QStringLiteral("F100|D2|2024-03-05|DV|05/01/2025 09:05|40.0");
    QTest::newRow("dossier qu'aucune ligne ne nomme: montant 0")
        << QStringLiteral("D3") << QStringLiteral("F100") << moment()
        << QStringLiteral("F100|D3|2024-03-05|DV|07/12/2026 22:32|0.0");
}

void TestEcritureFactCli::ajout() {
    QFETCH(QString, dossier);
    QFETCH(QString, numero);
    QFETCH(QDateTime, quand);
    QFETCH(QString, attendu);
    // Another invoice's row of the same dossier is left alone.
    base->factCli(QStringLiteral("F99"), dossier, QStringLiteral("j"), QStringLiteral("d"),
                  QStringLiteral("m"), 7);
    auto e = ecriture([quand] { return quand; });
    e.EnregistrerFactCli(deuxDossiers(), dossier, QStringLiteral("DV"), numero);
    QCOMPARE(base->contenuFactCli(), (QStringList{QStringLiteral("F99|%1|j|d|m|7.0").arg(dossier), attendu}));
    QCOMPARE(typeMontant(), QStringLiteral("real"));
}

void TestEcritureFactCli::reecriture() {
    base->factCli(QStringLiteral("F100"), QStringLiteral("D1"), QStringLiteral("2000-01-01"),
                  QStringLiteral("OLD"), QStringLiteral("01/01/2000 00:00"), 12);
    auto e = ecriture();
    // Prepared once, used twice: the second write finds the row the first one left.
    e.EnregistrerFactCli(deuxDossiers(), QStringLiteral("D1"), QStringLiteral("DV"), QStringLiteral("F100"));
    auto f = deuxDossiers();
    f.JourFacture = QStringLiteral("2024-03-06");
    e.EnregistrerFactCli(f, QStringLiteral("D1"), QStringLiteral("DV2"), QStringLiteral("F100 "));
    QCOMPARE(base->contenuFactCli(),
             QStringList{QStringLiteral("F100|D1|2024-03-06|DV2|07/12/2026 22:32|95.0")});
}

void TestEcritureFactCli::doublonsPremierSeul() {
    base->factCli(QStringLiteral("F100"), QStringLiteral("D1"), QStringLiteral("j1"), QStringLiteral("d1"),
                  QStringLiteral("m1"), 1);
    base->factCli(QStringLiteral("F100"), QStringLiteral("D1"), QStringLiteral("j2"), QStringLiteral("d2"),
                  QStringLiteral("m2"), 2);
    auto e = ecriture();
    e.EnregistrerFactCli(deuxDossiers(), QStringLiteral("D1"), QStringLiteral("DV"), QStringLiteral("F100"));
    QCOMPARE(base->contenuFactCli(),
             (QStringList{QStringLiteral("F100|D1|2024-03-05|DV|07/12/2026 22:32|95.0"),
                          QStringLiteral("F100|D1|j2|d2|m2|2.0")}));
}

void TestEcritureFactCli::sansLocalisateur() {
    // A database without row locator finds the row by its keys alone: every duplicate is rewritten.
    base->factCli(QStringLiteral("F100"), QStringLiteral("D1"), QStringLiteral("j1"), QStringLiteral("d1"),
                  QStringLiteral("m1"), 1);
    base->factCli(QStringLiteral("F100"), QStringLiteral("D1"), QStringLiteral("j2"), QStringLiteral("d2"),
                  QStringLiteral("m2"), 2);
    base->factCli(QStringLiteral("F100"), QStringLiteral("D2"), QStringLiteral("j3"), QStringLiteral("d3"),
                  QStringLiteral("m3"), 3);
    const QString nom = Connexion::nouveauNom();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nom);
        db.setDatabaseName(base->chemin());
        QVERIFY(db.open());
    }
    Connexion jet(nom, Dialecte::Jet);
    QVERIFY(jet.pieces().localisateur.isEmpty());
    EcritureFactCli e(jet, moment);
    e.EnregistrerFactCli(deuxDossiers(), QStringLiteral("D1"), QStringLiteral("DV"), QStringLiteral("F100"));
    e.EnregistrerFactCli(deuxDossiers(), QStringLiteral("D4"), QStringLiteral("DV"), QStringLiteral("F100"));
    const QString ecrit = QStringLiteral("F100|D1|2024-03-05|DV|07/12/2026 22:32|95.0");
    QCOMPARE(base->contenuFactCli(),
             (QStringList{ecrit, ecrit, QStringLiteral("F100|D2|j3|d3|m3|3.0"),
                          QStringLiteral("F100|D4|2024-03-05|DV|07/12/2026 22:32|0.0")}));
}

void TestEcritureFactCli::autresColonnes() {
    // The host's FACTCLI may carry more columns: a new row takes their defaults, a rewritten row keeps them.
    base->executer(QStringLiteral("ALTER TABLE FACTCLI ADD COLUMN ORIGINE TEXT DEFAULT 'hôte'"));
    base->executer(QStringLiteral("INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, Montant, ORIGINE) "
                                  "VALUES ('F100', 'D1', 3, 'saisie')"));
    auto e = ecriture();
    e.EnregistrerFactCli(deuxDossiers(), QStringLiteral("D1"), QStringLiteral("DV"), QStringLiteral("F100"));
    e.EnregistrerFactCli(deuxDossiers(), QStringLiteral("D2"), QStringLiteral("DV"), QStringLiteral("F100"));
    QSqlQuery q(base->base());
    QVERIFY(q.exec(QStringLiteral("SELECT NUM_DOSSIER, Montant, ORIGINE FROM FACTCLI ORDER BY rowid")));
    QStringList lu;
    while (q.next())
        lu << QStringLiteral("%1 %2 %3")
                  .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    QCOMPARE(lu, (QStringList{QStringLiteral("D1 95 saisie"), QStringLiteral("D2 40 hôte")}));
}

void TestEcritureFactCli::apostrophes() {
    base->factCli(QStringLiteral("F'1"), QStringLiteral("D'1"), QStringLiteral("j"), QStringLiteral("d"),
                  QStringLiteral("m"), 1);
    base->factCli(QStringLiteral("F1"), QStringLiteral("D1"), QStringLiteral("j"), QStringLiteral("d"),
                  QStringLiteral("m"), 1);
    auto f = deuxDossiers();
    f.DossierFacture = QStringLiteral("D'1");
    auto e = ecriture();
    e.EnregistrerFactCli(f, QStringLiteral("D'1"), QStringLiteral("DV'"), QStringLiteral("F'1"));
    e.EnregistrerFactCli(f, QStringLiteral("D' OR ''='"), QStringLiteral("DV"), QStringLiteral("F1"));
    QCOMPARE(base->contenuFactCli(),
             (QStringList{QStringLiteral("F'1|D'1|2024-03-05|DV'|07/12/2026 22:32|135.0"),
                          QStringLiteral("F1|D1|j|d|m|1.0"),
                          QStringLiteral("F1|D' OR ''='|2024-03-05|DV|07/12/2026 22:32|135.0")}));
}

void TestEcritureFactCli::lectureEtEcritureCentimes_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("facture") << QStringLiteral("F")
                             << QStringLiteral("F7|D1|2024-03-05|DV1|07/12/2026 22:32|24.5");
    QTest::newRow("avoir") << QStringLiteral("A")
                           << QStringLiteral("F7|D1|2024-03-05|DV1|07/12/2026 22:32|-24.75");
}

void TestEcritureFactCli::lectureEtEcritureCentimes() {
    // From the invoice to FACTCLI under the user's locale (a comma one in the French run): the cents of
    // the lines and of the discounts survive the record.
    QFETCH(QString, type);
    QFETCH(QString, attendu);
    base->facture(QStringLiteral("F7"), QStringLiteral("2024-03-05"), QStringLiteral("D1"),
                  tranche(1, QStringLiteral("12.50"), QStringLiteral("DV1"), QStringLiteral("D1")) +
                      tranche(2, QStringLiteral("12.25"), QStringLiteral("DV1"), QStringLiteral("D1")),
                  type);
    base->ligne(QStringLiteral("F7"), 4, 2, 0.25, QStringLiteral("R"));
    LecteurFacture lecteur(*connexion);
    EnregistrementFacture f;
    QCOMPARE(lecteur.LireFacture(QStringLiteral("F7"), f), ResultatLecture::Lue);
    QCOMPARE(f.cellule(2, MontantLigne), QStringLiteral("12.50"));
    QCOMPARE(f.cellule(4, MontantRemise), QStringLiteral("0.25"));
    auto e = ecriture();
    e.EnregistrerFactCli(f, QStringLiteral("D1"), QStringLiteral("DV1"), QStringLiteral("F7"));
    QCOMPARE(base->contenuFactCli(), QStringList{attendu});
}

QTEST_GUILESS_MAIN(TestEcritureFactCli)
#include "tst_EcritureFactCli.moc"
