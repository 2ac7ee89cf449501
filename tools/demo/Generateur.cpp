// Over 400 lines: the draws of a company (invoices, lines, discounts, FACTCLI and its defects) share one
// state.
#include "Generateur.h"

#include "Alea.h"

#include <QFile>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace cc::demo {

namespace {

// An article of the catalogue of a printing works. Unit prices are in ten-thousandths of a euro, as the
// unit price column shows four decimals; line amounts are rounded to the cent.
struct Article {
    QStringView famille;     // 5 characters at most
    QStringView unite;       // 4
    QStringView reference;   // 19
    QStringView designation; // 40
    qint64 quantiteMin;
    qint64 quantiteMax;
    qint64 pas;
    qint64 prixMin;
    qint64 prixMax;
};

constexpr std::array<Article, 16> catalogue{{
    {u"IMP", u"EX", u"IMP-QUADRI-RV", u"Impression quadrichromie recto-verso", 500, 20000, 250, 150, 2500},
    {u"IMP", u"EX", u"IMP-NOIR-R", u"Impression noir recto", 100, 10000, 100, 80, 600},
    {u"NUM", u"EX", u"NUM-SRA3-COUL", u"Impression numérique couleur SRA3", 10, 2000, 10, 900, 4500},
    {u"PAP", u"KG", u"PAP-COUCHE-135", u"Papier couché brillant 135 g/m²", 10, 800, 5, 9000, 28000},
    {u"PAP", u"FE", u"PAP-OFFSET-90", u"Papier offset blanc 90 g", 1000, 50000, 500, 40, 200},
    {u"PAO", u"H", u"PAO-MAQUETTE", u"Création graphique et mise en page", 1, 30, 1, 350000, 750000},
    {u"PAO", u"FORF", u"PAO-EPREUVE", u"Épreuve numérique contractuelle", 1, 4, 1, 150000, 450000},
    {u"FAC", u"EX", u"FAC-PLI-AGRAF", u"Façonnage : pliage et piqûre à cheval", 500, 20000, 250, 50, 400},
    {u"FAC", u"EX", u"FAC-PELLIC", u"Pelliculage mat recto", 100, 5000, 100, 200, 1500},
    {u"CTP", u"U", u"CTP-PLAQUE", u"Plaques offset, jeu quadrichromie", 1, 8, 1, 180000, 420000},
    {u"LIV", u"FORF", u"LIV-COURSIER", u"Livraison par coursier en région", 1, 1, 1, 250000, 1200000},
    {u"REP", u"EX", u"REP-DEPLIANT-A4", u"Dépliant 3 volets A4, pli roulé", 500, 10000, 500, 300, 1800},
    {u"REP", u"EX", u"REP-CARTE-VISITE", u"Cartes de visite 85 × 55 mm", 100, 2000, 100, 150, 900},
    {u"ROU", u"EX", u"ROU-AFFICHE-4060", u"Affiches 40 × 60 cm, couché 150 g", 50, 3000, 50, 2500, 9000},
    {u"BRO", u"EX", u"BRO-CATALOGUE-32", u"Catalogue 32 pages, dos carré collé", 200, 5000, 100, 8000, 32000},
    {u"ENV", u"EX", u"ENV-DL-FENETRE", u"Enveloppes DL à fenêtre, logo 1 couleur", 500, 20000, 500, 250,
     1200},
}};

constexpr std::array<QStringView, 5> commentaires{
    u"Selon votre commande n° 4521", u"Conformément au devis accepté",    u"Bon à tirer signé par le client",
    u"Reprise des fichiers fournis", u"Livraison à l'adresse habituelle",
};
constexpr std::array<QStringView, 4> codesRemise{u"COM", u"FID", u"QTE", u"PRO"};
constexpr std::array<int, 8> tauxRemise{0, 0, 2, 3, 5, 5, 10, 15};
constexpr std::array<QStringView, 4> complementsDesignation{
    u" - format fini 210 × 297 mm", u" - conditionnement par 500", u" (BAT du client)",
    u" - livraison en deux fois"};
constexpr std::array<QStringView, 3> complementsReference{u"-FSC", u"-PEFC", u"-RECY"};

struct Ligne {
    int numero = 0;
    const Article* article = nullptr; // none for a comment line
    QStringView commentaire;
    qint64 quantite = 0;
    qint64 prixUnitaire = 0; // ten-thousandths of a euro
    qint64 montant = 0;      // cents
    QString devis;           // empty when the line names no estimate
    QString dossier;         // empty on a comment line
    bool remise = false;     // has a FACTURES_LIGNE row
    int taux = 0;
    qint64 montantRemise = 0; // cents
    QStringView codeRemise;
    QVariant designationComplement;
    QVariant referenceComplement;
};

struct Facture {
    QString numero;
    QString jour;
    QString dossierEntete;
    bool avoir = false;
    bool ancienne = false;
    QList<Ligne> lignes;
    QStringList dossiers; // distinct, in the order of their first line
};

enum class Anomalie { Manquante, MontantFaux, EnTrop, Doublon };
constexpr std::array<Anomalie, 4> cycleAnomalies{Anomalie::Manquante, Anomalie::MontantFaux, Anomalie::EnTrop,
                                                 Anomalie::Doublon};

// "125.50", "-3.05": fixed point, never the user's regional format.
QString texteFixe(qint64 valeur, int decimales) {
    qint64 diviseur = 1;
    for (int i = 0; i < decimales; ++i)
        diviseur *= 10;
    const qint64 absolu = valeur < 0 ? -valeur : valeur;
    QString texte = valeur < 0 ? QStringLiteral("-") : QString();
    texte += QString::number(absolu / diviseur);
    if (decimales > 0)
        texte += u'.' + QStringLiteral("%1").arg(absolu % diviseur, decimales, 10, QLatin1Char('0'));
    return texte;
}

// Puts a field at its 1-based position in a slice, cut to its width; numbers are right-aligned.
void placer(QString& tranche, int position, int largeur, QStringView texte, bool aDroite = false) {
    const QStringView coupe = texte.left(largeur);
    const auto debut = position - 1 + (aDroite ? largeur - coupe.size() : 0);
    tranche.replace(debut, coupe.size(), coupe.toString());
}

QString tranche(const Ligne& ligne) {
    QString t(150, u' ');
    placer(t, 1, 2, QStringLiteral("%1").arg(ligne.numero, 2, 10, QLatin1Char('0')));
    if (!ligne.article) {
        placer(t, 31, 40, ligne.commentaire);
        return t;
    }
    const Article& a = *ligne.article;
    placer(t, 3, 5, a.famille);
    placer(t, 8, 4, a.unite);
    placer(t, 12, 19, a.reference);
    placer(t, 31, 40, a.designation);
    placer(t, 71, 8, QString::number(ligne.quantite), true);
    placer(t, 79, 10, texteFixe(ligne.prixUnitaire, 4), true);
    placer(t, 89, 11, texteFixe(ligne.montant, 2), true);
    placer(t, 100, 3, u"T20");
    placer(t, 103, 1, u"O");
    placer(t, 104, 8, u"70610000");
    placer(t, 112, 3, u"001");
    placer(t, 115, 8, ligne.devis);
    placer(t, 123, 8, ligne.dossier);
    placer(t, 141, 1, u"1");
    return t;
}

// What a line adds to its dossier, in cents: the line amount less its discount, or minus the line
// amount on a credit note.
qint64 apportCentimes(const Ligne& l, bool avoir) {
    return avoir ? -l.montant : l.montant - l.montantRemise;
}

// The same in floating point, step by step as the checks add it up from the texts they read.
double apportReel(const Ligne& l, bool avoir) {
    const double montant = static_cast<double>(l.montant) / 100.0;
    return avoir ? -montant : montant - static_cast<double>(l.montantRemise) / 100.0;
}

qint64 centimesDossier(const Facture& f, const QString& dossier) {
    qint64 total = 0;
    for (const Ligne& l : f.lignes)
        if (l.article && l.dossier == dossier)
            total += apportCentimes(l, f.avoir);
    return total;
}

// Whether adding the lines in floating point, in their order, lands exactly on the total in cents: only
// then does a correct FACTCLI amount compare equal however the reader adds it up.
bool sommesConcordent(const Facture& f) {
    for (const QString& dossier : f.dossiers) {
        double total = 0.0;
        for (const Ligne& l : f.lignes) {
            if (!l.article || l.dossier != dossier)
                continue;
            const double apport = apportReel(l, f.avoir);
            if (std::fabs(apport) > 0.001)
                total += apport;
        }
        if (total != static_cast<double>(centimesDossier(f, dossier)) / 100.0)
            return false;
    }
    return true;
}

class Generateur {
public:
    Generateur(const ParametresDemo& p, QSqlDatabase base) : p_(p), alea_(p.graine), base_(std::move(base)) {}

