// Runs stopped on the user's request at random moments, by SIGINT or SIGTERM in batch and by Escape or
// closing the window: the writes made so far stay and are whole, the report keeps its lines, the
// stop is told with where it happened, and a new run finishes the job.
#include "InterlocuteurTest.h"
#include "SocieteDemo.h"
#include "app/FenetreControle.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace cc;
using namespace cc::test;

namespace {

const QStringList Reparation = ArgumentsReparation();

QByteArray lire(const QString& chemin) {
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestArret : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void parSignal();
    void annulationParSignal();
    void parLaFenetre();
    void progression_data();
    void progression();

private:
    // Checks what a stopped run left and that the next run converges; empty when all is well.
    QString verifierApresArret(const QByteArray& rapport, const QString& contexte);
    quint32 graine() const;

    std::unique_ptr<SocieteDemo> demo_;
    QStringList factCliVierge_;
    QStringList factCliRepare_;
    QByteArray rapportComplet_;
    QByteArray rapportApresReparation_;
    qint64 dureeMs_ = 0;
};

quint32 TestArret::graine() const {
    return qEnvironmentVariableIsSet("CC_GRAINE") ? quint32(qEnvironmentVariableIntValue("CC_GRAINE"))
                                                  : QRandomGenerator::system()->generate();
}

void TestArret::initTestCase() {
    demo_ = std::make_unique<SocieteDemo>(GenerateurAnnee2025(3000, 5));
    demo_->vierge();
    factCliVierge_ = factCliSansHorodatage(demo_->base());
    QElapsedTimer chrono;
    chrono.start();
    const Sortie r = demo_->lancer(Reparation);
    dureeMs_ = chrono.elapsed();
    QCOMPARE(r.code, 1);
    rapportComplet_ = r.rapport;
    factCliRepare_ = factCliSansHorodatage(demo_->base());
    QVERIFY(factCliRepare_ != factCliVierge_);
    rapportApresReparation_ = demo_->lancer(ArgumentsFactCli()).rapport;
    qInfo("repairing run: %lld ms", dureeMs_);
}

QString TestArret::verifierApresArret(const QByteArray& rapport, const QString& contexte) {
    if (integrite(demo_->base()) != u"ok")
        return contexte + u": integrity "_s + integrite(demo_->base());
    const QString entier =
        rangeesEntieres(factCliSansHorodatage(demo_->base()), factCliVierge_, factCliRepare_);
    if (!entier.isEmpty())
        return contexte + u": "_s + entier;
    if (!rapportComplet_.startsWith(rapport))
        return contexte + u": the report is not the beginning of the full one"_s;
    const Sortie reprise = demo_->lancer(Reparation);
    if (reprise.code != 0 && reprise.code != 1)
        return contexte + u": the next run: "_s + reprise.erreurs;
    if (factCliSansHorodatage(demo_->base()) != factCliRepare_)
        return contexte + u": the next run does not finish the repairs"_s;
    if (demo_->lancer(ArgumentsFactCli()).rapport != rapportApresReparation_)
        return contexte + u": FACTCLI differs from an uninterrupted run's"_s;
    return {};
}

// SIGINT and SIGTERM in turn, at a random moment of a repairing batch run.
void TestArret::parSignal() {
    const quint32 g = graine();
    QRandomGenerator alea(g);
    static const QRegularExpression ouArrete(
        u"Contrôle arrêté après la facture (\\S+) \\((\\d+) sur (\\d+)\\)"_s);
    // The sum-up groups digits as the locale does (2 998 in French).
    static const QRegularExpression parcourus(u"Enregistrements parcourus : (\\d[\\d\u202F]*) ;"_s);
    int arretes = 0, essai = 0;
    while (arretes < 6 && essai < 30) {
        ++essai;
        demo_->vierge();
        const int signal = essai % 2 ? SIGINT : SIGTERM;
        // Not before the program can hear it: a signal during the loading of the libraries ends it.
        // Once the report exists the run has begun; the signal comes at a random moment of the walk.
        const int delai = int(alea.bounded(quint32(dureeMs_ * 9 / 10 + 1)));
        QProcess p;
        demo_->demarrer(p, Reparation);
        const QDir programme(demo_->repertoireProgramme());
        while (p.state() == QProcess::Running &&
               programme.entryList({u"ResultatControl.*"_s}, QDir::Files).isEmpty())
            p.waitForFinished(1);
        const bool fini = p.waitForFinished(delai);
        if (!fini)
            ::kill(pid_t(p.processId()), signal);
        const Sortie s = demo_->attendre(p);
        const QString contexte =
            u"seed %1, attempt %2, signal %3 after %4 ms"_s.arg(g).arg(essai).arg(signal).arg(delai);
        // A signal that comes once the run has ended and its handler is gone ends the program as it
        // would any other; the run itself was whole.
        const bool finiAvantSignal =
            s.code == -2 && parcourus.match(s.erreurs).hasMatch() && !ouArrete.match(s.erreurs).hasMatch();
        if (s.code == 0 || s.code == 1 || finiAvantSignal) {
            QCOMPARE(s.rapport, rapportComplet_);
            QCOMPARE(factCliSansHorodatage(demo_->base()), factCliRepare_);
            continue;
        }
        ++arretes;
        QVERIFY2(s.code == (signal == SIGINT ? 130 : 143), qPrintable(contexte + u' ' + s.erreurs));
        const QRegularExpressionMatch ou = ouArrete.match(s.erreurs);
        QVERIFY2(ou.hasMatch(), qPrintable(contexte + u' ' + s.erreurs));
        // The counts end where the stop says it happened.
        QCOMPARE(parcourus.match(s.erreurs).captured(1).remove(u'\u202F'), ou.captured(2));
        QVERIFY(ou.captured(2).toInt() <= ou.captured(3).toInt());
        QVERIFY2(QFileInfo(s.sortie.trimmed()).fileName().startsWith(u"ResultatControl."_s),
                 qPrintable(s.sortie));
        const QString echec = verifierApresArret(s.rapport, contexte);
        QVERIFY2(echec.isEmpty(), qPrintable(echec));
    }
    qInfo("seed %u: %d attempts, %d stopped", g, essai, arretes);
    QVERIFY(arretes >= 6);
}

// An undo hears SIGINT and SIGTERM as a check does: it stops after its current write, keeps what it
// committed, and the next undo of the same file finishes the job. The process is held still while the
// signal comes, so that it is sure to come during the undo.
void TestArret::annulationParSignal() {
    demo_->vierge();
    const Sortie r = demo_->lancer(Reparation);
    QCOMPARE(r.code, 1);
    const QString constats = demo_->racine() + u"/constats-arret.csv"_s;
    QFile::remove(constats);
    QVERIFY(QFile::copy(r.sortie.trimmed().section(u'\n', -1).chopped(4) + u".csv"_s, constats));
    for (const int signal : {SIGINT, SIGTERM}) {
        QProcess p;
        demo_->demarrer(p, {u"--annuler"_s, constats});
        QVERIFY(p.waitForStarted());
        const QDir programme(demo_->repertoireProgramme());
        // The undo has begun once its report exists.
        while (p.state() == QProcess::Running &&
               programme.entryList({u"ResultatControl.*.txt"_s}, QDir::Files).isEmpty())
            p.waitForFinished(1);
        ::kill(pid_t(p.processId()), SIGSTOP);
        ::kill(pid_t(p.processId()), signal);
        ::kill(pid_t(p.processId()), SIGCONT);
        const Sortie s = demo_->attendre(p);
        QVERIFY2(s.code == (signal == SIGINT ? 130 : 143), qPrintable(s.erreurs));
        QVERIFY2(s.erreurs.contains(u"arrêté"_s) || s.erreurs.contains(u"Arrêt demandé"_s),
                 qPrintable(s.erreurs));
        QCOMPARE(integrite(demo_->base()), u"ok"_s);
    }
    const Sortie reprise = demo_->lancer({u"--annuler"_s, constats});
    QVERIFY2(reprise.code == 0, qPrintable(reprise.erreurs));
    QCOMPARE(factCliSansHorodatage(demo_->base()), factCliVierge_);
}

// Escape and closing the window in turn, at a random moment of a repairing run, answered Yes.
void TestArret::parLaFenetre() {
    const quint32 g = graine();
    QRandomGenerator alea(g);
    QTemporaryDir programme;
    int arretes = 0;
    qint64 dureeFenetre = 0;
    for (int essai = 0; arretes < 4 && essai <= 16; ++essai) {
        demo_->vierge();
        Session session;
        session.environnement.RepertoireSociete = u"SOCDEMO"_s;
        session.connexion = Connexion::ouvrirSQLite(demo_->base());
        InterlocuteurTest utilisateur;
        utilisateur.reponse = true;
        utilisateur.visionneuseDisponible = true;
        FenetreControle f(programme.path(), HorlogeSysteme(), &utilisateur);
        f.Form_Load(std::move(session));
        f.findChild<QCalendarWidget*>("dte_Date")->setSelectedDate(QDate(2025, 1, 1));
        f.findChild<QCalendarWidget*>("dte_Date_Fin")->setSelectedDate(QDate(2025, 12, 31));
        f.findChild<QCheckBox*>("chk_AjoutEnregistrement")->setChecked(true);
        f.findChild<QCheckBox*>("chk_MiseAJour")->setChecked(true);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));

