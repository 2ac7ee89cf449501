#pragma once

#include <QCalendarWidget>
#include <QDate>

namespace cc {

// A month calendar whose highlighted day is always the date it gives: moving to another month or
// year (arrows, month menu, year field) moves the selected day with it, to the same day of the month
// shown or to its last day where the month is shorter.
class CalendrierPeriode : public QCalendarWidget {
    Q_OBJECT
public:
    explicit CalendrierPeriode(QWidget* parent = nullptr);

private:
    void suivrePage(int annee, int mois);
    void selectionChangee();
    void synchroniserEditeur();

    QDate dernierJour_; // the last day selected that was a real choice
};

} // namespace cc
