#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "compare/cDifference.hpp"
#include "model/Collection.hpp"

namespace tablor {

class coDifferences : public Collection<cDifference> {
  public:
    std::shared_ptr<cDifference> Add(std::string ObjectName, std::int32_t ObjectType, std::string Source,
                                     std::string Message, std::string_view sKey = {}) {
        auto difference = std::make_shared<cDifference>();
        difference->ObjectName = std::move(ObjectName);
        difference->ObjectType = ObjectType;
        difference->Source = std::move(Source);
        difference->Message = std::move(Message);
        return Append(std::move(difference), sKey);
    }
};

}  // namespace tablor
