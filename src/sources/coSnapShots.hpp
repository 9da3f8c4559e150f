#pragma once
#include <memory>
#include <string>

#include "model/Collection.hpp"
#include "sources/cSnapShot.hpp"

namespace tablor {

// The snapshot sources of the last command that read one. Add only records the path;
// the file is read by Fill.
class coSnapShots : public Collection<cSnapShot> {
  public:
    std::shared_ptr<cSnapShot> Add(std::string FileName, std::string_view sKey = {}) {
        auto snapshot = std::make_shared<cSnapShot>();
        snapshot->SetFileName(std::move(FileName));
        return Append(std::move(snapshot), sKey);
    }
};

}  // namespace tablor