        // The first run is measured, uninterrupted; the others are stopped within its length.
        const bool fermer = essai % 2 == 0;
        const int delai = essai == 0 ? -1 : int(alea.bounded(quint32(dureeFenetre * 9 / 10 + 1)));
        QTimer minuterie;
        minuterie.setSingleShot(true);
        connect(&minuterie, &QTimer::timeout, &f, [&] {
            if (fermer)
                f.close();
            else
                QTest::keyClick(&f, Qt::Key_Escape);
        });
        if (delai >= 0)
            minuterie.start(delai);
        QElapsedTimer chrono;
        chrono.start();
        QTest::mouseClick(f.findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);
        minuterie.stop();
        if (essai == 0) {
            dureeFenetre = chrono.elapsed();
            QCOMPARE(lire(f.FichierRapport()), rapportComplet_);
            continue;
        }
        const QString contexte = u"seed %1, attempt %2, %3 after %4 ms"_s.arg(g).arg(essai).arg(
            fermer ? u"closing"_s : u"Escape"_s, QString::number(delai));
        if (utilisateur.boites.isEmpty() ||
            utilisateur.boites.first().texte != u"Arrêter le contrôle en cours ?") {
            QCOMPARE(lire(f.FichierRapport()), rapportComplet_); // the run ended before the stop was asked
            continue;
        }
        ++arretes;
        QCOMPARE(utilisateur.boites.size(), 2);
        const auto& boite = utilisateur.boites.at(1);
        QVERIFY2(!boite.question && boite.texte.startsWith(u"Contrôle arrêté après la facture "_s),
                 qPrintable(contexte + u' ' + boite.texte));
        QVERIFY(boite.texte.endsWith(f.FichierRapport()));
        // Closing asked for the end of the program: the window goes once the run has stopped.
        QCOMPARE(f.isVisible(), !fermer);
        QVERIFY(f.findChild<QPushButton*>("cmd_Lancer")->isEnabled());
        const QString echec = verifierApresArret(lire(f.FichierRapport()), contexte);
        QVERIFY2(echec.isEmpty(), qPrintable(echec));
    }
    qInfo("seed %u: uninterrupted window run %lld ms, %d stopped", g, dureeFenetre, arretes);
    QVERIFY(arretes >= 4);
}