    BilanDemo generer() {
        executer(QStringLiteral("CREATE TABLE FACTURES (NUMERO_DE_FACTURE TEXT, JOUR TEXT, "
                                "NUMERO_DE_DOSSIER TEXT, type_piece TEXT, flag_divers TEXT, Corps TEXT)"));
        executer(
            QStringLiteral("CREATE TABLE FACTURES_LIGNE (NUMERO_DE_FACTURE TEXT, NUMERO_DE_LIGNE INTEGER, "
                           "TAUX_REMISE REAL, MONTANT_REMISE REAL, CODE_REMISE TEXT, "
                           "DESIGNATION_COMPLEMENT TEXT, REFERENCE_MATIERE_COMPLEMENT TEXT)"));
        executer(QStringLiteral("CREATE TABLE FACTCLI (NUM_FACTURE TEXT, NUM_DOSSIER TEXT, JOUR TEXT, "
                                "NUM_DEVIS TEXT, DATE_MAJ TEXT, Montant REAL)"));
        if (!base_.transaction())
            echec(base_.lastError(), QStringLiteral("BEGIN"));
        preparer(insFacture_, QStringLiteral("INSERT INTO FACTURES VALUES (?, ?, ?, ?, ?, ?)"));
        preparer(insLigne_, QStringLiteral("INSERT INTO FACTURES_LIGNE VALUES (?, ?, ?, ?, ?, ?, ?)"));
        preparer(insFactCli_, QStringLiteral("INSERT INTO FACTCLI VALUES (?, ?, ?, ?, ?, ?)"));

        const QList<QString> jours = tirerJours();
        qint64 anciennesRestantes = p_.anciennes;
        for (qint64 i = 0; i < p_.factures; ++i) {
            // Selection sampling: exactly the asked number of old invoices, spread over the period.
            const bool ancienne = alea_.entier(0, p_.factures - i - 1) < anciennesRestantes;
            if (ancienne)
                --anciennesRestantes;
            Facture f = tirerFacture(jours[static_cast<qsizetype>(i)], ancienne);
            ecrireFacture(f);
            ecrireFactCli(f);
        }
        if (p_.index) {
            executer(QStringLiteral("CREATE INDEX FACTURES_NUMERO ON FACTURES (NUMERO_DE_FACTURE)"));
            executer(QStringLiteral("CREATE INDEX FACTURES_JOUR ON FACTURES (JOUR)"));
            executer(QStringLiteral(
                "CREATE INDEX FACTURES_LIGNE_NUMERO ON FACTURES_LIGNE (NUMERO_DE_FACTURE, NUMERO_DE_LIGNE)"));
            executer(QStringLiteral("CREATE INDEX FACTCLI_FACTURE ON FACTCLI (NUM_FACTURE, NUM_DOSSIER)"));
            executer(QStringLiteral("CREATE INDEX FACTCLI_JOUR ON FACTCLI (JOUR)"));
        }
        if (!base_.commit())
            echec(base_.lastError(), QStringLiteral("COMMIT"));
        return bilan_;
    }

private:
    [[noreturn]] static void echec(const QSqlError& e, const QString& sql) {
        throw ErreurDemo(QStringLiteral("erreur de la base (%1) : %2").arg(sql, e.text()).toStdString());
    }

