// generer-demo: writes a demo company from nothing (its base directory, its database and the host
// product's settings that point at it), so that the program can be tried and measured without a host
// installation.

#include "Generateur.h"
#include "commun/CodesSortie.h"
#include "data/ReglagesHote.h"

#include "Arguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <cstdio>
#include <optional>

using namespace cc::demo;
using namespace cc;
using cc::outils::entier;

namespace {

void ecrire(const QString& texte) {
    std::fputs(texte.toLocal8Bit().constData(), stderr);
    std::fputs("\n", stderr);
}

int usage(const QString& message) {
    ecrire(QStringLiteral("generer-demo : %1").arg(message));
    ecrire(QStringLiteral("Essayez « generer-demo --aide »."));
    return SortieUsage;
}

std::optional<double> pourcentage(const QString& texte) {
    bool ok = false;
    const double v = QString(texte).replace(u',', u'.').toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 100.0))
        return std::nullopt;
    return v;
}

// The command line's options, declared once for the parser and for reading its values.
struct OptionsCommande {
    QCommandLineOption aide;
    QCommandLineOption sortie;
    QCommandLineOption societe;
    QCommandLineOption factures;
    QCommandLineOption graine;
    QCommandLineOption debut;
    QCommandLineOption fin;
    QCommandLineOption anciennes;
    QCommandLineOption taux;
    QCommandLineOption lignes;
    QCommandLineOption dossiers;
    QCommandLineOption remises;
    QCommandLineOption sansIndex;
};

OptionsCommande optionsCommande() {
    return {
        .aide = QCommandLineOption({QStringLiteral("h"), QStringLiteral("aide"), QStringLiteral("help")},
                                   QStringLiteral("Affiche cette aide.")),
        .sortie = QCommandLineOption(QStringLiteral("sortie"),
                                     QStringLiteral("Dossier où tout est écrit (obligatoire)."),
                                     QStringLiteral("DOSSIER")),
        .societe = QCommandLineOption(QStringLiteral("societe"),
                                      QStringLiteral("Répertoire de la société (défaut : SOCDEMO)."),
                                      QStringLiteral("NOM"), QStringLiteral("SOCDEMO")),
        .factures = QCommandLineOption(QStringLiteral("factures"),
                                       QStringLiteral("Nombre de factures, avoirs compris (défaut : 300)."),
                                       QStringLiteral("N"), QStringLiteral("300")),
        .graine =
            QCommandLineOption(QStringLiteral("graine"),
                               QStringLiteral("Graine du tirage : même graine, même base (défaut : 1)."),
                               QStringLiteral("S"), QStringLiteral("1")),
        .debut = QCommandLineOption(
            QStringLiteral("debut"),
            QStringLiteral("Premier jour de la période (défaut : 1er janvier de l'an dernier)."),
            QStringLiteral("AAAA-MM-JJ")),
        .fin = QCommandLineOption(
            QStringLiteral("fin"),
            QStringLiteral("Dernier jour de la période (défaut : 31 décembre de l'an dernier)."),
            QStringLiteral("AAAA-MM-JJ")),
        .anciennes = QCommandLineOption(
            QStringLiteral("anciennes"),
            QStringLiteral(
                "Nombre de factures de l'ancienne version pour DOS parmi les factures (défaut : 0)."),
            QStringLiteral("N"), QStringLiteral("0")),
        .taux = QCommandLineOption(
            QStringLiteral("taux-anomalies"),
            QStringLiteral("Pourcentage des couples facture-dossier dont la ligne FACTCLI est "
                           "manquante, fausse, doublée ou accompagnée d'une ligne en trop "
                           "(défaut : 5)."),
            QStringLiteral("P"), QStringLiteral("5")),
        .lignes = QCommandLineOption(QStringLiteral("lignes-moyennes"),
                                     QStringLiteral("Nombre moyen de lignes par facture (défaut : 6)."),
                                     QStringLiteral("N"), QStringLiteral("6")),
        .dossiers = QCommandLineOption(QStringLiteral("dossiers-max"),
                                       QStringLiteral("Nombre maximal de dossiers par facture (défaut : 3)."),
                                       QStringLiteral("N"), QStringLiteral("3")),
        .remises = QCommandLineOption(QStringLiteral("remises"),
                                      QStringLiteral("Pourcentage des lignes ayant une ligne FACTURES_LIGNE "
                                                     "(défaut : 50)."),
                                      QStringLiteral("P"), QStringLiteral("50")),
        .sansIndex =
            QCommandLineOption(QStringLiteral("sans-index"),
                               QStringLiteral("Ne crée pas les index sur les numéros de facture et de "
                                              "dossier.")),
    };
}

