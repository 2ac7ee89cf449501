// Runs that meet a fault (killed, locked out, no room, no right to write, a damaged file) on a demo
// company: no FACTCLI row is half-written, nothing crashes, the failure is told, and a new run finishes
// the job as one run without fault would have.
#include "FichierConstats.h"
#include "SocieteDemo.h"
#include "commun/LigneStatistiques.h"
#include "report/ColonnesConstats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QTime>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace cc::test;

namespace {

const QStringList Reparation = ArgumentsReparation();
const QStringList Lecture{u"--du"_s, u"2025-01-01"_s, u"--au"_s, u"2025-12-31"_s, u"--sens"_s, u"factures"_s};
const QStringList LectureFactCli = ArgumentsFactCli();

// As root, permission bits stop nobody: the child gives up the capabilities that override them, so
// that a read-only file or directory is read-only to it as to a user.
void sansPassePartout() {
    if (::geteuid() != 0)
        return;
    for (const int cap : {1 /* DAC_OVERRIDE */, 2 /* DAC_READ_SEARCH */, 3 /* FOWNER */})
        ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
}

// One figure of the --statistiques line; -1 when the line or the figure is missing.
qint64 statistique(const QString& erreurs, QStringView cle) {
    return cc::LireLigneStatistiques(erreurs).value_or(QHash<QString, qint64>{}).value(cle.toString(), -1);
}

// Set once the undo reads the findings file as a journal (its groups, its exact values): the fault tests
// then also undo what a killed run left and check that FACTCLI is exactly as before.
constexpr bool AnnulationDuJournal = true;

// The findings file of the last run, beside the program; empty when there is not exactly one.
QString fichierConstats(const SocieteDemo& demo) {
    const QDir d(demo.repertoireProgramme());
    const QStringList f = d.entryList({u"ResultatControl.*.csv"_s}, QDir::Files);
    return f.size() == 1 ? d.filePath(f.first()) : QString();
}

// FACTCLI by rowid, every value as stored (type and blanks included).
QMap<qlonglong, QString> factCliEntiere(const QString& base) {
    QMap<qlonglong, QString> rangees;
    const QStringList lignes = interroger(
        base, u"SELECT rowid, quote(NUM_FACTURE), quote(NUM_DOSSIER), quote(JOUR), quote(NUM_DEVIS), "
              "quote(DATE_MAJ), quote(Montant) FROM FACTCLI ORDER BY rowid"_s);
    for (const QString& l : lignes)
        rangees.insert(l.section(u'|', 0, 0).toLongLong(), l.section(u'|', 1));
    return rangees;
}

// What a run's findings file says it wrote: the rows it added or rewrote (by locator), and the counts.
struct Journal {
    QSet<qlonglong> lignes;
    qint64 ajoutes = 0;
    qint64 reecrits = 0;
    QString erreur;
};

Journal lireJournal(const QString& chemin) {
    Journal j;
    QFile f(chemin);
    // A run killed before it made its findings file, or before the file got its heading (written in one
    // piece), wrote nothing either.
    if (chemin.isEmpty() || !f.open(QIODevice::ReadOnly) || f.size() == 0)
        return j;
    const LectureCsv csv = lireCsv(f.readAll());
    if (!csv.erreur.isEmpty() || csv.lignes.empty()) {
        j.erreur = u"findings file: "_s + csv.erreur;
        return j;
    }
    const QStringList& entete = csv.lignes.front();
    const qsizetype action = entete.indexOf(u"Action"_s), ligne = entete.indexOf(u"Ligne"_s);
    const qsizetype groupe = entete.indexOf(u"Groupe"_s), controle = entete.indexOf(u"Contrôle"_s);
    if (action < 0 || ligne < 0 || groupe < 0 || controle < 0) {
        j.erreur = u"findings file without the journal's columns"_s;
        return j;
    }
    for (std::size_t i = 1; i < csv.lignes.size(); ++i) {
        const QStringList& l = csv.lignes[i];
        const bool ajout = l[action] == u"ligne ajoutée"_s || l[action] == u"ligne réécrite"_s;
        if (!ajout && l[action] != u"montant réécrit"_s)
            continue;
        if (l[groupe].isEmpty() || l[controle].size() != 17 || l[ligne].isEmpty())
            j.erreur = u"write row %1 without its group, check value or locator"_s.arg(i);
        j.lignes.insert(l[ligne].toLongLong());
        ++(ajout ? j.ajoutes : j.reecrits);
    }
    return j;
}

// Empty when every row the run changed in FACTCLI has its row in the findings file and, unless only that
// is asked (a kill at any moment may fall between the file and the commit), every write of the file is
// in FACTCLI.
QString journalComplet(const QMap<qlonglong, QString>& avant, const QString& base, const Journal& journal,
                       bool dansLesDeuxSens) {
    if (!journal.erreur.isEmpty())
        return journal.erreur;
    const QMap<qlonglong, QString> apres = factCliEntiere(base);
    QSet<qlonglong> changees;
    for (auto it = apres.cbegin(); it != apres.cend(); ++it)
        if (avant.value(it.key()) != it.value())
            changees.insert(it.key());
    for (auto it = avant.cbegin(); it != avant.cend(); ++it)
        if (!apres.contains(it.key()))
            return u"row %1 deleted"_s.arg(it.key());
    const QSet<qlonglong> sansTrace = changees - journal.lignes;
    if (!sansTrace.isEmpty())
        return u"%1 rows written that the findings file does not record, such as rowid %2"_s
            .arg(sansTrace.size())
            .arg(*sansTrace.begin());
    const QSet<qlonglong> sansEcriture = journal.lignes - changees;
    if (dansLesDeuxSens && !sansEcriture.isEmpty())
        return u"%1 writes recorded that FACTCLI does not hold, such as rowid %2"_s.arg(sansEcriture.size())
            .arg(*sansEcriture.begin());
    return {};
}

} // namespace

