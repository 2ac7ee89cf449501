// Strange and hostile data, names and settings: every run ends in the report and FACTCLI that the rules
// give, or in a clear error; never a crash, never a statement other than the intended one, and the host
// product's database passwords appear nowhere.
#include "Lot.h"
#include "Modele.h"
#include "ReglagesTest.h"
#include "commun/Windows1252.h"
#include "data/ReglagesHote.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

using namespace cc;
using namespace cc::test;

namespace {

const QDate Du(2024, 3, 1);
const QDate Au(2024, 3, 31);

QByteArray octets(const QStringList& lignes) {
    QByteArray b;
    for (const QString& l : lignes)
        b += cc::EncoderWindows1252(l) + QByteArrayLiteral("\r\n");
    return b;
}

QString texteValeur(const QVariant& v) {
    if (v.isNull())
        return u"<null>"_s;
    if (v.metaType().id() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    return u'"' + v.toString() + u'"';
}

QString comparer(const std::vector<modele::LigneFactCli>& attendu, const ResultatLot& r) {
    if (attendu.size() != r.rangees.size())
        return u"%1 rows expected, %2 found"_s.arg(attendu.size()).arg(r.rangees.size());
    for (std::size_t i = 0; i < attendu.size(); ++i) {
        const modele::LigneFactCli& a = attendu[i];
        const RangeeFactCli& o = r.rangees[i];
        const bool egalMontant = a.montant.isNull()
                                     ? o.montant.isNull()
                                     : !o.montant.isNull() && o.montant.toDouble() == a.montant.toDouble();
        const bool egalDate = a.horodatee ? horodatageValide(o.dateMaj.toString(), r.avant, r.apres)
                                          : texteValeur(a.dateMaj) == texteValeur(o.dateMaj);
        if (!(texteValeur(a.facture) == texteValeur(o.facture) &&
              texteValeur(a.dossier) == texteValeur(o.dossier) &&
              texteValeur(a.jour) == texteValeur(o.jour) && texteValeur(a.devis) == texteValeur(o.devis) &&
              egalDate && egalMontant))
            return u"row %1: expected %2|%3|%4, found %5|%6|%7"_s.arg(i + 1).arg(
                texteValeur(a.facture), texteValeur(a.dossier), texteValeur(a.montant),
                texteValeur(o.facture), texteValeur(o.dossier), texteValeur(o.montant));
    }
    return {};
}

// The passwords of the host product's databases.
QString motDePasseVisible(const ResultatLot& r) {
    for (const QString& mdp : {u"MBRTQL"_s, u"mbrtql"_s}) {
        if (r.sortie.contains(mdp, Qt::CaseInsensitive) || r.erreurs.contains(mdp, Qt::CaseInsensitive) ||
            QString::fromLatin1(r.rapport).contains(mdp, Qt::CaseInsensitive))
            return u"the password shows:\n"_s + r.erreurs;
    }
    return {};
}

// Everything but FACTCLI, and the schema, as text: a run may change FACTCLI alone.
QStringList horsFactCli(BaseTest& base) {
    QStringList t;
    for (const QString& sql :
         {u"SELECT type, name, sql FROM sqlite_master ORDER BY name"_s,
          u"SELECT * FROM FACTURES ORDER BY rowid"_s, u"SELECT * FROM FACTURES_LIGNE ORDER BY rowid"_s}) {
        QSqlQuery q(base.base());
        if (!q.exec(sql))
            qFatal("horsFactCli");
        while (q.next()) {
            QStringList champs;
            for (int i = 0; i < 8; ++i)
                champs << texteValeur(q.value(i));
            t << champs.join(u'|');
        }
    }
    return t;
}

QString remplacerA(QString texte, qsizetype position, const QString& par) {
    if (position + par.size() <= texte.size())
        texte.replace(position, par.size(), par);
    return texte;
}

// The slices of a Corps, then put back together.
QStringList tranches(const QString& corps) {
    QStringList t;
    for (qsizetype i = 0; i < corps.size(); i += 150)
        t << corps.mid(i, 150);
    return t;
}

QString numeroHostile(int i) {
    static const QStringList noms{u"F'1"_s,
                                  u"F\"2"_s,
                                  u"F;3"_s,
                                  u"' OR '1'='1"_s,
                                  u"F'); DROP TABLE FACTCLI; --"_s,
                                  u"%_*?"_s,
                                  u"\\x00'||'"_s,
                                  u"F4' UNION SELECT 1,2,3,4,5,6 --"_s};
    return noms[i % noms.size()] + QString::number(i);
}

// Makes a company strange in one way.
void rendreHostile(modele::Societe& s, const QString& maniere, QRandomGenerator& alea) {
    for (std::size_t n = 0; n < s.factures.size(); ++n) {
        modele::Facture& f = s.factures[n];
        QString corps = f.corps.toString();
        if (maniere == u"nul") {
            for (int k = 0; k < 4 && !corps.isEmpty(); ++k)
                corps[alea.bounded(int(corps.size()))] = QChar(0);
        } else if (maniere == u"controle") {
            for (int k = 0; k < 6 && !corps.isEmpty(); ++k)
                corps[alea.bounded(int(corps.size()))] = QChar(char16_t(1 + alea.bounded(31)));
        } else if (maniere == u"multioctet") {
            static const QStringList lettres{u"é"_s, u"€"_s, u"中"_s, u"Ω"_s, u"\u00A0"_s};
            QStringList t = tranches(corps);
            for (QString& tr : t) {
                tr = remplacerA(tr, 30, u"Désignation "_s + lettres[alea.bounded(int(lettres.size()))]);
                tr = remplacerA(tr, 122 + alea.bounded(8), lettres[alea.bounded(int(lettres.size()))]);
                tr = remplacerA(tr, 114 + alea.bounded(8), lettres[alea.bounded(int(lettres.size()))]);
            }
            corps = t.join(QString());
        } else if (maniere == u"desordre") {
            QStringList t = tranches(corps);
            std::reverse(t.begin(), t.end());
            if (n % 2 == 0 && t.size() > 2)
                std::swap(t[0], t[1]);
            corps = t.join(QString());
        } else if (maniere == u"long" && n % 10 == 0) {
            // Garbage after the real lines, up to 100,000 characters.
            QString reste;
            while (corps.size() + reste.size() < 100000)
                reste += QChar(char16_t(0x20 + alea.bounded(0x5F)));
            corps += reste.left(100000 - corps.size());
        } else if (maniere == u"sql") {
            // Dossiers of SQL text, in Corps (8 characters) and in FACTURES.
            const QString dossier = QStringList{u"';--"_s, u"\"; x"_s, u"1'OR'1"_s}[int(n % 3)];
            QStringList t = tranches(corps);
            for (QString& tr : t)
                tr = remplacerA(tr, 122, dossier.leftJustified(8, u' '));
            corps = t.join(QString());
            if (n % 2 == 0)
                f.dossier = dossier;
        }
        f.corps = corps;
    }
    if (maniere == u"sql") {
        // Invoice numbers of SQL text, the same everywhere they are named.
        QHash<QString, QString> noms;
        int i = 0;
        for (modele::Facture& f : s.factures) {
            const QString ancien = f.numero.toString();
            if (!noms.contains(ancien))
                noms.insert(ancien, numeroHostile(i++));
            f.numero = noms.value(ancien);
        }
        for (modele::Remise& r : s.remises)
            if (noms.contains(r.numero.toString()))
                r.numero = noms.value(r.numero.toString());
        for (modele::LigneFactCli& l : s.factCli)
            if (noms.contains(l.facture.toString()))
                l.facture = noms.value(l.facture.toString());
    }
}

} // namespace

class TestEntreesHostiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void donnees_data();
    void donnees();
    void repertoireSociete_data();
    void repertoireSociete();
    void fichierSqlServer_data();
    void fichierSqlServer();
    void reglagesLongs_data();
    void reglagesLongs();
    void annulationSansFichier_data();
    void annulationSansFichier();
};

