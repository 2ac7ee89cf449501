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
        const auto produit = static_cast<unsigned __int128>(moteur_()) * etendue;
        return min + static_cast<std::int64_t>(produit >> 64);
    }

    // A real number in [0, 1).
    double reel() { return static_cast<double>(moteur_() >> 11) * 0x1.0p-53; }

    bool chance(double probabilite) { return reel() < probabilite; }

    template <typename Liste> const auto& parmi(const Liste& liste) {
        return liste[static_cast<std::size_t>(entier(0, static_cast<std::int64_t>(std::size(liste)) - 1))];
    }

private:
    std::mt19937_64 moteur_;
};

} // namespace cc::demo