class TestPannes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tueAuHasard();
    void tueApresValidation();
    void verrou_data();
    void verrou();
    void repertoireProgrammeProtege();
    void disquePlein_data();
    void disquePlein();
    void journalPlein();
    void baseEnLectureSeule();
    void baseAbimee_data();
    void baseAbimee();
    void annulationTuee();
    void annulationGrosFichier();
    void ecrituresGroupees();
    void memoireDuProgrammeSeul();

private:
    std::unique_ptr<SocieteDemo> demo_;
    QStringList factCliVierge_;
    QMap<qlonglong, QString> vierge_; // FACTCLI as generated, every value
    QStringList factCliRepare_;
    QByteArray rapportReparation_;
    QByteArray rapportLecture_;
    QByteArray rapportApresReparation_; // the FACTCLI-driven check once repaired: what cannot be repaired
    qint64 dureeReparationMs_ = 0;
    qint64 dureeReferenceMs_ = 0;
};

void TestPannes::initTestCase() {
    demo_ = std::make_unique<SocieteDemo>(GenerateurAnnee2025(800, 11));
    demo_->vierge();
    factCliVierge_ = factCliSansHorodatage(demo_->base());
    vierge_ = factCliEntiere(demo_->base());
    const Sortie l = demo_->lancer(Lecture);
    QCOMPARE(l.code, 1);
    rapportLecture_ = l.rapport;

    // The walk one statement at a time writes each row on its own: a kill then finds more states.
    qputenv("CC_PARCOURS", "reference");
    QElapsedTimer chrono;
    chrono.start();
    const Sortie ref = demo_->lancer(Reparation);
    dureeReferenceMs_ = chrono.elapsed();
    qunsetenv("CC_PARCOURS");
    QCOMPARE(ref.code, 1);
    const QStringList factCliReference = factCliSansHorodatage(demo_->base());

    demo_->vierge();
    chrono.start();
    const Sortie r = demo_->lancer(Reparation);
    dureeReparationMs_ = chrono.elapsed();
    QCOMPARE(r.code, 1);
    QCOMPARE(ref.rapport, r.rapport);
    rapportReparation_ = r.rapport;
    factCliRepare_ = factCliSansHorodatage(demo_->base());
    QCOMPARE(factCliReference, factCliRepare_);
    QVERIFY(factCliRepare_ != factCliVierge_);
    const Sortie f = demo_->lancer(LectureFactCli);
    QVERIFY(f.code == 0 || f.code == 1);
    rapportApresReparation_ = f.rapport;
    qInfo("repairing run: %lld ms (one statement at a time: %lld ms), %lld FACTCLI rows before, %lld after",
          dureeReparationMs_, dureeReferenceMs_, qlonglong(factCliVierge_.size()),
          qlonglong(factCliRepare_.size()));
}

