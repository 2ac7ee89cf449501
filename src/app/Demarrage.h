#pragma once

#include "commun/Interlocuteur.h"
#include "data/Connexion.h"
#include "data/ConnexionBase.h"
#include "data/Environnement.h"

#include <memory>
#include <optional>

namespace cc {

// What start-up leaves for the runs: where the company lies and the one open connection.
struct Session {
    Environnement environnement;
    std::unique_ptr<Connexion> connexion;
    QString designation; // the database as messages name it
    QString identite;    // the database as the findings file names it
};

// Reads the settings and checks that the company's database can be reached. False after a
// message box when it cannot.
bool VerifierEnvironnement(Environnement& env, Interlocuteur& interlocuteur);

// Opens a connection of the given kind, the hourglass shown meanwhile. nullptr on failure, after
// the error box unless silent.
std::unique_ptr<Connexion> OuvrirConnexion(const Environnement& env, const QString& chemin, TypeSource type,
                                           bool silencieux, Interlocuteur& interlocuteur);

// The start-up connection: SQLSERVER.DAT read again, then OuvrirConnexion, not silent. nullptr when
// the program must end (the box has been shown). designation, when given, receives how messages name
// the database, identite how the findings file names it.
std::unique_ptr<Connexion> OuvrirBase(const Environnement& env, Interlocuteur& interlocuteur,
                                      QString* designation = nullptr, QString* identite = nullptr);

// Reads the host product's settings, checks the company's database and opens the connection.
// Nothing when the environment or the connection fails, after the message that says why.
std::optional<Session> Demarrer(Interlocuteur& interlocuteur);

} // namespace cc
