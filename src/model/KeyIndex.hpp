#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tablor {

// Finds a collection position by a key that ignores letter case. Open addressing over
// positions keeps it small: a table's column list carries one key per column.
class KeyIndex {
public:
    // Records `key` for `position`; fails with the duplicate-key error when the key is taken.
    void Insert(std::string_view key, long position);
    // The position holding `key`, or 0.
    long Find(std::string_view key) const;
    // Forgets the item at `position`; the keys behind it move up one position.
    void Erase(long position);
    void Clear() noexcept;

private:
    void Rebuild(std::size_t slotCount);
    void Place(std::uint32_t position);
    std::size_t Probe(std::string_view folded, std::uint32_t hash) const;

    std::vector<std::string> foldedKeys_;  // by position - 1; empty for items without a key
    std::vector<std::uint32_t> hashes_;    // by position - 1
    std::vector<std::uint32_t> slots_;     // positions; 0 is a free slot
    std::size_t keyCount_ = 0;
};

}  // namespace tablor
