#include "app/Demarrage.h"

#include "data/ConnexionBase.h"

namespace cc {

std::optional<Session> Demarrer(Interlocuteur& interlocuteur) {
    Session session;
    // An unusable environment ends here, so that no second, confusing box follows its message.
    if (!VerifierEnvironnement(session.environnement, interlocuteur))
        return std::nullopt;
    session.connexion = OuvrirBase(session.environnement, interlocuteur);
    if (!session.connexion)
        return std::nullopt;
    return session;
}

} // namespace cc
