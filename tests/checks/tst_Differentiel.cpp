// Random companies checked by the program and by a small model written from the rules: the report, the
// findings file and FACTCLI afterwards must agree to the byte and to the bit, and the undo of a repair
// must give FACTCLI back as it was.
#include "FichierConstats.h"
#include "Lot.h"
#include "Modele.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc::test;

namespace {

const QString MessageAncienne = u"Cette facture provient de votre ancienne version de Vendrax pour DOS."_s;

QString texteValeur(const QVariant& v) {
    if (v.isNull())
        return u"<null>"_s;
    if (v.metaType().id() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    return u'"' + v.toString() + u'"';
}

QString texteRangee(const QVariant& f, const QVariant& d, const QVariant& j, const QVariant& dv,
                    const QString& dm, const QVariant& m) {
    return QStringList{texteValeur(f), texteValeur(d), texteValeur(j), texteValeur(dv), dm, texteValeur(m)}
        .join(u'|');
}

// Empty when the table is the one the model expects.
QString comparer(const std::vector<modele::LigneFactCli>& attendu, const ResultatLot& r) {
    QStringList differences;
    if (attendu.size() != r.rangees.size())
        differences << u"%1 rows expected, %2 found"_s.arg(attendu.size()).arg(r.rangees.size());
    for (std::size_t i = 0; i < std::min(attendu.size(), r.rangees.size()); ++i) {
        const modele::LigneFactCli& a = attendu[i];
        const RangeeFactCli& o = r.rangees[i];
        const bool egalMontant = a.montant.isNull()
                                     ? o.montant.isNull()
                                     : !o.montant.isNull() && o.montant.toDouble() == a.montant.toDouble();
        const bool egalDate = a.horodatee ? horodatageValide(o.dateMaj.toString(), r.avant, r.apres)
                                          : texteValeur(a.dateMaj) == texteValeur(o.dateMaj);
        const bool egal = texteValeur(a.facture) == texteValeur(o.facture) &&
                          texteValeur(a.dossier) == texteValeur(o.dossier) &&
                          texteValeur(a.jour) == texteValeur(o.jour) &&
                          texteValeur(a.devis) == texteValeur(o.devis) && egalDate && egalMontant;
        if (!egal)
            differences << u"row %1\n  expected %2\n  found    %3"_s.arg(i + 1).arg(
                texteRangee(a.facture, a.dossier, a.jour, a.devis,
                            a.horodatee ? Horodatage : texteValeur(a.dateMaj), a.montant),
                texteRangee(o.facture, o.dossier, o.jour, o.devis, texteValeur(o.dateMaj), o.montant));
        if (differences.size() > 5)
            break;
    }
    return differences.join(u'\n');
}

} // namespace

class TestDifferentiel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lectureDesNombres_data();
    void lectureDesNombres();
    void lectureCsv_data();
    void lectureCsv();
    void aleatoire_data();
    void aleatoire();
    void schemas_data();
    void schemas();
};

// The model's own number reading, since every expected amount rests on it.
void TestDifferentiel::lectureDesNombres_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<double>("attendu");
    QTest::newRow("vide") << QString() << 0.0;
    QTest::newRow("cadré à droite") << u"     123.45"_s << 123.45;
    QTest::newRow("virgule") << u"12,50"_s << 12.0;
    QTest::newRow("négatif") << u"-12.5"_s << -12.5;
    QTest::newRow("blancs dedans") << u" 1 2 . 5"_s << 12.5;
    QTest::newRow("point seul") << u"."_s << 0.0;
    QTest::newRow("signe seul") << u"-"_s << 0.0;
    QTest::newRow("exposant") << u"1E3"_s << 1000.0;
    QTest::newRow("exposant incomplet") << u"1E"_s << 1.0;
    QTest::newRow("lettres") << u"abc"_s << 0.0;
}

void TestDifferentiel::lectureDesNombres() {
    QFETCH(QString, texte);
    QFETCH(double, attendu);
    QCOMPARE(modele::lireNombre(texte), attendu);
}

