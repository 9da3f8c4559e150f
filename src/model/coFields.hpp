#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/HashSlots.hpp"
#include "model/cField.hpp"

namespace tablor {

// A table's columns, each keyed by its name, ignoring letter case. A column whose name is the
// same as another's but for letter case is kept without a key (Item finds the first of them by
// name); the same name twice is refused. Columns are only ever added, so there is no Clear,
// and a column's name does not change once it is added.
//
// It offers what the other collections offer (1-based positions, shared items that outlive a
// removal) but is built for size: a large schema holds millions of columns. The columns live
// side by side in blocks; walking them gives plain pointers, and Item shares its block's
// ownership. Only the hash of each folded name is kept beside them: a lookup folds the one
// name it finds.
class coFields {
  public:
    using Item_t = std::shared_ptr<cField>;
    using const_iterator = std::vector<cField*>::const_iterator;

    long Count() const noexcept { return static_cast<long>(items_.size()); }

    // The column at a 1-based position; fails with "Subscript out of range" outside 1..Count.
    Item_t Item(long position) const;
    // The column with this name (letter case ignored); fails when none has it.
    Item_t Item(std::string_view key) const;
    Item_t Item(const char* key) const { return Item(std::string_view(key)); }
    Item_t Item(int position) const { return Item(static_cast<long>(position)); }

    std::shared_ptr<cField> Add(std::string FieldName, std::string FieldType, std::string FieldSize);

    void Remove(long position);
    void Remove(int position) { Remove(static_cast<long>(position)); }
    void Remove(std::string_view key);
    void Remove(const char* key) { Remove(std::string_view(key)); }
    // Room for this many columns, so that a table whose column count is known takes one block.
    void Reserve(std::size_t count);

    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }
    const std::vector<cField*>& Items() const noexcept { return items_; }

    // The exact name of the column at a 0-based index.
    std::string_view NameAt(std::size_t index) const { return items_[index]->FieldName; }

    // True when no two columns have names that are the same ignoring letter case (so neither
    // exactly): a comparison then takes the first column of a name it finds as the only one.
    // Stays false once a column without a key was added.
    bool NamesDistinct() const noexcept { return namesDistinct_; }

  private:
    // 0-based index of the keyed column whose name folds to `folded`, or -1.
    long Find(std::string_view folded, std::uint32_t hash) const;
    void NewBlock(std::uint32_t size);
    cField& NextInBlock();
    Item_t Shared(cField* field) const;

    struct Block {
        std::unique_ptr<cField[]> fields;
        std::uint32_t size = 0;
        bool Holds(const cField* field) const { return field >= fields.get() && field < fields.get() + size; }
    };
    // What only large or grown tables need, kept apart so that a small table does not pay for it.
    struct Extra {
        HashSlots hashSlots;
        std::vector<std::shared_ptr<Block>> oldBlocks;  // filled blocks, for Item's ownership
    };
    Extra& Extras();

    std::vector<cField*> items_;
    std::vector<std::uint32_t> hashes_;  // by index: the folded name's hash, HashSlots::kNoKey without a key
    std::shared_ptr<Block> block_;
    std::unique_ptr<Extra> extra_;
    std::uint32_t blockUsed_ = 0;
    std::uint32_t keyCount_ = 0;
    bool namesDistinct_ = true;
};

}  // namespace tablor
