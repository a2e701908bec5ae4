// Linear probing over a power-of-two table, with a splitmix64 finaliser to spread the keys.
#include "stateset.h"

#include <algorithm>

namespace brallo::mapgen {

namespace {

uint64_t spread(uint64_t k) {
    k ^= k >> 30;
    k *= 0xBF58476D1CE4E5B9ull;
    k ^= k >> 27;
    k *= 0x94D049BB133111EBull;
    k ^= k >> 31;
    return k;
}

}  // namespace

StateSet::StateSet(int64_t capacity) : capacity_(std::max<int64_t>(capacity, 1)) {
    uint64_t n = 16;
    while (n < static_cast<uint64_t>(capacity_) * 2) n *= 2;
    slots_.assign(n, 0);
    mask_ = n - 1;
}

bool StateSet::insert(uint64_t key) {
    const uint64_t stored = key + 1;
    for (uint64_t i = spread(key) & mask_;; i = (i + 1) & mask_) {
        if (slots_[i] == stored) return false;
        if (slots_[i] == 0) {
            if (size_ >= capacity_) return false;
            slots_[i] = stored;
            ++size_;
            return true;
        }
    }
}

}  // namespace brallo::mapgen