// The reading of the findings file: what it accepts is what the comparison with the model holds the
// program to.
void TestDifferentiel::lectureCsv_data() {
    QTest::addColumn<QByteArray>("octets");
    QTest::addColumn<QStringList>("lignes"); // fields joined by "|"; empty when the bytes are refused
    const QByteArray bom = "\xEF\xBB\xBF";
    QTest::newRow("champs simples") << bom + "a;b\r\n;c \r\n" << QStringList{u"a|b"_s, u"|c "_s};
    QTest::newRow("guillemets") << bom + "\"x;y\";\"un \"\"mot\"\"\";\"\"\r\n"
                                << QStringList{u"x;y|un \"mot\"|"_s};
    QTest::newRow("fin de ligne entre guillemets") << bom + "\"l1\r\nl2\";\xC3\xA9\r\n"
                                                   << QStringList{u"l1\r\nl2|é"_s};
    QTest::newRow("sans marque d'ordre") << QByteArray("a;b\r\n") << QStringList();
    QTest::newRow("LF seul") << bom + "a;b\n" << QStringList();
    QTest::newRow("dernière ligne sans fin") << bom + "a;b\r\nc" << QStringList();
    QTest::newRow("guillemet dans un champ nu") << bom + "a\"b\r\n" << QStringList();
    QTest::newRow("texte après un guillemet fermant") << bom + "\"a\"b\r\n" << QStringList();
    QTest::newRow("guillemet jamais fermé") << bom + "\"a;b\r\n" << QStringList();
    QTest::newRow("pas UTF-8") << bom + "\xE9\r\n" << QStringList();
}

void TestDifferentiel::lectureCsv() {
    QFETCH(QByteArray, octets);
    QFETCH(QStringList, lignes);
    const LectureCsv lu = lireCsv(octets);
    QCOMPARE(lu.erreur.isEmpty(), !lignes.isEmpty());
    if (lignes.isEmpty())
        return;
    QStringList obtenues;
    for (const QStringList& l : lu.lignes)
        obtenues << l.join(u'|');
    QCOMPARE(obtenues, lignes);
}

void TestDifferentiel::aleatoire_data() {
    QTest::addColumn<quint32>("graine");
    QTest::addColumn<bool>("aPartirDesFactures");
    QTest::addColumn<bool>("ajouter");
    QTest::addColumn<bool>("mettreAJour");
    QTest::addColumn<int>("factures");
    QTest::addColumn<QString>("parcours");
    // The walk by lots, by invoice and the reference walk must all agree with the model.
    for (const QString& parcours : {QString(), u"reference"_s, u"facture"_s}) {
        for (quint32 graine : {11u, 23u, 37u}) {
            const auto nom = [&](const char* cas) {
                return u"graine %1, %2%3"_s.arg(graine)
                    .arg(QLatin1String(cas), parcours.isEmpty() ? QString() : u", "_s + parcours)
                    .toUtf8();
            };
            QTest::newRow(nom("factcli").constData()) << graine << false << true << true << 120 << parcours;
            QTest::newRow(nom("factures").constData()) << graine << true << false << false << 120 << parcours;
            QTest::newRow(nom("factures, ajouter").constData())
                << graine << true << true << false << 120 << parcours;
            QTest::newRow(nom("factures, mettre à jour").constData())
                << graine << true << false << true << 120 << parcours;
            QTest::newRow(nom("factures, les deux").constData())
                << graine << true << true << true << 120 << parcours;
        }
    }
    // Several lots, with writes in each: the FACTCLI rows of a lot are fetched again after a write.
    QTest::newRow("graine 51, plusieurs lots, factcli") << 51u << false << false << false << 700 << QString();
    QTest::newRow("graine 51, plusieurs lots, les deux") << 51u << true << true << true << 700 << QString();
}

