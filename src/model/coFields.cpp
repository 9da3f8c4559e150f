#include "model/coFields.hpp"

#include <algorithm>

namespace tablor {

std::shared_ptr<cField> coFields::Add(std::string FieldName, std::string FieldType, std::string FieldSize) {
    auto field = std::make_shared<cField>();
    field->FieldName = std::move(FieldName);
    field->FieldType = std::move(FieldType);
    field->FieldSize = std::move(FieldSize);
    const std::string_view key = field->FieldName;
    const auto appendName = [this](std::string_view name) {
        names_.append(name);
        nameEnds_.push_back(static_cast<std::uint32_t>(names_.size()));
    };
    try {
        if (key.empty()) namesDistinct_ = false;
        const auto& added = Append(field, key);
        appendName(key);
        return added;
    } catch (const TablorError& error) {
        if (error.Number() != errors::DuplicateKey) throw;
        // Only an exact repeat is refused. A name that differs from a key in letter case alone
        // (PostgreSQL's "id" and "ID") is kept without a key: found by position, compared by
        // its exact name.
        const auto& items = Items();
        for (const auto& existing : items)
            if (existing->FieldName == field->FieldName) throw;
        const auto& added = Append(field, {});
        namesDistinct_ = false;
        appendName(key);
        return added;
    }
}

void coFields::Remove(long position) {
    Collection<cField>::Remove(position);
    const auto index = static_cast<std::size_t>(position - 1);
    const std::uint32_t start = index == 0 ? 0 : nameEnds_[index - 1];
    const std::uint32_t length = nameEnds_[index] - start;
    names_.erase(start, length);
    nameEnds_.erase(nameEnds_.begin() + static_cast<std::ptrdiff_t>(index));
    for (std::size_t i = index; i < nameEnds_.size(); ++i) nameEnds_[i] -= length;
}

void coFields::Remove(std::string_view key) {
    const auto item = Item(key);
    const auto& items = Items();
    Remove(static_cast<long>(std::find(items.begin(), items.end(), item) - items.begin()) + 1);
}

void coFields::Reserve(std::size_t count) {
    Collection<cField>::Reserve(count);
    nameEnds_.reserve(count);
}

}  // namespace tablor
