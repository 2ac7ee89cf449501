#pragma once

#include <QString>

namespace cc {

// The progress bar of a run, the window's pending events and the user's wish to stop.
class Progression {
public:
    virtual ~Progression() = default;
    virtual void definirMaximum(int maximum) = 0;
    virtual void definirValeur(int valeur) = 0;
    // Lets the window repaint between two records.
    virtual void traiterEvenements() = 0;
    // True once the user has asked the run to stop; the walk then ends after the current record.
    virtual bool arretDemande() const { return false; }
};

class ProgressionMuette : public Progression {
public:
    void definirMaximum(int) override {}
    void definirValeur(int) override {}
    void traiterEvenements() override {}
};

// Thrown by a walk that stops on the user's request, after its current record and once the writes
// made so far are committed.
struct ArretControle {
    QString facture;     // the last invoice handled
    qint64 position = 0; // its rank in the walk, from 1
    qint64 total = 0;    // records the walk had selected
};

} // namespace cc