void TestDifferentiel::aleatoire() {
    QFETCH(quint32, graine);
    QFETCH(bool, aPartirDesFactures);
    QFETCH(bool, ajouter);
    QFETCH(bool, mettreAJour);
    QFETCH(int, factures);
    QFETCH(QString, parcours);

    const QDate du(2024, 3, 1);
    const QDate au(2024, 3, 31);
    const modele::Societe societe = modele::generer(graine, factures, du, au);
    Lot lot;
    if (!parcours.isEmpty())
        lot.definirVariable(u"CC_PARCOURS"_s, parcours);
    societe.remplir(lot.base());

    const modele::Options options{du, au, aPartirDesFactures, ajouter, mettreAJour};
    const modele::Attendu attendu = modele::simuler(societe, options);
    // A company that shows nothing would prove nothing.
    QVERIFY(attendu.rapport.size() >= 4);

    const ResultatLot r = lot.lancer(argumentsLot(du.toString(Qt::ISODate), au.toString(Qt::ISODate),
                                                  aPartirDesFactures, ajouter, mettreAJour));
    QVERIFY2(r.code == (attendu.rapport.isEmpty() ? 0 : 1),
             qPrintable(QString::number(r.code) + u' ' + r.erreurs));
    QVERIFY2(r.rapport == octetsRapport(attendu.rapport),
             qPrintable(premiereDifference(attendu.rapport, r.lignesRapport())));
    const QString diff = comparer(attendu.factCli, r);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(r.compterErreurs(MessageAncienne), attendu.messagesAnciennes);
    const QString constats = comparerConstats(attendu.constats, r);
    QVERIFY2(constats.isEmpty(), qPrintable(constats));
    const QString resume = comparerResume(r);
    QVERIFY2(resume.isEmpty(), qPrintable(resume));

    if (!(aPartirDesFactures && ajouter && mettreAJour))
        return;
    // Once repaired, a plain run reports only what cannot be repaired.
    modele::Societe reparee = societe;
    reparee.factCli = attendu.factCli;
    const modele::Attendu ensuite = modele::simuler(reparee, {du, au, true, false, false});
    const ResultatLot r2 =
        lot.lancer(argumentsLot(du.toString(Qt::ISODate), au.toString(Qt::ISODate), true, false, false));
    QVERIFY2(r2.rapport == octetsRapport(ensuite.rapport),
             qPrintable(premiereDifference(ensuite.rapport, r2.lignesRapport())));
    QVERIFY(ensuite.rapport.size() < attendu.rapport.size());
    QCOMPARE(r2.factCli, r.factCli);
    const QString constatsEnsuite = comparerConstats(ensuite.constats, r2);
    QVERIFY2(constatsEnsuite.isEmpty(), qPrintable(constatsEnsuite));

    // The undo of the repair gives FACTCLI back exactly; a second undo finds nothing left to do.
    QVERIFY(!ecritures(attendu.constats).empty());
    for (const bool dejaFaite : {false, true}) {
        const ResultatLot annulation = lot.annuler(r.constats);
        const QString quand = dejaFaite ? u"second undo: "_s : u"first undo: "_s;
        const QString retablie = comparer(societe.factCli, annulation);
        QVERIFY2(retablie.isEmpty(), qPrintable(quand + retablie));
        const QString compteRendu = verifierAnnulation(r, annulation, dejaFaite);
        QVERIFY2(compteRendu.isEmpty(), qPrintable(quand + compteRendu));
    }
}

// Random companies whose FACTCLI the database compares otherwise than byte for byte (collations,
// numeric affinity) or returns in an index's order. The model does not know these comparisons: the
// three walks must agree with each other, and with the model where the schema is the usual one.
void TestDifferentiel::schemas_data() {
    QTest::addColumn<quint32>("graine");
    QTest::addColumn<QString>("factCli"); // the key columns' declarations
    QTest::addColumn<QString>("index");
    QTest::addColumn<bool>("chiffres"); // invoice numbers of digits, zero-padded now and then in FACTCLI
    const QString texte = u"NUM_FACTURE TEXT, NUM_DOSSIER TEXT"_s;
    const QString indexDemo = u"CREATE INDEX IX_FACTCLI ON FACTCLI (NUM_FACTURE, NUM_DOSSIER)"_s;
    for (quint32 graine : {11u, 23u}) {
        const auto ligne = [&](const char* cas) {
            return u"graine %1, %2"_s.arg(graine).arg(QLatin1String(cas));
        };
        QTest::newRow(ligne("index de la démo").toUtf8().constData())
            << graine << texte << indexDemo << false;
        QTest::newRow(ligne("NOCASE").toUtf8().constData())
            << graine << u"NUM_FACTURE TEXT COLLATE NOCASE, NUM_DOSSIER TEXT COLLATE NOCASE"_s << QString()
            << false;
        QTest::newRow(ligne("RTRIM, index de la démo").toUtf8().constData())
            << graine << u"NUM_FACTURE TEXT COLLATE RTRIM, NUM_DOSSIER TEXT COLLATE RTRIM"_s << indexDemo
            << false;
        QTest::newRow(ligne("RTRIM sans type").toUtf8().constData())
            << graine << u"NUM_FACTURE COLLATE RTRIM, NUM_DOSSIER COLLATE RTRIM"_s << QString() << false;
        QTest::newRow(ligne("numéros en affinité numérique").toUtf8().constData())
            << graine << u"NUM_FACTURE INTEGER, NUM_DOSSIER NUMERIC"_s << QString() << true;
        QTest::newRow(ligne("numéros de chiffres, texte").toUtf8().constData())
            << graine << texte << QString() << true;
    }
}

