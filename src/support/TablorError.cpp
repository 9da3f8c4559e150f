#include "support/TablorError.hpp"

#include <cerrno>
#include <cstring>

namespace tablor::errors {

TablorError SubscriptError() {
    return {SubscriptOutOfRange, "Subscript out of range"};
}
TablorError InvalidKeyError() {
    return {InvalidProcedureCall, "Invalid procedure call or argument"};
}
TablorError DuplicateKeyError() {
    return {DuplicateKey, "This key is already associated with an element of this collection"};
}

TablorError FileError(int errnoValue, const std::string& path, FileAction action) {
    const std::string detail = std::string(" (") + path + ": " + std::strerror(errnoValue) + ")";
    switch (errnoValue) {
        case ENOENT:
            if (action == FileAction::Create) return {PathNotFound, "Path not found" + detail};
            return {FileNotFound, "File not found" + detail};
        case ENOTDIR:
            return {PathNotFound, "Path not found" + detail};
        case ENOSPC:
        case EDQUOT:
            return {DiskFull, "Disk full" + detail};
        case EACCES:
        case EPERM:
        case EROFS:
            return {PermissionDenied, "Permission denied" + detail};
        default:
            return {PathFileAccessError, "Path/File access error" + detail};
    }
}

}  // namespace tablor::errors
