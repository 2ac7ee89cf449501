#include "BaseTest.h"
#include "InterlocuteurTest.h"
#include "ReglagesTest.h"
#include "app/FenetreControle.h"
#include "app/Traductions.h"
#include "data/Environnement.h"
#include "data/ReglagesHote.h"
#include "report/LectureConstats.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <functional>

using namespace Qt::StringLiterals;

using namespace cc;
using namespace cc::test;

class TestFenetreControle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void controles_data();
    void controles();
    void disposition();
    void petitEcran();
    void pendantLeControle();
    void ordreDeTabulation();
    void demarrageSansSociete();
    void demarrageEtLancement();
    void echecDuTraitement();
    void baseEnLectureSeule();
    void visionneuseIntrouvable();
    void clavier_data();
    void clavier();
    void entreeDansUnCalendrier_data();
    void entreeDansUnCalendrier();
    void questionAvantReparation_data();
    void questionAvantReparation();
    void calendrierSuitLaPage_data();
    void calendrierSuitLaPage();
    void dateTapee_data();
    void dateTapee();
    void periodeInversee();
    void sensFactCli();
    void rapportsDansLesDocuments();
    void menusEnFrancais();
    void constatsEtAnnulation();

private:
    QTemporaryDir config_;
    const QDateTime maintenant_{QDate(2026, 12, 8), QTime(10, 15, 30)};
    Horloge horloge() const {
        return [t = maintenant_] { return t; };
    }
};

namespace {

// A window started on a database of its own, one invoice whose dossier FACTCLI lacks.
struct FenetrePrete {
    QTemporaryDir dossier;
    InterlocuteurTest utilisateur;
    std::unique_ptr<BaseTest> base;
    std::unique_ptr<FenetreControle> f;
    // With sonInterlocuteur, the window answers its own boxes (real message boxes).
    explicit FenetrePrete(const QString& repertoireProgramme, const Horloge& horloge,
                          bool sonInterlocuteur = false) {
        const QString chemin = dossier.filePath(u"vendrax.mdb"_s);
        base = std::make_unique<BaseTest>(chemin);
        base->facture("F1", "2026-03-01", "", tranche(1, "100.00", "DV1", "D1"));
        base->facture("F2", "2026-03-02", "", tranche(1, "30.00", "DV2", "D2"));
        base->factCli("F2", "D2", "2026-03-02", "DV2", "01/03/2026 10:00", 20.0);
        Session session;
        session.environnement.RepertoireSociete = u"SOC"_s;
        session.connexion = Connexion::ouvrirSQLite(chemin);
        f = std::make_unique<FenetreControle>(repertoireProgramme.isEmpty() ? dossier.path()
                                                                            : repertoireProgramme,
                                              horloge, sonInterlocuteur ? nullptr : &utilisateur);
        f->Form_Load(std::move(session));
        f->findChild<QCalendarWidget*>("dte_Date")->setSelectedDate(QDate(2026, 1, 1));
    }
    void montrer() {
        f->show();
        QApplication::setActiveWindow(f.get());
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
    }
    template <typename T> T* controle(const char* nom) const {
        return f->findChild<T*>(QLatin1StringView(nom));
    }
};

// Runs action while a timer answers the first modal box with a key; returns the box's text and
// whether No was its default button.
struct BoiteVue {
    QString texte;
    bool nonParDefaut = false;
};
BoiteVue repondre(const std::function<void()>& action, Qt::Key touche) {
    BoiteVue vue;
    QTimer minuterie;
    minuterie.setInterval(10);
    QObject::connect(&minuterie, &QTimer::timeout, [&] {
        auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!boite)
            return;
        minuterie.stop();
        vue.texte = boite->text();
        vue.nonParDefaut = boite->defaultButton() == boite->button(QMessageBox::No);
        QTest::keyClick(boite, touche);
    });
    minuterie.start();
    action();
    return vue;
}

} // namespace

