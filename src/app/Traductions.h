#pragma once

class QTranslator;

namespace cc {

// Installs Qt's own French texts (context menus of the calendars' fields, standard buttons): the
// copy built into the program where there is one, otherwise the system's. The translator belongs
// to the application; nullptr when no copy was found, and Qt's texts stay in English.
QTranslator* ChargerTraductionsQt();

} // namespace cc
