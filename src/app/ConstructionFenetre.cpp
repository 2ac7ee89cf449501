// The window's construction: its controls, their arrangement on the page and the tab order. What the
// window does with them is in FenetreControle.cpp.

#include "app/FenetreControle.h"

#include "app/CalendrierPeriode.h"
#include "app/PanneauConstats.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace cc {

namespace {

QLabel* nouveauLabel(QWidget* page, const char* nom, const QString& texte) {
    auto* label = new QLabel(texte, page);
    label->setObjectName(QString::fromLatin1(nom));
    return label;
}

QCheckBox* nouvelleCase(QWidget* page, const char* nom, const QString& texte, bool coche) {
    auto* boite = new QCheckBox(texte, page);
    boite->setObjectName(QString::fromLatin1(nom));
    boite->setChecked(coche);
    return boite;
}

QCalendarWidget* nouveauCalendrier(QWidget* page, const char* nom) {
    QCalendarWidget* calendrier = new CalendrierPeriode(page);
    calendrier->setObjectName(QString::fromLatin1(nom));
    return calendrier;
}

} // namespace

void FenetreControle::construire() {
    setObjectName(QStringLiteral("frm_Controle"));
    setWindowTitle(QStringLiteral("Controle de cohérence dossier - facture"));
    setWindowIcon(QIcon(QStringLiteral(":/controle-coherence.svg")));
    QWidget* page = creerPage();
    creerPeriode(page);
    creerOptions(page);
    creerCommandes(page);
    disposer(page);
    ordonnerTabulation();
    afficherPeriode();
    ajusterTaille(false);
}

QWidget* FenetreControle::creerPage() {
    // Everything lies on one page inside a scroll area, which shows its bars only where the window
    // is smaller than the page (a large scale factor on a small screen).
    defilement_ = new QScrollArea(this);
    defilement_->setObjectName(QStringLiteral("defilement"));
    defilement_->setFrameShape(QFrame::NoFrame);
    defilement_->setWidgetResizable(true);
    defilement_->setFocusPolicy(Qt::NoFocus); // the page scrolls to the focus; the area takes none
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    auto* principal = new QVBoxLayout(this);
    principal->setContentsMargins(0, 0, 0, 0);
    principal->addWidget(defilement_);
    return page;
}

void FenetreControle::creerPeriode(QWidget* page) {
    lblBase_ = nouveauLabel(page, "lblBase", QStringLiteral("Base de donnée :"));
    lblFich_ = nouveauLabel(page, "lblFich", QStringLiteral("Label3"));
    Label1_ = nouveauLabel(page, "Label1", QStringLiteral("Date de début :"));
    lblFin_ = nouveauLabel(page, "lblFin", QStringLiteral("Date de fin :"));
    dte_Date_ = nouveauCalendrier(page, "dte_Date");
    dte_Date_->setSelectedDate(QDate(2011, 1, 1));
    dte_Date_Fin_ = nouveauCalendrier(page, "dte_Date_Fin");
    lignePeriode_ = nouveauLabel(page, "lignePeriode", QString());
    lignePeriode_->setWordWrap(true);
    for (QCalendarWidget* c : {dte_Date_, dte_Date_Fin_})
        connect(c, &QCalendarWidget::selectionChanged, this, &FenetreControle::afficherPeriode);
}

void FenetreControle::creerOptions(QWidget* page) {
    // The captions keep their words; the "&" only gives each its Alt key.
    chk_Facture_FactCli_ =
        nouvelleCase(page, "chk_Facture_FactCli", QStringLiteral("Contrôle à partir des &factures"), true);
    Label2_ = nouveauLabel(page, "Label2", QStringLiteral("Progression"));
    prg_Facture_ = new QProgressBar(page);
    prg_Facture_->setObjectName(QStringLiteral("prg_Facture"));
    prg_Facture_->setRange(0, 100);
    prg_Facture_->setValue(0);
    // "i / n" once a walk has set the maximum.
    prg_Facture_->setFormat(QStringLiteral("%v / %m"));
    prg_Facture_->setTextVisible(false);
    chk_AjoutEnregistrement_ =
        nouvelleCase(page, "chk_AjoutEnregistrement",
                     QStringLiteral("&Ajouter les enregistrements manquants dans factCli"), false);
    chk_MiseAJour_ = nouvelleCase(page, "chk_MiseAJour", QStringLiteral("&Mettre les données à jour"), false);
    // The FACTCLI-driven check writes nothing: its repair boxes are greyed, their ticks kept.
    connect(chk_Facture_FactCli_, &QCheckBox::toggled, this, &FenetreControle::appliquerSens);
}