void TestEntreesHostiles::donnees_data() {
    QTest::addColumn<QString>("maniere");
    QTest::addColumn<bool>("aPartirDesFactures");
    for (const char* m : {"nul", "controle", "long", "multioctet", "desordre", "sql"}) {
        QTest::addRow("%s, factures", m) << QString::fromLatin1(m) << true;
        QTest::addRow("%s, factcli", m) << QString::fromLatin1(m) << false;
    }
}

// Strange Corps and hostile names: the report and FACTCLI are the ones the rules give; the other
// tables and the schema are as they were.
void TestEntreesHostiles::donnees() {
    QFETCH(QString, maniere);
    QFETCH(bool, aPartirDesFactures);
    QRandomGenerator alea(7);
    modele::Societe societe = modele::generer(31, 40, Du, Au);
    rendreHostile(societe, maniere, alea);
    Lot lot;
    societe.remplir(lot.base());
    const QStringList avant = horsFactCli(lot.base());

    const modele::Attendu attendu = modele::simuler(societe, {Du, Au, aPartirDesFactures, true, true});
    QVERIFY(!attendu.rapport.isEmpty());
    const ResultatLot r = lot.lancer(
        argumentsLot(Du.toString(Qt::ISODate), Au.toString(Qt::ISODate), aPartirDesFactures, true, true));
    QVERIFY2(r.code == 1, qPrintable(QString::number(r.code) + u' ' + r.erreurs));
    QCOMPARE(r.rapport, octets(attendu.rapport));
    const QString diff = comparer(attendu.factCli, r);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(horsFactCli(lot.base()), avant);
    QVERIFY2(motDePasseVisible(r).isEmpty(), qPrintable(motDePasseVisible(r)));
}

