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
        return Append(std::make_shared<cDifference>(std::move(ObjectName), ObjectType, std::move(Source),
                                                    std::move(Message)),
                      sKey);
    }
    void AddChange(cDifference change) { Append(std::make_shared<cDifference>(std::move(change)), {}); }
    // A difference found by the engine, which refers to the schemas instead of copying texts.
    void AddFound(std::int32_t ObjectType, std::shared_ptr<const cMetaDataElement> element,
                  const std::shared_ptr<const std::string>& source,
                  std::uint32_t field = cDifference::kNoField) {
        Append(std::make_shared<cDifference>(ObjectType, std::move(element), source, field), {});
    }
};

}  // namespace tablor