// SIGKILL at random moments of a repairing run; each time the next run must finish the job.
void TestPannes::tueAuHasard() {
    const quint32 graine = qEnvironmentVariableIsSet("CC_GRAINE") ? qEnvironmentVariableIntValue("CC_GRAINE")
                                                                  : QRandomGenerator::system()->generate();
    QRandomGenerator alea(graine);
    int interrompus = 0, enCoursDeReparation = 0, essais = 0;
    while (interrompus < 20 && essais < 60) {
        ++essais;
        demo_->vierge();
        // Every other run takes the walk one statement at a time.
        const bool reference = essais % 2 == 0;
        const qint64 duree = reference ? dureeReferenceMs_ : dureeReparationMs_;
        if (reference)
            qputenv("CC_PARCOURS", "reference");
        QProcess p;
        demo_->demarrer(p, Reparation);
        qunsetenv("CC_PARCOURS");
        const int delai = int(alea.bounded(quint32(duree + duree / 10 + 1)));
        if (!p.waitForFinished(delai)) {
            p.kill();
            p.waitForFinished(5000);
            ++interrompus;
        }
        const QString contexte =
            u"seed %1, attempt %2, kill after %3 ms%4"_s.arg(graine).arg(essais).arg(delai).arg(
                reference ? u", one statement at a time"_s : QString());
        QCOMPARE(integrite(demo_->base()), u"ok"_s);
        const QString journal =
            journalComplet(vierge_, demo_->base(), lireJournal(fichierConstats(*demo_)), false);
        QVERIFY2(journal.isEmpty(), qPrintable(contexte + u'\n' + journal));
        const QStringList tue = factCliSansHorodatage(demo_->base());
        const QString entier = rangeesEntieres(tue, factCliVierge_, factCliRepare_);
        QVERIFY2(entier.isEmpty(), qPrintable(contexte + u'\n' + entier));
        if (tue != factCliVierge_ && tue != factCliRepare_)
            ++enCoursDeReparation;

        const Sortie reprise = demo_->lancer(Reparation);
        QVERIFY2(reprise.code == 0 || reprise.code == 1, qPrintable(contexte + u'\n' + reprise.erreurs));
        QVERIFY2(factCliSansHorodatage(demo_->base()) == factCliRepare_, qPrintable(contexte));
        const Sortie apres = demo_->lancer(LectureFactCli);
        QVERIFY2(apres.rapport == rapportApresReparation_, qPrintable(contexte));
    }
    qInfo("seed %u: %d attempts, %d runs killed, %d of them in the middle of the repairs", graine, essais,
          interrompus, enCoursDeReparation);
    QVERIFY(interrompus >= 20);
}

// Killed just after a commit, before anything else is written: whatever the commit, every write in
// FACTCLI is in the findings file and the file records no write that FACTCLI lacks.
void TestPannes::tueApresValidation() {
    // The commits of a whole run, in each walk: the one statement at a time commits more often.
    qsizetype validations[2] = {0, 0};
    for (const bool reference : {false, true}) {
        demo_->vierge();
        if (reference)
            qputenv("CC_PARCOURS", "reference");
        const Sortie complet = demo_->lancer(Reparation);
        qunsetenv("CC_PARCOURS");
        QCOMPARE(complet.code, 1);
        QFile f(fichierConstats(*demo_));
        QVERIFY(f.open(QIODevice::ReadOnly));
        validations[reference] = f.readAll().count(u";groupe validé;"_s.toUtf8());
        QVERIFY(validations[reference] >= 1);
    }
    const quint32 graine = QRandomGenerator::system()->generate();
    QRandomGenerator alea(graine);
    for (int essai = 0; essai < 20; ++essai) {
        demo_->vierge();
        const bool reference = essai % 2 == 1;
        const int apres = 1 + int(alea.bounded(quint32(validations[reference])));
        if (reference)
            qputenv("CC_PARCOURS", "reference");
        qputenv("CC_ARRET_APRES_VALIDATION", QByteArray::number(apres));
        QProcess p;
        demo_->demarrer(p, Reparation);
        qunsetenv("CC_ARRET_APRES_VALIDATION");
        qunsetenv("CC_PARCOURS");
        const Sortie s = demo_->attendre(p);
        const QString contexte = u"seed %1, killed after commit %2 of %3%4"_s.arg(graine)
                                     .arg(apres)
                                     .arg(validations[reference])
                                     .arg(reference ? u", one statement at a time"_s : QString());
        QVERIFY2(s.code == -2, qPrintable(contexte + u"\n"_s + s.erreurs));
        QCOMPARE(integrite(demo_->base()), u"ok"_s);
        const QString constats = fichierConstats(*demo_);
        const QString journal = journalComplet(vierge_, demo_->base(), lireJournal(constats), true);
        QVERIFY2(journal.isEmpty(), qPrintable(contexte + u'\n' + journal));
        if (!AnnulationDuJournal)
            continue;
        const QString copie = demo_->racine() + u"/tue.csv"_s;
        QFile::remove(copie);
        QVERIFY(QFile::copy(constats, copie));
        const Sortie annulation = demo_->lancer({u"--annuler"_s, copie});
        QVERIFY2(annulation.code == 0, qPrintable(contexte + u'\n' + annulation.erreurs));
        QVERIFY2(factCliEntiere(demo_->base()) == vierge_, qPrintable(contexte));
    }
}

