#pragma once

#include "checks/Controles.h"
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

struct ArgumentsLot {
    OptionsControle options;
    bool aide = false;
    bool version = false;
    bool statistiques = false; // one more line on standard error: statements, rows, memory, time
    QString annuler;           // a findings file whose writes are to be undone
};

struct ErreurUsage {
    QString message;
};

// Parses the arguments that follow the program's name. The last day defaults to today.
std::variant<ArgumentsLot, ErreurUsage> AnalyserArguments(const QStringList& arguments,
                                                          const QDate& aujourdhui);

QString TexteUsage();

// Speaks to the user on the terminal: every box goes to standard error, a question is answered No.
class InterlocuteurTerminal : public Interlocuteur {
public:
    explicit InterlocuteurTerminal(QTextStream& erreurs) : erreurs_(erreurs) {}
    void message(const QString& texte, const QString& titre, Icone icone) override;
    bool question(const QString& texte, const QString& titre) override;
    void curseurAttente(bool) override {}
    bool ouvrirFichier(const QString&) override { return false; }

private:
    QTextStream& erreurs_;
};

// One check without any window: the same start-up, run, report and report name as the window.
// Returns the exit status.
int ExecuterLot(const QStringList& arguments, const QString& repertoireProgramme, const Horloge& horloge,
                QTextStream& sortie, QTextStream& erreurs);

} // namespace cc
