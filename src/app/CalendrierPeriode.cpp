#include "app/CalendrierPeriode.h"

#include <QApplication>
#include <QLocale>
#include <QSignalBlocker>

namespace cc {

namespace {

// Qt's date editor, given a month typed with a leading zero ("03"), makes an invalid date, which the
// calendar turns into its minimum: that day is never a choice and stands for "no date".
const QDate PremierJourPossible(1900, 1, 1);

} // namespace

CalendrierPeriode::CalendrierPeriode(QWidget* parent) : QCalendarWidget(parent) {
    setLocale(QLocale(QLocale::French, QLocale::France));
    setFirstDayOfWeek(Qt::Monday);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    setGridVisible(false);
    setMinimumDate(PremierJourPossible);
    dernierJour_ = selectedDate();
    connect(this, &QCalendarWidget::currentPageChanged, this, &CalendrierPeriode::suivrePage);
    connect(this, &QCalendarWidget::selectionChanged, this, &CalendrierPeriode::selectionChangee);
}

void CalendrierPeriode::suivrePage(int annee, int mois) {
    const QDate jour = selectedDate();
    if (jour.year() == annee && jour.month() == mois)
        return;
    const QDate premier(annee, mois, 1);
    setSelectedDate(premier.addDays(std::min(jour.day(), premier.daysInMonth()) - 1));
}

void CalendrierPeriode::selectionChangee() {
    const QDate jour = selectedDate();
    if (jour <= minimumDate() && dernierJour_.isValid() && dernierJour_ != jour) {
        QApplication::beep();
        setSelectedDate(dernierJour_);
        return;
    }
    dernierJour_ = jour;
    synchroniserEditeur();
}

// The date editor that digits open over the grid starts from the last day clicked, not from the day
// selected since: moving the minimum over the selected day is the one way to tell it.
void CalendrierPeriode::synchroniserEditeur() {
    const QDate jour = selectedDate();
    const QDate minimum = minimumDate();
    if (jour <= minimum)
        return;
    const QSignalBlocker silence(this);
    setSelectedDate(jour.addDays(-1));
    setMinimumDate(jour);
    setMinimumDate(minimum);
}

} // namespace cc