void TestFenetreControle::initTestCase() {
    // The host settings of these tests live in a folder of their own, never the user's.
    QVERIFY(config_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    remplacerReglagesHote(config_.path(), {});
}

void TestFenetreControle::controles_data() {
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("texte");
    QTest::newRow("lblBase") << "lblBase"
                             << "Base de donnée :";
    QTest::newRow("lblFich") << "lblFich"
                             << "Label3";
    QTest::newRow("Label1") << "Label1"
                            << "Date de début :";
    QTest::newRow("lblFin") << "lblFin"
                            << "Date de fin :";
    QTest::newRow("Label2") << "Label2"
                            << "Progression";
    QTest::newRow("chk_Facture_FactCli") << "chk_Facture_FactCli"
                                         << "Contrôle à partir des factures";
    QTest::newRow("chk_AjoutEnregistrement") << "chk_AjoutEnregistrement"
                                             << "Ajouter les enregistrements manquants dans factCli";
    QTest::newRow("chk_MiseAJour") << "chk_MiseAJour"
                                   << "Mettre les données à jour";
    QTest::newRow("cmd_Lancer") << "cmd_Lancer"
                                << "Lancer";
}

void TestFenetreControle::controles() {
    QFETCH(QString, nom);
    QFETCH(QString, texte);
    FenetreControle f(QDir::tempPath(), horloge());
    QCOMPARE(f.objectName(), u"frm_Controle"_s);
    QCOMPARE(f.windowTitle(), u"Controle de cohérence dossier - facture"_s);
    QWidget* w = f.findChild<QWidget*>(nom);
    QVERIFY(w);
    if (auto* l = qobject_cast<QLabel*>(w)) {
        QCOMPARE(l->text(), texte);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        // The caption's words as stored, one letter of it marked for the Alt key.
        QCOMPARE(QString(b->text()).remove(u'&'), texte);
        QCOMPARE(b->text().count(u'&'), 1);
    }
    // Initial states before any start-up.
    QCOMPARE(f.findChild<QCalendarWidget*>("dte_Date")->selectedDate(), QDate(2011, 1, 1));
    QVERIFY(f.findChild<QCheckBox*>("chk_Facture_FactCli")->isChecked());
    QVERIFY(!f.findChild<QCheckBox*>("chk_AjoutEnregistrement")->isChecked());
    QVERIFY(!f.findChild<QCheckBox*>("chk_MiseAJour")->isChecked());
    auto* prg = f.findChild<QProgressBar*>("prg_Facture");
    QCOMPARE(prg->minimum(), 0);
    QCOMPARE(prg->maximum(), 100);
    QCOMPARE(prg->value(), 0);
}

// The stored arrangement at the window's normal size: nothing clipped, nothing overlapping, each
// control where it stands in the host product's window.
void TestFenetreControle::disposition() {
    FenetreControle f(QDir::tempPath(), horloge());
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    // Resizable, and no larger than the screen.
    QVERIFY(f.minimumSize() != f.maximumSize());
    QVERIFY(f.screen()->availableGeometry().size().expandedTo(f.size()) ==
            f.screen()->availableGeometry().size());
#ifndef Q_OS_WIN
    QVERIFY(!f.windowIcon().pixmap(32).isNull());
#else
    // The static Qt for Windows reads no SVG: the program gives its windows the .ico form of the icon.
    const QIcon ico(QStringLiteral(":/controle-coherence.ico"));
    QVERIFY(!ico.pixmap(16).isNull());
    QVERIFY(!ico.pixmap(256).isNull());
#endif
    auto* page = f.findChild<QWidget*>(u"page"_s);
    QHash<QString, QRect> place;
    const QStringList noms{"lblBase",
                           "lblFich",
                           "Label1",
                           "lblFin",
                           "dte_Date",
                           "dte_Date_Fin",
                           "lignePeriode",
                           "chk_Facture_FactCli",
                           "Label2",
                           "prg_Facture",
                           "chk_AjoutEnregistrement",
                           "chk_MiseAJour",
                           "cmd_Lancer",
                           "ligneComptes"};
    for (const QString& nom : noms) {
        QWidget* w = f.findChild<QWidget*>(nom);
        QVERIFY2(w, qPrintable(nom));
        place.insert(nom, QRect(w->mapTo(page, QPoint(0, 0)), w->size()));
        QVERIFY2(page->rect().contains(place[nom]), qPrintable(nom));
        const QSize besoin = w->minimumSizeHint();
        QVERIFY2(w->width() >= besoin.width() && w->height() >= besoin.height(), qPrintable(nom));
        if (qobject_cast<QAbstractButton*>(w) ||
            (qobject_cast<QLabel*>(w) && !w->sizePolicy().hasHeightForWidth()))
            QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(nom));
    }
    for (const QString& a : noms)
        for (const QString& b : noms)
            if (a != b && !place[a].isEmpty() && !place[b].isEmpty())
                QVERIFY2(!place[a].intersects(place[b]), qPrintable(a + u" / "_s + b));
    const auto auDessus = [&](const char* haut, const char* bas) {
        return place[QLatin1StringView(haut)].bottom() < place[QLatin1StringView(bas)].top();
    };
    const auto aGauche = [&](const char* gauche, const char* droite) {
        return place[QLatin1StringView(gauche)].right() < place[QLatin1StringView(droite)].left();
    };
    QVERIFY(aGauche("lblBase", "lblFich"));
    QVERIFY(auDessus("lblBase", "Label1"));
    QVERIFY(aGauche("Label1", "lblFin") && aGauche("dte_Date", "dte_Date_Fin"));
    QVERIFY(auDessus("Label1", "dte_Date") && auDessus("lblFin", "dte_Date_Fin"));
    QCOMPARE(place["lblFin"].left(), place["dte_Date_Fin"].left());
    const char* colonne[] = {"dte_Date",     "lignePeriode", "chk_Facture_FactCli",
                             "Label2",       "prg_Facture",  "chk_AjoutEnregistrement",
                             "chk_MiseAJour"};
    for (std::size_t i = 0; i + 1 < std::size(colonne); ++i)
        QVERIFY2(auDessus(colonne[i], colonne[i + 1]), colonne[i]);
    // The button on the right of the repair boxes, level with them, under the bar's right end.
    QVERIFY(aGauche("chk_AjoutEnregistrement", "cmd_Lancer") && aGauche("chk_MiseAJour", "cmd_Lancer"));
    QVERIFY(place["cmd_Lancer"].top() < place["chk_MiseAJour"].bottom());
    QVERIFY(place["cmd_Lancer"].bottom() > place["chk_AjoutEnregistrement"].top());
    QCOMPARE(place["cmd_Lancer"].right(), place["prg_Facture"].right());
    QVERIFY(auDessus("cmd_Lancer", "ligneComptes"));
    // At its normal size the whole page shows, without scroll bars.
    auto* defilement = f.findChild<QScrollArea*>();
    QVERIFY(!defilement->verticalScrollBar()->isVisible());
    QVERIFY(!defilement->horizontalScrollBar()->isVisible());
}

// What 1280 × 800 leaves at a scale factor of 2: every control can be reached with Tab, and the
// page scrolls to show the one that has the focus.
void TestFenetreControle::petitEcran() {
    FenetrePrete p(QString(), horloge());
    p.f->resize(640, 360);
    p.montrer();
    auto* defilement = p.f->findChild<QScrollArea*>();
    QTRY_VERIFY(defilement->verticalScrollBar()->isVisible());
    p.controle<QWidget>("dte_Date")->setFocus();
    QStringList vus;
    for (int i = 0; i < 30; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        for (QWidget* w = focus; w; w = w->parentWidget())
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"_s) &&
                !vus.contains(w->objectName())) {
                vus.append(w->objectName());
                break;
            }
        // Focus never leaves the page, and the focused control lies inside the part that shows.
        QVERIFY2(defilement->viewport()->isAncestorOf(focus), qPrintable(focus->objectName()));
        const QRect visible(focus->mapTo(defilement->viewport(), QPoint(0, 0)), focus->size());
        QVERIFY2(defilement->viewport()->rect().intersects(visible), qPrintable(focus->objectName()));
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    for (const char* nom : {"dte_Date", "dte_Date_Fin", "chk_Facture_FactCli", "chk_AjoutEnregistrement",
                            "chk_MiseAJour", "cmd_Lancer"})
        QVERIFY2(vus.contains(QLatin1StringView(nom)), nom);
    // The button reached by the keyboard starts a run.
    QWidget* lancer = p.controle<QWidget>("cmd_Lancer");
    lancer->setFocus();
    QTest::keyClick(lancer, Qt::Key_Return);
    QTRY_COMPARE(p.utilisateur.boites.size(), 1);
}

