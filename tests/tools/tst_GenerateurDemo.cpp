// Runs the demo company generator as the user does and checks what it leaves behind: the tables the
// program reads, invoices it can read, the faults it is meant to find, and the settings that point at
// the company.

#include "ConnexionOutil.h"
#include "data/ReglagesHote.h"
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace cc;

namespace {

struct Execution {
    int code = -1;
    QString erreurs;
};

Execution lancer(const QStringList& arguments) {
    QProcess p;
    p.start(qEnvironmentVariable("CC_GENERATEUR"), arguments);
    if (!p.waitForFinished(120'000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

// One open connection to a generated database for the life of the object.
class Lecture {
public:
    explicit Lecture(const QString& chemin)
        : connexion_(u"QSQLITE"_s, chemin, cc::outils::ConnexionOutil::lectureSeule()) {}

    // Every row of the query, its values joined by "|".
    QStringList lignes(const QString& sql) const {
        QSqlQuery q = connexion_.executer(sql);
        QStringList resultat;
        while (q.next()) {
            QStringList valeurs;
            for (int i = 0; i < q.record().count(); ++i)
                valeurs.append(q.value(i).toString());
            resultat.append(valeurs.join(u'|'));
        }
        return resultat;
    }

    // A dump that tells apart types, Nulls and every digit of the amounts.
    QStringList vidage() const {
        QStringList tout;
        for (const auto& table : {u"FACTURES"_s, u"FACTURES_LIGNE"_s, u"FACTCLI"_s}) {
            const QStringList colonnes = lignes(u"SELECT name FROM pragma_table_info('%1')"_s.arg(table));
            QStringList cites;
            for (const QString& c : colonnes)
                cites.append(u"quote(%1)"_s.arg(c));
            tout += lignes(u"SELECT %1 FROM %2 ORDER BY rowid"_s.arg(cites.join(u','), table));
        }
        return tout;
    }

    QSqlQuery requete(const QString& sql) const { return connexion_.executer(sql); }

private:
    cc::outils::ConnexionOutil connexion_;
};

qint64 centimes(double valeur) {
    return std::llround(valeur * 100.0);
}

} // namespace

class TestGenerateurDemo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    // First: on Windows the later runs write the same registry key.
    void reglages();
    void tables_data();
    void tables();
    void index();
    void memeGraineMemeBase();
    void corps();
    void anomalies();
    void remplaceLaBase();
    void refus_data();
    void refus();

private:
    QString base() const { return dossier_.filePath(u"demo/base/SOCDEMO/vendrax.mdb"_s); }

    QTemporaryDir dossier_;
    QString bilan_;
};

void TestGenerateurDemo::initTestCase() {
    QVERIFY(dossier_.isValid());
    QVERIFY2(QFileInfo::exists(qEnvironmentVariable("CC_GENERATEUR")),
             "CC_GENERATEUR ne désigne pas le générateur");
    // Set before anything in this process reads settings, so that QSettings looks where the generator wrote.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dossier_.filePath(u"demo/config"_s)));
    const Execution e =
        lancer({u"--sortie"_s, dossier_.filePath(u"demo"_s), u"--factures"_s, u"400"_s, u"--graine"_s, u"3"_s,
                u"--anciennes"_s, u"2"_s, u"--debut"_s, u"2023-03-01"_s, u"--fin"_s, u"2023-08-31"_s});
    QCOMPARE(e.code, 0);
    bilan_ = e.erreurs;
    QVERIFY(QFileInfo::exists(base()));
}

void TestGenerateurDemo::tables_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("colonnes");
    QTest::newRow("FACTURES") << u"FACTURES"_s
                              << QStringList{u"NUMERO_DE_FACTURE TEXT"_s, u"JOUR TEXT"_s,
                                             u"NUMERO_DE_DOSSIER TEXT"_s, u"type_piece TEXT"_s,
                                             u"flag_divers TEXT"_s,       u"Corps TEXT"_s};
    QTest::newRow("FACTURES_LIGNE") << u"FACTURES_LIGNE"_s
                                    << QStringList{u"NUMERO_DE_FACTURE TEXT"_s,
                                                   u"NUMERO_DE_LIGNE INTEGER"_s,
                                                   u"TAUX_REMISE REAL"_s,
                                                   u"MONTANT_REMISE REAL"_s,
                                                   u"CODE_REMISE TEXT"_s,
                                                   u"DESIGNATION_COMPLEMENT TEXT"_s,
                                                   u"REFERENCE_MATIERE_COMPLEMENT TEXT"_s};
    QTest::newRow("FACTCLI") << u"FACTCLI"_s
                             << QStringList{u"NUM_FACTURE TEXT"_s, u"NUM_DOSSIER TEXT"_s, u"JOUR TEXT"_s,
                                            u"NUM_DEVIS TEXT"_s,   u"DATE_MAJ TEXT"_s,    u"Montant REAL"_s};
}

void TestGenerateurDemo::tables() {
    QFETCH(QString, table);
    QFETCH(QStringList, colonnes);
    const Lecture l(base());
    QStringList trouvees;
    for (const QString& c : l.lignes(u"SELECT name, type FROM pragma_table_info('%1')"_s.arg(table)))
        trouvees.append(QString(c).replace(u'|', u' '));
    QCOMPARE(trouvees, colonnes);
    QVERIFY(!l.lignes(u"SELECT 1 FROM %1 LIMIT 1"_s.arg(table)).isEmpty());
}

void TestGenerateurDemo::index() {
    const Lecture l(base());
    QStringList index =
        l.lignes(u"SELECT m.tbl_name || '(' || group_concat(i.name, ',') || ')' FROM sqlite_master m, "
                 "pragma_index_info(m.name) i WHERE m.type = 'index' GROUP BY m.name"_s);
    index.sort();
    QCOMPARE(index, (QStringList{u"FACTCLI(JOUR)"_s, u"FACTCLI(NUM_FACTURE,NUM_DOSSIER)"_s,
                                 u"FACTURES(JOUR)"_s, u"FACTURES(NUMERO_DE_FACTURE)"_s,
                                 u"FACTURES_LIGNE(NUMERO_DE_FACTURE,NUMERO_DE_LIGNE)"_s}));
}

void TestGenerateurDemo::memeGraineMemeBase() {
    const auto generer = [&](const QString& nom, const QString& graine) {
        const QString sortie = dossier_.filePath(nom);
        const Execution e = lancer({u"--sortie"_s, sortie, u"--factures"_s, u"150"_s, u"--graine"_s, graine,
                                    u"--debut"_s, u"2024-01-01"_s});
        if (e.code != 0)
            qFatal("generer-demo: %s", qPrintable(e.erreurs));
        return Lecture(sortie + u"/base/SOCDEMO/vendrax.mdb"_s).vidage();
    };
    const QStringList a = generer(u"a"_s, u"42"_s);
    const QStringList b = generer(u"b"_s, u"42"_s);
    const QStringList c = generer(u"c"_s, u"43"_s);
    QVERIFY(a.size() > 150);
    QCOMPARE(a, b);
    QVERIFY(a != c);
}

// Every invoice reads as the program expects it: whole slices, line numbers going up, discount rows
// that belong to a line and carry no Null where the reader wants text.
void TestGenerateurDemo::corps() {
    const Lecture l(base());
    QSqlQuery q = l.requete(
        u"SELECT NUMERO_DE_FACTURE, JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps FROM FACTURES"_s);
    const QRegularExpression motifJour(u"^2023-0[3-8]-\\d\\d( \\d\\d:\\d\\d:\\d\\d)?$"_s);
    QSet<QString> numeros;
    QSet<QString> lignesExistantes;
    int anciennes = 0;
    while (q.next()) {
        const QString numero = q.value(0).toString();
        const QString corps = q.value(5).toString();
        QVERIFY2(!numeros.contains(numero), qPrintable(numero));
        numeros.insert(numero);
        QCOMPARE(numero.left(1), q.value(3).toString());
        QVERIFY2(motifJour.match(q.value(1).toString()).hasMatch(), qPrintable(q.value(1).toString()));
        QVERIFY2(!corps.isEmpty() && corps.size() % 150 == 0, qPrintable(numero));
        anciennes += q.value(4).toString() == u"7" ? 1 : 0;
        int precedent = 0;
        QSet<QString> dossiers;
        for (qsizetype i = 0; i < corps.size(); i += 150) {
            bool ok = false;
            const int n = corps.mid(i, 2).toInt(&ok);
            QVERIFY2(ok && n > precedent && n <= 99, qPrintable(numero + u' ' + corps.mid(i, 2)));
            precedent = n;
            lignesExistantes.insert(numero + u'|' + QString::number(2 * n));
            const QString dossier = corps.mid(i + 122, 8).trimmed();
            if (!dossier.isEmpty())
                dossiers.insert(dossier);
        }
        QVERIFY2(!dossiers.isEmpty(), qPrintable(numero));
        // An invoice of one dossier names it in its header too.
        if (dossiers.size() == 1)
            QCOMPARE(q.value(2).toString(), *dossiers.cbegin());
    }
    QCOMPARE(numeros.size(), 400);
    QCOMPARE(anciennes, 2);
    QSqlQuery r = l.requete(u"SELECT NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, TAUX_REMISE, MONTANT_REMISE, "
                            "CODE_REMISE FROM FACTURES_LIGNE"_s);
    while (r.next()) {
        const QString cle = r.value(0).toString() + u'|' + r.value(1).toString();
        QVERIFY2(lignesExistantes.contains(cle), qPrintable(cle));
        QVERIFY2(!r.value(2).isNull() && !r.value(3).isNull() && !r.value(4).isNull(), qPrintable(cle));
    }
}

// Recomputes, from the invoices alone, what FACTCLI should hold, and sorts what it does hold into the
// planted faults; the counts must be those the generator announced, and every row it left correct must
// carry exactly the amount that adding up the lines in floating point gives.
void TestGenerateurDemo::anomalies() {
    const Lecture l(base());
    QHash<QString, qint64> attendus;      // "invoice|dossier" -> cents
    QHash<QString, double> sommesReelles; // the same, added up line by line in floating point
    QHash<QString, qint64> remises;
    QSqlQuery r =
        l.requete(u"SELECT NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, MONTANT_REMISE FROM FACTURES_LIGNE"_s);
    while (r.next())
        remises.insert(r.value(0).toString() + u'|' + r.value(1).toString(), centimes(r.value(2).toDouble()));
    QSqlQuery f = l.requete(u"SELECT NUMERO_DE_FACTURE, type_piece, Corps FROM FACTURES"_s);
    while (f.next()) {
        const QString numero = f.value(0).toString();
        const bool avoir = f.value(1).toString() == u"A";
        const QString corps = f.value(2).toString();
        for (qsizetype i = 0; i < corps.size(); i += 150) {
            const QString dossier = corps.mid(i + 122, 8).trimmed();
            const QString texteMontant = corps.mid(i + 88, 11).trimmed();
            if (dossier.isEmpty())
                continue;
            const QString cle = numero + u'|' + dossier;
            const qint64 montant = centimes(texteMontant.toDouble());
            const qint64 remise = remises.value(numero + u'|' + QString::number(2 * corps.mid(i, 2).toInt()));
            const qint64 apport = avoir ? -montant : montant - remise;
            attendus[cle] += apport;
            const double reel = avoir ? -(texteMontant.toDouble())
                                      : texteMontant.toDouble() - static_cast<double>(remise) / 100.0;
            if (std::fabs(reel) > 0.001)
                sommesReelles[cle] += reel;
        }
    }

    QHash<QString, QList<double>> rangs;
    qint64 enTrop = 0;
    QSqlQuery c = l.requete(u"SELECT NUM_FACTURE, NUM_DOSSIER, Montant FROM FACTCLI ORDER BY rowid"_s);
    while (c.next()) {
        const QString cle = c.value(0).toString() + u'|' + c.value(1).toString();
        if (!attendus.contains(cle))
            ++enTrop;
        else
            rangs[cle].append(c.value(2).toDouble());
    }
    qint64 manquantes = 0;
    qint64 faux = 0;
    qint64 doublons = 0;
    for (auto it = attendus.cbegin(); it != attendus.cend(); ++it) {
        const auto trouves = rangs.value(it.key());
        if (trouves.isEmpty()) {
            ++manquantes;
            continue;
        }
        doublons += trouves.size() > 1 ? 1 : 0;
        if (trouves.front() != static_cast<double>(it.value()) / 100.0) {
            ++faux;
            continue;
        }
        QVERIFY2(trouves.front() == sommesReelles.value(it.key()), qPrintable(it.key()));
    }

    const QRegularExpression motif(u"anomalies : (\\d+) manquantes, (\\d+) montants faux, "
                                   "(\\d+) en trop, (\\d+) doublons"_s);
    const auto m = motif.match(bilan_);
    QVERIFY2(m.hasMatch(), qPrintable(bilan_));
    QCOMPARE(manquantes, m.captured(1).toLongLong());
    QCOMPARE(faux, m.captured(2).toLongLong());
    QCOMPARE(enTrop, m.captured(3).toLongLong());
    QCOMPARE(doublons, m.captured(4).toLongLong());
    QVERIFY(manquantes > 0 && faux > 0 && enTrop > 0 && doublons > 0);
    // A few per cent, not most of the table.
    QVERIFY(manquantes + faux + enTrop + doublons < attendus.size() / 5);
}

void TestGenerateurDemo::reglages() {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, OrganisationReglages(), ApplicationReglages());
#ifndef Q_OS_WIN
    // On Windows they are the registry's, in the tests' own Wine prefix.
    QVERIFY2(s.fileName().startsWith(dossier_.filePath(u"demo/config"_s)), qPrintable(s.fileName()));
#endif
    const QString repertoireBase = s.value(CleRepertoireBase()).toString();
    QCOMPARE(repertoireBase,
             QDir::toNativeSeparators(QDir(dossier_.filePath(u"demo/base"_s)).absolutePath()));
    QCOMPARE(s.value(CleSocieteActive()).toString(), u"SOCDEMO"_s);
    QVERIFY(QFileInfo::exists(repertoireBase + u"/SOCDEMO/vendrax.mdb"_s));
}

