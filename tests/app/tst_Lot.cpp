#include "app/Lot.h"
#include "app/OptionsLot.h"
#include "app/TerminalLot.h"
#include "commun/LigneStatistiques.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace cc;

class TestLot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void arguments_data();
    void arguments();
    void usage_data();
    void usage();
    void terminal();
    void lectureStatistiques_data();
    void lectureStatistiques();
    void statistiquesLot();
    void effacementLigne_data();
    void effacementLigne();
    void appelLot_data();
    void appelLot();
    void sansFenetrePossible_data();
    void sansFenetrePossible();
};

namespace {
const QDate Aujourdhui(2026, 12, 8);
}

void TestLot::arguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QDate>("debut");
    QTest::addColumn<QDate>("fin");
    QTest::addColumn<bool>("factures");
    QTest::addColumn<bool>("ajouter");
    QTest::addColumn<bool>("maj");
    QTest::newRow("du seul") << QStringList{"--du", "2024-01-01"} << QDate(2024, 1, 1) << Aujourdhui << true
                             << false << false;
    QTest::newRow("tout") << QStringList{"--du",   "2024-01-01", "--au",      "2024-12-31",
                                         "--sens", "factures",   "--ajouter", "--mettre-a-jour"}
                          << QDate(2024, 1, 1) << QDate(2024, 12, 31) << true << true << true;
    QTest::newRow("factcli") << QStringList{"--sens", "factcli", "--du", "2024-02-29"} << QDate(2024, 2, 29)
                             << Aujourdhui << false << false << false;
    QTest::newRow("valeurs après un signe égal")
        << QStringList{"--du=2024-01-01", "--au=2024-01-31", "--sens=factcli"} << QDate(2024, 1, 1)
        << QDate(2024, 1, 31) << false << false << false;
    QTest::newRow("un seul jour") << QStringList{"--du", "2025-01-01", "--au", "2025-01-01"}
                                  << QDate(2025, 1, 1) << QDate(2025, 1, 1) << true << false << false;
}

void TestLot::arguments() {
    QFETCH(QStringList, args);
    const auto r = AnalyserArguments(args, Aujourdhui);
    QVERIFY(std::holds_alternative<ArgumentsLot>(r));
    const auto& o = std::get<ArgumentsLot>(r).options;
    QTEST(o.debut, "debut");
    QTEST(o.fin, "fin");
    QTEST(o.aPartirDesFactures, "factures");
    QTEST(o.ajouter, "ajouter");
    QTEST(o.mettreAJour, "maj");
}

void TestLot::usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("sans --du") << QStringList{"--ajouter"};
    QTest::newRow("--du sans valeur") << QStringList{"--du"};
    QTest::newRow("--au sans valeur") << QStringList{"--du", "2024-01-01", "--au"};
    QTest::newRow("option inconnue") << QStringList{"--du", "2024-01-01", "--vite"};
    QTest::newRow("argument nu") << QStringList{"2024-01-01"};
    QTest::newRow("sens inconnu") << QStringList{"--du", "2024-01-01", "--sens", "FACTURES"};
    QTest::newRow("30 février") << QStringList{"--du", "2024-02-30"};
    QTest::newRow("29 février 2023") << QStringList{"--du", "2023-02-29"};
    QTest::newRow("format court") << QStringList{"--du", "2024-1-5"};
    QTest::newRow("format français") << QStringList{"--du", "05/01/2024"};
    QTest::newRow("date suivie de texte") << QStringList{"--du", "2024-01-05x"};
    QTest::newRow("premier jour après le dernier") << QStringList{"--du", "2025-01-02", "--au", "2025-01-01"};
    QTest::newRow("premier jour après aujourd'hui") << QStringList{"--du", "2026-12-09"};
    QTest::newRow("réparation à partir de FACTCLI")
        << QStringList{"--du", "2024-01-01", "--sens", "factcli", "--mettre-a-jour"};
    QTest::newRow("annuler avec une période") << QStringList{"--annuler", "c.csv", "--du", "2024-01-01"};
    QTest::newRow("annuler avec une réparation") << QStringList{"--annuler=c.csv", "--ajouter"};
    QTest::newRow("option de Qt avec celles du programme")
        << QStringList{"--du", "2024-01-01", "-style", "fusion"};
    // Given twice, under one name or two: which one was meant cannot be guessed.
    QTest::newRow("--du deux fois") << QStringList{"--du", "2024-01-01", "--du=2024-01-02"};
    QTest::newRow("interrupteur deux fois") << QStringList{"--du", "2024-01-01", "--ajouter", "--ajouter"};
    QTest::newRow("deux noms d'une option") << QStringList{"--du", "2024-01-01", "-q", "--silencieux"};
    QTest::newRow("lettres réunies") << QStringList{"--du", "2024-01-01", "-qq"};
}

