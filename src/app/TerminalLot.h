#pragma once

#include "app/ArretParSignal.h"
#include "app/Execution.h"
#include "commun/Interlocuteur.h"
#include "commun/Progression.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

namespace cc {

// The line that starts every message of the program on the terminal.
QString PrefixeTerminal();

// Wipes the progress line so that a message starts on a clean one: an ANSI sequence where the terminal
// understands it, blanks on a Windows console, which shows such sequences as they are.
QString EffacementLigne(bool sequencesAnsi);
#ifdef Q_OS_WIN
inline constexpr bool SequencesAnsi = false;
#else
inline constexpr bool SequencesAnsi = true;
#endif

// A usage error as the terminal shows it: the message, then where to find help.
QString TexteErreurUsage(const QString& message);

// Speaks to the user on the terminal: every box goes to standard error, prefixed with the program's
// name alone; a question is answered No without a word. Silent: information boxes are dropped.
class InterlocuteurTerminal : public Interlocuteur {
public:
    explicit InterlocuteurTerminal(QTextStream& erreurs, bool silencieux = false, bool terminal = false)
        : erreurs_(erreurs), silencieux_(silencieux), terminal_(terminal) {}
    void message(const QString& texte, const QString& titre, Icone icone) override;
    bool question(const QString& texte, const QString& titre) override;
    void curseurAttente(bool) override {}
    bool ouvrirFichier(const QString&) override { return false; }

private:
    QTextStream& erreurs_;
    bool silencieux_;
    bool terminal_; // standard error is a terminal: a progress line may have to be wiped first
};

// The batch progress: a line on a terminal, rewritten in place at most ten times a second; nothing
// when there is no line to write to (standard error is not a terminal), so that logs stay clean. A
// stop is asked by a signal.
class ProgressionLot : public Progression {
public:
    ProgressionLot(QTextStream* ligne, const ArretParSignal& arret) : ligne_(ligne), arret_(arret) {}
    void definirMaximum(int maximum) override { maximum_ = maximum; }
    void definirValeur(int valeur) override;
    void traiterEvenements() override {}
    bool arretDemande() const override { return arret_.signalRecu() != 0; }
    // Wipes the line, so that what follows starts on a clean one.
    void effacer();

private:
    QTextStream* ligne_;
    const ArretParSignal& arret_;
    int maximum_ = 0;
    bool affichee_ = false;
    QElapsedTimer chrono_;
};

// The one line that sums up a run on standard error: a check's counts or an undo's, in the default
// locale's digits.
QString BilanLot(const ResultatExecution& resultat, bool annulation);

// What a run cost, for --statistiques.
struct CoutsLot {
    qint64 instructions = 0;
    qint64 lignesLues = 0;
    long memoireMaximaleKo = 0;
    qint64 dureeMs = 0;
};

// The --statistiques line: the run's counts, then its costs, as clé=valeur pairs.
QString StatistiquesLot(const ResultatExecution& resultat, bool annulation, const CoutsLot& couts);

} // namespace cc
