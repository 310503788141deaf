#include "platform/posix/ErrnoMapping.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/Win32Errors.h"

using namespace platform;

namespace {

TEST(ErrnoMapping, GivesTheWin32NumbersCallersDecideOn) {
    const struct {
        int Errno;
        uint32_t Win32;
    } cases[] = {
        {EACCES, ERROR_ACCESS_DENIED}, {EPERM, ERROR_ACCESS_DENIED},        {EISDIR, ERROR_ACCESS_DENIED},
        {EROFS, ERROR_WRITE_PROTECT},  {ENOSPC, ERROR_DISK_FULL},           {EDQUOT, ERROR_DISK_FULL},
        {EEXIST, ERROR_FILE_EXISTS},   {EINVAL, ERROR_INVALID_PARAMETER},   {EIO, ERROR_IO_DEVICE},
        {ENOTDIR, ERROR_PATH_NOT_FOUND}, {EBADF, ERROR_INVALID_HANDLE},     {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        {EBUSY, ERROR_BUSY},           {ENOMEDIUM, ERROR_NOT_READY},        {ENXIO, ERROR_NOT_READY},
        {ENODEV, ERROR_NOT_READY},     {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE}, {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        {0, ERROR_SUCCESS},
    };
    for (const auto& c : cases) EXPECT_EQ(posix::Win32ErrorFromErrno(c.Errno), c.Win32) << "errno " << c.Errno;
}

TEST(ErrnoMapping, MissingFileOrMissingFolder) {
    EXPECT_EQ(posix::Win32ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(posix::Win32ErrorFromErrno(ENOENT, "/tmp/fvn-surely-absent.bin"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(posix::Win32ErrorFromErrno(ENOENT, "/tmp/fvn-surely-absent/file.bin"), ERROR_PATH_NOT_FOUND);
}

}  // namespace
