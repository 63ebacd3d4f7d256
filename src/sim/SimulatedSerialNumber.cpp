#include "sim/SimulatedSerialNumber.h"

namespace orvalt {

namespace {

constexpr std::uint32_t kFnvOffset = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;
constexpr std::uint32_t kFirstSerial = 320000000;
// Numbers from kFirstSerial + 2 on: clear of the unnamed station's.
constexpr std::uint32_t kSerialSpan = 9999998;

std::uint32_t Fnv1a(std::string_view text) {
    std::uint32_t hash = kFnvOffset;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    }
    return hash;
}

}  // namespace

std::uint32_t SimulatedSerialNumber(std::string_view fixture) {
    if (fixture.empty()) {
        return kUnnamedSimulatedSerial;
    }
    return kFirstSerial + 2 + Fnv1a(fixture) % kSerialSpan;
}

}  // namespace orvalt