void TestEntreesHostiles::repertoireSociete_data() {
    QTest::addColumn<QString>("societe");
    QTest::newRow("remonte") << u"../SOC1"_s;
    QTest::newRow("deux niveaux") << u"A/B"_s;
    QTest::newRow("point point") << u".."_s;
    QTest::newRow("barre inverse") << u"SOC\\1"_s;
#ifndef Q_OS_WIN
    // A name that Windows cannot give a directory.
    QTest::newRow("guillemets") << u"S'O\"C;1"_s;
#endif
}

// A company directory name that climbs or holds a separator: the report still lies in the program's
// directory, under a name of one piece.
void TestEntreesHostiles::repertoireSociete() {
    QFETCH(QString, societe);
    Lot lot(societe);
    lot.base().facture(u"F1"_s, u"2024-03-05"_s, u"D1"_s, tranche(1, u"100.00"_s, u"DV1"_s, u"D1"_s));
    const ResultatLot r =
        lot.lancer(argumentsLot(Du.toString(Qt::ISODate), Au.toString(Qt::ISODate), true, false, false));
    QVERIFY2(r.code == 1, qPrintable(r.erreurs));
    QVERIFY2(QFileInfo(r.cheminRapport).absolutePath() ==
                 QFileInfo(lot.repertoireProgramme()).absoluteFilePath(),
             qPrintable(r.cheminRapport));
    QVERIFY(!QFileInfo(r.cheminRapport).fileName().contains(u'/'));
    QCOMPARE(r.lignesRapport().size(), 2);
    // No report anywhere else; the findings file lies beside it.
    QVERIFY(QFileInfo::exists(r.cheminRapport.chopped(4) + u".csv"_s));
    QDirIterator it(QFileInfo(lot.repertoireProgramme()).absolutePath(), {u"ResultatControl.*.txt"_s},
                    QDir::Files, QDirIterator::Subdirectories);
    int rapports = 0;
    while (it.hasNext()) {
        it.next();
        ++rapports;
    }
    QCOMPARE(rapports, 1);
}

void TestEntreesHostiles::fichierSqlServer_data() {
    QTest::addColumn<QByteArray>("contenu");
    QByteArray binaire(4096, 0);
    QRandomGenerator alea(3);
    for (char& c : binaire)
        c = char(alea.bounded(256));
    QTest::newRow("binaire") << binaire;
    QByteArray gros;
    while (gros.size() < 6 * 1024 * 1024)
        gros += "serveur-tres-long,\"avec;PWD=MBRTQL;\"\r\n";
    QTest::newRow("plusieurs mégaoctets") << gros;
    QTest::newRow("attributs glissés") << QByteArray("srv;UID=sa;PWD=x;DATABASE=master\r\n2008\r\n");
    QTest::newRow("accolades") << QByteArray("{srv}};Trusted_Connection=yes\r\n2005\r\n");
}

// SQLSERVER.DAT of garbage: the connection fails with a clear error (no SQL Server reachable here),
// without a crash and without the password.
void TestEntreesHostiles::fichierSqlServer() {
    QFETCH(QByteArray, contenu);
    Lot lot;
    QFile f(QFileInfo(lot.cheminBase()).absolutePath() + u"/../SQLSERVER.DAT"_s);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(contenu);
    f.close();
    const ResultatLot r =
        lot.lancer(argumentsLot(Du.toString(Qt::ISODate), Au.toString(Qt::ISODate), true, true, true));
    QVERIFY2(r.code == 2, qPrintable(r.erreurs));
    // The start-up check of the environment tries the connection silently and says which base it cannot
    // reach.
    QVERIFY2(r.erreurs.contains(u"Impossible d'accèder à la base SQL Server SOC1"_s), qPrintable(r.erreurs));
    // Even a file that names the password itself does not bring it on screen.
    QVERIFY2(motDePasseVisible(r).isEmpty(), qPrintable(motDePasseVisible(r)));
    QVERIFY(r.rapport.isEmpty());
}

void TestEntreesHostiles::reglagesLongs_data() {
    QTest::addColumn<int>("longueurBase");
    QTest::addColumn<int>("longueurSociete");
    QTest::addColumn<int>("code");
    QTest::newRow("base de 3000 caractères qui mène à la société") << 3000 << 0 << 1;
    QTest::newRow("société de 8 Ko") << 0 << 8192 << 2;
    QTest::newRow("base de 8 Ko") << 8192 << 0 << 2;
}

