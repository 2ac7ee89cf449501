#pragma once

#include "data/AccesBase.h"
#include "data/Environnement.h"
#include "commun/Interlocuteur.h"

#include <memory>
#include <optional>

namespace cc {

// What start-up leaves for the runs: where the company lies and the one open connection.
struct Session {
    Environnement environnement;
    std::unique_ptr<Connexion> connexion;
};

// Reads the host product's settings, checks the company's database and opens the connection.
// Nothing when the environment or the connection fails, after the message that says why.
std::optional<Session> Demarrer(Interlocuteur& interlocuteur);

} // namespace cc
