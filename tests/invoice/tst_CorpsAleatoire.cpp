#include "VerificationCorps.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;

namespace {

// Pieces that make numbers and slices go wrong in every way.
const QStringList morceaux{u" "_s,  u"0"_s,  u"7"_s,    u"9"_s,  u"."_s,  u","_s, u"-"_s,
                           u"+"_s,  u"E"_s,  u"e"_s,    u"D1"_s, u"é"_s,  u"€"_s, u"😀"_s,
                           u"\t"_s, u"E9"_s, u"E999"_s, u"00"_s, u"01"_s, u"\n"_s};

// Exponents may overflow a double: they are only drawn when asked.
QString bruit(QRandomGenerator& g, int longueur, bool depassement = true) {
    QString s;
    while (s.size() < longueur) {
        const QString& m = morceaux.at(g.bounded(morceaux.size()));
        if (depassement || !(m.startsWith(u'E') || m.startsWith(u'e')))
            s += m;
    }
    // Cut anywhere, even inside a surrogate pair.
    s.truncate(longueur);
    return s;
}

QString champ(QRandomGenerator& g, int longueur, bool depassement) {
    switch (g.bounded(4)) {
    case 0:
        return QString(longueur, u' ');
    case 1:
        return QString::number(g.bounded(-100000, 100000) / 100.0)
            .rightJustified(longueur, u' ')
            .left(longueur);
    default:
        return bruit(g, longueur, depassement);
    }
}

// A Corps of slices mostly in order, with gaps, repeats, bad numbers and a cut end.
QString corpsAleatoire(QRandomGenerator& g, const QString& dossier) {
    QString corps;
    int numero = 0;
    const int tranches = g.bounded(0, 110);
    const bool propre = g.bounded(3) == 0;
    const bool depassement = g.bounded(30) == 0;
    for (int i = 0; i < tranches; ++i) {
        const int pas =
            !propre && g.bounded(40) == 0 ? -g.bounded(3) : 1 + (g.bounded(8) == 0 ? 1 + g.bounded(2) : 0);
        numero = std::clamp(numero + pas, 0, 120);
        QString t = u"%1"_s.arg(numero % 100, 2, 10, QLatin1Char('0'));
        if (!propre && g.bounded(100) == 0)
            t = bruit(g, 2);
        t += champ(g, 112, depassement);
        t += g.bounded(3) == 0 ? champ(g, 8, depassement) : u"DV1     "_s;
        t += g.bounded(3) == 0 ? champ(g, 8, depassement) : dossier.leftJustified(8, u' ');
        t += champ(g, 20, depassement);
        corps += t.left(150).leftJustified(150, u' ');
    }
    if (!corps.isEmpty() && g.bounded(2) == 0)
        corps.truncate(g.bounded(corps.size()));
    return corps;
}

} // namespace

class TestCorpsAleatoire : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void corps();
    void nombres();
};

void TestCorpsAleatoire::corps() {
    // Fixed seed: a failure is reproduced by the same run.
    QRandomGenerator g(20261208);
    int arretees = 0;
    int lignes = 0;
    int completes = 0;
    for (int n = 0; n < 1500; ++n) {
        const QString dossier = g.bounded(2) ? u"D1"_s : QString();
        const QString corps = corpsAleatoire(g, dossier.isEmpty() ? u"D2"_s : dossier);
        int lues = 0;
        const QString erreur = test::verifierCorps(corps, dossier, &lues);
        if (!erreur.isEmpty())
            QFAIL(qPrintable(u"cas %1: %2\n[%3]"_s.arg(n).arg(erreur, corps.left(300))));
        arretees += lues < 0 ? 1 : 0;
        lignes += std::max(lues, 0);
        completes += lues >= 80 ? 1 : 0;
    }
    qInfo("%d arrêtées par un dépassement, %d lignes lues, %d factures de 80 lignes et plus", arretees,
          lignes, completes);
    // The cases must reach the whole reading, not stop early.
    QVERIFY(arretees > 0 && arretees < 150);
    QVERIFY(lignes > 15000);
    QVERIFY(completes > 15);
}

void TestCorpsAleatoire::nombres() {
    QRandomGenerator g(8122026);
    for (int n = 0; n < 50000; ++n) {
        const QString texte = bruit(g, g.bounded(0, 16));
        const QString erreur = test::verifierNombre(texte);
        if (!erreur.isEmpty())
            QFAIL(qPrintable(u"[%1]: %2"_s.arg(texte, erreur)));
    }
}

QTEST_GUILESS_MAIN(TestCorpsAleatoire)
#include "tst_CorpsAleatoire.moc"
