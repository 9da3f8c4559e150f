#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/HashSlots.hpp"

namespace tablor {

// Finds a collection position by a key that ignores letter case. Built to stay small, since
// every table's column list carries one key per column: the folded keys share one buffer,
// and a hash table is only built once a collection holds more keys than a scan handles well.
class KeyIndex {
  public:
    // Records `key` for `position`, which is always the collection's new last position.
    // Fails with the duplicate-key error when the key is taken.
    void Insert(std::string_view key, long position);
    // The position holding `key`, or 0.
    long Find(std::string_view key) const;
    // Forgets the item at `position`; the keys behind it move up one position.
    void Erase(long position);
    void Clear() noexcept;

  private:
    std::string_view KeyAt(std::size_t index) const;
    long FindFolded(std::string_view folded, std::uint32_t hash) const;

    std::string arena_;                  // the folded keys, one after another
    std::vector<std::uint32_t> starts_;  // by position - 1: where its key starts in arena_
    std::vector<std::uint32_t> hashes_;  // by position - 1; HashSlots::kNoKey without a key
    HashSlots slots_;
    std::uint32_t recordedEnd_ = 0;  // arena_ up to here holds recorded keys
    std::size_t keyCount_ = 0;
};

}  // namespace tablor
