#pragma once
// Checksums taken from one build; every other build must reproduce them.
#include <cstdint>

constexpr uint32_t GoldenSampleMapChecksum = 2274609110u;
constexpr uint32_t GoldenStretchChecksumPortable = 2795944413u;
constexpr uint32_t GoldenStretchChecksumMmx = 492975978u;
