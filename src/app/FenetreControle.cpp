#include "app/FenetreControle.h"

#include "commun/TexteChamp.h"

#include "app/Execution.h"
#include "app/PanneauConstats.h"
#include "report/Rapport.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTextStream>
#include <QUrl>
#include <algorithm>

namespace cc {

FenetreControle::FenetreControle(QString repertoireProgramme, Horloge horloge, Interlocuteur* interlocuteur)
    : repertoireProgramme_(std::move(repertoireProgramme)), horloge_(std::move(horloge)),
      interlocuteur_(interlocuteur) {
    construire();
}

FenetreControle::~FenetreControle() = default;

QList<QWidget*> FenetreControle::controlesDeSaisie() const {
    return {dte_Date_,      dte_Date_Fin_, chk_Facture_FactCli_, chk_AjoutEnregistrement_,
            chk_MiseAJour_, cmd_Lancer_};
}

void FenetreControle::ajusterTaille(bool agrandirSeulement) {
    // The whole page where the screen allows it, otherwise the screen's room with scroll bars.
    QSize taille = defilement_->widget()->sizeHint();
    taille.rwidth() = std::max(taille.width(), taille.height() * 5 / 4);
    if (agrandirSeulement)
        taille = taille.expandedTo(size());
    if (const QScreen* ecran = screen()) {
        const QSize place = ecran->availableGeometry().size() - QSize(16, 48); // the frame and title
        // A page taller than the screen scrolls: its vertical bar takes room beside it, not from it.
        if (taille.height() > place.height())
            taille.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        taille = taille.boundedTo(place);
    }
    const QSize cadre = frameGeometry().size() - size();
    resize(taille);
    // A shown window that grows where it stands may reach past the screen's edge: it moves back in.
    if (const QScreen* ecran = screen(); ecran && isVisible()) {
        const QRect place = ecran->availableGeometry();
        const QSize tout = taille + cadre;
        const QPoint coin = frameGeometry().topLeft();
        const QPoint dedans(std::max(place.left(), std::min(coin.x(), place.right() + 1 - tout.width())),
                            std::max(place.top(), std::min(coin.y(), place.bottom() + 1 - tout.height())));
        if (dedans != coin)
            move(dedans);
    }
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
    const OptionsControle options = optionsAffichees();
    return executer(
        [&options](const ContexteControle& contexte) { return cc::ExecuterControle(contexte, options); });
}

ResultatExecution
FenetreControle::executer(const std::function<ResultatExecution(const ContexteControle&)>& travail) {
    enCours_ = true;
    arretDemande_ = false;
    fermerApresArret_ = false;
    // The controls that choose a run are disabled, the window itself not, so that it still hears
    // Escape and closing; « Arrêter » takes the focus.
    const QList<QWidget*> controles = controlesDeSaisie();
    for (QWidget* w : controles)
        w->setEnabled(false);
    cmd_Arreter_->show();
    cmd_Arreter_->setFocus();
    ligneComptes_->clear();
    // A bar that shows its text repaints at once on every change, which would cost more than the
    // check: during the run it is painted only when the window's events are processed.
    prg_Facture_->setUpdatesEnabled(false);
    emplacement_ = DossierRapports(repertoireProgramme_);
    rapport_ =
        std::make_unique<Rapport>(emplacement_.dossier, session_->environnement.RepertoireSociete, horloge_);
    FichierConstats constats(session_->identite);
    const ContexteControle contexte{
        *session_->connexion, *rapport_, interlocuteur(), *this, horloge_, &constats};
    depuisEvenements_.start();
    ResultatExecution resultat = travail(contexte);
    fichierRapport_ = resultat.fichierRapport;
    fichierConstats_ = resultat.fichierConstats;
    prg_Facture_->setUpdatesEnabled(true);
    for (QWidget* w : controles)
        w->setEnabled(true);
    appliquerSens();
    cmd_Arreter_->hide();
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
    ligneComptes_->setText(TexteCompteurs(resultat.compteurs));
    // Writes committed before a stop or a failure can be undone as well as a whole run's.
    const bool ecrit = resultat.compteurs.ajoutes + resultat.compteurs.reecrits > 0;
    afficherConstats(ecrit);
    QString avant;
    if (resultat.compteurs.parcourus == 0)
        avant = MessagePeriodeVide(options);
    else if (ecrit)
        avant = MessageEcritures(resultat.compteurs, fichierConstats_);
    terminer(resultat, avant);
}

void FenetreControle::annulerEcritures() {
    if (!session_ || enCours_ || fichierConstats_.isEmpty())
        return;
    if (!interlocuteur().confirmer(QuestionAnnulation(fichierConstats_), TitreApplication()))
        return;
    const QString constatsDuControle = fichierConstats_;
    const ResultatExecution resultat =
        executer([this, &constatsDuControle](const ContexteControle& contexte) {
            return cc::ExecuterAnnulation(contexte, constatsDuControle, session_->identite);
        });
    ligneComptes_->setText(TexteCompteursAnnulation(resultat.annulation));
    // The undo's own findings file lists what it did; it cannot itself be undone from here.
    afficherConstats(false);
    terminer(resultat, {});
}

void FenetreControle::afficherConstats(bool annulable) {
    if (fichierConstats_.isEmpty()) {
        panneau_->hide();
        return;
    }
    panneau_->afficher(fichierConstats_, annulable);
    if (panneau_->isHidden()) {
        panneau_->show();
        // The window grows to show the table, as far as the screen allows.
        defilement_->widget()->adjustSize();
        ajusterTaille(true);
    }
}

void FenetreControle::terminer(const ResultatExecution& resultat, const QString& avant) {
    if (resultat.arret) {
        interlocuteur().message(MessageArret(*resultat.arret, resultat.fichierRapport), TitreApplication(),
                                Icone::Information);
        if (fermerApresArret_)
            close();
        return;
    }
    if (!resultat.reussi()) {
        // A failed run is never told as a success: no end-of-run prompt.
        QTextStream erreurs(stderr);
        EcrireDetails(*resultat.erreur, erreurs);
        interlocuteur().message(
            MessageEchec(*resultat.erreur, resultat.fichierRapport, session_->designation),
            TitreApplication(), Icone::Critique);
        return;
    }
    QString fin = MessageFin(fichierRapport_);
    if (!avant.isEmpty())
        fin = avant + QStringLiteral("\r\n\r\n") + fin;
    if (emplacement_.horsProgramme && !dossierAnnonce_) {
        dossierAnnonce_ = true;
        fin = MessageDossierRapports(emplacement_) + QStringLiteral("\r\n\r\n") + fin;
    }
    const bool voir = interlocuteur().question(fin, TitreApplication());
    cmd_Lancer_->setFocus();
    if (voir)
        ouvrir(fichierRapport_);
}

void FenetreControle::ouvrir(const QString& chemin) {
    // The run has ended whatever happens here: a file without a viewer is told as such.
    if (!interlocuteur().ouvrirFichier(chemin))
        interlocuteur().message(MessageOuvertureImpossible(chemin), TitreApplication(), Icone::Information);
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
