// Longer than most: the record reader, the two layouts, the checks of a whole file and the comparison of
// dates by meaning are one job, reading the findings file back as the program wrote it.
#include "report/LectureConstats.h"

#include "commun/Erreur.h"
#include "commun/TexteErreurSysteme.h"
#include "report/ValeursExactes.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <array>
#include <cerrno>

namespace cc {

namespace {

constexpr qint64 TailleBloc = 64 * 1024;

bool estMontant(ColonneConstat colonne) {
    return colonne == ColonneConstat::MontantFactCli || colonne == ColonneConstat::MontantFacture;
}

// An empty cell reads as the null text (bound as Null), as it always did.
QString decoder(const QByteArray& octets, bool& valide) {
    if (octets.isEmpty())
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texte = utf8(octets);
    valide = valide && !utf8.hasError();
    return texte;
}

// The parts of a date or time text; the day and month of a day/month/year text in their places.
struct Instant {
    int annee = 0;
    int premier = 0; // the month of an ISO date, else the first number
    int second = 0;
    bool iso = false;
    bool anneeCourte = false;
    int heure = 0, minute = 0, seconde = 0;
    int milli = -1; // -1 when not written
};

std::optional<Instant> lireInstant(const QString& texte) {
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{1,2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,3}))?)?)?$)"));
    static const QRegularExpression jma(QStringLiteral(
        R"(^(\d{1,2})/(\d{1,2})/(\d{2}|\d{4})(?: (\d{1,2}):(\d{2})(?::(\d{2}))?(?: ?([AaPp][Mm]))?)?$)"));
    const QString t = texte.trimmed();
    Instant i;
    QRegularExpressionMatch m = iso.match(t);
    if (m.hasMatch()) {
        i.iso = true;
        i.annee = m.captured(1).toInt();
        i.premier = m.captured(2).toInt();
        i.second = m.captured(3).toInt();
        i.heure = m.captured(4).toInt();
        if (m.hasCaptured(7))
            i.milli = m.captured(7).leftJustified(3, u'0').toInt();
    } else if (m = jma.match(t); m.hasMatch()) {
        i.premier = m.captured(1).toInt();
        i.second = m.captured(2).toInt();
        i.annee = m.captured(3).toInt();
        i.anneeCourte = m.captured(3).size() == 2;
        i.heure = m.captured(4).toInt();
        if (m.hasCaptured(7)) {
            const bool apresMidi = m.captured(7).front().toLower() == u'p';
            const int h = m.captured(4).toInt();
            if (h < 1 || h > 12)
                return std::nullopt;
            i.heure = h % 12 + (apresMidi ? 12 : 0);
        }
    } else {
        return std::nullopt;
    }
    i.minute = m.captured(5).toInt();
    i.seconde = m.captured(6).toInt();
    return i;
}

bool memeJour(const Instant& a, const Instant& b) {
    const bool annee = a.anneeCourte || b.anneeCourte ? a.annee % 100 == b.annee % 100 : a.annee == b.annee;
    if (!annee)
        return false;
    if (a.iso == b.iso || (a.premier == b.premier && a.second == b.second))
        return a.premier == b.premier && a.second == b.second;
    // An ISO date against a spreadsheet's: day and month in either order of its locale.
    return a.premier == b.second && a.second == b.premier;
}

} // namespace

bool MemeInstant(const QString& a, const QString& b) {
    if (a == b)
        return true;
    const auto x = lireInstant(a);
    const auto y = lireInstant(b);
    if (!x || !y)
        return false;
    // A spreadsheet's time has no milliseconds: they count only where both texts write them.
    const bool milli = x->milli < 0 || y->milli < 0 || x->milli == y->milli;
    return memeJour(*x, *y) && x->heure == y->heure && x->minute == y->minute && x->seconde == y->seconde &&
           milli;
}

QString RangeeConstats::texte(ColonneConstat colonne) const {
    const auto i = std::size_t(colonne);
    if (i >= champs_.size())
        return {};
    // A text a spreadsheet would take for a formula is written behind one quote; amounts never are.
    const QString& t = champs_[i];
    return neutralise_ && !estMontant(colonne) ? RetablirFormule(t) : t;
}

