// The exact values of a write row: every value comes back with its type, the cell survives the CSV
// writer, and a spreadsheet sees texts, never formulas.
#include "report/Constats.h"
#include "report/LectureConstats.h"
#include "report/Sha256.h"
#include "report/ValeursExactes.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

#include <array>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace cc;

class TestValeursExactes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void allerRetour_data();
    void allerRetour();
    void texteAbime_data();
    void texteAbime();
    void formules_data();
    void formules();
    void dates_data();
    void dates();
    void controle();
    void empreinte();
    void rangees_data();
    void rangees();
};

void TestValeursExactes::allerRetour_data() {
    QTest::addColumn<QVariant>("valeur");
    QTest::newRow("Null") << QVariant();
    QTest::newRow("texte vide") << QVariant(u""_s);
    QTest::newRow("blancs de fin") << QVariant(u"F1  "_s);
    QTest::newRow("blancs seuls") << QVariant(u"   "_s);
    QTest::newRow("guillemets, ; et =") << QVariant(u"a\"b;c=d\\e"_s);
    QTest::newRow("fins de ligne et tabulation") << QVariant(u"l1\r\nl2\tfin\x01"_s);
    QTest::newRow("accents et hors BMP") << QVariant(u"Évry — 𝄞"_s);
    QTest::newRow("formule") << QVariant(u"=HYPERLINK(\"x\")"_s);
    QTest::newRow("réel entier") << QVariant(5.0);
    QTest::newRow("réel négatif") << QVariant(-1234.5);
    QTest::newRow("réel sans texte court") << QVariant(0.1 + 0.2);
    QTest::newRow("réel minuscule") << QVariant(1e-300);
    QTest::newRow("réel immense") << QVariant(1.7976931348623157e308);
    QTest::newRow("moins zéro") << QVariant(-0.0);
    QTest::newRow("entier long") << QVariant(qlonglong(9007199254740993));
    QTest::newRow("entier") << QVariant(int(-42));
    QTest::newRow("entier long non signé") << QVariant(qulonglong(18446744073709551615ull));
    QTest::newRow("booléen") << QVariant(true);
    QTest::newRow("date et heure") << QVariant(QDateTime(QDate(2024, 1, 3), QTime(18, 2, 0, 7)));
    QTest::newRow("date et heure UTC") << QVariant(QDateTime(QDate(2024, 1, 3), QTime(18, 2), Qt::UTC));
    QTest::newRow("jour") << QVariant(QDate(2026, 12, 9));
    QTest::newRow("heure") << QVariant(QTime(23, 59, 58, 999));
    QTest::newRow("octets") << QVariant(QByteArray("F1\0 \xff", 5));
}

// Through the encoder and the whole findings file: written by FichierConstats, read back by the CSV reader.
void TestValeursExactes::allerRetour() {
    QFETCH(QVariant, valeur);
    const RangeeExacte ecrit{{u"NUM_DOSSIER"_s, valeur}, {u"Montant"_s, 12.5}};
    const RangeeExacte avant{{u"NUM_DOSSIER"_s, u"D"_s}, {u"Montant"_s, valeur}};
    const QString texte = EncoderValeursExactes({u"2026-12-09T11:30:15"_s, ecrit, avant});
    QVERIFY2(!texte.contains(u'\n') && !texte.contains(u'\r'), qPrintable(texte));

    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(u"c.csv"_s);
    FichierConstats fichier(u"fichier:/b"_s);
    fichier.ouvrir(chemin, QDateTime(QDate(2026, 12, 9), QTime(11, 30, 15)), u"factures"_s);
    fichier.ecrire(
        {.facture = u"F"_s, .action = u"ligne réécrite"_s, .ecrit = ecrit, .avant = avant, .groupe = 1});
    fichier.fermer();
    const std::vector<RangeeConstats> rangees = LireConstats(chemin);
    QCOMPARE(rangees.size(), std::size_t(1));
    const QString cellule = rangees[0].texte(ColonneConstat::ValeursExactes);
    QCOMPARE(cellule, texte);

    const auto lu = DecoderValeursExactes(cellule);
    QVERIFY(lu);
    QCOMPARE(lu->execution, u"2026-12-09T11:30:15"_s);
    QVERIFY(lu->avant);
    for (const auto& [obtenu, attendu] :
         {std::pair(lu->ecrit[0].valeur, valeur), {lu->avant->at(1).valeur, valeur}}) {
        QCOMPARE(obtenu.isNull(), attendu.isNull());
        if (attendu.isNull())
            continue;
        QCOMPARE(obtenu.metaType(), attendu.metaType());
        QCOMPARE(obtenu, attendu);
        if (attendu.typeId() == QMetaType::Double)
            QCOMPARE(std::signbit(obtenu.toDouble()), std::signbit(attendu.toDouble()));
        if (attendu.typeId() == QMetaType::QDateTime)
            QCOMPARE(obtenu.toDateTime().timeSpec(), attendu.toDateTime().timeSpec());
    }
    QCOMPARE(lu->ecrit[1].colonne, u"Montant"_s);
}

