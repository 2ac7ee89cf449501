#pragma once

#include <QDateTime>
#include <functional>

namespace cc {

// The local date and time; injected so that tests can fix the moment.
using Horloge = std::function<QDateTime()>;

inline Horloge HorlogeSysteme() {
    return [] { return QDateTime::currentDateTime(); };
}

} // namespace cc