QVariant RangeeConstats::montant(ColonneConstat colonne) const {
    const QString t = texte(colonne);
    if (t.isEmpty())
        return {};
    bool ok = false;
    const double v = QString(t).replace(u',', u'.').toDouble(&ok);
    if (!ok)
        throw Erreur(Erreur::AccesFichier,
                     QStringLiteral("Montant illisible dans le fichier de constats : %1").arg(t));
    return v;
}

LigneConstat RangeeConstats::ligne() const {
    using enum ColonneConstat;
    LigneConstat l{.facture = texte(Facture),
                   .dossier = texte(Dossier),
                   .devis = texte(Devis),
                   .constat = texte(Constat),
                   .montantFactCli = montant(MontantFactCli),
                   .action = texte(Action)};
    if (const QVariant m = montant(MontantFacture); !m.isNull())
        l.montantFacture = m.toDouble();
    l.numeroEcrit = texte(NumeroEcrit);
    l.jourEcrit = texte(JourEcrit);
    l.dateMajEcrite = QDateTime::fromString(texte(DateMajEcrite), Qt::ISODate);
    l.ancienNumero = texte(AncienNumero);
    l.ancienDossier = texte(AncienDossier);
    l.ancienJour = texte(AncienJour);
    l.ancienDevis = texte(AncienDevis);
    l.ancienneDateMaj = texte(AncienneDateMaj);
    l.ligne = texte(Ligne);
    return l;
}

LecteurCsv::LecteurCsv(QIODevice& source) : source_(source) {
    positionTampon_ = source_.pos();
    allerA(positionTampon_, 0);
}

void LecteurCsv::allerA(qint64 debut, qint64 numero) {
    if (!source_.seek(debut))
        abime(QStringLiteral("le fichier ne peut pas être relu"));
    tampon_.clear();
    lu_ = 0;
    positionTampon_ = debut;
    debut_ = debut;
    numero_ = numero;
}

bool LecteurCsv::octet(char& c) {
    if (lu_ == tampon_.size()) {
        positionTampon_ += tampon_.size();
        tampon_ = source_.read(TailleBloc);
        lu_ = 0;
        if (tampon_.isEmpty())
            return false;
    }
    c = tampon_[lu_++];
    return true;
}

void LecteurCsv::abime(const QString& raison) const {
    throw Erreur(Erreur::AccesFichier, raison);
}

bool LecteurCsv::lire(std::vector<QString>& champs) {
    champs.clear();
    QByteArray champ;
    bool valide = true;
    char c = 0;
    // Blank lines between records are no records.
    do {
        debut_ = positionTampon_ + lu_;
        if (!octet(c))
            return false;
    } while (c == '\r' || c == '\n');
    ++numero_;
    if (debut_ == 0 && c == '\xEF') {
        // The byte-order mark.
        char b = 0, o = 0;
        if (!octet(b) || !octet(o) || b != '\xBB' || o != '\xBF')
            abime(QStringLiteral("le texte n'est pas de l'UTF-8"));
        debut_ = 3;
        if (!octet(c))
            return false;
    }
    const auto trop = [this] {
        if (positionTampon_ + lu_ - debut_ > TailleMaximaleRangee)
            abime(QStringLiteral("la ligne dépasse %1 octets").arg(TailleMaximaleRangee));
    };
    for (;;) {
        bool cite = false;
        if (c == '"') {
            cite = true;
            for (;;) {
                if (!octet(c))
                    abime(
                        QStringLiteral("un guillemet ouvert n'est jamais fermé (fichier tronqué ou abîmé)"));
                trop();
                if (c != '"') {
                    champ += c;
                    continue;
                }
                if (!octet(c)) {
                    c = '\n';
                    break;
                }
                if (c != '"')
                    break;
                champ += '"';
            }
        } else {
            while (c != ';' && c != '\r' && c != '\n') {
                if (c == '"')
                    abime(QStringLiteral("un guillemet au milieu d'un champ"));
                champ += c;
                trop();
                if (!octet(c)) {
                    c = '\n';
                    break;
                }
            }
        }
        if (c != ';' && c != '\r' && c != '\n')
            abime(cite ? QStringLiteral("un texte suit un guillemet fermant")
                       : QStringLiteral("un champ mal formé"));
        champs.push_back(decoder(std::exchange(champ, QByteArray()), valide));
        if (!valide)
            abime(QStringLiteral("le texte n'est pas de l'UTF-8"));
        if (c != ';') {
            // CR LF, CR or LF ends the record.
            if (c == '\r' && octet(c) && c != '\n')
                --lu_;
            return true;
        }
        if (!octet(c))
            c = '\n';
    }
}