// What no encoder wrote is refused, never read as some other values.
void TestValeursExactes::texteAbime_data() {
    QTest::addColumn<QString>("texte");
    QTest::newRow("vide") << QString();
    QTest::newRow("tronqué") << uR"({"execution":"x","ecrit":{"A":"F1)"_s;
    QTest::newRow("sans écrit") << uR"({"execution":"x"})"_s;
    QTest::newRow("clé inconnue") << uR"({"execution":"x","ecrit":{},"autre":1})"_s;
    QTest::newRow("écrit deux fois") << uR"({"execution":"x","ecrit":{},"ecrit":{}})"_s;
    QTest::newRow("suite") << uR"({"execution":"x","ecrit":{}} 1)"_s;
    QTest::newRow("nombre faux") << uR"({"execution":"x","ecrit":{"A":1.2.3}})"_s;
    QTest::newRow("date fausse") << uR"({"execution":"x","ecrit":{"A":{"date":"hier"}}})"_s;
    QTest::newRow("étiquette inconnue") << uR"({"execution":"x","ecrit":{"A":{"autre":"1"}}})"_s;
    QTest::newRow("échappement faux") << uR"({"execution":"x","ecrit":{"A":"\q"}})"_s;
}

void TestValeursExactes::texteAbime() {
    QFETCH(QString, texte);
    QVERIFY(!DecoderValeursExactes(texte));
}

// Text cells that a spreadsheet would evaluate are guarded, and read back as they were; amounts stay
// numbers.
void TestValeursExactes::formules_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<bool>("garde");
    QTest::newRow("=") << u"=1+1"_s << true;
    QTest::newRow("+") << u"+33"_s << true;
    QTest::newRow("-") << u"-7*6"_s << true;
    QTest::newRow("@") << u"@SUM(A1)"_s << true;
    QTest::newRow("tabulation") << u"\tx"_s << true;
    QTest::newRow("retour chariot") << u"\rx"_s << true;
    QTest::newRow("apostrophe") << u"'x"_s << true;
    QTest::newRow("ordinaire") << u"F1=2"_s << false;
    QTest::newRow("vide") << QString() << false;
}

void TestValeursExactes::formules() {
    QFETCH(QString, texte);
    QFETCH(bool, garde);
    QCOMPARE(ChampCsv(texte).contains(u"'"_s + texte), garde);
    QCOMPARE(RetablirFormule(NeutraliserFormule(texte)), texte);

    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(u"c.csv"_s);
    FichierConstats fichier;
    fichier.ouvrir(chemin, QDateTime(QDate(2026, 12, 9), QTime(11, 30)), u"factures"_s);
    fichier.ecrire({.facture = texte, .dossier = texte, .montantFactCli = -3.5, .montantFacture = -1.0});
    fichier.fermer();
    const std::vector<RangeeConstats> rangees = LireConstats(chemin);
    QCOMPARE(rangees.size(), std::size_t(1));
    QCOMPARE(rangees[0].texte(ColonneConstat::Dossier), texte);
    QCOMPARE(rangees[0].texte(ColonneConstat::MontantFactCli), u"-3,5"_s);
    QCOMPARE(rangees[0].texte(ColonneConstat::MontantFacture), u"-1"_s);
}