    void executer(const QString& sql) {
        QSqlQuery q(base_);
        if (!q.exec(sql))
            echec(q.lastError(), sql);
    }

    void preparer(std::optional<QSqlQuery>& q, const QString& sql) {
        q.emplace(base_);
        if (!q->prepare(sql))
            echec(q->lastError(), sql);
    }

    static void inserer(QSqlQuery& q, const QVariantList& valeurs) {
        for (int i = 0; i < valeurs.size(); ++i)
            q.bindValue(i, valeurs.at(i));
        if (!q.exec())
            echec(q.lastError(), q.lastQuery());
    }

    // One day a invoice, sorted, so that numbers and days go up together; a third carry a time of day.
    QList<QString> tirerJours() {
        const qint64 etendue = p_.debut.daysTo(p_.fin);
        QList<qint64> decalages;
        decalages.reserve(p_.factures);
        for (qint64 i = 0; i < p_.factures; ++i)
            decalages.append(alea_.entier(0, etendue));
        std::sort(decalages.begin(), decalages.end());
        QList<QString> jours;
        jours.reserve(p_.factures);
        for (const qint64 d : decalages) {
            QString jour = p_.debut.addDays(d).toString(QStringLiteral("yyyy-MM-dd"));
            if (alea_.chance(0.3)) {
                const qint64 seconde = alea_.entier(7 * 3600 + 1800, 19 * 3600);
                jour += QStringLiteral(" %1:%2:%3")
                            .arg(seconde / 3600, 2, 10, QLatin1Char('0'))
                            .arg(seconde / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(seconde % 60, 2, 10, QLatin1Char('0'));
            }
            jours.append(jour);
        }
        return jours;
    }

    QString nouveauDossier() {
        dossierSuivant_ += alea_.entier(1, 3);
        QString d = QStringLiteral("D%1").arg(dossierSuivant_, 5, 10, QLatin1Char('0'));
        recents_[static_cast<std::size_t>(dossierSuivant_) % recents_.size()] = d;
        return d;
    }

    // Mostly new dossiers; now and then one billed before (a second part, a reprint).
    QString tirerDossier() {
        if (dossierSuivant_ > 0 && alea_.chance(0.15)) {
            const QString& d = alea_.parmi(recents_);
            if (!d.isEmpty())
                return d;
        }
        return nouveauDossier();
    }

    QString tirerDevis() {
        if (alea_.chance(0.2))
            return {};
        devisSuivant_ += alea_.entier(1, 4);
        return QStringLiteral("DV%1").arg(devisSuivant_ % 1000000, 6, 10, QLatin1Char('0'));
    }

    Ligne tirerLigne(const QString& dossier, const QString& devis, bool avoir) {
        Ligne l;
        l.article = &alea_.parmi(catalogue);
        const Article& a = *l.article;
        const qint64 pas =
            alea_.entier(a.quantiteMin / a.pas == 0 ? 1 : a.quantiteMin / a.pas, a.quantiteMax / a.pas);
        l.quantite = avoir ? std::max<qint64>(1, pas * a.pas / alea_.entier(2, 10)) : pas * a.pas;
        l.prixUnitaire = alea_.entier(a.prixMin, a.prixMax);
        l.montant = std::max<qint64>(1, (l.quantite * l.prixUnitaire + 50) / 100);
        l.dossier = dossier;
        l.devis = devis;
        l.remise = alea_.chance(p_.partRemises / 100.0);
        if (l.remise) {
            l.taux = alea_.parmi(tauxRemise);
            l.montantRemise = (l.montant * l.taux + 50) / 100;
            // An empty code, never a Null: the reader cannot take a Null discount field.
            l.codeRemise = l.taux == 0 ? QStringView(u"") : alea_.parmi(codesRemise);
            if (alea_.chance(0.15))
                l.designationComplement = alea_.parmi(complementsDesignation).toString();
            else
                l.designationComplement = alea_.chance(0.5) ? QVariant(QStringLiteral("")) : QVariant();
            if (alea_.chance(0.1))
                l.referenceComplement = alea_.parmi(complementsReference).toString();
        }
        return l;
    }

    // The lines of an invoice: each dossier gets at least one, mostly in one block, sometimes mixed.
    void tirerLignes(Facture& f) {
        f.lignes.clear();
        const qint64 moyenne = f.avoir ? 1 : p_.lignesMoyennes;
        const qint64 nombre = std::clamp<qint64>(alea_.entier(1, 2 * moyenne - 1), f.dossiers.size(), 60);
        QList<qsizetype> affectation;
        for (qsizetype d = 0; d < f.dossiers.size(); ++d)
            affectation.append(d);
        while (affectation.size() < nombre)
            affectation.append(alea_.entier(0, f.dossiers.size() - 1));
        std::sort(affectation.begin(), affectation.end());
        if (f.dossiers.size() > 1 && alea_.chance(0.15)) {
            for (qsizetype i = affectation.size() - 1; i > 0; --i)
                std::swap(affectation[i], affectation[alea_.entier(0, i)]);
        }
        QStringList devis;
        for (qsizetype d = 0; d < f.dossiers.size(); ++d)
            devis.append(tirerDevis());

        int numero = 1;
        if (!f.avoir && alea_.chance(0.08)) {
            Ligne c;
            c.numero = numero++;
            c.commentaire = alea_.parmi(commentaires);
            f.lignes.append(c);
        }
        for (qsizetype i = 0; i < affectation.size(); ++i) {
            const qsizetype d = affectation[i];
            Ligne l = tirerLigne(f.dossiers[d], devis[d], f.avoir);
            l.numero = numero++;
            f.lignes.append(l);
            // Now and then a line was deleted in the host product and its number is gone.
            const auto restantes = affectation.size() - i - 1;
            if (restantes > 0 && numero + restantes < 99 && alea_.chance(0.02))
                ++numero;
        }
    }

    Facture tirerFacture(const QString& jour, bool ancienne) {
        Facture f;
        f.jour = jour;
        f.ancienne = ancienne;
        f.avoir = !ancienne && alea_.chance(0.04);
        f.numero = f.avoir ? QStringLiteral("A%1").arg(++avoirs_, 7, 10, QLatin1Char('0'))
                           : QStringLiteral("F%1").arg(++factures_, 7, 10, QLatin1Char('0'));
        const qint64 nombreDossiers =
            f.avoir || p_.dossiersMax == 1 || alea_.chance(0.7) ? 1 : alea_.entier(2, p_.dossiersMax);
        while (f.dossiers.size() < nombreDossiers) {
            const QString d = tirerDossier();
            if (!f.dossiers.contains(d))
                f.dossiers.append(d);
        }
        if (f.dossiers.size() == 1)
            f.dossierEntete = f.dossiers.front();
        else if (alea_.chance(0.1))
            f.dossierEntete = f.dossiers.front();
        // Redrawn until every dossier's total is the same in cents and in floating point (a few tries).
        for (int essai = 0; essai < 1000; ++essai) {
            tirerLignes(f);
            if (sommesConcordent(f))
                return f;
        }
        throw ErreurDemo("montants impossibles à accorder");
    }

    void ecrireFacture(const Facture& f) {
        QString corps;
        corps.reserve(150 * f.lignes.size());
        for (const Ligne& l : f.lignes)
            corps += tranche(l);
        inserer(*insFacture_,
                {f.numero, f.jour, f.dossierEntete, f.avoir ? QStringLiteral("A") : QStringLiteral("F"),
                 f.ancienne ? QStringLiteral("7") : QStringLiteral("0"), corps});
        for (const Ligne& l : f.lignes) {
            if (!l.remise)
                continue;
            inserer(*insLigne_, {f.numero, 2 * l.numero, static_cast<double>(l.taux),
                                 static_cast<double>(l.montantRemise) / 100.0, l.codeRemise.toString(),
                                 l.designationComplement, l.referenceComplement});
            ++bilan_.lignesRemise;
        }
        ++bilan_.factures;
        bilan_.avoirs += f.avoir ? 1 : 0;
        bilan_.anciennes += f.ancienne ? 1 : 0;
        bilan_.lignes += f.lignes.size();
    }

    void ecrireRangFactCli(const Facture& f, const QString& dossier, const QString& devis, qint64 centimes) {
        const QDate jour = QDate::fromString(f.jour.left(10), QStringLiteral("yyyy-MM-dd"));
        const qint64 minute = alea_.entier(8 * 60, 19 * 60 - 1);
        const QString dateMaj = jour.addDays(alea_.entier(0, 3)).toString(QStringLiteral("dd/MM/yyyy")) +
                                QStringLiteral(" %1:%2")
                                    .arg(minute / 60, 2, 10, QLatin1Char('0'))
                                    .arg(minute % 60, 2, 10, QLatin1Char('0'));
        inserer(*insFactCli_,
                {f.numero, dossier, f.jour, devis, dateMaj, static_cast<double>(centimes) / 100.0});
        ++bilan_.lignesFactCli;
    }

    void ecrireFactCli(const Facture& f) {
        for (const QString& dossier : f.dossiers) {
            const auto premiere = std::find_if(f.lignes.cbegin(), f.lignes.cend(),
                                               [&](const Ligne& l) { return l.dossier == dossier; });
            const QString devis = premiere->devis;
            const qint64 centimes = centimesDossier(f, dossier);
            // Old invoices are never read back by the checks, so a fault planted there would not show.
            if (f.ancienne || !alea_.chance(p_.tauxAnomalies / 100.0)) {
                ecrireRangFactCli(f, dossier, devis, centimes);
                continue;
            }
            switch (cycleAnomalies[static_cast<std::size_t>(anomalies_++) % cycleAnomalies.size()]) {
            case Anomalie::Manquante:
                ++bilan_.manquantes;
                break;
            case Anomalie::MontantFaux: {
                const qint64 ecart = alea_.entier(1, 5000) * (alea_.chance(0.5) ? 1 : -1);
                ecrireRangFactCli(f, dossier, devis, centimes + ecart);
                ++bilan_.montantsFaux;
                break;
            }
            case Anomalie::EnTrop: {
                ecrireRangFactCli(f, dossier, devis, centimes);
                QString autre;
                do
                    autre = QStringLiteral("D%1").arg(dossierSuivant_ + alea_.entier(1, 500), 5, 10,
                                                      QLatin1Char('0'));
                while (f.dossiers.contains(autre));
                ecrireRangFactCli(f, autre, tirerDevis(), alea_.entier(1000, 500000));
                ++bilan_.enTrop;
                break;
            }
            case Anomalie::Doublon:
                ecrireRangFactCli(f, dossier, devis, centimes);
                ecrireRangFactCli(f, dossier, devis, centimes);
                ++bilan_.doublons;
                break;
            }
        }
    }

    const ParametresDemo& p_;
    Alea alea_;
    QSqlDatabase base_;
    std::optional<QSqlQuery> insFacture_;
    std::optional<QSqlQuery> insLigne_;
    std::optional<QSqlQuery> insFactCli_;
    BilanDemo bilan_;
    qint64 factures_ = 0;
    qint64 avoirs_ = 0;
    qint64 dossierSuivant_ = 1000;
    qint64 devisSuivant_ = 0;
    qint64 anomalies_ = 0;
    std::array<QString, 64> recents_;
};

const QString nomConnexion = QStringLiteral("generer-demo");

} // namespace

BilanDemo GenererSociete(const ParametresDemo& parametres, const QString& chemin) {
    if (QFile::exists(chemin) && !QFile::remove(chemin))
        throw ErreurDemo(QStringLiteral("impossible de remplacer %1").arg(chemin).toStdString());
    BilanDemo bilan;
    {
        QSqlDatabase base = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nomConnexion);
        base.setDatabaseName(chemin);
        try {
            if (!base.open())
                throw ErreurDemo(QStringLiteral("impossible de créer %1 : %2")
                                     .arg(chemin, base.lastError().text())
                                     .toStdString());
            // The file is new: nothing to protect while it is being written.
            QSqlQuery(base).exec(QStringLiteral("PRAGMA journal_mode=OFF"));
            QSqlQuery(base).exec(QStringLiteral("PRAGMA synchronous=OFF"));
            bilan = Generateur(parametres, base).generer();
        } catch (...) {
            base.close();
            base = QSqlDatabase();
            QSqlDatabase::removeDatabase(nomConnexion);
            QFile::remove(chemin); // never leave a half-written company behind
            throw;
        }
        base.close();
    }
    QSqlDatabase::removeDatabase(nomConnexion);
    return bilan;
}

} // namespace cc::demo
