#include "app/PanneauConstats.h"

#include "commun/Erreur.h"
#include "report/LectureConstats.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <optional>
#include <set>

namespace cc {

namespace {

// The columns shown; amounts sort by value.
struct Colonne {
    ColonneConstat colonne;
    QString titre;
    bool montant;
};
const std::vector<Colonne>& Colonnes() {
    static const std::vector<Colonne> colonnes{
        {ColonneConstat::Facture, QStringLiteral("Facture"), false},
        {ColonneConstat::Dossier, QStringLiteral("Dossier"), false},
        {ColonneConstat::Constat, QStringLiteral("Constat"), false},
        {ColonneConstat::MontantFactCli, QStringLiteral("Montant FACTCLI"), true},
        {ColonneConstat::MontantFacture, QStringLiteral("Montant facturé"), true},
        {ColonneConstat::Action, QStringLiteral("Action"), false},
    };
    return colonnes;
}
constexpr int IndiceConstat = 2; // the shown column that the filter reads

// The findings file's rows; when it cannot be read or is not a findings file, why.
std::optional<std::vector<RangeeConstats>> LireFichierConstats(const QString& chemin, QString& raison) {
    try {
        return LireConstats(chemin);
    } catch (const Erreur& e) {
        raison = e.description();
        return std::nullopt;
    }
}

} // namespace

PanneauConstats::PanneauConstats(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("panneauConstats"));
    titre_ = new QLabel(this);
    titre_->setObjectName(QStringLiteral("titreConstats"));
    titre_->setWordWrap(true); // a reason for an unreadable file can be long
    filtre_ = new QComboBox(this);
    filtre_->setObjectName(QStringLiteral("filtreConstats"));
    auto* etiquetteFiltre = new QLabel(QStringLiteral("Fil&tre :"), this);
    etiquetteFiltre->setBuddy(filtre_);
    modele_ = new QStandardItemModel(this);
    QStringList titres;
    for (const Colonne& c : Colonnes())
        titres.append(c.titre);
    modele_->setHorizontalHeaderLabels(titres);
    tri_ = new QSortFilterProxyModel(this);
    tri_->setSourceModel(modele_);
    tri_->setSortRole(Qt::UserRole);
    tri_->setFilterKeyColumn(IndiceConstat);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tableConstats"));
    table_->setModel(tri_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder); // the file's order until a heading is clicked
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() * 3 / 2);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumHeight(fontMetrics().height() * 8);
    connect(filtre_, &QComboBox::currentIndexChanged, this, &PanneauConstats::filtrer);

    auto bouton = [this](QPushButton*& b, const char* nom, const QString& texte) {
        b = new QPushButton(texte, this);
        b->setObjectName(QString::fromLatin1(nom));
        b->setAutoDefault(true);
    };
    bouton(cmd_OuvrirConstats_, "cmd_OuvrirConstats", QStringLiteral("Ouvrir les &constats"));
    bouton(cmd_OuvrirRapport_, "cmd_OuvrirRapport", QStringLiteral("Ouvrir le &rapport"));
    bouton(cmd_Annuler_, "cmd_Annuler", QStringLiteral("Ann&uler les écritures de ce contrôle"));
    connect(cmd_OuvrirConstats_, &QPushButton::clicked, this, &PanneauConstats::ouvrirConstats);
    connect(cmd_OuvrirRapport_, &QPushButton::clicked, this, &PanneauConstats::ouvrirRapport);
    connect(cmd_Annuler_, &QPushButton::clicked, this, &PanneauConstats::annuler);

    auto* haut = new QHBoxLayout;
    haut->addWidget(titre_, 1);
    haut->addWidget(etiquetteFiltre);
    haut->addWidget(filtre_);
    auto* boutons = new QHBoxLayout;
    boutons->addWidget(cmd_OuvrirConstats_);
    boutons->addWidget(cmd_OuvrirRapport_);
    boutons->addStretch(1);
    boutons->addWidget(cmd_Annuler_);
    auto* colonne = new QVBoxLayout(this);
    colonne->setContentsMargins(0, 0, 0, 0);
    colonne->addLayout(haut);
    colonne->addWidget(table_, 1);
    colonne->addLayout(boutons);
}

bool PanneauConstats::afficher(const QString& fichierConstats, bool annulable) {
    modele_->removeRows(0, modele_->rowCount());
    // A new file shows in its own order, unfiltered.
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tri_->sort(-1);
    filtre_->blockSignals(true);
    filtre_->clear();
    filtre_->addItem(QStringLiteral("Tous"));
    filtre_->blockSignals(false);
    permettreAnnulation(annulable);
    QString raison;
    const auto lignes = LireFichierConstats(fichierConstats, raison);
    if (!lignes) {
        titre_->setText(QStringLiteral("Le fichier de constats n'a pas pu être relu : %1").arg(raison));
        cmd_OuvrirConstats_->setEnabled(QFile::exists(fichierConstats));
        return false;
    }
    // A group's marker is no finding; the writes of a group the database rolled back show as the
    // refusals that follow them.
    std::set<QString> annules;
    for (const RangeeConstats& champs : *lignes)
        if (champs.texte(ColonneConstat::Action) == action::GroupeAnnule())
            annules.insert(champs.texte(ColonneConstat::Groupe));
    QStringList constats;
    for (const RangeeConstats& champs : *lignes) {
        const QString action = champs.texte(ColonneConstat::Action);
        if (action == action::GroupeValide() || action == action::GroupeAnnule() ||
            (EstEcriture(action) && annules.count(champs.texte(ColonneConstat::Groupe)) > 0))
            continue;
        QList<QStandardItem*> rangee;
        for (const Colonne& c : Colonnes()) {
            const QString texte = champs.texte(c.colonne);
            auto* item = new QStandardItem(texte);
            if (c.montant) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                // Empty amounts sort first.
                item->setData(texte.isEmpty() ? QVariant(-std::numeric_limits<double>::infinity())
                                              : QVariant(QString(texte).replace(u',', u'.').toDouble()),
                              Qt::UserRole);
            } else {
                item->setData(texte, Qt::UserRole);
            }
            rangee.append(item);
        }
        const QString constat = rangee.at(IndiceConstat)->text();
        if (!constats.contains(constat))
            constats.append(constat);
        modele_->appendRow(rangee);
    }
    filtre_->blockSignals(true);
    filtre_->addItems(constats);
    filtre_->blockSignals(false);
    filtrer();
    table_->resizeColumnsToContents();
    cmd_OuvrirConstats_->setEnabled(true);
    return true;
}

void PanneauConstats::permettreAnnulation(bool annulable) {
    cmd_Annuler_->setEnabled(annulable);
}

QList<QWidget*> PanneauConstats::controles() const {
    return {filtre_, table_, cmd_OuvrirConstats_, cmd_OuvrirRapport_, cmd_Annuler_};
}

void PanneauConstats::filtrer() {
    if (filtre_->currentIndex() <= 0)
        tri_->setFilterRegularExpression(QRegularExpression());
    else
        tri_->setFilterRegularExpression(QRegularExpression(
            QStringLiteral("^") + QRegularExpression::escape(filtre_->currentText()) + QStringLiteral("$")));
    const int montres = tri_->rowCount();
    const int total = modele_->rowCount();
    titre_->setText(montres == total ? QStringLiteral("Constats : %1").arg(total)
                                     : QStringLiteral("Constats : %1 sur %2").arg(montres).arg(total));
}

} // namespace cc
