// Deterministic pseudo-random firmware images: a xorshift32 generator of our own, so the bytes
// do not depend on the standard library's distributions.
#include "demo_image.h"

std::vector<std::uint8_t> MakeDemoImage(std::size_t size, std::uint32_t seed) {
    // Spread the seed so that neighbouring seeds give unrelated images; xorshift must not start at
    // 0.
    std::uint32_t state = seed * 0x9E3779B9u + 0x7F4A7C15u;
    if (state == 0) {
        state = 0x6D2B79F5u;
    }
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return image;
}
