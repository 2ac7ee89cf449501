#include "app/FenetreControle.h"

#include "commun/TexteChamp.h"

#include "app/CalendrierPeriode.h"
#include "app/Execution.h"
#include "report/Rapport.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

namespace cc {

namespace {

constexpr double TwipsParPixel = 15.0;
constexpr int LargeurClient = 7425;
constexpr int HauteurClient = 5835;

struct Place {
    QWidget* widget;
    int gauche, haut, largeur, hauteur; // twips
};

} // namespace

FenetreControle::FenetreControle(QString repertoireProgramme, Horloge horloge, Interlocuteur* interlocuteur)
    : repertoireProgramme_(std::move(repertoireProgramme)), horloge_(std::move(horloge)),
      interlocuteur_(interlocuteur) {
    construire();
}

FenetreControle::~FenetreControle() = default;

void FenetreControle::construire() {
    setObjectName(QStringLiteral("frm_Controle"));
    setWindowTitle(QStringLiteral("Controle de cohérence dossier - facture"));
    setWindowIcon(QIcon(QStringLiteral(":/controle-coherence.svg")));

    auto label = [this](QLabel*& l, const char* nom, const QString& texte) {
        l = new QLabel(texte, this);
        l->setObjectName(QString::fromLatin1(nom));
    };
    auto caseACocher = [this](QCheckBox*& c, const char* nom, const QString& texte, bool coche) {
        c = new QCheckBox(texte, this);
        c->setObjectName(QString::fromLatin1(nom));
        c->setChecked(coche);
    };
    auto calendrier = [this](QCalendarWidget*& c, const char* nom) {
        c = new CalendrierPeriode(this);
        c->setObjectName(QString::fromLatin1(nom));
    };

    label(lblBase_, "lblBase", QStringLiteral("Base de donnée :"));
    label(lblFich_, "lblFich", QStringLiteral("Label3"));
    label(Label1_, "Label1", QStringLiteral("Date de début :"));
    label(lblFin_, "lblFin", QStringLiteral("Date de fin :"));
    calendrier(dte_Date_, "dte_Date");
    dte_Date_->setSelectedDate(QDate(2011, 1, 1));
    calendrier(dte_Date_Fin_, "dte_Date_Fin");
    label(lignePeriode_, "lignePeriode", QString());
    for (QCalendarWidget* c : {dte_Date_, dte_Date_Fin_})
        connect(c, &QCalendarWidget::selectionChanged, this, &FenetreControle::afficherPeriode);
    // The captions keep their words; the "&" only gives each its Alt key.
    caseACocher(chk_Facture_FactCli_, "chk_Facture_FactCli",
                QStringLiteral("Contrôle à partir des &factures"), true);
    label(Label2_, "Label2", QStringLiteral("Progression"));
    prg_Facture_ = new QProgressBar(this);
    prg_Facture_->setObjectName(QStringLiteral("prg_Facture"));
    prg_Facture_->setRange(0, 100);
    prg_Facture_->setValue(0);
    // "i / n" once a walk has set the maximum.
    prg_Facture_->setFormat(QStringLiteral("%v / %m"));
    prg_Facture_->setTextVisible(false);
    caseACocher(chk_AjoutEnregistrement_, "chk_AjoutEnregistrement",
                QStringLiteral("&Ajouter les enregistrements manquants dans factCli"), false);
    caseACocher(chk_MiseAJour_, "chk_MiseAJour", QStringLiteral("&Mettre les données à jour"), false);
    // The FACTCLI-driven check writes nothing: its repair boxes are greyed, their ticks kept.
    connect(chk_Facture_FactCli_, &QCheckBox::toggled, this, &FenetreControle::appliquerSens);
    cmd_Lancer_ = new QPushButton(QStringLiteral("&Lancer"), this);
    cmd_Lancer_->setObjectName(QStringLiteral("cmd_Lancer"));
    // Enter presses « Lancer » only from the button itself or from a check box: the calendars keep
    // it to confirm a year or a date typed into them.
    cmd_Lancer_->setAutoDefault(true);
    connect(cmd_Lancer_, &QPushButton::clicked, this, &FenetreControle::cmd_Lancer_Click);
    for (QCheckBox* boite : {chk_Facture_FactCli_, chk_AjoutEnregistrement_, chk_MiseAJour_})
        boite->installEventFilter(this);
    label(ligneComptes_, "ligneComptes", QString());

    const Place places[] = {
        {lblBase_, 240, 240, 2055, 255},
        {lblFich_, 2880, 240, 3135, 255},
        {Label1_, 240, 720, 2175, 255},
        {lblFin_, 3960, 720, 2175, 255},
        {dte_Date_, 120, 1080, 2730, 2370},
        {dte_Date_Fin_, 3840, 1080, 2730, 2370},
        {lignePeriode_, 240, 3480, 6945, 255},
        {chk_Facture_FactCli_, 480, 3780, 4695, 255},
        {Label2_, 240, 4140, 2295, 255},
        {prg_Facture_, 360, 4620, 6975, 375},
        {chk_AjoutEnregistrement_, 480, 5100, 4335, 255},
        {chk_MiseAJour_, 480, 5460, 4095, 255},
        {cmd_Lancer_, 5640, 5340, 1335, 375},
        {ligneComptes_, 240, 5805, 6945, 255},
    };
    // Where a control needs more room than the stored layout gives it, the whole layout grows
    // evenly, so that nothing is clipped and the proportions stay.
    echelle_ = 1.0;
    for (const Place& p : places) {
        const QSize besoin = p.widget->sizeHint().expandedTo(p.widget->minimumSizeHint());
        echelle_ = std::max(echelle_, besoin.width() / (p.largeur / TwipsParPixel));
        echelle_ = std::max(echelle_, besoin.height() / (p.hauteur / TwipsParPixel));
    }
    auto px = [this](int twips) { return static_cast<int>(std::lround(twips / TwipsParPixel * echelle_)); };
    for (const Place& p : places)
        p.widget->setGeometry(px(p.gauche), px(p.haut), px(p.largeur), px(p.hauteur));
    setFixedSize(px(LargeurClient), px(HauteurClient + 300));

    // Focus order among the controls that can take the focus.
    setTabOrder(dte_Date_, cmd_Lancer_);
    setTabOrder(cmd_Lancer_, chk_MiseAJour_);
    setTabOrder(chk_MiseAJour_, chk_Facture_FactCli_);
    setTabOrder(chk_Facture_FactCli_, chk_AjoutEnregistrement_);
    setTabOrder(chk_AjoutEnregistrement_, dte_Date_Fin_);
    afficherPeriode();
}

void FenetreControle::afficherPeriode() {
    const QDate debut = dte_Date_->selectedDate();
    const QDate fin = dte_Date_Fin_->selectedDate();
    QString texte = TextePeriode(debut, fin);
    if (debut > fin)
        texte += QStringLiteral(" : période inversée");
    lignePeriode_->setText(texte);
}

void FenetreControle::appliquerSens() {
    const bool reparable = chk_Facture_FactCli_->isEnabled() && chk_Facture_FactCli_->isChecked();
    chk_AjoutEnregistrement_->setEnabled(reparable);
    chk_MiseAJour_->setEnabled(reparable);
}

bool FenetreControle::Form_Load() {
    auto session = Demarrer(interlocuteur());
    if (!session)
        return false;
    Form_Load(std::move(*session));
    return true;
}

void FenetreControle::Form_Load(Session session) {
    session_ = std::move(session);
    preparer();
}

void FenetreControle::preparer() {
    prg_Facture_->setValue(0);
    dte_Date_Fin_->setSelectedDate(horloge_().date());
    lblFich_->setText(session_->environnement.RepertoireSociete);
}

OptionsControle FenetreControle::optionsAffichees() const {
    OptionsControle o;
    o.debut = dte_Date_->selectedDate();
    o.fin = dte_Date_Fin_->selectedDate();
    // Only a checked box counts as ticked; a greyed one does not.
    o.aPartirDesFactures = chk_Facture_FactCli_->checkState() == Qt::Checked;
    // The repair boxes count only where they apply.
    o.ajouter = o.aPartirDesFactures && chk_AjoutEnregistrement_->checkState() == Qt::Checked;
    o.mettreAJour = o.aPartirDesFactures && chk_MiseAJour_->checkState() == Qt::Checked;
    return o;
}

ResultatExecution FenetreControle::ExecuterControle() {
    enCours_ = true;
    arretDemande_ = false;
    fermerApresArret_ = false;
    // Every control is disabled, the window itself not, so that it still hears Escape and closing.
    const QList<QWidget*> controles = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : controles)
        w->setEnabled(false);
    cmd_Lancer_->setEnabled(false);
    setFocus();
    ligneComptes_->clear();
    // A bar that shows its text repaints at once on every change, which would cost more than the
    // check: during the run it is painted only when the window's events are processed.
    prg_Facture_->setUpdatesEnabled(false);
    emplacement_ = DossierRapports(repertoireProgramme_);
    Rapport rapport(emplacement_.dossier, session_->environnement.RepertoireSociete, horloge_);
    FichierConstats constats;
    const ContexteControle contexte{
        *session_->connexion, rapport, interlocuteur(), *this, horloge_, &constats};
    depuisEvenements_.start();
    ResultatExecution resultat = cc::ExecuterControle(contexte, optionsAffichees());
    fichierRapport_ = resultat.fichierRapport;
    prg_Facture_->setUpdatesEnabled(true);
    for (QWidget* w : controles)
        w->setEnabled(true);
    cmd_Lancer_->setEnabled(true);
    appliquerSens();
    ligneComptes_->setText(TexteCompteurs(resultat.compteurs));
    cmd_Lancer_->setFocus();
    enCours_ = false;
    return resultat;
}

