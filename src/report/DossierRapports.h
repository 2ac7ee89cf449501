#pragma once

#include <QString>

namespace cc {

// Where the reports of a run (and the files written beside them) go.
struct EmplacementRapports {
    QString dossier;
    bool horsProgramme = false; // the program's directory could not be written: the user's documents
};

// The folder asked for when there is one; otherwise the program's directory when it can be written,
// else the sub-folder « Contrôle de cohérence » of the user's documents, created when missing.
EmplacementRapports DossierRapports(const QString& repertoireProgramme, const QString& dossierDemande = {});

// The sentence that tells the user that reports go to the documents folder.
QString MessageDossierRapports(const EmplacementRapports& emplacement);

} // namespace cc
