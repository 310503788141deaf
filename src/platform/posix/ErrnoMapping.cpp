#include "platform/posix/ErrnoMapping.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/Win32Errors.h"

namespace platform::posix {

namespace {

bool ParentFolderExists(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return true;
    size_t slash = path.rfind('/', end);
    if (slash == std::string::npos) return true;  // relative name in the current folder
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

uint32_t Win32ErrorFromErrno(int error, const std::string& nativePath) {
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOENT:
        return nativePath.empty() || ParentFolderExists(nativePath) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EIO: return ERROR_IO_DEVICE;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case ETXTBSY: return ERROR_BUSY;
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV: return ERROR_NOT_READY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EWOULDBLOCK: return ERROR_LOCK_VIOLATION;
    case ESPIPE: return ERROR_SEEK;
    case EFBIG: return ERROR_DISK_FULL;
    case ELOOP: return ERROR_INVALID_NAME;
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case ENOSYS: return ERROR_INVALID_FUNCTION;
    case ETIMEDOUT:
    case ESTALE:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH: return ERROR_NOT_READY;
    default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace platform::posix