// During a run: « Arrêter » shows and has the focus, the controls that choose a run are greyed, the
// window is not; Escape from there asks to stop.
void TestFenetreControle::pendantLeControle() {
    FenetrePrete p(QString(), horloge());
    p.base->executer(u"BEGIN"_s);
    for (int i = 0; i < 4000; ++i)
        p.base->facture(u"G%1"_s.arg(i), "2026-05-01", "", tranche(1, "10", "DV", u"G%1"_s.arg(i % 50)));
    p.base->executer(u"COMMIT"_s);
    p.utilisateur.reponse = true;
    p.montrer();
    auto* arreter = p.controle<QPushButton>("cmd_Arreter");
    auto* lancer = p.controle<QPushButton>("cmd_Lancer");
    QVERIFY(arreter->isHidden());
    QStringList pendant;
    QTimer guet;
    guet.setInterval(0);
    QObject::connect(&guet, &QTimer::timeout, [&] {
        if (!pendant.isEmpty() || !arreter->isVisible())
            return;
        for (const char* nom : {"dte_Date", "dte_Date_Fin", "chk_Facture_FactCli", "chk_AjoutEnregistrement",
                                "chk_MiseAJour", "cmd_Lancer"})
            if (p.controle<QWidget>(nom)->isEnabled())
                pendant.append(QLatin1StringView(nom));
        pendant.append(p.f->isEnabled() ? u"fenêtre active"_s : u"fenêtre grisée"_s);
        pendant.append(arreter->hasFocus() ? u"focus sur Arrêter"_s : u"focus ailleurs"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    guet.start();
    QTest::mouseClick(lancer, Qt::LeftButton);
    guet.stop();
    QCOMPARE(pendant, (QStringList{u"fenêtre active"_s, u"focus sur Arrêter"_s}));
    QCOMPARE(p.utilisateur.boites.size(), 2);
    QCOMPARE(p.utilisateur.boites.at(0).texte, u"Arrêter le contrôle en cours ?"_s);
    QVERIFY(p.utilisateur.boites.at(1).texte.startsWith(u"Contrôle arrêté après la facture "_s));
    QVERIFY(arreter->isHidden());
    QVERIFY(lancer->isEnabled() && lancer->hasFocus());
}

void TestFenetreControle::ordreDeTabulation() {
    FenetreControle f(QDir::tempPath(), horloge());
    const QStringList attendu{
        "dte_Date",      "dte_Date_Fin", "chk_Facture_FactCli", "chk_AjoutEnregistrement",
        "chk_MiseAJour", "cmd_Lancer"};
    QStringList vu;
    QWidget* w = f.findChild<QWidget*>("dte_Date");
    for (int i = 0; i < 200 && vu.size() < attendu.size(); ++i) {
        if (attendu.contains(w->objectName()) && !vu.contains(w->objectName()))
            vu.append(w->objectName());
        w = w->nextInFocusChain();
    }
    QCOMPARE(vu, attendu);
}

void TestFenetreControle::demarrageSansSociete() {
    InterlocuteurTest utilisateur;
    FenetreControle f(QDir::tempPath(), horloge(), &utilisateur);
    QVERIFY(!f.Form_Load());
    QCOMPARE(utilisateur.textes(),
             QStringList{u"Aucune société n'est actuellement active.\r\nVeuillez relancer VENDRAX."_s});
    QCOMPARE(utilisateur.boites.first().icone, Icone::Critique);
    QCOMPARE(utilisateur.boites.first().titre, TitreApplication());
}

void TestFenetreControle::demarrageEtLancement() {
    QTemporaryDir dossier;
    const QString base = dossier.filePath(u"base"_s);
    QVERIFY(QDir().mkpath(base + u"/SOC 1"_s));
    {
        BaseTest b(base + u"/SOC 1/vendrax.mdb"_s);
        b.facture("F1", "2026-03-01", "",
                  tranche(1, "100.00", "DV1", "D1") + tranche(2, "20.50", "DV1", "D1"));
        b.facture("F2", "2026-03-02 08:30:00", "D2", tranche(1, "50", "DV2", "D2"));
        b.facture("F3", "2026-04-01", "", tranche(1, "5", "", "D3"));
        b.factCli("F2", "D2", "2026-03-02", "DV2", "01/03/2026 10:00", 50.0);
    }
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, OrganisationReglages(),
                    ApplicationReglages());
        s.setValue(CleRepertoireBase(), base);
        s.setValue(CleSocieteActive(), u"SOC 1"_s);
    }
    const QString programme = dossier.filePath(u"programme avec blanc"_s);
    QVERIFY(QDir().mkpath(programme));

    InterlocuteurTest utilisateur;
    utilisateur.reponse = true;
    FenetreControle f(programme, horloge(), &utilisateur);
    QVERIFY(f.Form_Load());
    QVERIFY(utilisateur.boites.isEmpty());
    QCOMPARE(f.findChild<QLabel*>("lblFich")->text(), u"SOC 1"_s);
    QCOMPARE(f.findChild<QCalendarWidget*>("dte_Date_Fin")->selectedDate(), QDate(2026, 12, 8));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    f.findChild<QCalendarWidget*>("dte_Date")->setSelectedDate(QDate(2026, 3, 1));
    f.findChild<QCalendarWidget*>("dte_Date_Fin")->setSelectedDate(QDate(2026, 3, 31));
    f.findChild<QCheckBox*>("chk_AjoutEnregistrement")->setChecked(true);
    QTest::mouseClick(f.findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);

    const QString rapport =
        QDir::toNativeSeparators(programme + u"/ResultatControl.SOC 1.2026-12-08-10-15-30.txt"_s);
    QCOMPARE(f.FichierRapport(), rapport);
    // The repair question, answered Yes, then the end-of-run prompt.
    QCOMPARE(utilisateur.confirmations, QStringList{QuestionReparation(f.optionsAffichees())});
    QCOMPARE(utilisateur.boites.size(), 1);
    QVERIFY(utilisateur.boites.last().question);
    // What was written, and that it can be undone, before the end-of-run prompt as it stands.
    QCOMPARE(
        utilisateur.boites.last().texte,
        u"1 ligne ajoutée à FACTCLI. Le fichier de constats les garde et permet de les annuler "
        u"(«\u00A0Annuler "
        "les écritures de ce contrôle\u00A0») :\r\n"_s +
            f.fichierConstats() +
            u"\r\n\r\nTraitement terminé, le rapport à été généré.\r\n Désirez-vous ouvrir le fichier ? \r\n"_s +
            rapport);
    QCOMPARE(utilisateur.fichiersOuverts, QStringList{rapport});
    auto* prg = f.findChild<QProgressBar*>("prg_Facture");
    QCOMPARE(prg->maximum(), 2);
    QCOMPARE(prg->value(), 2);
    QCOMPARE(prg->text(), u"2 / 2"_s);
    QVERIFY(f.isEnabled());
    QVERIFY(f.findChild<QPushButton*>("cmd_Lancer")->isEnabled());
    // The counts of the run, under the bar.
    const QString comptes = f.findChild<QLabel*>("ligneComptes")->text();
    QVERIFY2(comptes.contains(u"Parcourus : 2 "_s) && comptes.contains(u"manquants : 1 "_s) &&
                 comptes.contains(u"ajoutés : 1 "_s) && comptes.contains(u"réécrits : 0"_s),
             qPrintable(comptes));

    QFile fichier(rapport);
    QVERIFY(fichier.open(QIODevice::ReadOnly));
    QCOMPARE(fichier.readAll(), QByteArray("Erreur sur la facture : F1 et le dossier : D1\r\n"
                                           "L'enregistrement est manquant\r\n"));
    BaseTest* rien = nullptr;
    Q_UNUSED(rien);
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"verif"_s);
    {
        db.setDatabaseName(base + u"/SOC 1/vendrax.mdb"_s);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"SELECT NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, Montant "
                       "FROM FACTCLI ORDER BY rowid"_s));
        QStringList lignes;
        while (q.next()) {
            QStringList c;
            for (int i = 0; i < 6; ++i)
                c.append(q.value(i).toString());
            lignes.append(c.join(u'|'));
        }
        QCOMPARE(lignes, (QStringList{"F2|D2|2026-03-02|DV2|01/03/2026 10:00|50",
                                      "F1|D1|2026-03-01|DV1|08/12/2026 10:15|120.5"}));
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"verif"_s);
}

