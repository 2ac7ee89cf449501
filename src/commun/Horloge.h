#pragma once

#include <QDateTime>
#include <QStringView>
#include <functional>

namespace cc {

// The local date and time; injected so that tests can fix the moment.
using Horloge = std::function<QDateTime()>;

// DATE_MAJ as the program stamps the FACTCLI rows it writes, and reads them back.
inline constexpr QStringView FormatDateMaj = u"dd/MM/yyyy hh:mm";

inline Horloge HorlogeSysteme() {
    return [] { return QDateTime::currentDateTime(); };
}

} // namespace cc
