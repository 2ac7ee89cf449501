// Random companies checked by the program and by a small model written from the rules: the report, the
// findings file and FACTCLI afterwards must agree to the byte and to the bit, and the undo of a repair
// must give FACTCLI back as it was.
#include "FichierConstats.h"
#include "Lot.h"
#include "Modele.h"

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

QTEST_GUILESS_MAIN(TestDifferentiel)
#include "tst_Differentiel.moc"
