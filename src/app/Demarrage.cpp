#include "app/Demarrage.h"

#include <exception>

namespace cc {

namespace {

// The start-up messages are kept word for word as the host product shows them ("accèder" included).
QString messageEnvironnement(ProblemeEnvironnement probleme, const Environnement& env) {
    const QString fin = QStringLiteral("\r\nVeuillez relancer VENDRAX.");
    switch (probleme) {
    case ProblemeEnvironnement::AucuneSociete:
        return QStringLiteral("Aucune société n'est actuellement active.") + fin;
    case ProblemeEnvironnement::BaseInaccessible:
        return QStringLiteral("Impossible d'accèder à ") + CheminBaseSociete(env) + fin;
    case ProblemeEnvironnement::ServeurInaccessible:
        break;
    }
    return QStringLiteral("Impossible d'accèder à la base SQL Server ") + env.RepertoireSociete.toUpper() +
           fin;
}

} // namespace

bool VerifierEnvironnement(Environnement& env, Interlocuteur& interlocuteur) {
    // A test connection, silent, released at once: the working one is opened next by OuvrirBase.
    const auto essayerServeur = [&] {
        return OuvrirConnexion(env, CheminBaseSociete(env), TypeSource::SqlServer, true, interlocuteur) !=
               nullptr;
    };
    const std::optional<ProblemeEnvironnement> probleme = ExaminerEnvironnement(env, essayerServeur);
    if (!probleme)
        return true;
    interlocuteur.message(messageEnvironnement(*probleme, env), TitreApplication(), Icone::Critique);
    return false;
}

std::unique_ptr<Connexion> OuvrirConnexion(const Environnement& env, const QString& chemin, TypeSource type,
                                           bool silencieux, Interlocuteur& interlocuteur) {
    Sablier sablier(interlocuteur);
    Erreur echec(0, QString());
    try {
        return Connecter(env, chemin, type);
    } catch (const Erreur& e) {
        echec = e;
    } catch (const std::exception& e) {
        echec = Erreur(Erreur::ConnexionImpossible, QString::fromLocal8Bit(e.what()));
    }
    sablier.liberer();
    if (!silencieux)
        interlocuteur.message(MessageErreurConnexion(echec, DesignationBase(env, chemin, type)),
                              TitreConnexion(), Icone::Critique);
    return nullptr;
}

std::unique_ptr<Connexion> OuvrirBase(const Environnement& env, Interlocuteur& interlocuteur,
                                      QString* designation, QString* identite) {
    Environnement courant = env;
    const TypeSource type = LireFichierSqlServer(courant);
    if (designation)
        *designation = DesignationBase(courant, CheminBaseSociete(courant), type);
    if (identite)
        *identite = IdentiteBase(courant, CheminBaseSociete(courant), type);
    return OuvrirConnexion(courant, CheminBaseSociete(courant), type, false, interlocuteur);
}

std::optional<Session> Demarrer(Interlocuteur& interlocuteur) {
    Session session;
    // An unusable environment ends here, so that no second, confusing box follows its message.
    if (!VerifierEnvironnement(session.environnement, interlocuteur))
        return std::nullopt;
    session.connexion =
        OuvrirBase(session.environnement, interlocuteur, &session.designation, &session.identite);
    if (!session.connexion)
        return std::nullopt;
    return session;
}

} // namespace cc
