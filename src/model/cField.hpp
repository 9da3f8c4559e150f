#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tablor {

// What a catalogue tells of an element or column beyond its name: property name and the
// server's own text, in order of property name.
using Properties = std::vector<std::pair<std::string, std::string>>;

// A column's shared definition, held in one pointer's room: a large schema has millions of
// columns and most snapshots no definitions, so the shared pointer is boxed only when there is
// one. Reads as the shared pointer it holds.
class ColumnDefinition {
  public:
    using Shared = std::shared_ptr<const Properties>;

    ColumnDefinition() = default;
    ColumnDefinition(std::nullptr_t) noexcept {}                            // implicit, to read as a Shared
    ColumnDefinition(Shared definition) { *this = std::move(definition); }  // implicit, to read as a Shared
    ColumnDefinition(const ColumnDefinition& other) : ColumnDefinition(other.AsShared()) {}
    ColumnDefinition(ColumnDefinition&& other) noexcept : box_(std::move(other.box_)) {}
    ColumnDefinition& operator=(const ColumnDefinition& other) { return *this = other.AsShared(); }
    ColumnDefinition& operator=(ColumnDefinition&& other) noexcept {
        box_ = std::move(other.box_);
        return *this;
    }
    ColumnDefinition& operator=(Shared definition) {
        box_ = definition ? std::make_unique<Shared>(std::move(definition)) : nullptr;
        return *this;
    }
    ~ColumnDefinition() = default;

    const Shared& AsShared() const noexcept {
        static const Shared none;
        return box_ ? *box_ : none;
    }
    operator const Shared&() const noexcept { return AsShared(); }  // implicit, to read as a Shared
    const Properties* get() const noexcept { return box_ ? box_->get() : nullptr; }
    const Properties* operator->() const noexcept { return get(); }
    const Properties& operator*() const noexcept { return *get(); }
    explicit operator bool() const noexcept { return get() != nullptr; }
    friend bool operator==(const ColumnDefinition& a, std::nullptr_t) noexcept { return !a; }

  private:
    std::unique_ptr<Shared> box_;
};

// One table column: its name, data type name and maximum character length (empty for
// columns that are not character columns).
struct cField {
    std::string FieldName;
    std::string FieldType;
    std::string FieldSize;
    // Null where the side knows no more than the name, type and size.
    ColumnDefinition Definition;
};

}  // namespace tablor
