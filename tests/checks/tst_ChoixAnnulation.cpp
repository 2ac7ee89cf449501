// The undo's choice of the row to reverse, alone: which row of the pair, or none and why, for each kind
// of write, found by its locator or by its values, with and without the ages the database may give.
#include "checks/ChoixAnnulation.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;

namespace {

using Issue = ChoixAnnulation::Issue;

// The row of the pair as the run wrote it (E), as it stood before (A), or changed since (X); a digit
// after the letter is its age, for a database that tells how long ago a row was written.
LigneTrouvee rangee(QStringView code, GenreEcritureAnnulee genre) {
    LigneTrouvee l{.numero = u"F1"_s, .dossier = u"D1"_s};
    const QChar lettre = code.front();
    if (genre == GenreEcritureAnnulee::MontantReecrit) {
        // An amount rewritten alone: the row's other values stay, exactly as stored.
        l.jour = lettre == u'X' ? u"2024-01-31"_s : u"2024-02-01"_s;
        l.devis = u"DV0"_s;
        l.dateMaj = u"01/02/2024 09:00"_s;
        l.montant = lettre == u'A' ? 100.0 : 120.0;
    } else if (lettre == u'A') {
        l.jour = u"2024-02-01"_s;
        l.devis = u"DV0"_s;
        l.dateMaj = u"01/02/2024 09:00"_s;
        l.montant = 100.0;
    } else {
        // DATE_MAJ given back in the database's own form.
        l.jour = u"2024-03-01"_s;
        l.devis = u"DV1"_s;
        l.dateMaj = u"2024-03-01 10:30:00"_s;
        l.montant = lettre == u'X' ? 999.0 : 120.0;
    }
    if (code.size() > 1)
        l.age = code.mid(1).toLongLong();
    return l;
}

EcritureAAnnuler ecriture(GenreEcritureAnnulee genre, bool parLocalisateur) {
    EcritureAAnnuler e{.genre = genre, .parLocalisateur = parLocalisateur};
    if (genre == GenreEcritureAnnulee::MontantReecrit) {
        e.ecrite = {
            .jour = u"2024-02-01"_s, .devis = u"DV0"_s, .dateMaj = u"01/02/2024 09:00"_s, .montant = 120.0};
        e.avant = e.ecrite;
        e.avant.montant = 100.0;
        return e;
    }
    e.ecrite = {u"D1"_s, u"F1"_s, u"2024-03-01"_s, u"DV1"_s, u"01/03/2024 10:30"_s, 120.0};
    // A row added had nothing before it.
    if (genre == GenreEcritureAnnulee::LigneReecrite)
        e.avant = {u"D1"_s, u"F1"_s, u"2024-02-01"_s, u"DV0"_s, u"01/02/2024 09:00"_s, 100.0};
    return e;
}

} // namespace

class TestChoixAnnulation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choix_data();
    void choix();
};