void TestDifferentiel::schemas() {
    QFETCH(quint32, graine);
    QFETCH(QString, factCli);
    QFETCH(QString, index);
    QFETCH(bool, chiffres);
    const QDate du(2024, 3, 1);
    const QDate au(2024, 3, 31);
    modele::Societe societe = modele::generer(graine, 300, du, au);
    if (chiffres) {
        // F00012 becomes 00012, and now and then 12 in FACTCLI or in a second invoice: one key for a
        // number column, two for a text one.
        const auto enChiffres = [](QVariant& v, bool court) {
            if (v.isNull())
                return;
            QString t = v.toString().remove(u'F').remove(u'\'');
            if (court)
                t.remove(QRegularExpression(u"^0+"_s));
            v = t;
        };
        for (modele::Remise& r : societe.remises)
            enChiffres(r.numero, false);
        std::vector<modele::Facture> factures;
        for (std::size_t i = 0; i < societe.factures.size(); ++i) {
            modele::Facture f = societe.factures[i];
            enChiffres(f.numero, false);
            factures.push_back(f);
            if (i % 5 == 0) {
                enChiffres(f.numero, true);
                factures.push_back(f);
            }
        }
        societe.factures = factures;
        for (std::size_t i = 0; i < societe.factCli.size(); ++i)
            enChiffres(societe.factCli[i].facture, i % 3 == 0);
    }
    // Rows the database may take for the next one (a padded or case-variant dossier, a padded
    // number), inserted before it with another amount: first in rowid order, not in an index's.
    std::vector<modele::LigneFactCli> factCliVariee;
    for (std::size_t i = 0; i < societe.factCli.size(); ++i) {
        const modele::LigneFactCli& l = societe.factCli[i];
        if (!l.facture.isNull() && !l.dossier.isNull() && i % 4 == 0) {
            modele::LigneFactCli variante = l;
            variante.montant = 5.0;
            if (i % 12 == 0)
                variante.facture = l.facture.toString() + u' ';
            else if (i % 8 == 0)
                variante.dossier = l.dossier.toString().toLower();
            else
                variante.dossier = l.dossier.toString() + u' ';
            factCliVariee.push_back(variante);
        }
        factCliVariee.push_back(l);
    }
    societe.factCli = factCliVariee;
    const modele::Options options{du, au, true, true, true};
    const QStringList arguments =
        argumentsLot(du.toString(Qt::ISODate), au.toString(Qt::ISODate), true, true, true);
    std::vector<ResultatLot> resultats;
    for (const QString& parcours : {u"reference"_s, u"facture"_s, QString()}) {
        Lot lot;
        if (!parcours.isEmpty())
            lot.definirVariable(u"CC_PARCOURS"_s, parcours);
        lot.base().executer(u"DROP TABLE FACTCLI"_s);
        lot.base().executer(u"CREATE TABLE FACTCLI ("_s + factCli +
                            u", JOUR TEXT, NUM_DEVIS TEXT, DATE_MAJ TEXT, Montant REAL)"_s);
        if (!index.isEmpty())
            lot.base().executer(index);
        societe.remplir(lot.base());
        resultats.push_back(lot.lancer(arguments));
        QVERIFY2(resultats.back().code == 1, qPrintable(resultats.back().erreurs));
    }
    const ResultatLot& reference = resultats.front();
    for (std::size_t i = 1; i < resultats.size(); ++i) {
        const ResultatLot& r = resultats[i];
        QVERIFY2(r.rapport == reference.rapport,
                 qPrintable(premiereDifference(reference.lignesRapport(), r.lignesRapport())));
        const Constats a = lireConstats(reference);
        const Constats b = lireConstats(r);
        QVERIFY(a.erreur.isEmpty() && b.erreur.isEmpty());
        QVERIFY2(a.lignes == b.lignes, i == 1 ? "walk by invoice" : "walk by lots");
        QCOMPARE(r.factCli.size(), reference.factCli.size());
        for (std::size_t k = 0; k < r.rangees.size(); ++k) {
            const RangeeFactCli& x = r.rangees[k];
            const RangeeFactCli& y = reference.rangees[k];
            QCOMPARE(x.facture, y.facture);
            QCOMPARE(x.dossier, y.dossier);
            QCOMPARE(x.montant, y.montant);
        }
    }
    // The model compares as the usual schema does, and takes the rows in rowid order.
    if (factCli != u"NUM_FACTURE TEXT, NUM_DOSSIER TEXT" || !index.isEmpty())
        return;
    const modele::Attendu attendu = modele::simuler(societe, options);
    QVERIFY2(reference.rapport == octetsRapport(attendu.rapport),
             qPrintable(premiereDifference(attendu.rapport, reference.lignesRapport())));
}

QTEST_GUILESS_MAIN(TestDifferentiel)
#include "tst_Differentiel.moc"
