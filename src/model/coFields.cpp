#include "model/coFields.hpp"

#include <algorithm>
#include <functional>

#include "support/TablorError.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

// Never HashSlots::kNoKey, so that a keyed column is told from one without a key by its hash.
std::uint32_t HashOf(std::string_view folded) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(folded)) | 1U;
}

}  // namespace

coFields::Item_t coFields::Shared(cField* field) const {
    if (block_ && block_->Holds(field)) return {block_, field};
    if (extra_)
        for (const auto& block : extra_->oldBlocks)
            if (block->Holds(field)) return {block, field};
    return {};  // not reached: every column lives in one of the blocks
}

coFields::Item_t coFields::Item(long position) const {
    if (position < 1 || position > Count()) throw errors::SubscriptError();
    return Shared(items_[static_cast<std::size_t>(position - 1)]);
}

coFields::Item_t coFields::Item(std::string_view key) const {
    const std::string folded = FoldCase(key);
    const long index = keyCount_ == 0 ? -1 : Find(folded, HashOf(folded));
    if (index < 0) throw errors::InvalidKeyError();
    return Shared(items_[static_cast<std::size_t>(index)]);
}

long coFields::Find(std::string_view folded, std::uint32_t hash) const {
    const auto matches = [&](std::size_t index) {
        const std::string& name = items_[index]->FieldName;
        return name == folded || FoldCase(name) == folded;
    };
    static const HashSlots scanned;  // a table that never held more keys than a scan handles well
    return (extra_ ? extra_->hashSlots : scanned).Find(hashes_, hash, matches);
}

coFields::Extra& coFields::Extras() {
    if (!extra_) extra_ = std::make_unique<Extra>();
    return *extra_;
}

void coFields::NewBlock(std::uint32_t size) {
    if (block_) Extras().oldBlocks.push_back(std::move(block_));
    block_ = std::make_shared<Block>();
    block_->fields = std::make_unique<cField[]>(size);
    block_->size = size;
    blockUsed_ = 0;
}

cField& coFields::NextInBlock() {
    // Blocks grow with the table, so that one of unknown size wastes at most half a block.
    if (!block_ || blockUsed_ == block_->size)
        NewBlock(std::max<std::uint32_t>(4, static_cast<std::uint32_t>(items_.size())));
    return block_->fields[blockUsed_++];
}

std::shared_ptr<cField> coFields::Add(std::string FieldName, std::string FieldType, std::string FieldSize) {
    const std::string folded = FoldCase(FieldName);
    std::uint32_t hash = HashOf(folded);
    const long same = keyCount_ == 0 ? -1 : Find(folded, hash);
    if (same >= 0) {
        // Only an exact repeat is refused. A name that differs from a key in letter case alone
        // (PostgreSQL's "id" and "ID") is kept without a key: found by position, compared by
        // its exact name.
        for (const cField* existing : items_)
            if (existing->FieldName == FieldName) throw errors::DuplicateKeyError();
        hash = HashSlots::kNoKey;
    }
    if (FieldName.empty()) hash = HashSlots::kNoKey;
    if (hash == HashSlots::kNoKey) namesDistinct_ = false;

    cField& field = NextInBlock();
    field.FieldName = std::move(FieldName);
    field.FieldType = std::move(FieldType);
    field.FieldSize = std::move(FieldSize);
    items_.push_back(&field);
    hashes_.push_back(hash);
    if (hash != HashSlots::kNoKey) {
        ++keyCount_;
        if (keyCount_ > HashSlots::kScanLimit) Extras().hashSlots.Added(hashes_, keyCount_);
    }
    return {block_, &field};
}

void coFields::Remove(long position) {
    if (position < 1 || position > Count()) throw errors::SubscriptError();
    const auto index = static_cast<std::ptrdiff_t>(position - 1);
    if (hashes_[static_cast<std::size_t>(index)] != HashSlots::kNoKey) --keyCount_;
    items_.erase(items_.begin() + index);
    hashes_.erase(hashes_.begin() + index);
    if (extra_) extra_->hashSlots.Rebuild(hashes_, keyCount_);
}

void coFields::Remove(std::string_view key) {
    const cField* item = Item(key).get();
    Remove(static_cast<long>(std::find(items_.begin(), items_.end(), item) - items_.begin()) + 1);
}

void coFields::Reserve(std::size_t count) {
    if (count <= items_.size()) return;
    items_.reserve(count);
    hashes_.reserve(count);
    const std::size_t wanted = count - items_.size();
    // The rest of a block too small for the whole table stays unused.
    if (!block_ || block_->size - blockUsed_ < wanted) NewBlock(static_cast<std::uint32_t>(wanted));
}

}  // namespace tablor