void FenetreControle::creerCommandes(QWidget* page) {
    cmd_Lancer_ = new QPushButton(QStringLiteral("&Lancer"), page);
    cmd_Lancer_->setObjectName(QStringLiteral("cmd_Lancer"));
    // Enter presses « Lancer » only from the button itself or from a check box: the calendars keep
    // it to confirm a year or a date typed into them.
    cmd_Lancer_->setAutoDefault(true);
    connect(cmd_Lancer_, &QPushButton::clicked, this, &FenetreControle::cmd_Lancer_Click);
    for (QCheckBox* boite : {chk_Facture_FactCli_, chk_AjoutEnregistrement_, chk_MiseAJour_})
        boite->installEventFilter(this);
    // Shown during a run only, in its own place beside « Lancer ».
    cmd_Arreter_ = new QPushButton(QStringLiteral("Arrêter (Échap)"), page);
    cmd_Arreter_->setObjectName(QStringLiteral("cmd_Arreter"));
    cmd_Arreter_->setAutoDefault(true);
    QSizePolicy politique = cmd_Arreter_->sizePolicy();
    politique.setRetainSizeWhenHidden(true);
    cmd_Arreter_->setSizePolicy(politique);
    cmd_Arreter_->hide();
    connect(cmd_Arreter_, &QPushButton::clicked, this, &FenetreControle::demanderArret);
    ligneComptes_ = nouveauLabel(page, "ligneComptes", QString());
    ligneComptes_->setWordWrap(true);
}

void FenetreControle::disposer(QWidget* page) {
    // The stored arrangement: the company on top, the two calendars side by side under their
    // headings, the direction, the progress, then the repair boxes with the button on their right.
    auto* grille = new QGridLayout(page);
    grille->setColumnStretch(0, 1);
    grille->setColumnStretch(1, 1);
    grille->setHorizontalSpacing(grille->horizontalSpacing() * 3);
    auto* entete = new QHBoxLayout;
    entete->setSpacing(fontMetrics().averageCharWidth() * 3);
    entete->addWidget(lblBase_);
    entete->addWidget(lblFich_, 1);
    grille->addLayout(entete, 0, 0, 1, 2);
    grille->addWidget(Label1_, 1, 0);
    grille->addWidget(lblFin_, 1, 1);
    grille->addWidget(dte_Date_, 2, 0);
    grille->addWidget(dte_Date_Fin_, 2, 1);
    grille->setRowStretch(2, 1);
    grille->addWidget(lignePeriode_, 3, 0, 1, 2);
    grille->addWidget(chk_Facture_FactCli_, 4, 0, 1, 2);
    grille->addWidget(Label2_, 5, 0, 1, 2);
    grille->addWidget(prg_Facture_, 6, 0, 1, 2);
    auto* reparations = new QVBoxLayout;
    reparations->addWidget(chk_AjoutEnregistrement_);
    reparations->addWidget(chk_MiseAJour_);
    auto* bas = new QHBoxLayout;
    // A grid whose two spacings differ gives its nested layouts none of its own.
    bas->setSpacing(grille->verticalSpacing());
    reparations->setSpacing(grille->verticalSpacing());
    bas->addLayout(reparations);
    bas->addStretch(1);
    bas->addWidget(cmd_Arreter_, 0, Qt::AlignVCenter);
    bas->addWidget(cmd_Lancer_, 0, Qt::AlignVCenter);
    grille->addLayout(bas, 7, 0, 1, 2);
    grille->addWidget(ligneComptes_, 8, 0, 1, 2);
    grille->addWidget(creerPanneau(page), 9, 0, 1, 2);
    grille->setRowStretch(9, 2);
    defilement_->setWidget(page);
}

PanneauConstats* FenetreControle::creerPanneau(QWidget* page) {
    panneau_ = new PanneauConstats(page);
    panneau_->hide();
    connect(panneau_, &PanneauConstats::ouvrirConstats, this, [this] { ouvrir(fichierConstats_); });
    connect(panneau_, &PanneauConstats::ouvrirRapport, this, [this] { ouvrir(fichierRapport_); });
    connect(panneau_, &PanneauConstats::annuler, this, &FenetreControle::annulerEcritures);
    return panneau_;
}

void FenetreControle::ordonnerTabulation() {
    // Focus follows the eye: the two calendars, the direction, the repair boxes, the button.
    setTabOrder(dte_Date_, dte_Date_Fin_);
    setTabOrder(dte_Date_Fin_, chk_Facture_FactCli_);
    setTabOrder(chk_Facture_FactCli_, chk_AjoutEnregistrement_);
    setTabOrder(chk_AjoutEnregistrement_, chk_MiseAJour_);
    setTabOrder(chk_MiseAJour_, cmd_Lancer_);
    setTabOrder(cmd_Lancer_, cmd_Arreter_);
    QWidget* precedent = cmd_Arreter_;
    for (QWidget* w : panneau_->controles()) {
        setTabOrder(precedent, w);
        precedent = w;
    }
}

} // namespace cc