void TestLot::usage() {
    QFETCH(QStringList, args);
    const auto r = AnalyserArguments(args, Aujourdhui);
    QVERIFY(std::holds_alternative<ErreurUsage>(r));
    // One line, French, never Qt's English.
    const QString message = std::get<ErreurUsage>(r).message;
    QVERIFY2(!message.contains(u'\n') && !message.contains(u"Unknown"_s) && !message.contains(u"Missing"_s),
             qPrintable(message));
}

// The program's own options make a run without window; Qt's own leave the window to open.
void TestLot::appelLot_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("lot");
    QTest::newRow("aucun") << QStringList{} << false;
    QTest::newRow("style de Qt") << QStringList{"-style", "fusion"} << false;
    QTest::newRow("plateforme de Qt") << QStringList{"-platform", "offscreen", "-reverse"} << false;
    QTest::newRow("--du=") << QStringList{"--du=2024-01-01"} << true;
    QTest::newRow("--aide") << QStringList{"-style", "fusion", "--help"} << true;
    QTest::newRow("-qV") << QStringList{"-qV"} << true;
    QTest::newRow("-?") << QStringList{"-?"} << true;
    QTest::newRow("nom voisin") << QStringList{"--dudu"} << false;
}

void TestLot::appelLot() {
    QFETCH(QStringList, args);
    QTEST(EstAppelLot(args), "lot");
}

void TestLot::terminal() {
    // Help and version need no --du and print to standard output.
    QVERIFY(std::get<ArgumentsLot>(AnalyserArguments({"--help"}, Aujourdhui)).aide);
    QVERIFY(std::get<ArgumentsLot>(AnalyserArguments({"--version"}, Aujourdhui)).version);
    QVERIFY(std::get<ArgumentsLot>(AnalyserArguments({"-V"}, Aujourdhui)).version);
    QVERIFY(std::get<ArgumentsLot>(AnalyserArguments({"-q", "--du", "2024-01-01"}, Aujourdhui)).silencieux);
    QString sortie, erreurs;
    QTextStream s(&sortie), e(&erreurs);
    QCOMPARE(ExecuterLot({"--help"}, QDir::tempPath(), HorlogeSysteme(), s, e), SortieRapportVide);
    QVERIFY(sortie.contains(u"--mettre-a-jour"_s));
    QVERIFY(erreurs.isEmpty());
    // On Windows the help speaks of Ctrl-C and of no signal; elsewhere of both.
    QVERIFY(TexteUsage(false).contains(u"Ctrl-C (SIGINT) ou SIGTERM"_s));
    QVERIFY(TexteUsage(false).contains(u"143 arrêté par SIGTERM"_s));
    QVERIFY(TexteUsage(true).contains(u"130 arrêté par Ctrl-C"_s));
    QVERIFY(!TexteUsage(true).contains(u"SIG"_s));
    QCOMPARE(TexteUsage(true).count(u'\n'), TexteUsage(false).count(u'\n'));
    sortie.clear();
    QCOMPARE(ExecuterLot({"--du", "2024-13-01"}, QDir::tempPath(), HorlogeSysteme(), s, e), SortieUsage);
    QVERIFY(sortie.isEmpty());
    QCOMPARE(erreurs, u"controle-coherence: date invalide pour --du : 2024-13-01 (AAAA-MM-JJ)\n"
                      "Essayez « controle-coherence --help ».\n"_s);
    // A box's CR LF becomes a plain line feed on the terminal; a question says nothing.
    erreurs.clear();
    InterlocuteurTerminal t(e);
    QVERIFY(!t.question(u"a\r\nb"_s, u"T"_s));
    QVERIFY(erreurs.isEmpty());
    t.message(u"a\r\nb"_s, u"T"_s, Icone::Critique);
    QCOMPARE(erreurs, u"controle-coherence: a\nb\n"_s);
    // Silent: information is dropped, errors stay.
    erreurs.clear();
    InterlocuteurTerminal muet(e, true);
    muet.message(u"info"_s, u"T"_s, Icone::Information);
    QVERIFY(erreurs.isEmpty());
    muet.message(u"grave"_s, u"T"_s, Icone::Critique);
    QVERIFY(erreurs.contains(u"grave"_s));
}

