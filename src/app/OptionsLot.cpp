#include "app/OptionsLot.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace cc {

namespace {

enum class Cle {
    Du,
    Au,
    Sens,
    Ajouter,
    MettreAJour,
    Rapports,
    Annuler,
    Statistiques,
    Silencieux,
    Aide,
    Version
};

// One line of the usage text: the value shown after the option's names (the option's own value name
// when empty) and what it does.
struct LigneAide {
    QString valeur;
    QString texte;
};

// Each option of the program, declared here once: the parser and the usage text are both made from it.
struct Option {
    Cle cle;
    QStringList noms;      // shown in the usage, in this order
    QStringList autres;    // accepted too, never shown
    QString valeur;        // the value's name; empty for a switch
    QList<LigneAide> aide; // its lines of the usage text
};

const QList<Option>& optionsDuProgramme() {
    static const QList<Option> options{
        {Cle::Du,
         {QStringLiteral("du")},
         {},
         QStringLiteral("AAAA-MM-JJ"),
         {{{}, QStringLiteral("premier jour de la période (obligatoire)")}}},
        {Cle::Au,
         {QStringLiteral("au")},
         {},
         QStringLiteral("AAAA-MM-JJ"),
         {{{}, QStringLiteral("dernier jour de la période (par défaut : aujourd'hui)")}}},
        {Cle::Sens,
         {QStringLiteral("sens")},
         {},
         QStringLiteral("SENS"),
         {{QStringLiteral("factures"), QStringLiteral("contrôle à partir des factures (par défaut)")},
          {QStringLiteral("factcli"), QStringLiteral("contrôle à partir de FACTCLI")}}},
        {Cle::Ajouter,
         {QStringLiteral("ajouter")},
         {},
         {},
         {{{}, QStringLiteral("ajouter les enregistrements manquants dans FACTCLI")}}},
        {Cle::MettreAJour,
         {QStringLiteral("mettre-a-jour")},
         {},
         {},
         {{{}, QStringLiteral("mettre à jour les montants différents")}}},
        {Cle::Rapports,
         {QStringLiteral("rapports")},
         {},
         QStringLiteral("DOSSIER"),
         {{{}, QStringLiteral("écrire le rapport dans DOSSIER")}}},
        {Cle::Annuler,
         {QStringLiteral("annuler")},
         {},
         QStringLiteral("FICHIER"),
         {{{}, QStringLiteral("annuler les écritures enregistrées dans un fichier de constats (.csv)")}}},
        {Cle::Statistiques,
         {QStringLiteral("statistiques")},
         {},
         {},
         {{{}, QStringLiteral("ajoute une ligne de mesures (instructions, lignes lues, mémoire, durée)")}}},
        {Cle::Silencieux,
         {QStringLiteral("q"), QStringLiteral("silencieux")},
         {},
         {},
         {{{}, QStringLiteral("n'écrit que les erreurs et le chemin du rapport")}}},
        {Cle::Aide,
         {QStringLiteral("h"), QStringLiteral("help")},
         {QStringLiteral("?")},
         {},
         {{{}, QStringLiteral("affiche cette aide")}}},
        {Cle::Version,
         {QStringLiteral("v"), QStringLiteral("V"), QStringLiteral("version")},
         {},
         {},
         {{{}, QStringLiteral("affiche la version")}}},
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
    return (nomOption.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + nomOption;
}

// The usage text's part before the options and after them.
const QString DebutUsage =
    QStringLiteral("Usage : controle-coherence --du AAAA-MM-JJ [OPTION]...\n"
                   "Contrôle la cohérence entre les factures de la société active et la table FACTCLI.\n"
                   "\n"
                   "Sans option, ouvre la fenêtre (les options de Qt, comme -style fusion, y sont admises).\n"
                   "Avec des options, exécute un contrôle sans fenêtre.\n"
                   "\n");
const QString FinUsage = QStringLiteral(
    "\n"
    "Une valeur s'écrit à la suite de son option ou après un signe égal : --du=2025-01-01.\n"
    "Le rapport est écrit dans le répertoire du programme ou, s'il n'est pas accessible en écriture,\n"
    "dans le dossier « Contrôle de cohérence » des documents de l'utilisateur. Son chemin est la\n"
    "dernière ligne de la sortie standard. Sur un terminal, une ligne montre la progression.\n"
    "Ctrl-C (SIGINT) ou SIGTERM arrête le contrôle après la facture en cours.\n"
    "\n"
    "Code de sortie : 0 rien trouvé, 1 quelque chose trouvé (une ligne au rapport, ou un montant\n"
    "différent laissé tel quel ; avec --annuler, des lignes laissées telles quelles), 2 échec,\n"
    "64 erreur d'usage, 130 arrêté par SIGINT, 143 arrêté par SIGTERM.\n");

// The column where the usage text's descriptions start, after two blanks.
constexpr int LargeurNoms = 26;

QString ligneUsage(const Option& o, const LigneAide& ligne) {
    QStringList formes;
    for (const QString& n : o.noms)
        formes << nomAffiche(n);
    QString noms = formes.join(QStringLiteral(", "));
    const QString valeur = ligne.valeur.isEmpty() ? o.valeur : ligne.valeur;
    if (!valeur.isEmpty())
        noms += u' ' + valeur;
    return QStringLiteral("  ") + noms.leftJustified(LargeurNoms) + ligne.texte + u'\n';
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
        return QStringLiteral("option inconnue : %1").arg(nomAffiche(inconnues.first()));
    static const QRegularExpression cite(QStringLiteral("'([^']*)'"));
    const QRegularExpressionMatch m = cite.match(analyseur.errorText());
    if (m.hasMatch())
        return QStringLiteral("l'option %1 attend une valeur").arg(m.captured(1));
    return QStringLiteral("arguments invalides");
}

std::optional<QDate> lireJour(const QString& texte) {
    // Exactly AAAA-MM-JJ, and a real day.
    if (texte.size() != 10)
        return std::nullopt;
    const QDate d = QDate::fromString(texte, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

// An undo takes its findings file and nothing of a check.
std::optional<ErreurUsage> verifierAnnulation(const LigneLue& ligne, const ArgumentsLot& lot) {
    const bool periode = ligne.present(Cle::Du) || ligne.present(Cle::Au) || ligne.present(Cle::Sens);
    if (periode || lot.options.ajouter || lot.options.mettreAJour)
        return ErreurUsage{QStringLiteral(
            "--annuler ne se combine pas avec --du, --au, --sens, --ajouter ni --mettre-a-jour")};
    if (lot.annuler.isEmpty())
        return ErreurUsage{QStringLiteral("l'option --annuler attend un fichier")};
    return std::nullopt;
}

std::optional<ErreurUsage> lirePeriode(const LigneLue& ligne, OptionsControle& options) {
    for (const Cle cle : {Cle::Du, Cle::Au}) {
        if (!ligne.present(cle))
            continue;
        const QString v = ligne.valeur(cle);
        const auto jour = lireJour(v);
        if (!jour)
            return ErreurUsage{QStringLiteral("date invalide pour --%1 : %2 (AAAA-MM-JJ)").arg(nom(cle), v)};
        (cle == Cle::Du ? options.debut : options.fin) = *jour;
    }
    if (!ligne.present(Cle::Du))
        return ErreurUsage{QStringLiteral("l'option --du est obligatoire")};
    if (options.debut > options.fin)
        return ErreurUsage{QStringLiteral("période inversée : le premier jour %1 est après le dernier %2")
                               .arg(options.debut.toString(Qt::ISODate), options.fin.toString(Qt::ISODate))};
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
            return ErreurUsage{QStringLiteral("sens inconnu : %1 (factures ou factcli)").arg(v)};
    }
    // The FACTCLI-driven check writes nothing: a repair asked of it would silently not happen.
    if (!options.aPartirDesFactures && (options.ajouter || options.mettreAJour))
        return ErreurUsage{QStringLiteral(
            "--ajouter et --mettre-a-jour ne valent que pour le contrôle à partir des factures")};
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

QString TexteUsage() {
    QString texte = DebutUsage;
    for (const Option& o : optionsDuProgramme())
        for (const LigneAide& ligne : o.aide)
            texte += ligneUsage(o, ligne);
    return texte + FinUsage;
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
        if (!a.startsWith(QStringLiteral("--")) &&
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
    if (!analyseur.parse(QStringList{QStringLiteral("controle-coherence")} + arguments))
        return ErreurUsage{messageAnalyse(analyseur)};
    if (!analyseur.positionalArguments().isEmpty())
        return ErreurUsage{
            QStringLiteral("argument inattendu : %1").arg(analyseur.positionalArguments().first())};

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