// One format per kind, whatever the database held.
void TestValeursExactes::dates_data() {
    QTest::addColumn<QString>("texte");
    QTest::addColumn<bool>("jour");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("jour ISO") << u"2025-03-01"_s << true << u"2025-03-01"_s;
    QTest::newRow("jour à minuit") << u"2025-03-01 00:00:00"_s << true << u"2025-03-01"_s;
    QTest::newRow("jour avec une heure") << u"2025-03-01 10:15:00"_s << true << u"2025-03-01 10:15:00"_s;
    QTest::newRow("jour à barres") << u"2025/03/01"_s << true << u"2025-03-01"_s;
    QTest::newRow("DATE_MAJ du programme") << u"03/01/2024 18:02"_s << false << u"2024-01-03 18:02:00"_s;
    QTest::newRow("DATE_MAJ à minuit") << u"2024-01-03"_s << false << u"2024-01-03 00:00:00"_s;
    QTest::newRow("millisecondes gardées")
        << u"2024-01-03 18:02:00.250"_s << false << u"2024-01-03 18:02:00.250"_s;
    QTest::newRow("pas une date") << u"hier"_s << false << u"hier"_s;
    QTest::newRow("date impossible") << u"31/02/2024"_s << true << u"31/02/2024"_s;
    QTest::newRow("29 février bissextile") << u"29/02/2024"_s << true << u"2024-02-29"_s;
    QTest::newRow("heure impossible") << u"2024-01-03 24:00:00"_s << false << u"2024-01-03 24:00:00"_s;
    QTest::newRow("vide") << QString() << true << QString();
    QTest::newRow("dernier jour de 9999") << u"31/12/9999 23:59:59"_s << false << u"9999-12-31 23:59:59"_s;
    QTest::newRow("an 999") << u"0999-01-02 03:04:05"_s << false << u"0999-01-02 03:04:05"_s;
    // Read in Paris' time zone, where the clock went from 02:00 to 03:00 that night: written as held.
    QTest::newRow("heure sautée") << u"31/03/2024 02:30"_s << false << u"2024-03-31 02:30:00"_s;
    QTest::newRow("heure sautée, ISO") << u"2024-03-31T02:30:00"_s << false << u"2024-03-31 02:30:00"_s;
}

void TestValeursExactes::dates() {
    QFETCH(QString, texte);
    QFETCH(bool, jour);
    QFETCH(QString, attendu);
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Paris");
    const QString lu = DateConstats(texte, jour);
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    QCOMPARE(lu, attendu);
}

// The check value covers each cell it names: a change in any of them changes it.
void TestValeursExactes::controle() {
    const QStringList cellules{u"factures"_s,        u"fichier:/b"_s, u"3"_s, u"ligne ajoutée"_s,
                               u"ligne manquante"_s, u"12"_s,         u"{}"_s};
    const auto controle = [](const QStringList& c) {
        return ControleConstat(c[0], c[1], c[2], c[3], c[4], c[5], c[6]);
    };
    const QString reference = controle(cellules);
    // Files already written carry this value: the hash is SHA-256 of the cells' UTF-8, for good.
    QCOMPARE(reference, u"c4ca7ba6fe303d16e"_s);
    for (int i = 0; i < cellules.size(); ++i) {
        QStringList change = cellules;
        change[i] += u'x';
        QVERIFY2(controle(change) != reference, qPrintable(QString::number(i)));
    }
    // The separator keeps a character from moving from one cell to the next unnoticed.
    QStringList decale = cellules;
    decale[0] = u"facture"_s;
    decale[1] = u"sfichier:/b"_s;
    QVERIFY(controle(decale) != reference);
}

// The program's own SHA-256, with and without the processor's instructions, against Qt's, on every length
// around the one or two padding blocks and over several whole blocks.
void TestValeursExactes::empreinte() {
    QByteArray octets;
    for (int taille = 0; taille <= 300; ++taille) {
        const QByteArray attendu = QCryptographicHash::hash(octets, QCryptographicHash::Sha256);
        for (const bool processeur : {true, false}) {
            const auto h = Sha256(octets, processeur);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(h.data()), qsizetype(h.size())), attendu);
        }
        octets += char((taille * 151 + 7) % 256);
    }
}

