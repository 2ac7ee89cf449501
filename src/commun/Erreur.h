#pragma once

#include <QFile>
#include <QString>
#include <exception>

namespace cc {

// A failure of a run: a number and a description, shown to the user as they are.
class Erreur : public std::exception {
public:
    // Numbers of the failures that the program raises itself; database errors carry the driver's own
    // number when it gives one. They are the numbers the host product's users know for these failures.
    enum Numero : int {
        Depassement = 6, // an amount beyond what a double holds
        MemoireInsuffisante = 7,
        ErreurInterne = 51,      // anything unforeseen, caught at the end of a run
        FichierIntrouvable = 53, // also a report viewer that cannot be started
        DisquePlein = 61,
        AccesFichier = 75,
        RequeteRefusee = 3001,
        BaseEnLectureSeule = 3027,  // the database may only be read
        EcritureConcurrente = 3197, // a row changed by another program while it was being written
        TransactionRefusee = 3246,
        ChampIntrouvable = 3265,
        FormatBaseInconnu = 3343, // a database file that is neither SQLite nor Jet
        PiloteIntrouvable = 3706, // no driver, or no suitable one, for the database
        ConnexionImpossible = 3709,
    };

    Erreur(int numero, QString description, QString source = {})
        : numero_(numero), description_(std::move(description)), source_(std::move(source)),
          utf8_(description_.toUtf8()) {}

    int numero() const noexcept { return numero_; }
    const QString& description() const noexcept { return description_; }
    const QString& source() const noexcept { return source_; }
    // For support, never in a box: the statement refused and the driver's own words.
    const QString& details() const noexcept { return details_; }
    Erreur& avecDetails(QString details) {
        details_ = std::move(details);
        return *this;
    }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    int numero_;
    QString description_;
    QString source_;
    QString details_;
    QByteArray utf8_;
};

// Raises the failure of a file operation: a full disk (or quota, or file-size limit) as DisquePlein,
// anything else as AccesFichier, naming the action and the file.
[[noreturn]] void EchecFichier(const QFile& fichier, const QString& action, int numeroErrno);

} // namespace cc
