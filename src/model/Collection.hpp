#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/KeyIndex.hpp"
#include "support/TablorError.hpp"

namespace tablor {

// The one ordered collection behind every collection class: 1-based positions in order of
// addition, optional text keys that ignore letter case, and shared items that stay alive
// while anyone holds them, even after removal.
template <class T>
class Collection {
  public:
    using Item_t = std::shared_ptr<T>;
    using const_iterator = typename std::vector<Item_t>::const_iterator;

    long Count() const noexcept { return static_cast<long>(items_.size()); }

    // The item at a 1-based position; fails with "Subscript out of range" outside 1..Count.
    Item_t Item(long position) const {
        if (position < 1 || position > Count()) throw errors::SubscriptError();
        return items_[static_cast<std::size_t>(position - 1)];
    }
    // The item with this key (letter case ignored); fails when no item has it.
    Item_t Item(std::string_view key) const {
        const long position = keys_.Find(key);
        if (position == 0) throw errors::InvalidKeyError();
        return items_[static_cast<std::size_t>(position - 1)];
    }
    Item_t Item(const char* key) const { return Item(std::string_view(key)); }
    Item_t Item(int position) const { return Item(static_cast<long>(position)); }

    // Removes one item; the items behind it move up one position.
    void Remove(long position) {
        if (position < 1 || position > Count()) throw errors::SubscriptError();
        items_.erase(items_.begin() + (position - 1));
        keys_.Erase(position);
    }
    void Remove(std::string_view key) {
        const long position = keys_.Find(key);
        if (position == 0) throw errors::InvalidKeyError();
        Remove(position);
    }
    void Remove(const char* key) { Remove(std::string_view(key)); }
    void Remove(int position) { Remove(static_cast<long>(position)); }

    void Clear() noexcept {
        items_.clear();
        keys_.Clear();
    }

    // Iteration in position order (for-each over the collection).
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

    // The items in position order, for code that walks large collections by index.
    const std::vector<Item_t>& Items() const noexcept { return items_; }

    // Room for this many items, so that a known number of additions allocates once.
    void Reserve(std::size_t count) { items_.reserve(count); }

  protected:
    // Appends `item`, under `key` when it is not empty. A key already used fails with the
    // duplicate-key error and leaves the collection unchanged.
    const Item_t& Append(Item_t item, std::string_view key) {
        if (!key.empty()) keys_.Insert(key, Count() + 1);
        items_.push_back(std::move(item));
        return items_.back();
    }

  private:
    std::vector<Item_t> items_;
    KeyIndex keys_;
};

}  // namespace tablor
