#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/Collection.hpp"
#include "model/cField.hpp"

namespace tablor {

// A table's columns, each keyed by its name, ignoring letter case. A column whose name is the
// same as another's but for letter case is kept without a key (Item finds the first of them by
// name); the same name twice is refused. Columns are only ever added, so there is no Clear,
// and a column's name does not change once it is added.
class coFields : public Collection<cField> {
  public:
    std::shared_ptr<cField> Add(std::string FieldName, std::string FieldType, std::string FieldSize);
    void Clear() = delete;

    void Remove(long position);
    void Remove(int position) { Remove(static_cast<long>(position)); }
    void Remove(std::string_view key);
    void Remove(const char* key) { Remove(std::string_view(key)); }
    void Reserve(std::size_t count);

    // The exact name of the column at a 0-based index. The names are kept one after another
    // in one buffer as well: a comparison reads every column's name, and reading them from
    // one place instead of one object each is what makes comparing large schemas fast.
    std::string_view NameAt(std::size_t index) const {
        const std::uint32_t start = index == 0 ? 0 : nameEnds_[index - 1];
        return std::string_view(names_).substr(start, nameEnds_[index] - start);
    }

    // True when no two columns have names that are the same ignoring letter case (so neither
    // exactly): a comparison then takes the first column of a name it finds as the only one.
    // Stays false once a column without a key was added.
    bool NamesDistinct() const noexcept { return namesDistinct_; }

  private:
    std::string names_;
    std::vector<std::uint32_t> nameEnds_;
    bool namesDistinct_ = true;
};

}  // namespace tablor
