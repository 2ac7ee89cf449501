#pragma once

#include <cstdint>
#include <random>

namespace cc::demo {

// Random draws that give the same sequence for a seed whatever the standard library: the library's
// distributions are free to differ between implementations, so only the raw engine is used.
class Alea {
public:
    explicit Alea(std::uint64_t graine) : moteur_(graine) {}

    // A whole number in [min, max], both included.
    std::int64_t entier(std::int64_t min, std::int64_t max) {
        const auto etendue = static_cast<std::uint64_t>(max - min) + 1;
        if (etendue == 0) // the whole 64-bit range
            return static_cast<std::int64_t>(moteur_());
        return min + static_cast<std::int64_t>(hautDuProduit(moteur_(), etendue));
    }

    // A real number in [0, 1).
    double reel() { return static_cast<double>(moteur_() >> 11) * 0x1.0p-53; }

    bool chance(double probabilite) { return reel() < probabilite; }

    template <typename Liste> const auto& parmi(const Liste& liste) {
        return liste[static_cast<std::size_t>(entier(0, static_cast<std::int64_t>(std::size(liste)) - 1))];
    }

private:
    // The high 64 bits of the 128-bit product, in 32-bit halves: 32-bit targets have no 128-bit type.
    static std::uint64_t hautDuProduit(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t aBas = a & 0xffffffffu, aHaut = a >> 32;
        const std::uint64_t bBas = b & 0xffffffffu, bHaut = b >> 32;
        const std::uint64_t basHaut = aBas * bHaut, hautBas = aHaut * bBas;
        const std::uint64_t milieu = ((aBas * bBas) >> 32) + (hautBas & 0xffffffffu) + basHaut;
        return aHaut * bHaut + (hautBas >> 32) + (milieu >> 32);
    }

    std::mt19937_64 moteur_;
};

} // namespace cc::demo