void TestChoixAnnulation::choix_data() {
    QTest::addColumn<int>("genre");
    QTest::addColumn<bool>("parLocalisateur");
    QTest::addColumn<QString>("rangees");  // the rows of the pair, in the database's order
    QTest::addColumn<QString>("aLaLigne"); // the row at the locator; empty when gone
    QTest::addColumn<int>("issue");
    QTest::addColumn<int>("choisie"); // the row reversed: its rank, or -1 for the row at the locator

    const int ajout = int(GenreEcritureAnnulee::LigneAjoutee);
    const int ligne = int(GenreEcritureAnnulee::LigneReecrite);
    const int montant = int(GenreEcritureAnnulee::MontantReecrit);
    const int annuler = int(Issue::Annuler);
    const int deja = int(Issue::DejaRetablie);
    const int modifiee = int(Issue::ModifieeDepuis);
    const int indiscernable = int(Issue::Indiscernable);
    // By locator: the very row, or nothing.
    QTest::newRow("ajout au localisateur") << ajout << true << u"E"_s << u"E"_s << annuler << -1;
    QTest::newRow("ajout parti") << ajout << true << u""_s << u""_s << deja << 0;
    QTest::newRow("ajout changé") << ajout << true << u"X"_s << u"X"_s << modifiee << 0;
    QTest::newRow("doublon pareil, localisateur changé")
        << ajout << true << u"E"_s << u"X"_s << modifiee << 0;
    QTest::newRow("réécriture déjà rétablie") << ligne << true << u"A"_s << u"A"_s << deja << 0;
    QTest::newRow("réécriture déplacée puis rétablie") << ligne << true << u"A"_s << u""_s << deja << 0;
    QTest::newRow("réécriture déplacée et changée") << ligne << true << u"X"_s << u""_s << modifiee << 0;
    // Gone from its locator (rowids renumbered, a rewrite moved it): found by its values, when alone.
    QTest::newRow("ajout renuméroté") << ajout << true << u"X,E"_s << u""_s << annuler << 1;
    QTest::newRow("ajout renuméroté, deux pareils")
        << ajout << true << u"E,E"_s << u""_s << indiscernable << 0;
    QTest::newRow("ajout renuméroté et changé") << ajout << true << u"X"_s << u""_s << modifiee << 0;
    QTest::newRow("réécriture déplacée, un double rétabli")
        << ligne << true << u"A,X"_s << u""_s << modifiee << 0;
    // By values.
    QTest::newRow("ajout parmi d'autres") << ajout << false << u"X,E"_s << u""_s << annuler << 1;
    QTest::newRow("ajout supprimé") << ajout << false << u""_s << u""_s << deja << 0;
    QTest::newRow("ajout remplacé") << ajout << false << u"X"_s << u""_s << modifiee << 0;
    QTest::newRow("ajout, la plus récente") << ajout << false << u"E9,E2,E5"_s << u""_s << annuler << 1;
    QTest::newRow("réécriture sans âges") << ligne << false << u"A,E,E"_s << u""_s << annuler << 1;
    QTest::newRow("réécriture rétablie sans âges") << ligne << false << u"A,X"_s << u""_s << deja << 0;
    QTest::newRow("réécriture changée sans âges") << ligne << false << u"X"_s << u""_s << modifiee << 0;
    // With ages, the newest of the rows written or as before decides: an older row holding what the run
    // wrote is a duplicate, not the row an earlier undo put back.
    QTest::newRow("réécriture, la plus récente écrite")
        << ligne << false << u"A9,E2"_s << u""_s << annuler << 1;
    QTest::newRow("réécriture, la plus récente rétablie")
        << ligne << false << u"E9,A2"_s << u""_s << deja << 0;
    QTest::newRow("réécriture rétablie puis un double changé")
        << ligne << false << u"A5,X2"_s << u""_s << modifiee << 0;
    QTest::newRow("montant réécrit") << montant << false << u"E"_s << u""_s << annuler << 0;
    QTest::newRow("montant rétabli") << montant << false << u"A"_s << u""_s << deja << 0;
    QTest::newRow("montant d'un doublon aux autres valeurs")
        << montant << false << u"X"_s << u""_s << modifiee << 0;
    QTest::newRow("montant au localisateur") << montant << true << u"X,E"_s << u"E"_s << annuler << -1;
}

void TestChoixAnnulation::choix() {
    QFETCH(int, genre);
    QFETCH(bool, parLocalisateur);
    QFETCH(QString, rangees);
    QFETCH(QString, aLaLigne);
    QFETCH(int, issue);
    QFETCH(int, choisie);
    const auto g = GenreEcritureAnnulee(genre);
    std::vector<LigneTrouvee> lignes;
    for (const QString& code : rangees.split(u',', Qt::SkipEmptyParts))
        lignes.push_back(rangee(code, g));
    std::optional<LigneTrouvee> localisee;
    if (!aLaLigne.isEmpty())
        localisee = rangee(aLaLigne, g);

    const ChoixAnnulation c = ChoisirAnnulation(ecriture(g, parLocalisateur), lignes, localisee);
    QCOMPARE(int(c.issue), issue);
    if (c.issue != Issue::Annuler)
        return;
    const LigneTrouvee& attendue = choisie < 0 ? *localisee : lignes[std::size_t(choisie)];
    QCOMPARE(c.ligne.montant, attendue.montant);
    QCOMPARE(c.ligne.age, attendue.age);
    QCOMPARE(c.ligne.jour, attendue.jour);
}

QTEST_GUILESS_MAIN(TestChoixAnnulation)
#include "tst_ChoixAnnulation.moc"