// The --statistiques line is found among the other messages and read whole; a message that merely
// uses the word is not taken for it.
void TestLot::lectureStatistiques_data() {
    using Valeurs = QHash<QString, qint64>;
    QTest::addColumn<QString>("erreurs");
    QTest::addColumn<bool>("trouvee");
    QTest::addColumn<Valeurs>("valeurs");
    QTest::newRow("après le bilan")
        << u"controle-coherence: Enregistrements parcourus : 3 ; lignes du rapport : 0\n"
           "controle-coherence: statistiques parcourus=3 instructions=12 memoire_max_ko=-1\n"_s
        << true << Valeurs{{u"parcourus"_s, 3}, {u"instructions"_s, 12}, {u"memoire_max_ko"_s, -1}};
    QTest::newRow("après une boîte qui emploie le mot")
        << u"controle-coherence: T : bilans et statistiques de chiffre d'affaires.\n"
           "controle-coherence: statistiques duree_ms=5\n"_s
        << true << Valeurs{{u"duree_ms"_s, 5}};
    QTest::newRow("boîte seule") << u"controle-coherence: T : et statistiques de chiffre d'affaires.\n"_s
                                 << false << Valeurs{};
    QTest::newRow("valeur non entière")
        << u"controle-coherence: statistiques duree_ms=5ms\n"_s << false << Valeurs{};
    QTest::newRow("clé vide") << u"controle-coherence: statistiques =5\n"_s << false << Valeurs{};
    QTest::newRow("mot seul") << u"controle-coherence: statistiques\n"_s << false << Valeurs{};
    QTest::newRow("mot au milieu d'un autre")
        << u"controle-coherence: messtatistiques a=1\n"_s << false << Valeurs{};
}

void TestLot::lectureStatistiques() {
    QFETCH(QString, erreurs);
    QFETCH(bool, trouvee);
    const auto lues = LireLigneStatistiques(erreurs);
    QCOMPARE(lues.has_value(), trouvee);
    if (trouvee)
        QTEST(*lues, "valeurs");
}

// What the program writes reads back whole, a check's counts and an undo's, each with the costs.
void TestLot::statistiquesLot() {
    // The sum-up groups digits as the locale does; the machine line never does.
    const QLocale avant;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    ResultatExecution r;
    r.compteurs.parcourus = 1996;
    QVERIFY2(BilanLot(r, false).contains(u"parcourus : 1\u202F996 ;"_s), qPrintable(BilanLot(r, false)));
    QVERIFY(StatistiquesLot(r, false, {}).contains(u"parcourus=1996 "_s));
    // The C locale, even with its grouping on (the system's C locale has it), groups nothing.
    QLocale c(QLocale::C);
    c.setNumberOptions({});
    QLocale::setDefault(c);
    QVERIFY2(BilanLot(r, false).contains(u"parcourus : 1996 ;"_s), qPrintable(BilanLot(r, false)));
    QLocale::setDefault(avant);
    r.compteurs.parcourus = 7;
    r.compteurs.manquants = 2;
    r.compteurs.montantsDifferents = 3;
    r.compteurs.ajoutes = 1;
    r.compteurs.reecrits = 1;
    r.lignesRapport = 4;
    // Two missing rows, two lines each: two findings, not four.
    QVERIFY2(BilanLot(r, false).contains(u"constats du rapport : 2 ;"_s), qPrintable(BilanLot(r, false)));
    r.annulation.ecritures = 9;
    r.annulation.annulees = 5;
    r.annulation.dejaRetablies = 3;
    r.annulation.laissees = 1;
    const CoutsLot couts{11, 12, 13, 14};
    const QHash<QString, qint64> controle{{u"parcourus"_s, 7},       {u"lignes_rapport"_s, 4},
                                          {u"manquants"_s, 2},       {u"montants_differents"_s, 3},
                                          {u"ajoutes"_s, 1},         {u"reecrits"_s, 1},
                                          {u"instructions"_s, 11},   {u"lignes_lues"_s, 12},
                                          {u"memoire_max_ko"_s, 13}, {u"duree_ms"_s, 14}};
    QCOMPARE(LireLigneStatistiques(PrefixeTerminal() + StatistiquesLot(r, false, couts))
                 .value_or(QHash<QString, qint64>{}),
             controle);
    const QHash<QString, qint64> annulation{
        {u"ecritures"_s, 9},     {u"annulees"_s, 5},     {u"deja_retablies"_s, 3},  {u"laissees"_s, 1},
        {u"instructions"_s, 11}, {u"lignes_lues"_s, 12}, {u"memoire_max_ko"_s, 13}, {u"duree_ms"_s, 14}};
    QCOMPARE(LireLigneStatistiques(PrefixeTerminal() + StatistiquesLot(r, true, couts))
                 .value_or(QHash<QString, qint64>{}),
             annulation);
}