std::optional<DispositionConstats> DispositionEntete(const std::vector<QString>& entete) {
    const std::vector<QString>& colonnes = ColonnesConstats();
    if (entete == colonnes)
        return DispositionConstats::Actuelle;
    if (entete.size() == NombreColonnesAnciennes &&
        std::equal(entete.begin(), entete.end(), colonnes.begin()))
        return DispositionConstats::Ancienne;
    return std::nullopt;
}

Erreur ConstatsRefuses(const QString& chemin, qint64 numero, const QString& raison) {
    QString texte = QStringLiteral("Le fichier de constats %1 est refusé").arg(chemin);
    if (numero > 0)
        texte += QStringLiteral(", ligne %1").arg(numero);
    return Erreur(Erreur::AccesFichier,
                  texte + QStringLiteral(" : %1. Rien n'a été écrit dans la base.").arg(raison));
}

bool EstEcriture(const QString& action) {
    return action == action::LigneAjoutee() || action == action::LigneReecrite() ||
           action == action::MontantReecrit();
}

namespace {

bool actionConnue(const QString& action) {
    static const std::array connues{
        action::Aucune(),         action::LigneAjoutee(),     action::LigneReecrite(),
        action::MontantReecrit(), action::LigneIntrouvable(), action::EcritureRefusee(),
        action::LigneSupprimee(), action::MontantRetabli(),   action::LigneRetablie(),
        action::DejaRetablie(),   action::ModifieeDepuis(),   action::GroupeValide(),
        action::GroupeAnnule(),   action::JamaisValidee(),    action::LigneApparue()};
    return action.isEmpty() || std::find(connues.begin(), connues.end(), action) != connues.end();
}

// Why the values of a row of either layout are refused; none when they are sound.
std::optional<QString> problemeValeurs(const RangeeConstats& r) {
    using enum ColonneConstat;
    const QString action = r.texte(Action);
    if (!actionConnue(action))
        return QStringLiteral("action inconnue « %1 »").arg(action);
    for (const ColonneConstat c : {MontantFactCli, MontantFacture}) {
        try {
            r.montant(c);
        } catch (const Erreur&) {
            return QStringLiteral("montant illisible « %1 » (colonne %2)")
                .arg(r.texte(c), NomsColonnesConstats[std::size_t(c)]);
        }
    }
    if (!EstEcriture(action))
        return std::nullopt;
    if (action != action::MontantReecrit()) {
        if (r.texte(NumeroEcrit).isEmpty())
            return QStringLiteral("une ligne écrite sans numéro de facture");
        if (!r.texte(DateMajEcrite).isEmpty() && !lireInstant(r.texte(DateMajEcrite)))
            return QStringLiteral("date de mise à jour illisible « %1 »").arg(r.texte(DateMajEcrite));
    }
    if (r.montant(MontantFacture).isNull())
        return QStringLiteral("une écriture sans le montant écrit");
    return std::nullopt;
}

// Today's layout: the database the row was written for, its group, its check value and, for a write,
// its exact values against its human columns.
std::optional<QString> problemeJournal(const RangeeConstats& r, const QString& base) {
    using enum ColonneConstat;
    if (r.texte(Base) != base)
        return QStringLiteral("le fichier est celui d'une autre base (« %1 ») que la base ouverte (« %2 »)")
            .arg(r.texte(Base), base);
    const QString action = r.texte(Action);
    const bool ecriture = EstEcriture(action);
    if (r.texte(Groupe).isEmpty()) {
        if (ecriture || action == action::GroupeValide() || action == action::GroupeAnnule())
            return QStringLiteral("une écriture sans son groupe");
        return std::nullopt;
    }
    bool ok = false;
    if (r.texte(Groupe).toInt(&ok) < 1 || !ok)
        return QStringLiteral("groupe illisible « %1 »").arg(r.texte(Groupe));
    const QString controle = ControleConstat(r.texte(Sens), r.texte(Base), r.texte(Groupe), action,
                                             r.texte(Constat), r.texte(Ligne), r.texte(ValeursExactes));
    if (r.texte(Controle) != controle)
        return QStringLiteral("la valeur de contrôle ne correspond pas : la ligne a été modifiée");
    if (ecriture && !DecoderValeursExactes(r.texte(ValeursExactes)))
        return QStringLiteral("valeurs exactes illisibles");
    return std::nullopt;
}

} // namespace