// Another connection holds the write lock: for less than the busy time-out the run waits and completes;
// held until the run ends, however long its reading takes on a busy machine, the run fails having changed
// nothing.
void TestPannes::verrou_data() {
    QTest::addColumn<int>("dureeMs");
    QTest::addColumn<bool>("reussit");
    QTest::newRow("court") << 2500 << true;
    QTest::newRow("jusqu'à la fin du contrôle") << 120000 << false;
}

void TestPannes::verrou() {
    QFETCH(int, dureeMs);
    QFETCH(bool, reussit);
    demo_->vierge();
    const QString nom = u"verrou"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nom);
        db.setDatabaseName(demo_->base());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"BEGIN IMMEDIATE"_s));

        QElapsedTimer chrono;
        chrono.start();
        QProcess p;
        demo_->demarrer(p, Reparation);
        const bool finiSousVerrou = p.waitForFinished(dureeMs);
        QVERIFY(q.exec(u"ROLLBACK"_s));
        const Sortie s = demo_->attendre(p);
        const qint64 duree = chrono.elapsed();
        db.close();
        if (reussit) {
            QVERIFY2(!finiSousVerrou, "the run ended while another held the lock");
            QVERIFY2(s.code == 1, qPrintable(s.erreurs));
            QCOMPARE(s.rapport, rapportReparation_);
            QCOMPARE(factCliSansHorodatage(demo_->base()), factCliRepare_);
        } else {
            QVERIFY2(finiSousVerrou, "the run kept waiting");
            QCOMPARE(s.code, 2);
            QVERIFY2(duree >= 9000, "the run did not wait for the busy time-out");
            QVERIFY2(s.erreurs.contains(u"Erreur "_s) && s.erreurs.contains(u"locked"_s, Qt::CaseInsensitive),
                     qPrintable(s.erreurs));
            QCOMPARE(factCliSansHorodatage(demo_->base()), factCliVierge_);
            QVERIFY(rapportReparation_.startsWith(s.rapport));
        }
    }
    QSqlDatabase::removeDatabase(nom);
}

