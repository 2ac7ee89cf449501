// Reading a findings file back: a record broken anywhere refuses the file, never shortens it; dates and
// times a spreadsheet re-formatted still mean what the program wrote.
#include "report/LectureConstats.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLectureConstats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lecture_data();
    void lecture();
    void relecture();
    void memeInstant_data();
    void memeInstant();
};

void TestLectureConstats::lecture_data() {
    QTest::addColumn<QByteArray>("octets");
    QTest::addColumn<QString>("champs"); // records joined by "|", fields by "¦"; empty when refused
    QTest::addColumn<QString>("erreur"); // the refusal's reason, and its record
    QTest::newRow("CR LF et marque") << QByteArray("\xEF\xBB\xBF"
                                                   "a;b\r\nc;\r\n")
                                     << u"a¦b|c¦"_s << QString();
    QTest::newRow("LF seul, sans marque") << QByteArray("a;b\nc;d") << u"a¦b|c¦d"_s << QString();
    QTest::newRow("cité, point-virgule et fin de ligne")
        << QByteArray("\"x;\"\"y\"\"\r\nz\";w\r\n") << u"x;\"y\"\r\nz¦w"_s << QString();
    QTest::newRow("lignes vides sautées") << QByteArray("a\r\n\r\nb\r\n") << u"a|b"_s << QString();
    // The stray quote once swallowed the whole file: zero rows, nothing undone, exit 0.
    QTest::newRow("guillemet parasite")
        << QByteArray("a;b\r\n\"\r\nc;d\r\n") << QString() << u"2:un guillemet ouvert n'est jamais fermé"_s;
    QTest::newRow("guillemet au milieu")
        << QByteArray("a;b\r\nc\"d;e\r\n") << QString() << u"2:un guillemet au milieu d'un champ"_s;
    QTest::newRow("texte après le guillemet")
        << QByteArray("a;\"b\"c\r\n") << QString() << u"1:un texte suit un guillemet fermant"_s;
    QTest::newRow("tronqué dans un champ cité")
        << QByteArray("a;b\r\nc;\"d") << QString() << u"2:un guillemet ouvert n'est jamais fermé"_s;
    QTest::newRow("pas de l'UTF-8") << QByteArray("a;b\r\nc;\xE9t\xE9\r\n") << QString()
                                    << u"2:le texte n'est pas de l'UTF-8"_s;
}

void TestLectureConstats::lecture() {
    QFETCH(QByteArray, octets);
    QFETCH(QString, champs);
    QFETCH(QString, erreur);
    QBuffer source(&octets);
    QVERIFY(source.open(QIODevice::ReadOnly));
    cc::LecteurCsv lecteur(source);
    QStringList lus;
    std::vector<QString> rangee;
    try {
        while (lecteur.lire(rangee))
            lus << QStringList(rangee.begin(), rangee.end()).join(u'¦');
    } catch (const cc::Erreur& e) {
        const QString lu = QString::number(lecteur.numero()) + u':' + e.description();
        QVERIFY2(!erreur.isEmpty() && lu.startsWith(erreur), qPrintable(lu));
        return;
    }
    QVERIFY2(erreur.isEmpty(), qPrintable(lus.join(u'|')));
    QCOMPARE(lus.join(u'|'), champs);
}

// A record is read again from its place, as the undo does for each write, the last first.
void TestLectureConstats::relecture() {
    QByteArray octets("\xEF\xBB\xBF"
                      "e\r\n\"a\r\nb\";1\r\nc;2\r\n");
    QBuffer source(&octets);
    QVERIFY(source.open(QIODevice::ReadOnly));
    cc::LecteurCsv lecteur(source);
    std::vector<QString> champs;
    std::vector<std::pair<qint64, qint64>> places;
    while (lecteur.lire(champs))
        places.emplace_back(lecteur.debut(), lecteur.numero());
    QCOMPARE(places.size(), std::size_t(3));
    lecteur.allerA(places[2].first, places[2].second - 1);
    QVERIFY(lecteur.lire(champs));
    QCOMPARE(champs, (std::vector<QString>{u"c"_s, u"2"_s}));
    QCOMPARE(lecteur.numero(), 3);
    lecteur.allerA(places[1].first, places[1].second - 1);
    QVERIFY(lecteur.lire(champs));
    QCOMPARE(champs, (std::vector<QString>{u"a\r\nb"_s, u"1"_s}));
}

void TestLectureConstats::memeInstant_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("meme");
    // What LibreOffice makes of the program's dates and times when it saves the file unedited.
    QTest::newRow("minute et secondes") << u"2026-12-09T11:30"_s << u"2026-12-09T11:30:00"_s << true;
    QTest::newRow("T ou blanc") << u"2026-12-09T11:30:15"_s << u"2026-12-09 11:30:15"_s << true;
    QTest::newRow("mois d'abord, AM/PM") << u"03/01/2024 18:02"_s << u"03/01/24 06:02 PM"_s << true;
    QTest::newRow("minuit en AM/PM") << u"2024-03-01 00:05:00"_s << u"03/01/24 12:05 AM"_s << true;
    QTest::newRow("ISO contre jour/mois") << u"2024-01-03 18:02:00"_s << u"03/01/2024 18:02"_s << true;
    QTest::newRow("millisecondes d'un côté")
        << u"2024-01-03T18:02:00.250"_s << u"2024-01-03 18:02:00"_s << true;
    // Edited: another instant.
    QTest::newRow("autre minute") << u"2026-12-09T11:30"_s << u"2026-12-09T11:31:00"_s << false;
    QTest::newRow("matin ou soir") << u"03/01/2024 18:02"_s << u"03/01/24 06:02 AM"_s << false;
    QTest::newRow("autre jour") << u"2024-01-03 18:02:00"_s << u"04/01/2024 18:02"_s << false;
    QTest::newRow("millisecondes différentes")
        << u"2024-01-03T18:02:00.250"_s << u"2024-01-03T18:02:00.251"_s << false;
    QTest::newRow("texte qui n'est pas une date") << u"DV1"_s << u"DV1 "_s << false;
}

void TestLectureConstats::memeInstant() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, meme);
    QCOMPARE(cc::MemeInstant(a, b), meme);
    QCOMPARE(cc::MemeInstant(b, a), meme);
}

QTEST_GUILESS_MAIN(TestLectureConstats)
#include "tst_LectureConstats.moc"
