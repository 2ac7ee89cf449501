#pragma once

#include "commun/Interlocuteur.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace cc::test {

// Stands in for the user: records every box and answers questions as told.
class InterlocuteurTest : public Interlocuteur {
public:
    struct Boite {
        QString texte;
        QString titre;
        Icone icone;
        bool question;
    };

    void message(const QString& texte, const QString& titre, Icone icone) override {
        boites.append({texte, titre, icone, false});
    }
    bool question(const QString& texte, const QString& titre) override {
        boites.append({texte, titre, Icone::Information, true});
        return reponse;
    }
    // The question before writing is kept apart from the other boxes, and answered by confirme.
    bool confirmer(const QString& texte, const QString&) override {
        confirmations.append(texte);
        return confirme;
    }
    void curseurAttente(bool actif) override {
        profondeurCurseur += actif ? 1 : -1;
        if (actif)
            ++sabliers;
    }
    bool ouvrirFichier(const QString& chemin) override {
        fichiersOuverts.append(chemin);
        return visionneuseDisponible;
    }

    QStringList textes() const {
        QStringList t;
        for (const auto& b : boites)
            t.append(b.texte);
        return t;
    }

    QList<Boite> boites;
    QStringList fichiersOuverts;
    bool reponse = false;
    QStringList confirmations;
    bool confirme = true;
    bool visionneuseDisponible = true;
    int profondeurCurseur = 0;
    int sabliers = 0;
};

} // namespace cc::test