// Settings values of several kilobytes: a path that long but real is followed; one that cannot be a
// path ends in a clear error.
void TestEntreesHostiles::reglagesLongs() {
    QFETCH(int, longueurBase);
    QFETCH(int, longueurSociete);
    QFETCH(int, code);
    Lot lot;
    lot.base().facture(u"F1"_s, u"2024-03-05"_s, u"D1"_s, tranche(1, u"100.00"_s, u"DV1"_s, u"D1"_s));
    const QString baseReelle = QFileInfo(QFileInfo(lot.cheminBase()).absolutePath()).absolutePath();
    QString base = baseReelle;
    if (longueurBase > 0) {
        // "/." repeated names the same directory.
        QString detour;
        while (detour.size() + 2 <= longueurBase - baseReelle.size() - 5)
            detour += u"/."_s;
        base = code == 1 ? baseReelle + detour : baseReelle + QString(longueurBase, u'x');
    }
    {
        const auto reglages = reglagesHote(lot.repertoireConfiguration());
        reglages->setValue(CleRepertoireBase(), base);
        if (longueurSociete > 0)
            reglages->setValue(CleSocieteActive(), QString(longueurSociete, u'S'));
    }
    const ResultatLot r =
        lot.lancer(argumentsLot(Du.toString(Qt::ISODate), Au.toString(Qt::ISODate), true, true, true));
    QVERIFY2(r.code == code, qPrintable(QString::number(r.code) + u' ' + r.erreurs.left(2000)));
    if (code == 2)
        QVERIFY(!r.erreurs.isEmpty());
    QVERIFY2(motDePasseVisible(r).isEmpty(), qPrintable(motDePasseVisible(r)));
}

void TestEntreesHostiles::annulationSansFichier_data() {
    QTest::addColumn<QString>("fichier");
    QTest::addColumn<QString>("message");
    QTest::newRow("absent") << u"absent"_s << u"n'existe pas"_s;
    QTest::newRow("dossier") << u"dossier"_s << u"est un dossier"_s;
#ifndef Q_OS_WIN
    QTest::newRow("illisible") << u"illisible"_s << u"ne peut pas être lu"_s;
    // A pipe with no writer would block the opening for ever, a device never end.
    QTest::newRow("tube") << u"tube"_s << u"n'est pas un fichier ordinaire"_s;
    QTest::newRow("/dev/zero") << u"/dev/zero"_s << u"n'est pas un fichier ordinaire"_s;
#endif
    QTest::newRow("trop gros") << u"trop gros"_s << u"dépasse 2 Go"_s;
}

// An undo whose findings file cannot be read says so and names the file, before the database is
// opened (here there is none, which would otherwise be the error) and without writing a report.
void TestEntreesHostiles::annulationSansFichier() {
    QFETCH(QString, fichier);
    QFETCH(QString, message);
    Lot lot;
    QVERIFY(lot.supprimerBase());
    const QString chemin = fichier.startsWith(u'/') ? fichier
                                                    : QFileInfo(lot.repertoireProgramme()).absolutePath() +
                                                          u"/constats "_s + fichier;
    if (fichier == u"dossier") {
        QVERIFY(QDir().mkpath(chemin));
    } else if (fichier == u"illisible") {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x\r\n");
        f.close();
        QFile::setPermissions(chemin, QFileDevice::WriteOwner);
        if (QFile(chemin).open(QIODevice::ReadOnly))
            QSKIP("this user reads a file without read permission");
    } else if (fichier == u"trop gros") {
        // Sparse: it takes no room on the disk.
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize((qint64(2) << 30) + 1));
    }
#ifndef Q_OS_WIN
    if (fichier == u"tube")
        QCOMPARE(mkfifo(QFile::encodeName(chemin).constData(), 0600), 0);
#endif
    const ResultatLot r = lot.lancer({u"--annuler"_s, chemin});
    if (fichier == u"illisible")
        QFile::setPermissions(chemin, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY2(r.code == 2, qPrintable(QString::number(r.code) + u' ' + r.erreurs));
    QVERIFY2(r.erreurs.contains(QDir::toNativeSeparators(chemin)) && r.erreurs.contains(message),
             qPrintable(r.erreurs));
    QVERIFY2(!r.erreurs.contains(u"base"_s, Qt::CaseInsensitive), qPrintable(r.erreurs));
    QVERIFY2(r.cheminRapport.isEmpty() && r.sortie.isEmpty(), qPrintable(r.cheminRapport + r.sortie));
}

QTEST_GUILESS_MAIN(TestEntreesHostiles)
#include "tst_EntreesHostiles.moc"
