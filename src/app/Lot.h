#pragma once

#include "checks/ContexteControle.h"
#include "commun/Horloge.h"
#include "commun/Interlocuteur.h"

#include <QDate>
#include <QStringList>
#include <QTextStream>
#include <variant>

namespace cc {

// Exit statuses of the batch entry.
inline constexpr int SortieRapportVide = 0;
inline constexpr int SortieRapportNonVide = 1;
inline constexpr int SortieEchec = 2;
inline constexpr int SortieUsage = 64;
// Stopped by SIGINT or SIGTERM, as a shell reports a program ended by the signal.
inline constexpr int SortieInterruption = 130;
inline constexpr int SortieTerminaison = 143;

struct ArgumentsLot {
    OptionsControle options;
    bool aide = false;
    bool version = false;
    bool statistiques = false; // one more line on standard error: statements, rows, memory, time
    bool silencieux = false;   // only the errors and the report's path
    QString rapports;          // the folder of the report, when chosen
    QString annuler;           // a findings file whose writes are to be undone
};

struct ErreurUsage {
    QString message;
};

// Parses the arguments that follow the program's name. The last day defaults to today.
std::variant<ArgumentsLot, ErreurUsage> AnalyserArguments(const QStringList& arguments,
                                                          const QDate& aujourdhui);

QString TexteUsage();

// Whether the arguments name one of the program's own options: then the run has no window. Anything
// else (Qt's own options such as -style) is left to the window.
bool EstAppelLot(const QStringList& arguments);

// The line that starts every message of the program on the terminal.
QString PrefixeTerminal();

// Speaks to the user on the terminal: every box goes to standard error, prefixed with the program's
// name; a question is answered No without a word. Silent: information boxes are dropped.
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

// One check without any window: the same start-up, run, report and report name as the window.
// SIGINT and SIGTERM stop it after the current record. erreursSurTerminal: standard error is a
// terminal, which then shows a progress line. Returns the exit status.
int ExecuterLot(const QStringList& arguments, const QString& repertoireProgramme, const Horloge& horloge,
                QTextStream& sortie, QTextStream& erreurs, bool erreursSurTerminal = false);

} // namespace cc
