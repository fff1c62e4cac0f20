#pragma once

#include <cstdint>
#include <cstring>

namespace lumenote::engine {

// Scalar IEEE half and bfloat16 conversions (round to nearest even). The SIMD kernels have their
// own vector versions; these serve loading, tests and the rare scalar path.

inline uint32_t floatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

inline float bitsFloat(uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

inline float halfToFloat(uint16_t h) {
    const uint32_t sign = uint32_t(h & 0x8000u) << 16;
    const uint32_t exp = (h >> 10) & 0x1fu;
    uint32_t mant = h & 0x3ffu;
    if (exp == 0) {
        if (mant == 0) return bitsFloat(sign);
        // Subnormal: normalise.
        int e = -1;
        do {
            ++e;
            mant <<= 1;
        } while ((mant & 0x400u) == 0);
        mant &= 0x3ffu;
        return bitsFloat(sign | uint32_t(127 - 15 - e) << 23 | mant << 13);
    }
    if (exp == 31) return bitsFloat(sign | 0x7f800000u | mant << 13);
    return bitsFloat(sign | (exp + 127 - 15) << 23 | mant << 13);
}

inline uint16_t floatToHalf(float f) {
    const uint32_t u = floatBits(f);
    const uint16_t sign = uint16_t((u >> 16) & 0x8000u);
    const uint32_t absu = u & 0x7fffffffu;
    if (absu >= 0x7f800000u) {  // inf or nan
        return uint16_t(sign | 0x7c00u | (absu > 0x7f800000u ? 0x200u : 0u));
    }
    if (absu >= 0x477ff000u) return uint16_t(sign | 0x7c00u);  // rounds to inf
    if (absu < 0x38800000u) {
        // Result is subnormal or zero: add a magic number so the FPU rounds for us.
        const float magic = bitsFloat(0x3f000000u);  // 0.5
        const float r = bitsFloat(absu) + magic;
        return uint16_t(sign | (floatBits(r) - 0x3f000000u));
    }
    const uint32_t mantOdd = (absu >> 13) & 1u;
    uint32_t v = absu + 0xc8000fffu + mantOdd;  // rebias exponent, round to nearest even
    return uint16_t(sign | (v >> 13));
}

inline float bf16ToFloat(uint16_t b) { return bitsFloat(uint32_t(b) << 16); }

inline uint16_t floatToBf16(float f) {
    uint32_t u = floatBits(f);
    if ((u & 0x7fffffffu) > 0x7f800000u) return uint16_t((u >> 16) | 0x40u);  // quiet nan
    u += 0x7fffu + ((u >> 16) & 1u);
    return uint16_t(u >> 16);
}

// The value a float takes when stored in half precision.
inline float roundToHalf(float f) { return halfToFloat(floatToHalf(f)); }

}  // namespace lumenote::engine
