#include "checks/EcritureFactCli.h"

#include <QTest>

using namespace cc;

namespace {

// Rows written "row|dossier cell|line amount|discount amount".
EnregistrementFacture record(const QString& type, const QString& dossierFacture, const QStringList& rangees) {
    EnregistrementFacture f;
    f.TypePiece = type;
    f.DossierFacture = dossierFacture;
    for (const QString& r : rangees) {
        const QStringList c = r.split(u'|');
        const int k = c.at(0).toInt();
        f.cellule(k, NumeroDossier) = c.at(1);
        f.cellule(k, MontantLigne) = c.at(2);
        f.cellule(k, MontantRemise) = c.at(3);
    }
    return f;
}

QString exact(double v) {
    return QString::number(v, 'g', 17);
}

} // namespace

class TestMontantDossier : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void montant_data();
    void montant();
};

void TestMontantDossier::montant_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("dossierFacture");
    QTest::addColumn<QStringList>("rangees");
    QTest::addColumn<QString>("dossier");
    QTest::addColumn<double>("attendu");
    const auto cas = [](const char* nom, const char* type, const char* dossierFacture,
                        const QStringList& rangees, const char* dossier, double attendu) {
        QTest::newRow(nom) << QString::fromUtf8(type) << QString::fromUtf8(dossierFacture) << rangees
                           << QString::fromUtf8(dossier) << attendu;
    };
    const auto L = [](std::initializer_list<const char*> l) {
        QStringList r;
        for (const char* s : l)
            r << QString::fromUtf8(s);
        return r;
    };

    const QStringList remise5 = L({"2|D1      |100.00|5"});
    cas("facture: ligne moins remise", "F", "", remise5, "D1", 95.0);
    cas("avoir: moins la ligne, remise ignorée", "A", "", remise5, "D1", -100.0);
    cas("avoir, un dossier", "A", "D1", remise5, "D1", -100.0);
    cas("autre type compté comme facture", "P", "", remise5, "D1", 95.0);
    cas("0.001 ne compte pas", "F", "D1", L({"2|D1|0.001|0"}), "D1", 0.0);
    cas("-0.001 ne compte pas", "F", "D1", L({"2|D1|-0.001|0"}), "D1", 0.0);
    cas("0.002 compte", "F", "D1", L({"2|D1|0.002|0"}), "D1", 0.002);
    cas("remise laissant 0.001", "F", "D1", L({"2|D1|10.001|10"}), "D1", 0.0);
    cas("remise égale", "F", "D1", L({"2|D1|10.00|10", "4|D1|3|"}), "D1", 3.0);
    cas("avoir à 0.001", "A", "D1", L({"2|D1|0.001|0"}), "D1", 0.0);
    cas("12,50 vaut 12", "F", "D1", L({"2|D1|12,50|0"}), "D1", 12.0);
    cas("remise 0,5 vaut 0", "F", "D1", L({"2|D1|12.50|0,5"}), "D1", 12.5);
    cas("cellules non numériques", "F", "", L({"2|D1|abc|xyz"}), "D1", 0.0);

    const QStringList plusieurs =
        L({"2|D1      |1|0", "4|D2      |2|0", "6|        |4|0", "8||8|0", "200|D3|16|0", "0|D1|1000|0"});
    cas("un dossier: tout compte, rangée 0 exceptée", "F", "D1", plusieurs, "D1", 31.0);
    cas("un dossier: même pour un dossier absent", "F", "D1", plusieurs, "ZZ", 31.0);

    const QStringList aaba = L({"2|A       |1|0", "4|A       |2|0", "6|B       |4|0", "8|A       |8|0"});
    cas("A A B A: A", "F", "", aaba, "A", 11.0);
    cas("A A B A: B", "F", "", aaba, "B", 4.0);
    cas("A A B A: dossier absent", "F", "", aaba, "C", 0.0);
    cas("casse différente", "F", "", aaba, "a", 0.0);
    cas("blancs autour du dossier", "F", "", L({"2|  A  |5|0"}), "A", 5.0);

    // Empty cells carry a run on, a cell of blanks ends it; a later run of the dossier counts again.
    cas("cellule vide prolonge, blanche arrête", "F", "",
        L({"2|A|1|0", "4||2|0", "6|        |4|0", "8||8|0", "10|A|16|0", "12||32|0", "200||64|0"}), "A",
        115.0);
    cas("rangée 1 et rangée 200", "F", "", L({"1|A|1|0", "200|A|2|0"}), "A", 3.0);
    cas("rangée 0 jamais lue", "F", "", L({"0|A|1|0", "1||2|0"}), "A", 0.0);

    // Summed in row order as doubles: 0.1 + 0.2 + 0.3, not 0.6.
    cas("ordre des sommes", "F", "", L({"2|A|0.10|0", "4|A|0.20|0", "6|A|0.30|0"}), "A", (0.1 + 0.2) + 0.3);
}

void TestMontantDossier::montant() {
    QFETCH(QString, type);
    QFETCH(QString, dossierFacture);
    QFETCH(QStringList, rangees);
    QFETCH(QString, dossier);
    QFETCH(double, attendu);
    const EnregistrementFacture f = record(type, dossierFacture, rangees);
    QCOMPARE(exact(MontantDossier(f, dossier)), exact(attendu));
}

QTEST_GUILESS_MAIN(TestMontantDossier)
#include "tst_MontantDossier.moc"
