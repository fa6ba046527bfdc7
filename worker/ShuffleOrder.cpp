#include "worker/ShuffleOrder.h"

#include <QRandomGenerator>

namespace {

constexpr std::uint32_t kKeyModulus = 0x7fffffffu; // the prime 2^31 - 1

// A 64-bit finaliser with full avalanche: every input bit moves about half the output bits.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    h ^= h >> 31;
    return h;
}

} // namespace

ShuffleOrder::ShuffleOrder(std::uint32_t key)
    : m_key(key), m_start(mix(0x9e3779b97f4a7c15ull * (std::uint64_t{key} + 1))) {}

ShuffleOrder::Place ShuffleOrder::place(const QString& name) const {
    // Our own hash rather than qHash: the order must stay the same across Qt versions and
    // machines, or a restart would not go on with the round.
    std::uint64_t h = m_start;
    for (const QChar c : name) {
        h ^= c.unicode();
        h *= 0x100000001b3ull;
    }
    return {mix(h ^ m_key), name};
}

std::uint32_t ShuffleOrder::randomKey() {
    return QRandomGenerator::global()->bounded(1u, kKeyModulus);
}

std::uint32_t ShuffleOrder::nextKey(std::uint32_t key) {
    // The multiplicative generator modulo 2^31 - 1 runs through all of 1 .. 2^31 - 2.
    const auto next = static_cast<std::uint32_t>(std::uint64_t{key} * 48271u % kKeyModulus);
    return next == 0 ? 1 : next;
}
