#include "report/Constats.h"

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"
#include "report/FichiersExecution.h"
#include "report/Rapport.h"

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string_view>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cc {

QString MontantConstat(double montant) {
    return TexteNombre(montant).replace(u'.', u',');
}

namespace {

bool aCiter(QStringView champ) {
    for (const char16_t c : std::u16string_view(champ.utf16(), std::size_t(champ.size()))) {
        if (c <= u';' && (c == u';' || c == u'"' || c == u'\r' || c == u'\n'))
            return true;
    }
    return false;
}

bool formule(const QString& champ) {
    return !champ.isEmpty() && QStringView(u"=+-@\t\r'").contains(champ.front());
}

// "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss" written digit by digit: QDateTime::toString goes through the
// locale's machinery, and the findings file writes a date or two on each of tens of thousands of rows.
QString texteDate(const QDate& jour, const QTime& heure, bool avecHeure) {
    if (jour.year() < 1000 || jour.year() > 9999)
        return QDateTime(jour, heure, Qt::UTC).toString(avecHeure ? FormatDateConstats : FormatJourConstats);
    std::array<char16_t, 19> t{u'0', u'0', u'0', u'0', u'-', u'0', u'0', u'-', u'0', u'0',
                               u' ', u'0', u'0', u':', u'0', u'0', u':', u'0', u'0'};
    const auto chiffres = [&t](std::size_t position, int valeur, std::size_t nombre) {
        for (std::size_t i = nombre; i-- > 0; valeur /= 10)
            t[position + i] = char16_t(u'0' + valeur % 10);
    };
    chiffres(0, jour.year(), 4);
    chiffres(5, jour.month(), 2);
    chiffres(8, jour.day(), 2);
    if (!avecHeure)
        return QString(reinterpret_cast<const QChar*>(t.data()), 10);
    chiffres(11, heure.hour(), 2);
    chiffres(14, heure.minute(), 2);
    chiffres(17, heure.second(), 2);
    return QString(reinterpret_cast<const QChar*>(t.data()), qsizetype(t.size()));
}

QString citer(const QString& champ) {
    if (!aCiter(champ))
        return champ;
    const std::u16string_view texte(QStringView(champ).utf16(), std::size_t(champ.size()));
    const auto guillemets = qsizetype(std::count(texte.begin(), texte.end(), u'"'));
    QString cite(champ.size() + guillemets + 2, Qt::Uninitialized);
    auto* c = reinterpret_cast<char16_t*>(cite.data());
    *c++ = u'"';
    for (const char16_t x : texte) {
        *c++ = x;
        if (x == u'"')
            *c++ = u'"';
    }
    *c = u'"';
    return cite;
}

// The forms a day or a time may come in from the databases and the program's own stamps.
constexpr std::array<QStringView, 12> FormesDates{u"yyyy-MM-dd",
                                                  u"yyyy-MM-dd hh:mm:ss",
                                                  u"yyyy-MM-dd hh:mm",
                                                  u"yyyy-MM-ddThh:mm:ss",
                                                  u"yyyy-MM-ddThh:mm",
                                                  u"yyyy-MM-dd hh:mm:ss.zzz",
                                                  u"yyyy-MM-ddThh:mm:ss.zzz",
                                                  u"yyyy/MM/dd",
                                                  u"yyyy/MM/dd hh:mm:ss",
                                                  u"dd/MM/yyyy",
                                                  u"dd/MM/yyyy hh:mm",
                                                  u"dd/MM/yyyy hh:mm:ss"};

// A text read in one of the forms as a day and a time of day, never through the local time zone: a
// time the local clock skips (the spring change) stays as written, and no zone file is read per row.
// The forms have a fixed width (dd, MM, yyyy, hh, mm, ss, zzz), so the text is read by position.
std::optional<std::pair<QDate, QTime>> LireDate(const QString& texte, QStringView forme) {
    if (texte.size() != forme.size())
        return std::nullopt;
    const auto chiffre = [](QChar lettre) {
        switch (lettre.unicode()) {
        case u'y':
        case u'M':
        case u'd':
        case u'h':
        case u'm':
        case u's':
        case u'z':
            return true;
        default:
            return false;
        }
    };
    for (qsizetype i = 0; i < forme.size(); ++i) {
        if (chiffre(forme[i]) ? (texte[i] < u'0' || texte[i] > u'9') : texte[i] != forme[i])
            return std::nullopt;
    }
    const auto champ = [&](QChar lettre) {
        int valeur = 0;
        for (qsizetype i = forme.indexOf(lettre); i >= 0 && i < forme.size() && forme[i] == lettre; ++i)
            valeur = valeur * 10 + (texte[i].unicode() - u'0');
        return valeur;
    };
    const QDate jour(champ(u'y'), champ(u'M'), champ(u'd'));
    const QTime heure(champ(u'h'), champ(u'm'), champ(u's'), champ(u'z'));
    if (!jour.isValid() || !heure.isValid())
        return std::nullopt;
    return std::pair{jour, heure};
}

} // namespace

QString ChampCsv(const QString& champ) {
    // Most fields need neither: they are shared, not copied.
    if (!formule(champ) && !aCiter(champ))
        return champ;
    return citer(NeutraliserFormule(champ));
}

QString DateConstats(const QString& texte, bool jour) {
    for (const QStringView forme : FormesDates) {
        const auto t = LireDate(texte, forme);
        if (!t)
            continue;
        const auto& [date, heure] = *t;
        // Milliseconds have no place in the one format: such a text is kept whole.
        if (heure.msec() != 0)
            return texte;
        return texteDate(date, heure, !(jour && heure == QTime(0, 0)));
    }
    return texte;
}

FichierConstats::~FichierConstats() {
    if (flux_)
        flux_->close();
}

void FichierConstats::ouvrir(const QString& chemin, const QDateTime& execution, const QString& sens) {
    if (flux_)
        flux_->close();
    flux_.reset();
    chemin_ = chemin;
    execution_ = execution.toString(FormatDateConstats);
    executionIso_ = execution.toString(Qt::ISODate);
    sens_ = sens;
    lignes_ = 0;
    const QString action = QStringLiteral("Impossible de créer le fichier de constats");
    flux_ = CreerFichierNeuf(chemin, action);
    QStringList entete;
    for (const QString& c : ColonnesConstats())
        entete << ChampCsv(c);
    EcrireOctets(*flux_, QByteArrayLiteral("\xEF\xBB\xBF") + entete.join(u';').toUtf8() + "\r\n",
                 QStringLiteral("Impossible d'écrire dans le fichier de constats"));
}

void FichierConstats::ecrire(const LigneConstat& ligne) {
    if (!flux_)
        return;
    EcrireOctets(*flux_, rangee(ligne), QStringLiteral("Impossible d'écrire dans le fichier de constats"));
    ++lignes_;
}

void FichierConstats::ecrireSurDisque(const std::vector<LigneConstat>& lignes) {
    if (!flux_)
        return;
    QByteArray octets;
    for (const LigneConstat& ligne : lignes)
        octets += rangee(ligne);
    const qint64 taille = flux_->size();
    try {
        EcrireOctets(*flux_, octets, QStringLiteral("Impossible d'écrire dans le fichier de constats"));
        synchroniser();
    } catch (const Erreur&) {
        // No half row stays behind: the file ends where the rows that reached it whole end.
        flux_->resize(taille);
        throw;
    }
    lignes_ += qint64(lignes.size());
}

QByteArray FichierConstats::rangee(const LigneConstat& l) const {
    // Amounts are numbers for a spreadsheet: quoted where needed, never guarded as formulas.
    const auto montant = [](const QVariant& v) {
        return v.isNull() ? QString() : citer(MontantConstat(v.toDouble()));
    };
    std::array<QString, NombreColonnesConstats> champs;
    const auto mettre = [&champs](ColonneConstat colonne, const QString& texte) {
        champs[std::size_t(colonne)] = ChampCsv(texte);
    };
    using enum ColonneConstat;
    mettre(Execution, execution_);
    mettre(Sens, sens_);
    mettre(Facture, l.facture);
    mettre(Dossier, l.dossier);
    mettre(Devis, l.devis);
    mettre(Constat, l.constat);
    champs[std::size_t(MontantFactCli)] = montant(l.montantFactCli);
    champs[std::size_t(MontantFacture)] = l.montantFacture ? montant(*l.montantFacture) : QString();
    mettre(Action, l.action);
    mettre(NumeroEcrit, l.numeroEcrit);
    mettre(JourEcrit, DateConstats(l.jourEcrit, true));
    mettre(DateMajEcrite, l.dateMajEcrite.isValid()
                              ? texteDate(l.dateMajEcrite.date(), l.dateMajEcrite.time(), true)
                              : QString());
    mettre(AncienNumero, l.ancienNumero);
    mettre(AncienDossier, l.ancienDossier);
    mettre(AncienJour, DateConstats(l.ancienJour, true));
    mettre(AncienDevis, l.ancienDevis);
    mettre(AncienneDateMaj, DateConstats(l.ancienneDateMaj, false));
    mettre(Ligne, l.ligne);
    mettre(Base, base_);
    if (l.groupe > 0) {
        const QString groupe = QString::number(l.groupe);
        const QString valeurs =
            l.ecrit.empty() ? QString() : EncoderValeursExactes({executionIso_, l.ecrit, l.avant});
        mettre(Groupe, groupe);
        mettre(ValeursExactes, valeurs);
        mettre(Controle, ControleConstat(sens_, base_, groupe, l.action, l.constat, l.ligne, valeurs));
    }
    QString texte;
    texte.reserve(512);
    for (std::size_t i = 0; i < champs.size(); ++i) {
        if (i > 0)
            texte += u';';
        texte += champs[i];
    }
    texte += QLatin1String("\r\n");
    return texte.toUtf8();
}

void FichierConstats::synchroniser() {
    if (!flux_)
        return;
    errno = 0;
    bool ok = flux_->flush();
#ifdef Q_OS_WIN
    ok = ok && ::_commit(flux_->handle()) == 0;
#else
    ok = ok && ::fsync(flux_->handle()) == 0;
#endif
    const int e = errno;
    if (!ok)
        EchecFichier(*flux_, QStringLiteral("Impossible d'écrire dans le fichier de constats"), e);
}

void FichierConstats::fermer() {
    if (flux_)
        FermerFichier(std::move(flux_), QStringLiteral("Impossible de fermer le fichier de constats"));
}

} // namespace cc