std::optional<QString> ProblemeRangee(const RangeeConstats& r, DispositionConstats disposition,
                                      const QString& base) {
    const std::size_t attendus =
        disposition == DispositionConstats::Actuelle ? NombreColonnesConstats : NombreColonnesAnciennes;
    if (r.nombreChamps() != attendus)
        return QStringLiteral("%1 colonnes au lieu de %2").arg(r.nombreChamps()).arg(attendus);
    if (auto probleme = problemeValeurs(r))
        return probleme;
    if (disposition == DispositionConstats::Actuelle)
        return problemeJournal(r, base);
    return std::nullopt;
}

JournalConstats VerifierConstats(QIODevice& fichier, const QString& chemin, const QString& base,
                                 const std::function<void()>& entreRangees,
                                 const VerificationEcriture& ecriture) {
    LecteurCsv lecteur(fichier);
    std::vector<QString> champs;
    const auto lire = [&] {
        try {
            return lecteur.lire(champs);
        } catch (const Erreur& e) {
            throw ConstatsRefuses(chemin, lecteur.numero(), e.description());
        }
    };
    std::optional<DispositionConstats> disposition;
    if (lire())
        disposition = DispositionEntete(champs);
    if (!disposition)
        throw ConstatsRefuses(
            chemin, 0,
            QStringLiteral("ce n'est pas un fichier de constats de controle-coherence (en-tête inconnu)"));
    JournalConstats journal{.disposition = *disposition};
    const bool neutralise = *disposition == DispositionConstats::Actuelle;
    while (lire()) {
        entreRangees();
        const RangeeConstats r(std::move(champs), neutralise);
        std::optional<QString> probleme = ProblemeRangee(r, *disposition, base);
        const QString action = r.texte(ColonneConstat::Action);
        if (!probleme && EstEcriture(action))
            probleme = ecriture(r, *disposition);
        if (probleme)
            throw ConstatsRefuses(chemin, lecteur.numero(), *probleme);
        const int groupe = r.texte(ColonneConstat::Groupe).toInt();
        if (EstEcriture(action))
            journal.ecritures.push_back({lecteur.debut(), lecteur.numero(), groupe});
        else if (action == action::GroupeValide() || action == action::GroupeAnnule())
            journal.groupes[groupe] = action == action::GroupeValide();
    }
    return journal;
}

std::vector<RangeeConstats> LireConstats(const QString& chemin) {
    QFile fichier(chemin);
    errno = 0;
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(Erreur::FichierIntrouvable,
                     QStringLiteral("Impossible de lire le fichier de constats %1 : %2")
                         .arg(chemin, TexteErreurFichier(fichier, errno)));
    LecteurCsv lecteur(fichier);
    std::vector<QString> champs;
    std::optional<DispositionConstats> disposition;
    if (lecteur.lire(champs))
        disposition = DispositionEntete(champs);
    if (!disposition)
        throw Erreur(
            Erreur::AccesFichier,
            QStringLiteral("%1 n'est pas un fichier de constats de controle-coherence.").arg(chemin));
    std::vector<RangeeConstats> rangees;
    while (lecteur.lire(champs))
        rangees.emplace_back(std::move(champs), *disposition == DispositionConstats::Actuelle);
    return rangees;
}

std::vector<std::vector<QString>> LireCsv(QStringView texte) {
    QByteArray octets = texte.toUtf8();
    QBuffer tampon(&octets);
    tampon.open(QIODevice::ReadOnly);
    LecteurCsv lecteur(tampon);
    std::vector<std::vector<QString>> lignes;
    std::vector<QString> champs;
    while (lecteur.lire(champs))
        lignes.push_back(std::move(champs));
    return lignes;
}

} // namespace cc
