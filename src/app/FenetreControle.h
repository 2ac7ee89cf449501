#pragma once

#include "app/Demarrage.h"
#include "app/Execution.h"
#include "checks/ContexteControle.h"
#include "commun/Horloge.h"
#include "commun/Interlocuteur.h"
#include "commun/Progression.h"
#include "report/DossierRapports.h"
#include "report/Rapport.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace cc {

class PanneauConstats;

// The one window: the period, the direction, the repair options and the button.
class FenetreControle : public QWidget, public Interlocuteur, public Progression {
    Q_OBJECT
public:
    // interlocuteur: who answers the boxes; the window itself when none is given.
    explicit FenetreControle(QString repertoireProgramme, Horloge horloge = HorlogeSysteme(),
                             Interlocuteur* interlocuteur = nullptr);
    ~FenetreControle() override;

    // Start-up: environment, connection, initial values. False when the program must end.
    bool Form_Load();
    // Start-up with a session opened elsewhere (tests).
    void Form_Load(Session session);

    void cmd_Lancer_Click();
    // The run proper; the result says how it ended.
    ResultatExecution ExecuterControle();

    // Interlocuteur, shown as boxes on this window.
    void message(const QString& texte, const QString& titre, Icone icone) override;
    bool question(const QString& texte, const QString& titre) override;
    bool confirmer(const QString& texte, const QString& titre) override;
    void curseurAttente(bool actif) override;
    bool ouvrirFichier(const QString& chemin) override;

    // Progression, on the progress bar.
    void definirMaximum(int maximum) override;
    void definirValeur(int valeur) override;
    void traiterEvenements() override;
    bool arretDemande() const override { return arretDemande_; }

    // Asks whether the running check should stop; true when the user said Yes.
    bool demanderArret();

    OptionsControle optionsAffichees() const;
    const QString& FichierRapport() const { return fichierRapport_; }
    const QString& fichierConstats() const { return fichierConstats_; }
    const Session* session() const { return session_ ? &*session_ : nullptr; }

protected:
    void closeEvent(QCloseEvent* evenement) override;
    void keyPressEvent(QKeyEvent* evenement) override;
    bool eventFilter(QObject* objet, QEvent* evenement) override;

private:
    // The controls, their arrangement and the tab order (ConstructionFenetre.cpp).
    void construire();
    QWidget* creerPage();
    void creerPeriode(QWidget* page);
    void creerOptions(QWidget* page);
    void creerCommandes(QWidget* page);
    void disposer(QWidget* page);
    PanneauConstats* creerPanneau(QWidget* page);
    void ordonnerTabulation();
    void preparer();
    // One run of the given work, the controls disabled meanwhile.
    ResultatExecution executer(const std::function<ResultatExecution(const ContexteControle&)>& travail);
    // The end of a run: the box that says how it ended; avant goes before the end-of-run prompt.
    void terminer(const ResultatExecution& resultat, const QString& avant);
    void afficherConstats(bool annulable);
    void annulerEcritures();
    // Opens a file with the desktop's viewer, or says that it could not and where the file is.
    void ouvrir(const QString& chemin);
    // Sizes the window to its page, within the screen; agrandirSeulement never makes it smaller.
    void ajusterTaille(bool agrandirSeulement);
    // What a run disables: every control that chooses a run.
    QList<QWidget*> controlesDeSaisie() const;
    void afficherPeriode();
    void appliquerSens();
    // A Yes/No box; with nonParDefaut, Enter and Escape answer No.
    bool demander(const QString& texte, const QString& titre, bool nonParDefaut);
    Interlocuteur& interlocuteur() { return interlocuteur_ ? *interlocuteur_ : *this; }

    QString repertoireProgramme_;
    Horloge horloge_;
    Interlocuteur* interlocuteur_;
    std::optional<Session> session_;
    QString fichierRapport_;
    QString fichierConstats_; // the last run's
    // The last run's report, kept so that no other run moves the files the window still shows.
    std::unique_ptr<Rapport> rapport_;
    bool enCours_ = false;
    bool arretDemande_ = false;
    bool questionArret_ = false;
    bool fermerApresArret_ = false;
    bool dossierAnnonce_ = false; // the documents folder has been named once
    EmplacementRapports emplacement_;
    QElapsedTimer depuisEvenements_;

    QScrollArea* defilement_ = nullptr;
    QLabel* lblBase_ = nullptr;
    QLabel* lblFich_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLabel* lblFin_ = nullptr;
    QCalendarWidget* dte_Date_ = nullptr;
    QCalendarWidget* dte_Date_Fin_ = nullptr;
    QLabel* lignePeriode_ = nullptr; // the period in words, under the calendars
    QCheckBox* chk_Facture_FactCli_ = nullptr;
    QLabel* Label2_ = nullptr;
    QProgressBar* prg_Facture_ = nullptr;
    QCheckBox* chk_AjoutEnregistrement_ = nullptr;
    QCheckBox* chk_MiseAJour_ = nullptr;
    QPushButton* cmd_Lancer_ = nullptr;
    QPushButton* cmd_Arreter_ = nullptr; // during a run only
    QLabel* ligneComptes_ = nullptr;     // the counts of the last run, under the progress bar
    PanneauConstats* panneau_ = nullptr; // the last run's findings
};

} // namespace cc