void TestLot::effacementLigne_data() {
    QTest::addColumn<bool>("ansi");
    QTest::newRow("terminal") << true;
    QTest::newRow("console Windows") << false;
}

// A message after the progress line starts on a clean line; a Windows console gets no escape
// sequence, which it would show as it is.
void TestLot::effacementLigne() {
    QFETCH(bool, ansi);
    const QString progression = u"\r"_s + PrefixeTerminal() + u"123 456 / 789 012"_s;
    const QString effacement = EffacementLigne(ansi);
    QVERIFY(effacement.startsWith(u'\r'));
    QCOMPARE(effacement.contains(u'\x1b'), ansi);
    if (!ansi) {
        // The blanks cover the progress line, and the cursor is back at its start.
        QVERIFY(effacement.endsWith(u'\r'));
        QVERIFY(effacement.count(u' ') >= progression.size());
        QVERIFY(effacement.count(u' ') < 80);
    }
}

// Without a display the window cannot open: a French message and exit status 2, never Qt's abort.
// Qt's own options are Qt's: what it does not take is a usage error.
void TestLot::sansFenetrePossible_data() {
    QTest::addColumn<QString>("affichage");
    QTest::addColumn<QString>("plateforme");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString aucun = u"controle-coherence: aucun affichage n'est disponible"_s;
    QTest::newRow("DISPLAY qui ne mène nulle part") << u":99"_s << QString() << QStringList{} << 2 << aucun;
    QTest::newRow("aucun affichage") << QString() << QString() << QStringList{} << 2 << aucun;
    QTest::newRow("option de Qt puis une inconnue")
        << QString() << u"offscreen"_s << QStringList{"-style", "fusion", "--inconnue"} << 64
        << u"controle-coherence: argument inattendu : --inconnue\nEssayez"_s;
}

void TestLot::sansFenetrePossible() {
#ifdef Q_OS_WIN
    QSKIP("An X11 or Wayland display: Windows always has its own");
#endif
    QFETCH(QString, affichage);
    QFETCH(QString, plateforme);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    if (affichage == u":99" && QFile::exists(u"/tmp/.X11-unix/X99"_s))
        QSKIP("an X server answers on :99 here");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& v : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(v);
    if (!affichage.isEmpty())
        env.insert(u"DISPLAY"_s, affichage);
    if (!plateforme.isEmpty())
        env.insert(u"QT_QPA_PLATFORM"_s, plateforme);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("CC_EXECUTABLE"), args);
    QVERIFY(p.waitForFinished(30000));
    const QString erreurs = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == code, qPrintable(erreurs));
    QVERIFY2(erreurs.contains(message), qPrintable(erreurs));
    QVERIFY2(!erreurs.contains(u"Reinstalling"_s), qPrintable(erreurs));
}

QTEST_GUILESS_MAIN(TestLot)
#include "tst_Lot.moc"
