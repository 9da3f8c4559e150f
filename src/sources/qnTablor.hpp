#pragma once
#include <memory>

#include "compare/cCompareEngine.hpp"
#include "sources/coConnections.hpp"
#include "sources/coSnapShots.hpp"

namespace tablor {

// The comparison workspace: the sources of the last commands and the one engine that every
// comparison reuses. Commands clear the collection they need, add a fresh source, fill it
// and use its model.
class qnTablor {
  public:
    explicit qnTablor(std::shared_ptr<LiveReader> reader)
        : SnapShots(std::make_shared<coSnapShots>()),
          Connections(std::make_shared<coConnections>(std::move(reader))),
          CompareEng(std::make_shared<cCompareEngine>()) {}

    std::shared_ptr<coSnapShots> SnapShots;
    std::shared_ptr<coConnections> Connections;
    std::shared_ptr<cCompareEngine> CompareEng;
};

}  // namespace tablor