bool FenetreControle::demanderArret() {
    if (!enCours_ || arretDemande_ || questionArret_)
        return arretDemande_;
    questionArret_ = true;
    arretDemande_ =
        interlocuteur().question(QStringLiteral("Arrêter le contrôle en cours ?"), TitreApplication());
    questionArret_ = false;
    return arretDemande_;
}

void FenetreControle::closeEvent(QCloseEvent* evenement) {
    // The window never goes away under a running check: it stops first, then closes.
    if (!enCours_) {
        evenement->accept();
        return;
    }
    evenement->ignore();
    if (demanderArret())
        fermerApresArret_ = true;
}

bool FenetreControle::eventFilter(QObject* objet, QEvent* evenement) {
    if (evenement->type() == QEvent::KeyPress && qobject_cast<QCheckBox*>(objet)) {
        const int touche = static_cast<QKeyEvent*>(evenement)->key();
        if (touche == Qt::Key_Return || touche == Qt::Key_Enter) {
            cmd_Lancer_->click();
            return true;
        }
    }
    return QWidget::eventFilter(objet, evenement);
}

void FenetreControle::keyPressEvent(QKeyEvent* evenement) {
    if (enCours_ && evenement->key() == Qt::Key_Escape) {
        demanderArret();
        return;
    }
    QWidget::keyPressEvent(evenement);
}

