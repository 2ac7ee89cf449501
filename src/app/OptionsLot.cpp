#include "app/OptionsLot.h"

#include "app/Execution.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace cc {

namespace {

using namespace Qt::StringLiterals;

// clang-format off
enum class Cle { Du, Au, Sens, Ajouter, MettreAJour, Rapports, Annuler, Statistiques, Silencieux, Aide, Version };
// clang-format on

// A line of the usage text for one value of an option.
struct LigneValeur {
    QString valeur;
    QString aide;
};

// Each option of the program, declared here once: the parser and the usage text are both made from it.
struct Option {
    Cle cle;
    QStringList noms;                  // shown in the usage, in this order
    QString valeur = {};               // the value's name; empty for a switch
    QString aide = {};                 // what it does: its line of the usage text
    QStringList autres = {};           // names accepted too, never shown
    QList<LigneValeur> parValeur = {}; // instead of that line, one for each value
};

const QList<Option>& optionsDuProgramme() {
    static const QList<Option> options{
        {Cle::Du, {u"du"_s}, u"AAAA-MM-JJ"_s, u"premier jour de la période (obligatoire)"_s},
        {Cle::Au, {u"au"_s}, u"AAAA-MM-JJ"_s, u"dernier jour de la période (par défaut : aujourd'hui)"_s},
        {.cle = Cle::Sens,
         .noms = {u"sens"_s},
         .valeur = u"SENS"_s,
         .parValeur = {{u"factures"_s, u"contrôle à partir des factures (par défaut)"_s},
                       {u"factcli"_s, u"contrôle à partir de FACTCLI"_s}}},
        {Cle::Ajouter, {u"ajouter"_s}, {}, u"ajouter les enregistrements manquants dans FACTCLI"_s},
        {Cle::MettreAJour, {u"mettre-a-jour"_s}, {}, u"mettre à jour les montants différents"_s},
        {Cle::Rapports, {u"rapports"_s}, u"DOSSIER"_s, u"écrire le rapport dans DOSSIER"_s},
        {Cle::Annuler,
         {u"annuler"_s},
         u"FICHIER"_s,
         u"annuler les écritures enregistrées dans un fichier de constats (.csv)"_s},
        {Cle::Statistiques,
         {u"statistiques"_s},
         {},
         u"ajoute une ligne de mesures (instructions, lignes lues, mémoire, durée)"_s},
        {Cle::Silencieux,
         {u"q"_s, u"silencieux"_s},
         {},
         u"n'écrit que les erreurs et le chemin du rapport"_s},
        {.cle = Cle::Aide, .noms = {u"h"_s, u"help"_s}, .aide = u"affiche cette aide"_s, .autres = {u"?"_s}},
        {Cle::Version, {u"v"_s, u"V"_s, u"version"_s}, {}, u"affiche la version"_s},
    };
    return options;
}

const Option& option(Cle cle) {
    const QList<Option>& options = optionsDuProgramme();
    return *std::find_if(options.begin(), options.end(), [cle](const Option& o) { return o.cle == cle; });
}

// The name an option goes by in messages: its last, longest one.
QString nom(Cle cle) {
    return option(cle).noms.last();
}

QString nomAffiche(const QString& nomOption) {
    return (nomOption.size() == 1 ? u"-"_s : u"--"_s) + nomOption;
}

// The usage text's part before the options and after them.
const QString DebutUsage =
    u"Usage : controle-coherence --du AAAA-MM-JJ [OPTION]...\n"
    "Contrôle la cohérence entre les factures de la société active et la table FACTCLI.\n"
    "\n"
    "Sans option, ouvre la fenêtre (les options de Qt, comme -style fusion, y sont admises).\n"
    "Avec des options, exécute un contrôle sans fenêtre.\n"
    "\n"_s;
// How a run is stopped is said in each system's words: a Windows console has Ctrl-C and no signals.
QString finUsage(bool windows) {
    const QString arret =
        windows ? u"Ctrl-C arrête le contrôle après la facture en cours.\n"_s
                : u"Ctrl-C (SIGINT) ou SIGTERM arrête le contrôle après la facture en cours.\n"_s;
    const QString codesArret = windows
                                   ? u"64 erreur d'usage, 130 arrêté par Ctrl-C.\n"_s
                                   : u"64 erreur d'usage, 130 arrêté par SIGINT, 143 arrêté par SIGTERM.\n"_s;
    return u"\n"
           "Une valeur s'écrit à la suite de son option ou après un signe égal : --du=2025-01-01.\n"
           "Le rapport est écrit dans le répertoire du programme ou, s'il n'est pas accessible en écriture,\n"
           "dans le dossier « Contrôle de cohérence » des documents de l'utilisateur. Son chemin est la\n"
           "dernière ligne de la sortie standard. Sur un terminal, une ligne montre la progression.\n"_s +
           arret +
           u"\n"
           "Code de sortie : 0 rien trouvé, 1 quelque chose trouvé (une ligne au rapport, ou un montant\n"
           "différent laissé tel quel ; avec --annuler, des lignes laissées telles quelles), 2 échec,\n"_s +
           codesArret;
}

// The column where the usage text's descriptions start, after two blanks.
constexpr int LargeurNoms = 26;

QString ligneUsage(const Option& o, const QString& valeur, const QString& aide) {
    QStringList formes;
    for (const QString& n : o.noms)
        formes << nomAffiche(n);
    QString noms = formes.join(u", "_s);
    if (!valeur.isEmpty())
        noms += u' ' + valeur;
    return u"  "_s + noms.leftJustified(LargeurNoms) + aide + u'\n';
}

// The arguments as the parser read them, asked by the options' keys.
class LigneLue {
public:
    explicit LigneLue(const QCommandLineParser& analyseur) : analyseur_(analyseur) {}
    bool present(Cle cle) const { return analyseur_.isSet(nom(cle)); }
    QString valeur(Cle cle) const { return analyseur_.value(nom(cle)); }

private:
    const QCommandLineParser& analyseur_;
};

// QCommandLineParser's own error texts are English: only the name it quotes is kept.
QString messageAnalyse(const QCommandLineParser& analyseur) {
    const QStringList inconnues = analyseur.unknownOptionNames();
    if (!inconnues.isEmpty())
        return u"option inconnue : %1"_s.arg(nomAffiche(inconnues.first()));
    static const QRegularExpression cite(u"'([^']*)'"_s);
    const QRegularExpressionMatch m = cite.match(analyseur.errorText());
    if (m.hasMatch())
        return u"l'option %1 attend une valeur"_s.arg(m.captured(1));
    return u"arguments invalides"_s;
}

// An option given twice, under one name or two (-q --silencieux), is a mistake of the caller, not a
// choice for the parser to make silently.
std::optional<ErreurUsage> verifierRepetitions(const QCommandLineParser& analyseur) {
    QList<Cle> vues;
    for (const QString& n : analyseur.optionNames()) {
        const QList<Option>& options = optionsDuProgramme();
        const auto o = std::find_if(options.begin(), options.end(), [&n](const Option& candidate) {
            return (candidate.noms + candidate.autres).contains(n);
        });
        if (o == options.end())
            continue;
        if (vues.contains(o->cle))
            return ErreurUsage{u"l'option %1 est donnée deux fois"_s.arg(nomAffiche(nom(o->cle)))};
        vues << o->cle;
    }
    return std::nullopt;
}

std::optional<QDate> lireJour(const QString& texte) {
    // Exactly AAAA-MM-JJ, and a real day.
    if (texte.size() != 10)
        return std::nullopt;
    const QDate d = QDate::fromString(texte, u"yyyy-MM-dd"_s);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

// An undo takes its findings file and nothing of a check.
std::optional<ErreurUsage> verifierAnnulation(const LigneLue& ligne, const ArgumentsLot& lot) {
    const bool periode = ligne.present(Cle::Du) || ligne.present(Cle::Au) || ligne.present(Cle::Sens);
    if (periode || lot.options.ajouter || lot.options.mettreAJour)
        return ErreurUsage{
            u"--annuler ne se combine pas avec --du, --au, --sens, --ajouter ni --mettre-a-jour"_s};
    if (lot.annuler.isEmpty())
        return ErreurUsage{u"l'option --annuler attend un fichier"_s};
    return std::nullopt;
}

std::optional<ErreurUsage> lirePeriode(const LigneLue& ligne, OptionsControle& options) {
    for (const Cle cle : {Cle::Du, Cle::Au}) {
        if (!ligne.present(cle))
            continue;
        const QString v = ligne.valeur(cle);
        const auto jour = lireJour(v);
        if (!jour)
            return ErreurUsage{u"date invalide pour --%1 : %2 (AAAA-MM-JJ)"_s.arg(nom(cle), v)};
        (cle == Cle::Du ? options.debut : options.fin) = *jour;
    }
    if (!ligne.present(Cle::Du))
        return ErreurUsage{u"l'option --du est obligatoire"_s};
    if (options.debut > options.fin)
        return ErreurUsage{
            PeriodeInversee(options.debut.toString(Qt::ISODate), options.fin.toString(Qt::ISODate))};
    return std::nullopt;
}

std::optional<ErreurUsage> lireSens(const LigneLue& ligne, OptionsControle& options) {
    if (ligne.present(Cle::Sens)) {
        const QString v = ligne.valeur(Cle::Sens);
        if (v == u"factures")
            options.aPartirDesFactures = true;
        else if (v == u"factcli")
            options.aPartirDesFactures = false;
        else
            return ErreurUsage{u"sens inconnu : %1 (factures ou factcli)"_s.arg(v)};
    }
    // The FACTCLI-driven check writes nothing: a repair asked of it would silently not happen.
    if (!options.aPartirDesFactures && (options.ajouter || options.mettreAJour))
        return ErreurUsage{
            u"--ajouter et --mettre-a-jour ne valent que pour le contrôle à partir des factures"_s};
    return std::nullopt;
}

ArgumentsLot lireDrapeaux(const LigneLue& ligne, const QDate& aujourdhui) {
    ArgumentsLot lot;
    lot.options.fin = aujourdhui;
    lot.aide = ligne.present(Cle::Aide);
    lot.version = ligne.present(Cle::Version);
    lot.statistiques = ligne.present(Cle::Statistiques);
    lot.silencieux = ligne.present(Cle::Silencieux);
    lot.options.ajouter = ligne.present(Cle::Ajouter);
    lot.options.mettreAJour = ligne.present(Cle::MettreAJour);
    lot.rapports = ligne.valeur(Cle::Rapports);
    lot.annuler = ligne.valeur(Cle::Annuler);
    return lot;
}

} // namespace

QString TexteUsage(bool windows) {
    QString texte = DebutUsage;
    for (const Option& o : optionsDuProgramme()) {
        if (o.parValeur.isEmpty())
            texte += ligneUsage(o, o.valeur, o.aide);
        for (const LigneValeur& l : o.parValeur)
            texte += ligneUsage(o, l.valeur, l.aide);
    }
    return texte + finUsage(windows);
}

bool EstAppelLot(const QStringList& arguments) {
    // Short switches may be written together, as -qV.
    QString courts;
    for (const Option& o : optionsDuProgramme())
        for (const QString& n : o.noms + o.autres)
            if (n.size() == 1 && o.valeur.isEmpty())
                courts += n;
    for (const QString& a : arguments) {
        if (!a.startsWith(u'-') || a.size() < 2)
            continue;
        if (!a.startsWith(u"--"_s) &&
            std::all_of(a.begin() + 1, a.end(), [&](QChar c) { return courts.contains(c); }))
            return true;
        for (const Option& o : optionsDuProgramme()) {
            for (const QString& n : o.noms + o.autres) {
                const QString forme = nomAffiche(n);
                if (a == forme || (n.size() > 1 && a.startsWith(forme + u'=')))
                    return true;
            }
        }
    }
    return false;
}

std::variant<ArgumentsLot, ErreurUsage> AnalyserArguments(const QStringList& arguments,
                                                          const QDate& aujourdhui) {
    QCommandLineParser analyseur;
    for (const Option& o : optionsDuProgramme())
        analyseur.addOption(QCommandLineOption(o.noms + o.autres, QString(), o.valeur));
    if (!analyseur.parse(QStringList{u"controle-coherence"_s} + arguments))
        return ErreurUsage{messageAnalyse(analyseur)};
    if (!analyseur.positionalArguments().isEmpty())
        return ErreurUsage{u"argument inattendu : %1"_s.arg(analyseur.positionalArguments().first())};

    if (const auto repetition = verifierRepetitions(analyseur))
        return *repetition;
    const LigneLue ligne(analyseur);
    ArgumentsLot lot = lireDrapeaux(ligne, aujourdhui);
    if (lot.aide || lot.version)
        return lot;
    std::optional<ErreurUsage> erreur;
    if (ligne.present(Cle::Annuler)) {
        erreur = verifierAnnulation(ligne, lot);
    } else {
        erreur = lirePeriode(ligne, lot.options);
        if (!erreur)
            erreur = lireSens(ligne, lot.options);
    }
    if (erreur)
        return *erreur;
    return lot;
}

} // namespace cc
