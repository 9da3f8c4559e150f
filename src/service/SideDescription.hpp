#pragma once
#include <string>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// One side of a command as the user chose it: a snapshot file, or the settings of a live
// database. The window builds it from a list entry or the connection fields, the command line
// from an argument; the comparison service does the rest.
struct SideDescription {
    enum class Kind { Snapshot, Live };

    Kind kind = Kind::Snapshot;
    std::string snapshotPath;  // Snapshot
    ConnectionSettings live;   // Live; its cancel member is set by the service
    // How differences name this side ("Not found on ..."). Empty: the snapshot's file name, or
    // SERVER.DATABASE for a live side.
    std::string displayName;

    static SideDescription Snapshot(std::string path, std::string displayName = {}) {
        SideDescription side;
        side.kind = Kind::Snapshot;
        side.snapshotPath = std::move(path);
        side.displayName = std::move(displayName);
        return side;
    }
    static SideDescription Live(ConnectionSettings settings, std::string displayName = {}) {
        SideDescription side;
        side.kind = Kind::Live;
        side.live = std::move(settings);
        side.displayName = std::move(displayName);
        return side;
    }
    bool IsLive() const noexcept { return kind == Kind::Live; }
};

}  // namespace tablor
