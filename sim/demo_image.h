// Deterministic pseudo-random firmware images for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The same size and seed always give the same bytes, on every platform.
std::vector<std::uint8_t> MakeDemoImage(std::size_t size, std::uint32_t seed = 1);
