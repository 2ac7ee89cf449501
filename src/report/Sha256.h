#pragma once

#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace cc {

// SHA-256 of a text's bytes. Each findings row carries one; Qt's own hash (a byte-at-a-time reference
// implementation) was a tenth of a first filling's work. The processor's SHA instructions are used where
// it has them, unless `processeur` is false (the tests check both ways).
std::array<std::uint8_t, 32> Sha256(QByteArrayView octets, bool processeur = true);

} // namespace cc
