#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace cc {

// The findings of the last run, under the counts line: the rows of its findings file in a table that
// sorts on any column and filters by finding, and the buttons that open the files and undo the writes.
class PanneauConstats : public QWidget {
    Q_OBJECT
public:
    explicit PanneauConstats(QWidget* parent = nullptr);

    // Shows the rows of the findings file; false when it cannot be read (the table stays empty and
    // says why). annulable: whether the run wrote anything that can be undone.
    bool afficher(const QString& fichierConstats, bool annulable);
    void permettreAnnulation(bool annulable);

    QTableView* table() const { return table_; }
    // The controls that a run disables.
    QList<QWidget*> controles() const;

Q_SIGNALS:
    void ouvrirConstats();
    void ouvrirRapport();
    void annuler();

private:
    void filtrer();

    QLabel* titre_ = nullptr;
    QComboBox* filtre_ = nullptr;
    QTableView* table_ = nullptr;
    QStandardItemModel* modele_ = nullptr;
    QSortFilterProxyModel* tri_ = nullptr;
    QPushButton* cmd_OuvrirConstats_ = nullptr;
    QPushButton* cmd_OuvrirRapport_ = nullptr;
    QPushButton* cmd_Annuler_ = nullptr;
};

} // namespace cc