void TestGenerateurDemo::remplaceLaBase() {
    const QString sortie = dossier_.filePath(u"remplace"_s);
    for (const auto& nombre : {u"60"_s, u"20"_s})
        QCOMPARE(lancer({u"--sortie"_s, sortie, u"--factures"_s, nombre, u"--societe"_s, u"AUTRE"_s}).code,
                 0);
    const Lecture l(sortie + u"/base/AUTRE/vendrax.mdb"_s);
    QCOMPARE(l.lignes(u"SELECT count(*) FROM FACTURES"_s), QStringList{u"20"_s});
}

void TestGenerateurDemo::refus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("sans --sortie") << QStringList{};
    QTest::newRow("option inconnue") << QStringList{u"--inconnue"_s};
    QTest::newRow("factures négatives") << QStringList{u"--factures"_s, u"-1"_s};
    QTest::newRow("factures pas un nombre") << QStringList{u"--factures"_s, u"dix"_s};
    QTest::newRow("date impossible") << QStringList{u"--debut"_s, u"2024-02-30"_s};
    QTest::newRow("période à l'envers")
        << QStringList{u"--debut"_s, u"2024-05-01"_s, u"--fin"_s, u"2024-04-30"_s};
    QTest::newRow("taux au-delà de 100") << QStringList{u"--taux-anomalies"_s, u"101"_s};
    QTest::newRow("plus d'anciennes que de factures")
        << QStringList{u"--factures"_s, u"5"_s, u"--anciennes"_s, u"6"_s};
    QTest::newRow("société avec chemin") << QStringList{u"--societe"_s, u"../ailleurs"_s};
}

void TestGenerateurDemo::refus() {
    QFETCH(QStringList, arguments);
    const QString sortie = dossier_.filePath(u"refus"_s);
    if (!arguments.isEmpty())
        arguments.prepend(sortie), arguments.prepend(u"--sortie"_s);
    const Execution e = lancer(arguments);
    QCOMPARE(e.code, 64);
    QVERIFY(!e.erreurs.isEmpty());
    QVERIFY(!QFileInfo::exists(sortie));
}

QTEST_GUILESS_MAIN(TestGenerateurDemo)
#include "tst_GenerateurDemo.moc"