void TestFenetreControle::echecDuTraitement() {
    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(u"vendrax.mdb"_s);
    {
        BaseTest b(chemin);
        b.facture("F1", "2026-03-01", "", tranche(1, "100.00", "DV1", "D1"));
        b.facture("F2", "2026-03-02", "", tranche(1, "100.00", "DV1", "D2"));
        // A database that lacks the table makes the first lookup fail half-way through the run.
        b.executer(u"DROP TABLE FACTCLI"_s);
    }
    Session session;
    session.environnement.RepertoireSociete = u"SOC"_s;
    session.connexion = Connexion::ouvrirSQLite(chemin);
    session.designation = chemin;
    InterlocuteurTest utilisateur;
    FenetreControle f(dossier.path(), horloge(), &utilisateur);
    f.Form_Load(std::move(session));
    f.findChild<QCalendarWidget*>("dte_Date")->setSelectedDate(QDate(2026, 1, 1));
    QTest::mouseClick(f.findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);

    // One error box that names the database, then a number, the driver's description and the
    // report's path; no end-of-run prompt.
    QCOMPARE(utilisateur.boites.size(), 1);
    const auto& boite = utilisateur.boites.first();
    QVERIFY(!boite.question);
    QCOMPARE(boite.icone, Icone::Critique);
    QVERIFY2(boite.texte.startsWith(u"La base de données "_s + chemin +
                                    u" a refusé une opération du contrôle.\r\nErreur "_s),
             qPrintable(boite.texte));
    QVERIFY(boite.texte.contains(f.FichierRapport()));
    QVERIFY(QFile::exists(f.FichierRapport()));
    QVERIFY(f.isEnabled());
    QVERIFY(f.findChild<QPushButton*>("cmd_Lancer")->isEnabled());
}

// A repair on a database that may only be read: the box says so and what to do, in French; the
// driver's words are kept for support in the findings file, never in the box.
void TestFenetreControle::baseEnLectureSeule() {
    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(u"vendrax.mdb"_s);
    {
        BaseTest b(chemin);
        b.facture("F1", "2026-03-01", "", tranche(1, "100.00", "DV1", "D1"));
    }
    Session session;
    session.environnement.RepertoireSociete = u"SOC"_s;
    session.connexion = Connexion::ouvrirSQLite(chemin);
    // As root, file modes stop nobody: the connection itself refuses every write, as SQLite does a
    // read-only file.
    QVERIFY(QSqlQuery(session.connexion->base()).exec(u"PRAGMA query_only = ON"_s));
    session.designation = chemin;
    InterlocuteurTest utilisateur;
    FenetreControle f(dossier.path(), horloge(), &utilisateur);
    f.Form_Load(std::move(session));
    f.findChild<QCalendarWidget*>("dte_Date")->setSelectedDate(QDate(2026, 1, 1));
    f.findChild<QCheckBox*>("chk_AjoutEnregistrement")->setChecked(true);
    QTest::mouseClick(f.findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);

    QCOMPARE(utilisateur.boites.size(), 1);
    const QString texte = utilisateur.boites.first().texte;
    QVERIFY2(texte.startsWith(u"La base de données est en lecture seule"_s), qPrintable(texte));
    QVERIFY2(texte.contains(u"demandez le droit d'écrire dans la base "_s + chemin), qPrintable(texte));
    for (const QString& jargon : {u"INSERT"_s, u"FACTCLI ("_s, u"readonly"_s, u"attempt"_s, u"?"_s})
        QVERIFY2(!texte.contains(jargon), qPrintable(texte));
    QFile constats(f.FichierRapport().chopped(4) + u".csv"_s);
    QVERIFY(constats.open(QIODevice::ReadOnly));
    const QString support = QString::fromUtf8(constats.readAll());
    QVERIFY2(support.contains(u"erreur de la base"_s) && support.contains(u"readonly"_s),
             qPrintable(QString(support).replace(u"\r\n"_s, u" | "_s)));
}