// The sizes and shares of the company; on a bad value, what usage() says.
std::optional<QString> lireNombres(const QCommandLineParser& parser, const OptionsCommande& o,
                                   ParametresDemo& p) {
    const auto nombre = entier(parser.value(o.factures), 0, 10'000'000);
    if (!nombre)
        return QStringLiteral("nombre de factures invalide : « %1 ».").arg(parser.value(o.factures));
    p.factures = *nombre;
    bool ok = false;
    p.graine = parser.value(o.graine).toULongLong(&ok);
    if (!ok)
        return QStringLiteral("graine invalide : « %1 ».").arg(parser.value(o.graine));
    const auto nombreAnciennes = entier(parser.value(o.anciennes), 0, p.factures);
    if (!nombreAnciennes)
        return QStringLiteral("nombre de factures anciennes invalide (de 0 au nombre de factures) : « %1 ».")
            .arg(parser.value(o.anciennes));
    p.anciennes = *nombreAnciennes;
    const auto tauxAnomalies = pourcentage(parser.value(o.taux));
    if (!tauxAnomalies)
        return QStringLiteral("taux d'anomalies invalide (de 0 à 100) : « %1 ».").arg(parser.value(o.taux));
    p.tauxAnomalies = *tauxAnomalies;
    const auto moyenne = entier(parser.value(o.lignes), 1, 30);
    if (!moyenne)
        return QStringLiteral("nombre moyen de lignes invalide (de 1 à 30) : « %1 ».")
            .arg(parser.value(o.lignes));
    p.lignesMoyennes = static_cast<int>(*moyenne);
    const auto maximum = entier(parser.value(o.dossiers), 1, 20);
    if (!maximum)
        return QStringLiteral("nombre maximal de dossiers invalide (de 1 à 20) : « %1 ».")
            .arg(parser.value(o.dossiers));
    p.dossiersMax = static_cast<int>(*maximum);
    const auto partRemises = pourcentage(parser.value(o.remises));
    if (!partRemises)
        return QStringLiteral("part des remises invalide (de 0 à 100) : « %1 ».")
            .arg(parser.value(o.remises));
    p.partRemises = *partRemises;
    p.index = !parser.isSet(o.sansIndex);
    return std::nullopt;
}

// The period, by default the last full year; on a bad one, what usage() says.
std::optional<QString> lirePeriode(const QCommandLineParser& parser, const OptionsCommande& o,
                                   ParametresDemo& p) {
    const int anDernier = QDate::currentDate().year() - 1;
    const auto jour = [&](const QCommandLineOption& option) -> std::optional<QDate> {
        if (!parser.isSet(option))
            return QDate();
        const QDate d = QDate::fromString(parser.value(option), QStringLiteral("yyyy-MM-dd"));
        return d.isValid() ? std::optional(d) : std::nullopt;
    };
    const auto jourDebut = jour(o.debut);
    const auto jourFin = jour(o.fin);
    if (!jourDebut || !jourFin)
        return QStringLiteral("date invalide, attendu AAAA-MM-JJ.");
    p.debut = *jourDebut;
    p.fin = *jourFin;
    if (!p.debut.isValid() && !p.fin.isValid()) {
        p.debut = QDate(anDernier, 1, 1);
        p.fin = QDate(anDernier, 12, 31);
    } else if (!p.fin.isValid()) {
        p.fin = p.debut.addYears(1).addDays(-1);
    } else if (!p.debut.isValid()) {
        p.debut = p.fin.addYears(-1).addDays(1);
    }
    if (p.debut > p.fin)
        return QStringLiteral("le premier jour de la période est après le dernier.");
    if (p.debut.year() < 1000 || p.fin.year() > 9999)
        return QStringLiteral("période hors des années 1000 à 9999.");
    return std::nullopt;
}