void FenetreControle::cmd_Lancer_Click() {
    if (!session_)
        return;
    const OptionsControle options = optionsAffichees();
    if (options.debut > options.fin) {
        // Nothing in such a period could be found: the run would say « terminé » for nothing.
        interlocuteur().message(MessagePeriodeInversee(options.debut, options.fin), TitreApplication(),
                                Icone::Critique);
        return;
    }
    if (options.aPartirDesFactures && (options.ajouter || options.mettreAJour) &&
        !interlocuteur().confirmer(QuestionReparation(options), TitreApplication()))
        return;
    const ResultatExecution resultat = ExecuterControle();
    if (resultat.arret) {
        interlocuteur().message(MessageArret(*resultat.arret, resultat.fichierRapport), TitreApplication(),
                                Icone::Information);
        if (fermerApresArret_)
            close();
        return;
    }
    if (!resultat.reussi()) {
        // A failed run is never told as a success: no end-of-run prompt.
        interlocuteur().message(
            MessageEchec(*resultat.erreur, resultat.fichierRapport, session_->designation),
            TitreApplication(), Icone::Critique);
        return;
    }
    QString fin = MessageFin(fichierRapport_);
    if (emplacement_.horsProgramme && !dossierAnnonce_) {
        dossierAnnonce_ = true;
        fin = MessageDossierRapports(emplacement_) + QStringLiteral("\r\n\r\n") + fin;
    }
    const bool ouvrir = interlocuteur().question(fin, TitreApplication());
    cmd_Lancer_->setFocus();
    if (ouvrir) {
        if (!interlocuteur().ouvrirFichier(fichierRapport_)) {
            const Erreur e(Erreur::FichierIntrouvable,
                           QStringLiteral("Impossible de démarrer la visionneuse pour ce fichier"));
            interlocuteur().message(MessageEchec(e, fichierRapport_), TitreApplication(), Icone::Critique);
        }
    }
}

void FenetreControle::message(const QString& texte, const QString& titre, Icone icone) {
    QMessageBox boite(icone == Icone::Critique ? QMessageBox::Critical : QMessageBox::Information, titre,
                      FinsDeLigneSimples(texte), QMessageBox::Ok, isVisible() ? this : nullptr);
    boite.exec();
}

bool FenetreControle::question(const QString& texte, const QString& titre) {
    return demander(texte, titre, false);
}

bool FenetreControle::confirmer(const QString& texte, const QString& titre) {
    return demander(texte, titre, true);
}

bool FenetreControle::demander(const QString& texte, const QString& titre, bool nonParDefaut) {
    QMessageBox boite(nonParDefaut ? QMessageBox::Question : QMessageBox::Information, titre,
                      FinsDeLigneSimples(texte), QMessageBox::Yes | QMessageBox::No,
                      isVisible() ? this : nullptr);
    boite.button(QMessageBox::Yes)->setText(QStringLiteral("&Oui"));
    boite.button(QMessageBox::No)->setText(QStringLiteral("&Non"));
    if (nonParDefaut) {
        boite.setDefaultButton(QMessageBox::No);
        boite.setEscapeButton(QMessageBox::No);
    }
    return boite.exec() == QMessageBox::Yes;
}

void FenetreControle::curseurAttente(bool actif) {
    if (actif)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

bool FenetreControle::ouvrirFichier(const QString& chemin) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(chemin));
}

void FenetreControle::definirMaximum(int maximum) {
    prg_Facture_->setMaximum(maximum);
    prg_Facture_->setTextVisible(true);
}

void FenetreControle::definirValeur(int valeur) {
    prg_Facture_->setValue(valeur);
}

void FenetreControle::traiterEvenements() {
    // Repainting after every record would cost more than the check itself on a fast database.
    if (depuisEvenements_.isValid() && depuisEvenements_.elapsed() < 20)
        return;
    prg_Facture_->setUpdatesEnabled(true);
    QCoreApplication::processEvents();
    prg_Facture_->setUpdatesEnabled(false);
    depuisEvenements_.restart();
}

} // namespace cc
