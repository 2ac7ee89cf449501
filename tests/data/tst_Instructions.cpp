#include "BaseTest.h"
#include "Lot.h"
#include "data/Catalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;

// Every statement the program can send, per dialect, kept in tests/data/instructions.txt so that a
// change to any of them shows in review. CC_REGENERER=1 writes the file anew from the program.
class TestInstructions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fichierDeReference();
    void prepareesSurSQLite();
};

namespace {

QStringList lignesDuCatalogue() {
    QStringList lignes{
        u"# Every statement the program can send, per database (CC_REGENERER=1 rewrites it)."_s};
    for (const DialecteListe& d : DialectesListes()) {
        lignes << QString() << u"== "_s + d.nom;
        lignes << InstructionsDuDialecte(d.dialecte);
    }
    return lignes;
}

} // namespace

void TestInstructions::fichierDeReference() {
    const QStringList obtenu = lignesDuCatalogue();
    QFile fichier(QStringLiteral(CC_FICHIER_INSTRUCTIONS));
    if (qEnvironmentVariableIsSet("CC_REGENERER")) {
        QVERIFY(fichier.open(QIODevice::WriteOnly | QIODevice::Truncate));
        fichier.write((obtenu.join(u'\n') + u'\n').toUtf8());
        return;
    }
    QVERIFY2(fichier.open(QIODevice::ReadOnly), qPrintable(fichier.fileName()));
    QStringList attendu = QString::fromUtf8(fichier.readAll()).split(u'\n');
    if (attendu.last().isEmpty())
        attendu.removeLast();
    const QString difference = cc::test::premiereDifference(attendu, obtenu);
    QVERIFY2(difference.isEmpty(),
             qPrintable(u"The program's statements differ from %1 (after a wanted change: CC_REGENERER=1 "
                        "ctest -R tst_Instructions, then review the diff):\n"_s.arg(fichier.fileName()) +
                        difference));
}

// The statements listed are those a real SQLite company database prepares, each of them (SQLite
// checks tables, columns and syntax when preparing).
void TestInstructions::prepareesSurSQLite() {
    QTemporaryDir dossier;
    const cc::test::BaseTest base(dossier.filePath(u"vendrax.mdb"_s));
    auto connexion = Connexion::ouvrirSQLite(base.chemin());
    QStringList preparees;
    const QString ecart = cc::test::EcartInstructions(*connexion, preparees);
    QVERIFY2(ecart.isEmpty(), qPrintable(ecart));
}

QTEST_GUILESS_MAIN(TestInstructions)
#include "tst_Instructions.moc"
