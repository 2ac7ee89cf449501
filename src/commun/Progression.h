#pragma once

namespace cc {

// The progress bar of a run and the window's pending events. The batch mode does nothing here.
class Progression {
public:
    virtual ~Progression() = default;
    virtual void definirMaximum(int maximum) = 0;
    virtual void definirValeur(int valeur) = 0;
    // Lets the window repaint between two records.
    virtual void traiterEvenements() = 0;
};

class ProgressionMuette : public Progression {
public:
    void definirMaximum(int) override {}
    void definirValeur(int) override {}
    void traiterEvenements() override {}
};

} // namespace cc