// The host product's settings that make the company the active one; false once said why not.
bool ecrireReglages(const QString& repertoireBase, const QString& nom) {
    QSettings reglages(QSettings::NativeFormat, QSettings::UserScope, OrganisationReglages(),
                       ApplicationReglages());
    reglages.setValue(CleRepertoireBase(), QDir::toNativeSeparators(repertoireBase));
    reglages.setValue(CleSocieteActive(), nom);
    reglages.sync();
    if (reglages.status() != QSettings::NoError) {
        ecrire(QStringLiteral("generer-demo : impossible d'écrire les réglages dans %1")
                   .arg(reglages.fileName()));
        return false;
    }
    return true;
}

QString texteBilan(const BilanDemo& b, qint64 dureeMs) {
    return QStringLiteral(
               "%1 factures (%2 avoirs, %3 anciennes), %4 lignes, %5 lignes de remise, %6 lignes FACTCLI ; "
               "anomalies : %7 manquantes, %8 montants faux, %9 en trop, ")
               .arg(b.factures)
               .arg(b.avoirs)
               .arg(b.anciennes)
               .arg(b.lignes)
               .arg(b.lignesRemise)
               .arg(b.lignesFactCli)
               .arg(b.manquantes)
               .arg(b.montantsFaux)
               .arg(b.enTrop) +
           QStringLiteral("%1 doublons ; %2 s")
               .arg(b.doublons)
               .arg(static_cast<double>(dureeMs) / 1000.0, 0, 'f', 1);
}

// Writes the company nom under dossier: its database, then the settings that point at it.
int creerSociete(const ParametresDemo& p, const QString& dossier, const QString& nom) {
    QDir dossierSortie(dossier);
    const QString racine = dossierSortie.absolutePath();
    const QString repertoireBase = racine + QStringLiteral("/base");
    const QString repertoireSociete = repertoireBase + u'/' + nom;
    // The settings go under the output folder, never into the user's own configuration; this has to
    // happen before the first use of QSettings, which keeps the location it finds then. On Windows they
    // are the current user's registry key, the one the program reads: a Wine prefix of its own keeps
    // them apart.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(racine + QStringLiteral("/config")));

    if (!QDir().mkpath(repertoireSociete)) {
        ecrire(QStringLiteral("generer-demo : impossible de créer %1").arg(repertoireSociete));
        return SortieEchec;
    }

    QElapsedTimer chrono;
    chrono.start();
    BilanDemo b;
    try {
        b = GenererSociete(p, repertoireSociete + QStringLiteral("/vendrax.mdb"));
    } catch (const ErreurDemo& e) {
        ecrire(QStringLiteral("generer-demo : %1").arg(QString::fromStdString(e.what())));
        return SortieEchec;
    }
    if (!ecrireReglages(repertoireBase, nom))
        return SortieEchec;

    // The company name goes in last, so that a "%" in it is never taken for a place holder.
    const QString chiffres = texteBilan(b, chrono.elapsed());
    ecrire(QStringLiteral("generer-demo : ") + nom + QStringLiteral(" du ") + p.debut.toString(Qt::ISODate) +
           QStringLiteral(" au ") + p.fin.toString(Qt::ISODate) + QStringLiteral(" : ") + chiffres);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("generer-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Crée une société de démonstration : le répertoire de "
                                                    "base, la base vendrax.mdb (SQLite) de la société "
                                                    "avec ses factures, ses avoirs et une table FACTCLI "
                                                    "volontairement imparfaite, et les réglages qui en "
                                                    "font la société active, sous DOSSIER/config."));
    const OptionsCommande o = optionsCommande();
    parser.addOptions({o.aide, o.sortie, o.societe, o.factures, o.graine, o.debut, o.fin, o.anciennes, o.taux,
                       o.lignes, o.dossiers, o.remises, o.sansIndex});

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(o.aide)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("argument inattendu : %1").arg(parser.positionalArguments().front()));
    if (!parser.isSet(o.sortie) || parser.value(o.sortie).isEmpty())
        return usage(QStringLiteral("l'option --sortie est obligatoire."));

    ParametresDemo p;
    const QString nom = parser.value(o.societe);
    if (nom.isEmpty() || nom == u"." || nom == u".." || nom.contains(u'/') || nom.contains(u'\\'))
        return usage(QStringLiteral("nom de société invalide : « %1 ».").arg(nom));
    if (const auto erreur = lireNombres(parser, o, p))
        return usage(*erreur);
    if (const auto erreur = lirePeriode(parser, o, p))
        return usage(*erreur);
    return creerSociete(p, parser.value(o.sortie), nom);
}