void TestFenetreControle::visionneuseIntrouvable() {
    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(u"vendrax.mdb"_s);
    { BaseTest b(chemin); }
    Session session;
    session.environnement.RepertoireSociete = u"SOC"_s;
    session.connexion = Connexion::ouvrirSQLite(chemin);
    InterlocuteurTest utilisateur;
    utilisateur.reponse = true;
    utilisateur.visionneuseDisponible = false;
    FenetreControle f(dossier.path(), horloge(), &utilisateur);
    f.Form_Load(std::move(session));
    auto* prg = f.findChild<QProgressBar*>("prg_Facture");
    prg->setValue(40);
    QTest::mouseClick(f.findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);
    // An empty period leaves the bar as it was and says so before the prompt; the empty report is
    // still named. A viewer that cannot start is told as such, with the path: the run has ended.
    QCOMPARE(prg->value(), 40);
    QCOMPARE(QFileInfo(f.FichierRapport()).size(), 0);
    QCOMPARE(utilisateur.boites.size(), 2);
    QVERIFY(utilisateur.boites.at(0).question);
    QCOMPARE(utilisateur.boites.at(0).texte,
             u"Aucune facture du 1er janvier 2011 au 8 décembre 2026 : rien n'a été "
             "contrôlé.\r\n\r\n"_s +
                 MessageFin(f.FichierRapport()));
    QCOMPARE(utilisateur.boites.at(1).icone, Icone::Information);
    QCOMPARE(utilisateur.boites.at(1).texte,
             u"Aucune application n'a pu ouvrir ce fichier. Il se trouve ici :\r\n"_s + f.FichierRapport());
}

// Enter starts a run from « Lancer » or a check box, and the focus is on « Lancer » afterwards; each
// box answers to Alt and its marked letter.
void TestFenetreControle::clavier_data() {
    QTest::addColumn<QString>("depart");
    QTest::addColumn<int>("touche");
    QTest::addColumn<bool>("alt");
    QTest::newRow("Entrée sur une case") << u"chk_Facture_FactCli"_s << int(Qt::Key_Return) << false;
    QTest::newRow("Entrée du pavé sur Lancer") << u"cmd_Lancer"_s << int(Qt::Key_Enter) << false;
    QTest::newRow("Alt+L") << u"chk_Facture_FactCli"_s << int(Qt::Key_L) << true;
}

void TestFenetreControle::clavier() {
    QFETCH(QString, depart);
    QFETCH(int, touche);
    QFETCH(bool, alt);
    FenetrePrete p(QString(), horloge());
    FenetreControle& f = *p.f;
    p.montrer();
    const struct {
        const char* nom;
        Qt::Key lettre;
    } cases[] = {{"chk_Facture_FactCli", Qt::Key_F},
                 {"chk_AjoutEnregistrement", Qt::Key_A},
                 {"chk_MiseAJour", Qt::Key_M}};
    for (const auto& c : cases) {
        auto* boite = f.findChild<QCheckBox*>(c.nom);
        const bool avant = boite->isChecked();
        // A mnemonic clicks the way a mouse does: pressed, released a moment later.
        QTest::keyClick(&f, c.lettre, Qt::AltModifier);
        QTRY_COMPARE(boite->isChecked(), !avant);
        QTest::keyClick(&f, c.lettre, Qt::AltModifier);
        QTRY_COMPARE(boite->isChecked(), avant);
    }
    QWidget* w = f.findChild<QWidget*>(depart);
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(touche), alt ? Qt::AltModifier : Qt::NoModifier);
    QTRY_COMPARE(p.utilisateur.boites.size(), 1);
    QVERIFY(p.utilisateur.boites.first().question);
    QVERIFY(f.findChild<QPushButton*>("cmd_Lancer")->hasFocus());
}

// Enter that confirms a year or a date typed into a calendar stays in the calendar, even with both
// repair boxes ticked.
void TestFenetreControle::entreeDansUnCalendrier_data() {
    QTest::addColumn<QString>("calendrier");
    QTest::addColumn<bool>("annee"); // the year field, otherwise the date editor of the grid
    for (const QString& c : {u"dte_Date"_s, u"dte_Date_Fin"_s}) {
        QTest::addRow("%s, année", qPrintable(c)) << c << true;
        QTest::addRow("%s, date tapée", qPrintable(c)) << c << false;
    }
}

