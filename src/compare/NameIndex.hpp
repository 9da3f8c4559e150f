#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/Collection.hpp"
#include "model/cMetaDataElement.hpp"

namespace tablor {

// Finds the elements of one collection by exact name, so that a comparison looks each name
// up once instead of scanning the other side. Names may repeat: the positions of one name
// are chained in position order. Open addressing over positions keeps building it cheap, and
// the names are copied into one buffer, beside their hashes in the slots, so that a lookup
// reads two places in memory rather than chasing the elements.
class NameIndex {
  public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    explicit NameIndex(const Collection<cMetaDataElement>& elements);

    // 0-based index of the first element with this name, or kNone.
    std::uint32_t First(std::string_view name) const;
    // The next element with the same name after `index`, or kNone.
    std::uint32_t Next(std::uint32_t index) const { return next_[index]; }
    bool Contains(std::string_view name) const { return First(name) != kNone; }

  private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t first = 0;  // first index + 1 of a distinct name; 0 is a free slot
    };
    std::string_view NameAt(std::uint32_t index) const {
        return std::string_view(names_).substr(starts_[index], starts_[index + 1] - starts_[index]);
    }

    std::string names_;                  // every name, one after another
    std::vector<std::uint32_t> starts_;  // by index, and one past the last
    std::vector<std::uint32_t> next_;    // by index
    std::vector<Slot> slots_;
};

}  // namespace tablor
