#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "model/Collection.hpp"
#include "model/ObjectType.hpp"
#include "model/cMetaDataElement.hpp"

namespace tablor {

// Base of the four element collections: Add builds an element of one kind.
template <std::int32_t Kind>
class ElementCollection : public Collection<cMetaDataElement> {
  public:
    std::shared_ptr<cMetaDataElement> Add(std::string ObjectName, std::string_view sKey = {}) {
        auto element = std::make_shared<cMetaDataElement>();
        element->ObjectName = std::move(ObjectName);
        element->ObjectType = Kind;
        return Append(std::move(element), sKey);
    }
};

// Callers look tables up and test the result, so Item of Tables returns nothing instead of
// failing when the position or key is not there.
class Tables : public ElementCollection<ObjectType::Table> {
  public:
    std::shared_ptr<cMetaDataElement> Item(long position) const noexcept {
        if (position < 1 || position > Count()) return nullptr;
        return Items()[static_cast<std::size_t>(position - 1)];
    }
    std::shared_ptr<cMetaDataElement> Item(std::string_view key) const noexcept {
        try {
            return Collection::Item(key);
        } catch (...) {
            return nullptr;
        }
    }
    std::shared_ptr<cMetaDataElement> Item(const char* key) const noexcept {
        return Item(std::string_view(key));
    }
    std::shared_ptr<cMetaDataElement> Item(int position) const noexcept {
        return Item(static_cast<long>(position));
    }
};

class Views : public ElementCollection<ObjectType::View> {};
class Constraints : public ElementCollection<ObjectType::Constraint> {};
// An index's or trigger's table is its definition's "table" property.
class Indexes : public ElementCollection<ObjectType::Index> {};
class Triggers : public ElementCollection<ObjectType::Trigger> {};
class Sequences : public ElementCollection<ObjectType::Sequence> {};
class Types : public ElementCollection<ObjectType::Type> {};

// objType 1 makes a function, 2 a procedure; any other value leaves the kind at 0 for the
// caller to set.
class Routines : public Collection<cMetaDataElement> {
  public:
    std::shared_ptr<cMetaDataElement> Add(std::string ObjectName, std::int32_t objType,
                                          std::string_view sKey = {}) {
        auto element = std::make_shared<cMetaDataElement>();
        element->ObjectName = std::move(ObjectName);
        if (objType == 1) element->ObjectType = ObjectType::Function;
        if (objType == 2) element->ObjectType = ObjectType::Procedure;
        return Append(std::move(element), sKey);
    }
};

}  // namespace tablor
