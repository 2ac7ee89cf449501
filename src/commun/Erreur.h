#pragma once

#include <QString>
#include <exception>

namespace cc {

// A failure of a run: a number and a description, shown to the user as they are.
class Erreur : public std::exception {
public:
    // Numbers of the failures that the program raises itself (database errors carry the driver's).
    enum Numero : int {
        FichierIntrouvable = 53,
        DisquePlein = 61,
        AccesFichier = 75,
        ChampIntrouvable = 3265,
        RequeteRefusee = 3001,
        ConnexionImpossible = 3709,
        VisionneuseIntrouvable = 432,
    };

    Erreur(int numero, QString description, QString source = {})
        : numero_(numero), description_(std::move(description)), source_(std::move(source)),
          utf8_(description_.toUtf8()) {}

    int numero() const noexcept { return numero_; }
    const QString& description() const noexcept { return description_; }
    const QString& source() const noexcept { return source_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    int numero_;
    QString description_;
    QString source_;
    QByteArray utf8_;
};

} // namespace cc
