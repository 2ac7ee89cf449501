#pragma once

#include <QString>

namespace cc {

enum class Icone { Critique, Information };

// Everything that speaks to the user goes through here: the window shows boxes, the batch mode
// writes to the terminal, tests answer.
class Interlocuteur {
public:
    virtual ~Interlocuteur() = default;
    // A modal box with an OK button.
    virtual void message(const QString& texte, const QString& titre, Icone icone) = 0;
    // A modal box with Yes and No and the information icon; true for Yes.
    virtual bool question(const QString& texte, const QString& titre) = 0;
    // A question before writing to the database: No is the answer that Enter gives.
    virtual bool confirmer(const QString& texte, const QString& titre) { return question(texte, titre); }
    // The hourglass; calls nest, each true is matched by one false.
    virtual void curseurAttente(bool actif) = 0;
    // Opens a file with the desktop's viewer; false when no viewer could be started.
    virtual bool ouvrirFichier(const QString& chemin) = 0;
};

// The title of every box that is given none of its own.
inline QString TitreApplication() {
    return QStringLiteral("Contrôle de cohérence");
}

// Shows the hourglass for its lifetime; liberer() puts the pointer back early (before a box).
class Sablier {
public:
    explicit Sablier(Interlocuteur& i) : i_(&i) { i_->curseurAttente(true); }
    ~Sablier() { liberer(); }
    Sablier(const Sablier&) = delete;
    Sablier& operator=(const Sablier&) = delete;
    void liberer() {
        if (i_) {
            i_->curseurAttente(false);
            i_ = nullptr;
        }
    }

private:
    Interlocuteur* i_;
};

} // namespace cc