// Whole rows, byte for byte as the first builder wrote them: files already written, the undo and the
// spreadsheets rely on them, and the builder is rewritten for speed now and then.
void TestValeursExactes::rangees_data() {
    QTest::addColumn<int>("cas");
    QTest::addColumn<QStringList>("champs");
    // clang-format off
    QTest::newRow("ligne réécrite") << 0 << QStringList{
        u"2026-12-09 12:00:00"_s, u"factures"_s, u"F0000002"_s, u"\"D\"\"1;é\""_s, u"DV01"_s,
        u"montant différent"_s, u"100"_s, u"1234,5"_s, u"ligne réécrite"_s, u"F0000002"_s, u"2024-02-29"_s,
        u"2026-12-09 12:00:05"_s, u"F0000002  "_s, u"\"D\"\"1;é\""_s, u"2024-02-29"_s, u"'+DV"_s,
        u"2024-01-03 18:02:00"_s, u"12"_s, u"12"_s, u"fichier:/b"_s,
        u"\"{\"\"execution\"\":\"\"2026-12-09T12:00:00\"\",\"\"ecrit\"\":{\"\"NUM_DOSSIER\"\":\"\"D\\\"\"1;é\"\",\"\"JOUR\"\":{\"\"jour\"\":\"\"2024-02-29\"\"},\"\"Montant\"\":1234.5,\"\"QUANTITE\"\":{\"\"int\"\":3}},\"\"avant\"\":{\"\"NUM_DOSSIER\"\":\"\"D\\\"\"1;é\\u0009\"\",\"\"Montant\"\":null}}\""_s,
        u"c1d7051f7fdb969d0"_s};
    QTest::newRow("à citer et à garder") << 1 << QStringList{
        u"2026-12-09 12:00:00"_s, u"factures"_s, u"'=1+1"_s, u"\"a;b\""_s, u"\"\"\"x\"\"\""_s,
        u"montant différent"_s, u"-3,5"_s, u"-0,1"_s, u"aucune"_s, u""_s, u""_s, u""_s, u""_s, u""_s,
        u"31/02/2024"_s, u""_s, u""_s, u""_s, u""_s, u"fichier:/b"_s, u""_s, u""_s};
    // clang-format on
}

void TestValeursExactes::rangees() {
    QFETCH(int, cas);
    QFETCH(QStringList, champs);
    const std::array<LigneConstat, 2> lignes{
        LigneConstat{.facture = u"F0000002"_s,
                     .dossier = u"D\"1;é"_s,
                     .devis = u"DV01"_s,
                     .constat = constat::MontantDifferent(),
                     .montantFactCli = 100.0,
                     .montantFacture = 1234.5,
                     .action = action::LigneReecrite(),
                     .numeroEcrit = u"F0000002"_s,
                     .jourEcrit = u"2024-02-29 00:00:00"_s,
                     .dateMajEcrite = QDateTime(QDate(2026, 12, 9), QTime(12, 0, 5)),
                     .ancienNumero = u"F0000002  "_s,
                     .ancienDossier = u"D\"1;é"_s,
                     .ancienJour = u"2024/02/29"_s,
                     .ancienDevis = u"+DV"_s,
                     .ancienneDateMaj = u"03/01/2024 18:02"_s,
                     .ligne = u"12"_s,
                     .ecrit = {{u"NUM_DOSSIER"_s, u"D\"1;é"_s},
                               {u"JOUR"_s, QDate(2024, 2, 29)},
                               {u"Montant"_s, 1234.5},
                               {u"QUANTITE"_s, 3}},
                     .avant = RangeeExacte{{u"NUM_DOSSIER"_s, u"D\"1;é\t"_s}, {u"Montant"_s, QVariant()}},
                     .groupe = 12},
        LigneConstat{.facture = u"=1+1"_s,
                     .dossier = u"a;b"_s,
                     .devis = u"\"x\""_s,
                     .constat = constat::MontantDifferent(),
                     .montantFactCli = -3.5,
                     .montantFacture = -0.1,
                     .action = action::Aucune(),
                     .ancienJour = u"31/02/2024"_s}};
    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(u"c.csv"_s);
    FichierConstats fichier(u"fichier:/b"_s);
    fichier.ouvrir(chemin, QDateTime(QDate(2026, 12, 9), QTime(12, 0)), u"factures"_s);
    fichier.ecrire(lignes[std::size_t(cas)]);
    fichier.fermer();
    QFile f(chemin);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray tout = f.readAll();
    QCOMPARE(QString::fromUtf8(tout.mid(tout.indexOf("\r\n") + 2)), champs.join(u';') + u"\r\n"_s);
}

QTEST_GUILESS_MAIN(TestValeursExactes)
#include "tst_ValeursExactes.moc"