void TestFenetreControle::entreeDansUnCalendrier() {
    QFETCH(QString, calendrier);
    QFETCH(bool, annee);
    FenetrePrete p(QString(), horloge());
    p.montrer();
    p.controle<QCheckBox>("chk_AjoutEnregistrement")->setChecked(true);
    p.controle<QCheckBox>("chk_MiseAJour")->setChecked(true);
    auto* c = p.f->findChild<QCalendarWidget*>(calendrier);
    c->setSelectedDate(QDate(2026, 3, 15));
    if (annee) {
        QTest::mouseClick(c->findChild<QWidget*>(u"qt_calendar_yearbutton"_s), Qt::LeftButton);
        auto* champ = c->findChild<QSpinBox*>(u"qt_calendar_yearedit"_s);
        QTRY_VERIFY(champ->hasFocus());
        QTest::keyClick(champ, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(champ, u"2024"_s);
        QTest::keyClick(champ, Qt::Key_Return);
    } else {
        QWidget* grille = c->findChild<QWidget*>(u"qt_calendar_calendarview"_s);
        grille->setFocus();
        QTRY_VERIFY(grille->hasFocus());
        // Digits open the date editor over the grid; Enter confirms the date typed.
        QTest::keyClicks(grille, u"20"_s);
        QTest::keyClick(grille, Qt::Key_Enter);
    }
    // Whatever the keys posted has run once the queue is empty: a run would have asked or written by then.
    QCoreApplication::processEvents();
    QVERIFY2(p.utilisateur.boites.isEmpty(), qPrintable(p.utilisateur.textes().join(u'\n')));
    QVERIFY(p.utilisateur.confirmations.isEmpty());
    QVERIFY(p.f->FichierRapport().isEmpty());
    QCOMPARE(p.base->contenuFactCli().size(), 1);
}

// A run that writes asks first, in words, with No as the answer Enter gives; No writes nothing and
// opens no report.
void TestFenetreControle::questionAvantReparation_data() {
    QTest::addColumn<bool>("ajouter");
    QTest::addColumn<bool>("mettreAJour");
    QTest::addColumn<QString>("question");
    const QString periode = u", pour les factures du 1er janvier 2026 au 8 décembre 2026. Continuer ?"_s;
    QTest::newRow("les deux") << true << true
                              << u"Les lignes manquantes seront ajoutées à FACTCLI et les montants "
                                 "différents réécrits"_s +
                                     periode;
    QTest::newRow("ajouter") << true << false
                             << u"Les lignes manquantes seront ajoutées à FACTCLI"_s + periode;
    QTest::newRow("mettre à jour") << false << true
                                   << u"Les montants différents de FACTCLI seront réécrits"_s + periode;
}

void TestFenetreControle::questionAvantReparation() {
    QFETCH(bool, ajouter);
    QFETCH(bool, mettreAJour);
    QFETCH(QString, question);
    FenetrePrete p(QString(), horloge(), true);
    p.montrer();
    p.controle<QCheckBox>("chk_AjoutEnregistrement")->setChecked(ajouter);
    p.controle<QCheckBox>("chk_MiseAJour")->setChecked(mettreAJour);
    auto* lancer = p.controle<QPushButton>("cmd_Lancer");
    lancer->setFocus();
    const BoiteVue vue = repondre([&] { QTest::keyClick(lancer, Qt::Key_Return); }, Qt::Key_Return);
    QCOMPARE(vue.texte, question);
    QVERIFY(vue.nonParDefaut);
    QVERIFY(p.f->FichierRapport().isEmpty());
    QCOMPARE(p.base->contenuFactCli(), QStringList{u"F2|D2|2026-03-02|DV2|01/03/2026 10:00|20.0"_s});
}

// Whatever moves a calendar to another page moves its selected day there: the day highlighted is the
// day checked, and the line under the calendars says the period.
void TestFenetreControle::calendrierSuitLaPage_data() {
    QTest::addColumn<QString>("calendrier");
    QTest::addColumn<QDate>("avant");
    QTest::addColumn<QString>("geste");
    QTest::addColumn<QDate>("apres");
    for (const QString& c : {u"dte_Date"_s, u"dte_Date_Fin"_s}) {
        QTest::addRow("%s, mois suivant, plus court", qPrintable(c))
            << c << QDate(2026, 1, 31) << u"suivant"_s << QDate(2026, 2, 28);
        QTest::addRow("%s, mois précédent", qPrintable(c))
            << c << QDate(2026, 3, 15) << u"précédent"_s << QDate(2026, 2, 15);
        QTest::addRow("%s, année tapée, 29 février", qPrintable(c))
            << c << QDate(2024, 2, 29) << u"année 2025"_s << QDate(2025, 2, 28);
        QTest::addRow("%s, menu des mois", qPrintable(c))
            << c << QDate(2026, 3, 31) << u"menu"_s << QDate(2026, 4, 30);
    }
}

void TestFenetreControle::calendrierSuitLaPage() {
    QFETCH(QString, calendrier);
    QFETCH(QDate, avant);
    QFETCH(QString, geste);
    QFETCH(QDate, apres);
    FenetrePrete p(QString(), horloge());
    p.montrer();
    p.controle<QCheckBox>("chk_AjoutEnregistrement")->setChecked(true);
    auto* c = p.f->findChild<QCalendarWidget*>(calendrier);
    c->setSelectedDate(avant);
    if (geste == u"suivant") {
        QTest::mouseClick(c->findChild<QWidget*>(u"qt_calendar_nextmonth"_s), Qt::LeftButton);
    } else if (geste == u"précédent") {
        QTest::mouseClick(c->findChild<QWidget*>(u"qt_calendar_prevmonth"_s), Qt::LeftButton);
    } else if (geste == u"menu") {
        // The month menu is a popup of its own: Down to April, Enter chooses it.
        QTimer::singleShot(50, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (int i = 0; i < 12 && !(menu->activeAction() && menu->activeAction()->text() == u"avril");
                 ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(c->findChild<QWidget*>(u"qt_calendar_monthbutton"_s), Qt::LeftButton);
    } else {
        QTest::mouseClick(c->findChild<QWidget*>(u"qt_calendar_yearbutton"_s), Qt::LeftButton);
        auto* champ = c->findChild<QSpinBox*>(u"qt_calendar_yearedit"_s);
        QTRY_VERIFY(champ->hasFocus());
        QTest::keyClick(champ, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(champ, geste.mid(6));
        QTest::keyClick(champ, Qt::Key_Return);
    }
    QTRY_COMPARE(c->selectedDate(), apres);
    QCOMPARE(c->yearShown(), apres.year());
    QCOMPARE(c->monthShown(), apres.month());
    const OptionsControle options = p.f->optionsAffichees();
    QCOMPARE(calendrier == u"dte_Date" ? options.debut : options.fin, apres);
    QCOMPARE(p.controle<QLabel>("lignePeriode")->text().section(u" : "_s, 0, 0),
             TextePeriode(options.debut, options.fin));
    // No key of these gestures started anything.
    QVERIFY(p.utilisateur.boites.isEmpty() && p.utilisateur.confirmations.isEmpty());
}

// Digits typed over the grid give a day of the month shown; a date Qt's editor cannot make leaves
// the day as it was.
void TestFenetreControle::dateTapee_data() {
    QTest::addColumn<QString>("chiffres");
    QTest::addColumn<QDate>("apres");
    QTest::newRow("un jour") << u"20"_s << QDate(2026, 3, 20);
    QTest::newRow("jour et mois") << u"0511"_s << QDate(2026, 11, 5);
    QTest::newRow("mois commençant par zéro") << u"2003"_s << QDate(2026, 3, 15);
}

void TestFenetreControle::dateTapee() {
    QFETCH(QString, chiffres);
    QFETCH(QDate, apres);
    FenetrePrete p(QString(), horloge());
    p.montrer();
    auto* c = p.controle<QCalendarWidget>("dte_Date");
    c->setSelectedDate(QDate(2026, 3, 15));
    QWidget* grille = c->findChild<QWidget*>(u"qt_calendar_calendarview"_s);
    grille->setFocus();
    QTRY_VERIFY(grille->hasFocus());
    QTest::keyClicks(grille, chiffres);
    QTest::keyClick(grille, Qt::Key_Return);
    QCOMPARE(c->selectedDate(), apres);
    QCOMPARE(c->monthShown(), apres.month());
    QCOMPARE(p.f->optionsAffichees().debut, apres);
}

void TestFenetreControle::periodeInversee() {
    FenetrePrete p(QString(), horloge());
    p.controle<QCalendarWidget>("dte_Date")->setSelectedDate(QDate(2024, 12, 31));
    p.controle<QCalendarWidget>("dte_Date_Fin")->setSelectedDate(QDate(2024, 1, 1));
    QCOMPARE(p.controle<QLabel>("lignePeriode")->text(),
             u"Du mardi 31 décembre 2024 au lundi 1er janvier 2024 : période inversée"_s);
    QTest::mouseClick(p.controle<QPushButton>("cmd_Lancer"), Qt::LeftButton);
    QCOMPARE(
        p.utilisateur.textes(),
        QStringList{u"Période inversée : le premier jour 31 décembre 2024 est après le dernier 1er janvier "
                    "2024.\r\nChoisissez un premier jour avant le dernier ; rien n'a été lancé."_s});
    QVERIFY(p.f->FichierRapport().isEmpty());

    p.controle<QCalendarWidget>("dte_Date")->setSelectedDate(QDate(2024, 1, 1));
    p.controle<QCalendarWidget>("dte_Date_Fin")->setSelectedDate(QDate(2024, 12, 31));
    QCOMPARE(p.controle<QLabel>("lignePeriode")->text(),
             u"Du lundi 1er janvier 2024 au mardi 31 décembre 2024"_s);
}

// In the FACTCLI direction the repair boxes are greyed with their ticks kept, and a run writes nothing
// and asks nothing.
void TestFenetreControle::sensFactCli() {
    FenetrePrete p(QString(), horloge());
    auto* sens = p.controle<QCheckBox>("chk_Facture_FactCli");
    auto* ajouter = p.controle<QCheckBox>("chk_AjoutEnregistrement");
    auto* mettreAJour = p.controle<QCheckBox>("chk_MiseAJour");
    ajouter->setChecked(true);
    mettreAJour->setChecked(true);
    sens->setChecked(false);
    QVERIFY(!ajouter->isEnabled() && !mettreAJour->isEnabled());
    QVERIFY(ajouter->isChecked() && mettreAJour->isChecked());
    QTest::mouseClick(p.controle<QPushButton>("cmd_Lancer"), Qt::LeftButton);
    QVERIFY(p.utilisateur.confirmations.isEmpty());
    QCOMPARE(p.utilisateur.boites.size(), 1); // the end prompt alone
    QCOMPARE(p.utilisateur.boites.first().texte, MessageFin(p.f->FichierRapport()));
    QCOMPARE(p.base->contenuFactCli().size(), 1);
    QVERIFY(!ajouter->isEnabled() && !mettreAJour->isEnabled());
    sens->setChecked(true);
    QVERIFY(ajouter->isEnabled() && mettreAJour->isEnabled());
    QVERIFY(ajouter->isChecked() && mettreAJour->isChecked());
}

// A program directory that cannot be written: the reports go to the documents folder, which the
// end prompt says once.
void TestFenetreControle::rapportsDansLesDocuments() {
#ifdef Q_OS_WIN
    QSKIP("The documents folder is found through HOME here; Windows has its known folders");
#endif
    QTemporaryDir maison;
    const QByteArray ancienneMaison = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(maison.path()));
    FenetrePrete p(maison.filePath(u"programme absent"_s), horloge());
    QTest::mouseClick(p.f->findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);
    QTest::mouseClick(p.f->findChild<QPushButton*>("cmd_Lancer"), Qt::LeftButton);
    qputenv("HOME", ancienneMaison);

    const QString dossier = QDir::toNativeSeparators(maison.filePath(u"Documents/Contrôle de cohérence"_s));
    QCOMPARE(QFileInfo(p.f->FichierRapport()).absolutePath(), dossier);
    QVERIFY(QFileInfo(p.f->FichierRapport()).size() > 0);
    QCOMPARE(p.utilisateur.boites.size(), 2);
    const QString premiere = p.utilisateur.boites.at(0).texte;
    QVERIFY2(
        premiere.startsWith(u"Le répertoire du programme n'est pas accessible en écriture : les rapports "
                            "sont écrits dans "_s +
                            dossier),
        qPrintable(premiere));
    QVERIFY(premiere.endsWith(MessageFin(p.f->FichierRapport())));
    QCOMPARE(p.utilisateur.boites.at(1).texte, MessageFin(p.f->FichierRapport()));
}

// Qt's own texts, such as the context menu of a calendar's year field, are French.
void TestFenetreControle::menusEnFrancais() {
    QTranslator* traducteur = ChargerTraductionsQt();
    QVERIFY2(traducteur, "qtbase_fr.qm introuvable");
    FenetrePrete p(QString(), horloge());
    p.montrer();
    auto* c = p.controle<QCalendarWidget>("dte_Date");
    QTest::mouseClick(c->findChild<QWidget*>(u"qt_calendar_yearbutton"_s), Qt::LeftButton);
    auto* ligne = c->findChild<QSpinBox*>(u"qt_calendar_yearedit"_s)->findChild<QLineEdit*>();
    const std::unique_ptr<QMenu> menu(ligne->createStandardContextMenu());
    QStringList textes;
    for (const QAction* a : menu->actions())
        if (!a->isSeparator())
            textes.append(QString(a->text()).remove(u'&').section(u'\t', 0, 0));
    QCoreApplication::removeTranslator(traducteur);
    delete traducteur;
    QVERIFY2(textes.contains(u"Annuler"_s) && textes.contains(u"Copier"_s) && textes.contains(u"Coller"_s),
             qPrintable(textes.join(u", "_s)));
}

namespace {

// The table's rows as shown (after filter and sort), fields joined by "|".
QStringList lignesTable(const QTableView* table) {
    QStringList lignes;
    const QAbstractItemModel* m = table->model();
    for (int i = 0; i < m->rowCount(); ++i) {
        QStringList champs;
        for (int j = 0; j < m->columnCount(); ++j)
            champs.append(m->index(i, j).data().toString());
        lignes.append(champs.join(u'|'));
    }
    return lignes;
}

// The findings file's rows in the table's columns.
QStringList lignesFichier(const QString& chemin) {
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return {u"<illisible>"_s};
    const auto lignes = LireCsv(QString::fromUtf8(f.readAll()).remove(QChar(0xFEFF)));
    const QStringList colonnes{u"Facture"_s,         u"Dossier"_s,         u"Constat"_s,
                               u"Montant FACTCLI"_s, u"Montant facturé"_s, u"Action"_s};
    QStringList resultat;
    for (std::size_t i = 1; i < lignes.size(); ++i) {
        QStringList champs;
        for (const QString& c : colonnes) {
            const auto k = std::find(lignes[0].begin(), lignes[0].end(), c) - lignes[0].begin();
            champs.append(lignes[i][std::size_t(k)]);
        }
        // The rows that close a group of writes are no finding.
        if (champs[2] != u"validation"_s)
            resultat.append(champs.join(u'|'));
    }
    return resultat;
}

} // namespace

// After a repairing run the table holds the findings file's rows, sorts and filters them; the two
// files open from the window; the undo asks first, « Non » leaves FACTCLI repaired, « Oui » gives it
// back as it was and shows the undo's own counts and rows.
void TestFenetreControle::constatsEtAnnulation() {
    FenetrePrete p(QString(), horloge());
    p.montrer();
    // Placed low on the screen, the window that grows for the table stays on it.
    const QRect ecran = p.f->screen()->availableGeometry();
    p.f->move(ecran.left() + 40, ecran.bottom() - p.f->frameGeometry().height() - 10);
    const QStringList avant = p.base->contenuFactCli();
    auto* panneau = p.controle<QWidget>("panneauConstats");
    QVERIFY(panneau->isHidden());
    p.controle<QCheckBox>("chk_AjoutEnregistrement")->setChecked(true);
    p.controle<QCheckBox>("chk_MiseAJour")->setChecked(true);
    QTest::mouseClick(p.controle<QPushButton>("cmd_Lancer"), Qt::LeftButton);
    const QStringList repare = p.base->contenuFactCli();
    QCOMPARE(repare.size(), 2);
    QVERIFY(panneau->isVisible());
    QTRY_VERIFY2(
        ecran.contains(p.f->frameGeometry()),
        qPrintable(u"%1 on %2"_s.arg(QDebug::toString(p.f->frameGeometry()), QDebug::toString(ecran))));
    auto* table = p.controle<QTableView>("tableConstats");
    const QStringList attendu{u"F1|D1|ligne manquante||100|ligne ajoutée"_s,
                              u"F2|D2|montant différent|20|30|montant réécrit"_s};
    QCOMPARE(lignesFichier(p.f->fichierConstats()), attendu);
    QCOMPARE(lignesTable(table), attendu);
    // Sorted by the billed amount as a number (30 before 100); then filtered by finding.
    table->sortByColumn(4, Qt::AscendingOrder);
    QCOMPARE(lignesTable(table), (QStringList{attendu[1], attendu[0]}));
    auto* filtre = p.controle<QComboBox>("filtreConstats");
    filtre->setCurrentText(u"ligne manquante"_s);
    QCOMPARE(lignesTable(table), QStringList{attendu[0]});
    QCOMPARE(p.controle<QLabel>("titreConstats")->text(), u"Constats : 1 sur 2"_s);

    QTest::mouseClick(p.controle<QPushButton>("cmd_OuvrirConstats"), Qt::LeftButton);
    QTest::mouseClick(p.controle<QPushButton>("cmd_OuvrirRapport"), Qt::LeftButton);
    QCOMPARE(p.utilisateur.fichiersOuverts, (QStringList{p.f->fichierConstats(), p.f->FichierRapport()}));

    auto* annuler = p.controle<QPushButton>("cmd_Annuler");
    QVERIFY(annuler->isEnabled());
    p.utilisateur.confirmations.clear();
    p.utilisateur.confirme = false;
    QTest::mouseClick(annuler, Qt::LeftButton);
    QCOMPARE(p.utilisateur.confirmations, QStringList{QuestionAnnulation(p.f->fichierConstats())});
    QCOMPARE(p.base->contenuFactCli(), repare);

    p.utilisateur.confirme = true;
    p.utilisateur.boites.clear();
    // The clock stands still: the undo's findings file takes the run's name, the run's moves aside.
    QTest::mouseClick(annuler, Qt::LeftButton);
    QVERIFY2(p.utilisateur.boites.size() == 1 && p.utilisateur.boites.first().question,
             qPrintable(p.utilisateur.textes().join(u'\n')));
    QCOMPARE(p.base->contenuFactCli(), avant);
    QCOMPARE(
        p.controle<QLabel>("ligneComptes")->text(),
        u"Écritures à annuler : 2 · annulées : 2 · déjà rétablies : 0 · laissées (modifiées depuis) : 0"_s);
    QCOMPARE(lignesTable(table), lignesFichier(p.f->fichierConstats()));
    // The last write is undone first.
    QCOMPARE(lignesTable(table), (QStringList{u"F2|D2|montant réécrit|20|30|montant rétabli"_s,
                                              u"F1|D1|ligne ajoutée||100|ligne supprimée"_s}));
    QVERIFY(!annuler->isEnabled());
    QCOMPARE(p.utilisateur.boites.size(), 1);
    QCOMPARE(p.utilisateur.boites.first().texte, MessageFin(p.f->FichierRapport()));
}

QTEST_MAIN(TestFenetreControle)
#include "tst_FenetreControle.moc"
