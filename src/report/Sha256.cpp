#include "report/Sha256.h"

#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define CC_SHA_PROCESSEUR 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace cc {

namespace {

constexpr std::array<std::uint32_t, 64> K{
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void bloc(std::array<std::uint32_t, 8>& h, const unsigned char* p) {
    std::array<std::uint32_t, 64> w;
    for (std::size_t i = 0; i < 16; ++i, p += 4)
        w[i] = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
    for (std::size_t i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
    for (std::size_t i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            k + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
        const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        k = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += k;
}

#ifdef CC_SHA_PROCESSEUR
// The processor's SHA instructions (x86 since 2016 or so) do a block in a few dozen instructions. The state
// is held as ABEF and CDGH, as those instructions want it.
__attribute__((target("sha,sse4.1,ssse3"))) void blocsProcesseur(std::array<std::uint32_t, 8>& h,
                                                                 const unsigned char* p, std::size_t blocs) {
    const __m128i ordre = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&h[0])), 0xB1);
    __m128i etat1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&h[4])), 0x1B);
    __m128i etat0 = _mm_alignr_epi8(t, etat1, 8);
    etat1 = _mm_blend_epi16(etat1, t, 0xF0);
    for (; blocs > 0; --blocs, p += 64) {
        const __m128i avant0 = etat0;
        const __m128i avant1 = etat1;
        // Four rounds at a time; the schedule runs three groups ahead in w[0..3].
        __m128i w[4];
        for (std::size_t i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), ordre);
#pragma GCC unroll 16
        for (std::size_t i = 0; i < 16; ++i) {
            __m128i m = _mm_add_epi32(w[i % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&K[4 * i])));
            etat1 = _mm_sha256rnds2_epu32(etat1, etat0, m);
            if (i >= 3 && i <= 14) {
                __m128i& suivant = w[(i + 1) % 4];
                suivant = _mm_add_epi32(suivant, _mm_alignr_epi8(w[i % 4], w[(i + 3) % 4], 4));
                suivant = _mm_sha256msg2_epu32(suivant, w[i % 4]);
            }
            m = _mm_shuffle_epi32(m, 0x0E);
            etat0 = _mm_sha256rnds2_epu32(etat0, etat1, m);
            if (i >= 1 && i <= 12)
                w[(i + 3) % 4] = _mm_sha256msg1_epu32(w[(i + 3) % 4], w[i % 4]);
        }
        etat0 = _mm_add_epi32(etat0, avant0);
        etat1 = _mm_add_epi32(etat1, avant1);
    }
    t = _mm_shuffle_epi32(etat0, 0x1B);
    etat1 = _mm_shuffle_epi32(etat1, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&h[0]), _mm_blend_epi16(t, etat1, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&h[4]), _mm_alignr_epi8(etat1, t, 8));
}

bool processeurSha() {
    static const bool oui = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &a, &b, &c, &d))
            return false;
        const bool sse41 = c & bit_SSE4_1, ssse3 = c & bit_SSSE3;
        __cpuid_count(7, 0, a, b, c, d);
        return sse41 && ssse3 && (b & bit_SHA);
    }();
    return oui;
}
#endif

void blocs(std::array<std::uint32_t, 8>& h, const unsigned char* p, std::size_t nombre, bool processeur) {
#ifdef CC_SHA_PROCESSEUR
    if (processeur && processeurSha()) {
        blocsProcesseur(h, p, nombre);
        return;
    }
#else
    Q_UNUSED(processeur);
#endif
    for (; nombre > 0; --nombre, p += 64)
        bloc(h, p);
}

} // namespace

std::array<std::uint8_t, 32> Sha256(QByteArrayView octets, bool processeur) {
    std::array<std::uint32_t, 8> h{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const auto* p = reinterpret_cast<const unsigned char*>(octets.data());
    const std::uint64_t taille = std::uint64_t(octets.size());
    const std::size_t entiers = std::size_t(taille / 64);
    blocs(h, p, entiers, processeur);
    p += 64 * entiers;
    // The tail, the 0x80 byte and the length in bits fill one or two last blocks.
    const std::size_t reste = std::size_t(taille % 64);
    std::array<unsigned char, 128> fin{};
    if (reste > 0)
        std::memcpy(fin.data(), p, reste);
    fin[reste] = 0x80;
    const std::size_t derniers = reste < 56 ? 1 : 2;
    const std::uint64_t bits = taille * 8;
    for (std::size_t i = 0; i < 8; ++i)
        fin[derniers * 64 - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    blocs(h, fin.data(), derniers, processeur);
    std::array<std::uint8_t, 32> r;
    for (std::size_t i = 0; i < 8; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            r[4 * i + j] = static_cast<std::uint8_t>(h[i] >> (24 - 8 * j));
    return r;
}

} // namespace cc
