#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/Collection.hpp"
#include "model/cMetaDataElement.hpp"

namespace tablor {

// Finds the elements of one collection by exact name, so that a comparison looks each name
// up once instead of scanning the other side. Names may repeat: the positions of one name
// are chained in position order. Open addressing over positions keeps building it cheap.
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
    std::vector<std::string_view> names_;  // by index
    std::vector<std::size_t> hashes_;      // by index
    std::vector<std::uint32_t> next_;      // by index
    std::vector<std::uint32_t> slots_;     // first index + 1 of each distinct name; 0 is free
    std::vector<std::uint32_t> last_;      // by first index: the last index of its chain
};

}  // namespace tablor
