#pragma once

#include <QFile>
#include <QString>
#include <memory>

namespace cc {

// Tells other runs that a report is still in use: held from its creation until the report is let go.
// On Unix an exclusive flock on the file; on Windows nothing more is needed, since a file held open
// there cannot be renamed.
class VerrouFichier {
public:
    VerrouFichier() = default;
    explicit VerrouFichier(int descripteur) : descripteur_(descripteur) {}
    ~VerrouFichier() { liberer(); }
    VerrouFichier(VerrouFichier&& autre) noexcept;
    VerrouFichier& operator=(VerrouFichier&& autre) noexcept;
    VerrouFichier(const VerrouFichier&) = delete;
    VerrouFichier& operator=(const VerrouFichier&) = delete;

    void liberer();

private:
    int descripteur_ = -1;
};

// Creates a file under a name no other file holds, atomically, so that two processes never get the
// same one; with a lock, the file is already locked when its name appears. Null when the name is
// taken; throws Erreur for any other failure, naming the action.
std::unique_ptr<QFile> ReserverFichier(const QString& nom, const QString& action,
                                       VerrouFichier* verrou = nullptr);

// ReserverFichier for a file whose name must be free: a taken name is a failure too.
std::unique_ptr<QFile> CreerFichierNeuf(const QString& nom, const QString& action);

// Moves the report `base`.txt of a finished run, with its findings file `base`.csv, to the backup
// names `sauvegarde`.txt and .csv. Nothing is moved, and false returned, when that report is still
// in use by a run, when either backup name is taken (a backup is never replaced) or when the system
// refuses.
bool TournerRapportTermine(const QString& base, const QString& sauvegarde);

} // namespace cc