// The program's directory cannot be written: the report goes to the user's documents, which is said
// once, and the run is the same.
void TestPannes::repertoireProgrammeProtege() {
    demo_->vierge();
    demo_->effacerRapports();
    QFile::setPermissions(demo_->repertoireProgramme(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QStringList arguments = Reparation;
    arguments << u"--statistiques"_s;
    const Sortie s = demo_->lancer(arguments, sansPassePartout);
    QVERIFY2(s.code == 1, qPrintable(s.erreurs));
    QCOMPARE(s.rapports, 0);
    const QString dossier = demo_->maison() + u"/Documents/Contrôle de cohérence"_s;
    QCOMPARE(s.erreurs.count(u"les rapports sont écrits dans "_s + dossier), 1);
    const QString chemin = s.sortie.trimmed().section(u'\n', -1);
    QCOMPARE(QFileInfo(chemin).absolutePath(), dossier);
    QFile rapport(chemin);
    QVERIFY(rapport.open(QIODevice::ReadOnly));
    QCOMPARE(rapport.readAll(), rapportReparation_);
    QCOMPARE(factCliSansHorodatage(demo_->base()), factCliRepare_);

    // Nowhere to write at all: the failure is told without a report that does not exist.
    demo_->vierge();
    QDir(demo_->maison() + u"/Documents"_s).removeRecursively();
    QVERIFY(QDir().mkpath(demo_->maison()));
    QFile::setPermissions(demo_->maison(), QFile::ReadOwner | QFile::ExeOwner);
    const Sortie nulle = demo_->lancer(arguments, sansPassePartout);
    QFile::setPermissions(demo_->maison(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(demo_->repertoireProgramme(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(nulle.code, 2);
    QVERIFY2(nulle.erreurs.contains(u"Impossible de créer le rapport"_s), qPrintable(nulle.erreurs));
    QVERIFY2(!nulle.erreurs.contains(u"Le rapport garde les lignes"_s), qPrintable(nulle.erreurs));
    QVERIFY2(statistique(nulle.erreurs, cc::cle::LignesLues) == 0, qPrintable(nulle.erreurs));
    QVERIFY(nulle.sortie.isEmpty());
    QCOMPARE(factCliSansHorodatage(demo_->base()), factCliVierge_);
}

// No more room for the file being written (a file-size limit, its signal ignored, as a full disk).
void TestPannes::disquePlein_data() {
    QTest::addColumn<bool>("reparer");
    QTest::newRow("lecture") << false;
    QTest::newRow("réparation") << true;
}

void TestPannes::disquePlein() {
    QFETCH(bool, reparer);
    demo_->vierge();
    constexpr rlim_t limite = 1000;
    const Sortie s = demo_->lancer(reparer ? Reparation : Lecture, [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{limite, limite};
        ::setrlimit(RLIMIT_FSIZE, &r);
    });
    QCOMPARE(s.code, 2);
    QVERIFY2(s.erreurs.contains(u"Erreur "_s), qPrintable(s.erreurs));
    const QByteArray& complet = reparer ? rapportReparation_ : rapportLecture_;
    QVERIFY(complet.size() > qsizetype(limite));
    QVERIFY2(complet.startsWith(s.rapport), s.rapport.constData());
    QCOMPARE(integrite(demo_->base()), u"ok"_s);
    const QStringList apres = factCliSansHorodatage(demo_->base());
    QVERIFY2(rangeesEntieres(apres, factCliVierge_, factCliRepare_).isEmpty(),
             qPrintable(rangeesEntieres(apres, factCliVierge_, factCliRepare_)));
    if (!reparer) {
        // Whichever of the report and the findings file reaches the limit first stops the run.
        QVERIFY(s.rapport.size() <= qsizetype(limite));
        QVERIFY2(s.erreurs.contains(u"Impossible d'écrire dans le rapport"_s) ||
                     s.erreurs.contains(u"Impossible d'écrire dans le fichier de constats"_s),
                 qPrintable(s.erreurs));
        QCOMPARE(apres, factCliVierge_);
    }
    const Sortie reprise = demo_->lancer(Reparation);
    QVERIFY(reprise.code == 0 || reprise.code == 1);
    QCOMPARE(factCliSansHorodatage(demo_->base()), factCliRepare_);
}

// No more room on the disk while the findings file is written (the reports on a small file system of
// their own): the run fails, nothing is committed that the file does not hold, and its counts are the
// file's.
void TestPannes::journalPlein() {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        QSKIP("no mount namespace of the test's own here");
    demo_->vierge();
    const Sortie complet = demo_->lancer(Reparation);
    QCOMPARE(complet.code, 1);
    const qint64 taille = QFileInfo(fichierConstats(*demo_)).size() + complet.rapport.size();
    const QString dossier = demo_->racine() + u"/plein"_s;
    QVERIFY(QDir().mkpath(dossier));
    int surLeJournal = 0;
    for (const int quarts : {1, 2, 3}) {
        demo_->vierge();
        const QByteArray place = "size=" + QByteArray::number(taille * quarts / 4);
        QVERIFY(::mount("tmpfs", dossier.toLocal8Bit().constData(), "tmpfs", 0, place.constData()) == 0);
        const Sortie s =
            demo_->lancer(QStringList(Reparation) << u"--rapports"_s << dossier << u"--statistiques"_s);
        const QStringList fichiers = QDir(dossier).entryList({u"*.csv"_s}, QDir::Files);
        const Journal journal =
            lireJournal(fichiers.size() == 1 ? dossier + u'/' + fichiers.first() : QString());
        ::umount(dossier.toLocal8Bit().constData());
        const QString contexte = u"%1 bytes of %2\n"_s.arg(taille * quarts / 4).arg(taille) + s.erreurs;
        QVERIFY2(s.code == 2, qPrintable(contexte));
        if (s.erreurs.contains(u"Impossible d'écrire dans le fichier de constats"_s))
            ++surLeJournal;
        const QString ecart = journalComplet(vierge_, demo_->base(), journal, true);
        QVERIFY2(ecart.isEmpty(), qPrintable(contexte + u'\n' + ecart));
        QVERIFY2(statistique(s.erreurs, cc::cle::Ajoutes) == journal.ajoutes &&
                     statistique(s.erreurs, cc::cle::Reecrits) == journal.reecrits,
                 qPrintable(contexte + u"\nthe file records %1 added, %2 rewritten"_s.arg(journal.ajoutes)
                                           .arg(journal.reecrits)));
    }
    QVERIFY(surLeJournal > 0);
}

// The repair boxes are ticked but the database file may only be read: the first write fails, clearly.
void TestPannes::baseEnLectureSeule() {
    demo_->vierge();
    QFile::setPermissions(demo_->base(), QFile::ReadOwner | QFile::ReadOther);
    const Sortie s = demo_->lancer(Reparation, sansPassePartout);
    QFile::setPermissions(demo_->base(), QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(s.code, 2);
    // The first line says it in French and what to do; the driver's words follow, for support.
    QVERIFY2(s.erreurs.section(u'\n', 0, 0).contains(u"La base de données est en lecture seule"_s),
             qPrintable(s.erreurs));
    QVERIFY2(s.erreurs.contains(u"readonly"_s, Qt::CaseInsensitive), qPrintable(s.erreurs));
    // No sum-up of counts comes before the error, as if the run had gone well.
    QVERIFY2(!s.erreurs.contains(u"Enregistrements parcourus"_s), qPrintable(s.erreurs));
    QCOMPARE(factCliSansHorodatage(demo_->base()), factCliVierge_);
    // The report stops where the first group of writes was carried out.
    QVERIFY(!s.rapport.isEmpty());
    QVERIFY(rapportReparation_.startsWith(s.rapport));
}

void TestPannes::baseAbimee_data() {
    QTest::addColumn<QString>("abimer");
    QTest::addColumn<bool>("echec");
    QTest::newRow("tronquée de moitié") << u"moitie"_s << true;
    QTest::newRow("tronquée à l'en-tête") << u"entete"_s << true;
    QTest::newRow("octets au hasard derrière l'en-tête") << u"hasard"_s << true;
    // Random bytes inside a long text are only strange text: the run may then go to its end.
    QTest::newRow("pages du milieu au hasard") << u"milieu"_s << false;
    QTest::newRow("texte") << u"texte"_s << true;
    QTest::newRow("vide") << u"vide"_s << true;
}

// A damaged file or one that is no database: a clear error, no crash.
void TestPannes::baseAbimee() {
    QFETCH(QString, abimer);
    QFETCH(bool, echec);
    demo_->vierge();
    QFile f(demo_->base());
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray octets = f.readAll();
    QByteArray abime;
    QRandomGenerator alea(42);
    auto hasard = [&](qsizetype n) {
        QByteArray b(n, Qt::Uninitialized);
        for (char& c : b)
            c = char(alea.bounded(256));
        return b;
    };
    if (abimer == u"moitie")
        abime = octets.left(octets.size() / 2);
    else if (abimer == u"entete")
        abime = octets.left(100);
    else if (abimer == u"hasard")
        abime = octets.left(100) + hasard(octets.size() - 100);
    else if (abimer == u"milieu")
        abime =
            octets.left(octets.size() / 3) + hasard(octets.size() / 3) + octets.mid(2 * (octets.size() / 3));
    else if (abimer == u"texte")
        abime = "Ceci n'est pas une base.\r\n";
    f.resize(0);
    f.write(abime);
    f.close();

    const Sortie s = demo_->lancer(Reparation);
    if (echec || s.code == 2) {
        QCOMPARE(s.code, 2);
        QVERIFY2(s.erreurs.contains(u"erreur"_s, Qt::CaseInsensitive), qPrintable(s.erreurs));
    } else {
        QVERIFY2(s.code == 0 || s.code == 1, qPrintable(s.erreurs));
    }
}

// An undo killed at random moments: another undo finishes the job, and FACTCLI is as before the repair.
void TestPannes::annulationTuee() {
    QRandomGenerator alea(QRandomGenerator::system()->generate());
    const QString constats = demo_->racine() + u"/constats.csv"_s;
    int tues = 0;
    for (int essai = 0; essai < 8; ++essai) {
        demo_->vierge();
        const Sortie r = demo_->lancer(Reparation);
        QCOMPARE(r.code, 1);
        const QString rapport = r.sortie.trimmed().section(u'\n', -1);
        QFile::remove(constats);
        QVERIFY(QFile::copy(rapport.chopped(4) + u".csv"_s, constats));
        QElapsedTimer chrono;
        chrono.start();
        QProcess p;
        demo_->demarrer(p, {u"--annuler"_s, constats});
        if (!p.waitForFinished(int(alea.bounded(quint32(dureeReparationMs_ + 1))))) {
            p.kill();
            p.waitForFinished(5000);
            ++tues;
        }
        QCOMPARE(integrite(demo_->base()), u"ok"_s);
        const Sortie reprise = demo_->lancer({u"--annuler"_s, constats});
        QVERIFY2(reprise.code == 0, qPrintable(reprise.erreurs));
        QCOMPARE(factCliSansHorodatage(demo_->base()), factCliVierge_);
    }
    qInfo("%d undos killed", tues);
}

// A findings file is read as a stream: a 100 MB one takes the undo a fraction of its size in memory.
void TestPannes::annulationGrosFichier() {
    demo_->vierge();
    const QString chemin = demo_->racine() + u"/gros.csv"_s;
    {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QStringList entete;
        for (std::size_t c = 0; c <= std::size_t(cc::ColonneConstat::Ligne); ++c)
            entete << cc::NomsColonnesConstats[c].toString();
        f.write("\xEF\xBB\xBF" + entete.join(u';').toUtf8() + "\r\n");
        const QByteArray rangee =
            "2024-03-01T10:00:00;factures;F1;D1;DV1;ligne manquante;;12,5;aucune;;;;;;;;;" +
            QByteArray(100, 'x') + "\r\n";
        const QByteArray bloc = rangee.repeated(1000);
        while (f.size() < 100 * 1024 * 1024)
            QCOMPARE(f.write(bloc), bloc.size());
    }
    const Sortie r = demo_->lancer({u"--annuler"_s, chemin, u"--statistiques"_s});
    QFile::remove(chemin);
    QVERIFY2(r.code == 0, qPrintable(r.erreurs));
#ifndef CC_SANITISEURS
    // Not under the sanitizers: their allocator keeps freed blocks in quarantine, hundreds of MB.
    const qint64 memoire = statistique(r.erreurs, cc::cle::MemoireMaximaleKo);
    QVERIFY2(memoire > 0 && memoire < 64 * 1024, qPrintable(r.erreurs));
#endif
}

// The repairs are carried out in groups: a few statements for all the rows a group writes, where one
// by one they would cost two each.
void TestPannes::ecrituresGroupees() {
    demo_->vierge();
    const Sortie l = demo_->lancer(QStringList(Lecture) << u"--statistiques"_s);
    const Sortie r = demo_->lancer(QStringList(Reparation) << u"--statistiques"_s);
    QCOMPARE(r.rapport, rapportReparation_);
    QCOMPARE(factCliSansHorodatage(demo_->base()), factCliRepare_);
    const qint64 lignes =
        statistique(r.erreurs, cc::cle::Ajoutes) + statistique(r.erreurs, cc::cle::Reecrits);
    const qint64 enPlus =
        statistique(r.erreurs, cc::cle::Instructions) - statistique(l.erreurs, cc::cle::Instructions);
    QVERIFY2(lignes > 40 && enPlus > 0 && enPlus * 5 <= lignes,
             qPrintable(u"%1 statements more for %2 rows written"_s.arg(enPlus).arg(lignes)));
}

// The memory the program reports is its own, not what the program that started it held.
void TestPannes::memoireDuProgrammeSeul() {
    constexpr std::size_t Tenue = 400u << 20;
    std::vector<char> tenue(Tenue, 1);
    const Sortie l = demo_->lancer(QStringList(Lecture) << u"--statistiques"_s);
    const qint64 memoire = statistique(l.erreurs, cc::cle::MemoireMaximaleKo);
    QVERIFY2(memoire > 0 && memoire < 300 * 1024, qPrintable(l.erreurs));
    QCOMPARE(tenue[Tenue / 2], char(1));
}

QTEST_GUILESS_MAIN(TestPannes)
#include "tst_Pannes.moc"