// A progress line on a terminal only, rewritten in place at most ten times a second; -q keeps only
// the errors and the report's path.
void TestArret::progression_data() {
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("silencieux");
    QTest::newRow("terminal") << true << false;
    QTest::newRow("terminal, silencieux") << true << true;
    QTest::newRow("journal") << false << false;
    QTest::newRow("journal, silencieux") << false << true;
}

void TestArret::progression() {
    QFETCH(bool, terminal);
    QFETCH(bool, silencieux);
    demo_->vierge();
    int maitre = -1, esclave = -1;
    if (terminal)
        QVERIFY(::openpty(&maitre, &esclave, nullptr, nullptr, nullptr) == 0);
    QStringList arguments = Reparation;
    if (silencieux)
        arguments << u"-q"_s;
    QProcess p;
    QElapsedTimer chrono;
    chrono.start();
    demo_->demarrer(p, arguments, [esclave] {
        if (esclave >= 0)
            ::dup2(esclave, STDERR_FILENO);
    });
    const Sortie s = demo_->attendre(p);
    const qint64 duree = chrono.elapsed();
    QString erreurs = s.erreurs;
    if (terminal) {
        ::close(esclave);
        ::fcntl(maitre, F_SETFL, O_NONBLOCK);
        QByteArray octets;
        char tampon[4096];
        for (ssize_t n; (n = ::read(maitre, tampon, sizeof tampon)) > 0;)
            octets.append(tampon, n);
        ::close(maitre);
        erreurs = QString::fromUtf8(octets);
    }
    QCOMPARE(s.code, 1);
    QCOMPARE(s.sortie.count(u'\n'), 1);
    const qsizetype lignes = erreurs.count(u"\rcontrole-coherence: "_s);
    if (terminal && !silencieux) {
        QVERIFY2(lignes >= 1 && lignes <= duree / 100 + 1, qPrintable(QString::number(lignes)));
        QVERIFY2(erreurs.contains(QRegularExpression(u"\rcontrole-coherence: \\d+ / 2998"_s)),
                 qPrintable(erreurs));
        // The line is wiped before the summary.
        QVERIFY(erreurs.contains(
            QRegularExpression(u"\r\x1b\\[Kcontrole-coherence: Enregistrements parcourus : 2\u202F?998 "_s)));
    } else {
        QCOMPARE(lignes, 0);
        QVERIFY(!erreurs.contains(u'\r') || terminal); // a terminal turns line feeds into CR LF
    }
    if (silencieux)
        QVERIFY2(erreurs.trimmed().isEmpty(), qPrintable(erreurs));
    else
        QCOMPARE(erreurs.count(u"controle-coherence: Enregistrements parcourus : "_s), 1);
}

QTEST_MAIN(TestArret)
#include "tst_Arret.moc"
