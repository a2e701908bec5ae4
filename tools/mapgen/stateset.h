// A set of 64-bit keys with open addressing, sized once for a known bound: the visited states of
// the --check search. Its behaviour does not depend on any iteration order. Used by check.cpp.
#pragma once

#include <cstdint>
#include <vector>

namespace brallo::mapgen {

class StateSet {
  public:
    /// Room for at least `capacity` keys at a load of one half or less.
    explicit StateSet(int64_t capacity);

    /// Adds `key`; true when it was not there yet. Once `capacity` keys are held, nothing more
    /// is added and false is returned.
    bool insert(uint64_t key);
    int64_t size() const { return size_; }

  private:
    std::vector<uint64_t> slots_;  // key + 1; 0 marks an empty slot
    uint64_t mask_ = 0;
    int64_t size_ = 0;
    int64_t capacity_ = 0;
};

}  // namespace brallo::mapgen
