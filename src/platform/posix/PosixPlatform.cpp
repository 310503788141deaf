#include "platform/posix/PosixPlatform.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <filesystem>

#include "platform/posix/DriveTable.h"
#include "platform/posix/ErrnoMapping.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

thread_local uint32_t t_lastError = ERROR_SUCCESS;
thread_local FailureContext t_failure;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// "E:", "E:\...", "e:/..." (and the drive-relative "E:name", taken from the root).
bool SplitDrivePath(const std::string& path, char& letter, std::string& rest) {
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0]))) return false;
    letter = Upper(path[0]);
    rest = path.substr(2);
    return true;
}

// Win32 masks: '*' any run, '?' one character, letters compared without regard to case.
bool MaskMatches(const std::string& mask, const std::string& name) {
    if (mask == "*" || mask == "*.*") return true;
    size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

// A file without its owner's write permission stands for a file with the read-only attribute:
// it cannot be deleted or opened for writing, not even by root.
bool IsReadOnlyFile(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

uint32_t AttributesOf(const std::string& name, const struct stat& st) {
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!name.empty() && name[0] == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (IsReadOnlyFile(st)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// A file system that cannot do O_DIRECT for this transfer (alignment, or no support at all)
// gets buffered I/O for the rest of the file's life; O_DSYNC stays.
bool DropDirectIo(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_DIRECT) == 0) return false;
    return ::fcntl(fd, F_SETFL, flags & ~O_DIRECT) == 0;
}

std::string CanonicalPath(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) return path;
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    std::string text = ec ? absolute.lexically_normal().string() : canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

bool PathWithin(const std::string& path, const std::string& folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string RegistryName(const std::string& text) {
    std::string name;
    for (char c : text) name += Lower(c);
    while (!name.empty() && name.back() == '\\') name.pop_back();
    while (!name.empty() && name.front() == '\\') name.erase(name.begin());
    return name;
}

}  // namespace

IPlatform& SystemPlatform() {
    static PosixPlatform instance;
    return instance;
}

PosixPlatform::PosixPlatform() : PosixPlatform(posix::SystemDriveTable()) {}

PosixPlatform::PosixPlatform(std::vector<DriveEntry> table) : table_(std::move(table)) {
    for (DriveEntry& d : table_) d.Letter = Upper(d.Letter);
    std::sort(table_.begin(), table_.end(), [](const DriveEntry& a, const DriveEntry& b) { return a.Letter < b.Letter; });
}

PosixPlatform::~PosixPlatform() {
    for (auto& [handle, file] : files_) ::close(file.Fd);
    for (auto& [handle, volume] : volumes_) ::close(volume.Fd);
}

// ---- helpers -----------------------------------------------------------------------------------

const DriveEntry* PosixPlatform::EntryOf(char letter) const {
    letter = Upper(letter);
    for (const DriveEntry& d : table_)
        if (d.Letter == letter) return &d;
    return nullptr;
}

std::optional<std::string> PosixPlatform::NativePath(const std::string& path) const {
    char letter = 0;
    std::string rest;
    if (!SplitDrivePath(path, letter, rest)) return path;
    const DriveEntry* drive = EntryOf(letter);
    if (drive == nullptr) return std::nullopt;
    std::replace(rest.begin(), rest.end(), '\\', '/');
    size_t start = rest.find_first_not_of('/');
    rest = start == std::string::npos ? std::string() : rest.substr(start);
    std::string root = drive->MountPoint;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (rest.empty()) return root;
    return root == "/" ? "/" + rest : root + "/" + rest;
}

HANDLE PosixPlatform::NewHandle() {
    // Handles are never 0 or INVALID_HANDLE_VALUE; numbers are not reused within a process.
    return nextHandle_++;
}

std::optional<PosixPlatform::OpenFile> PosixPlatform::FileOf(HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(handle);
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

std::optional<PosixPlatform::OpenVolumeDevice> PosixPlatform::VolumeOf(HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto it = volumes_.find(handle);
    if (it == volumes_.end()) return std::nullopt;
    return it->second;
}

bool PosixPlatform::Fail(const char* operation, const std::string& path, uint32_t error, int64_t offset, int64_t length) {
    t_lastError = error;
    t_failure = FailureContext{operation, path, offset, length, error};
    return false;
}

bool PosixPlatform::FailErrno(const char* operation, const std::string& path, const std::string& nativePath, int error) {
    return Fail(operation, path, posix::Win32ErrorFromErrno(error, nativePath));
}

// ---- files ---------------------------------------------------------------------------------------

HANDLE PosixPlatform::CreateFile(const std::string& fileName, uint32_t desiredAccess, uint32_t /*shareMode*/,
                                 uint32_t creationDisposition, uint32_t flagsAndAttributes) {
    static const char* const kOp = "CreateFile";
    std::optional<std::string> native = NativePath(fileName);
    if (!native || native->empty()) {
        Fail(kOp, fileName, ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool wantsRead = (desiredAccess & GENERIC_READ) != 0;
    const bool wantsWrite = (desiredAccess & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | (wantsRead && wantsWrite ? O_RDWR : wantsWrite ? O_WRONLY : O_RDONLY);
    bool truncates = false;
    switch (creationDisposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; truncates = true; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!wantsWrite) {
            Fail(kOp, fileName, ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        flags |= O_TRUNC;
        truncates = true;
        break;
    default: Fail(kOp, fileName, ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if (flagsAndAttributes & FILE_FLAG_WRITE_THROUGH) flags |= O_DSYNC;

    struct stat before {};
    const bool existed = ::stat(native->c_str(), &before) == 0;
    if (existed && creationDisposition == CREATE_NEW) {
        Fail(kOp, fileName, ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (existed && (S_ISDIR(before.st_mode) || (IsReadOnlyFile(before) && (wantsWrite || truncates)))) {
        Fail(kOp, fileName, ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd;
    do {
        fd = ::open(native->c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        FailErrno(kOp, fileName, *native, errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        Fail(kOp, fileName, ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // O_DIRECT is switched on after the open rather than passed to it: a file system that
    // refuses it would fail an O_CREAT|O_EXCL open only after creating the file.
    if (flagsAndAttributes & FILE_FLAG_NO_BUFFERING) {
        int current = ::fcntl(fd, F_GETFL);
        if (current >= 0) (void)::fcntl(fd, F_SETFL, current | O_DIRECT);
    }
    if (flagsAndAttributes & FILE_FLAG_SEQUENTIAL_SCAN) (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::lock_guard lock(mutex_);
    HANDLE handle = NewHandle();
    files_[handle] = OpenFile{fd, fileName};
    // As Win32: CREATE_ALWAYS and OPEN_ALWAYS tell whether the file was there already.
    const bool reportsExisting = creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
    t_lastError = reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return handle;
}

bool PosixPlatform::ReadFile(HANDLE file, void* buffer, uint32_t count, uint32_t& bytesRead) {
    bytesRead = 0;
    std::optional<OpenFile> f = FileOf(file);
    if (!f) return Fail("ReadFile", "", ERROR_INVALID_HANDLE);
    const off_t start = ::lseek(f->Fd, 0, SEEK_CUR);
    auto* bytes = static_cast<char*>(buffer);
    while (bytesRead < count) {
        ssize_t n = ::read(f->Fd, bytes + bytesRead, count - bytesRead);
        if (n > 0) {
            bytesRead += static_cast<uint32_t>(n);
            continue;
        }
        if (n == 0) break;  // end of file: success with what was read
        const int error = errno;
        if (error == EINTR) continue;
        if (error == EINVAL && DropDirectIo(f->Fd)) continue;
        // EBADF on a handle we know: it was not opened for reading.
        return Fail("ReadFile", f->Path, error == EBADF ? ERROR_ACCESS_DENIED : posix::Win32ErrorFromErrno(error),
                    start, count);
    }
    return true;
}

bool PosixPlatform::WriteFile(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) {
    bytesWritten = 0;
    std::optional<OpenFile> f = FileOf(file);
    if (!f) return Fail("WriteFile", "", ERROR_INVALID_HANDLE);
    const off_t start = ::lseek(f->Fd, 0, SEEK_CUR);
    const auto* bytes = static_cast<const char*>(buffer);
    // ext4 refuses a write whole when the disk cannot take all of it (unbuffered, or when even
    // its first page does not fit). The eraser must fill the disk to its last sector, so at the
    // disk's end the write goes on in halves, kept whole sectors for unbuffered I/O.
    constexpr uint32_t kSmallestPiece = 512;
    uint32_t piece = count;
    while (bytesWritten < count) {
        ssize_t n = ::write(f->Fd, bytes + bytesWritten, std::min(piece, count - bytesWritten));
        if (n > 0) {
            bytesWritten += static_cast<uint32_t>(n);
            continue;
        }
        const int error = n == 0 ? ENOSPC : errno;
        if (error == EINTR) continue;
        if ((error == ENOSPC || error == EDQUOT) && piece > kSmallestPiece) {
            piece = std::max(kSmallestPiece, std::min(piece, count - bytesWritten) / 2 / kSmallestPiece * kSmallestPiece);
            continue;
        }
        // An unaligned buffer, count or position: write this and the rest buffered, so a
        // file's short tail still reaches it.
        if (error == EINVAL && DropDirectIo(f->Fd)) continue;
        return Fail("WriteFile", f->Path, error == EBADF ? ERROR_ACCESS_DENIED : posix::Win32ErrorFromErrno(error),
                    start, count);
    }
    return true;
}

uint32_t PosixPlatform::SetFilePointer(HANDLE file, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod) {
    static const char* const kOp = "SetFilePointer";
    std::optional<OpenFile> f = FileOf(file);
    if (!f) {
        Fail(kOp, "", ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t distance =
        distanceHigh != nullptr
            ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                   static_cast<uint32_t>(distanceLow))
            : static_cast<int64_t>(distanceLow);
    int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = ::lseek(f->Fd, 0, SEEK_CUR);
    } else if (moveMethod == FILE_END) {
        struct stat st {};
        base = ::fstat(f->Fd, &st) == 0 ? st.st_size : -1;
    } else if (moveMethod != FILE_BEGIN) {
        Fail(kOp, f->Path, ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        FailErrno(kOp, f->Path, "", errno);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t position = 0;
    if (__builtin_add_overflow(base, distance, &position)) {
        Fail(kOp, f->Path, ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (position < 0) {
        Fail(kOp, f->Path, ERROR_NEGATIVE_SEEK, position);
        return INVALID_SET_FILE_POINTER;
    }
    // The 32-bit form cannot report a position beyond 32 bits.
    if (distanceHigh == nullptr && position > static_cast<int64_t>(UINT32_MAX)) {
        Fail(kOp, f->Path, ERROR_INVALID_PARAMETER, position);
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(f->Fd, position, SEEK_SET) < 0) {
        Fail(kOp, f->Path, posix::Win32ErrorFromErrno(errno), position);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<int32_t>(static_cast<uint64_t>(position) >> 32);
    t_lastError = ERROR_SUCCESS;
    return static_cast<uint32_t>(position);
}

bool PosixPlatform::FlushFileBuffers(HANDLE file) {
    std::optional<OpenFile> f = FileOf(file);
    if (!f) return Fail("FlushFileBuffers", "", ERROR_INVALID_HANDLE);
    int result;
    do {
        result = ::fsync(f->Fd);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return Fail("FlushFileBuffers", f->Path, posix::Win32ErrorFromErrno(errno));
    return true;
}

bool PosixPlatform::CloseHandle(HANDLE handle) {
    int fd = -1;
    std::string path;
    {
        std::lock_guard lock(mutex_);
        if (auto it = files_.find(handle); it != files_.end()) {
            fd = it->second.Fd;
            path = it->second.Path;
            files_.erase(it);
        } else if (auto v = volumes_.find(handle); v != volumes_.end()) {
            fd = v->second.Fd;
            path = v->second.Path;
            volumes_.erase(v);
        }
    }
    if (fd < 0) return Fail("CloseHandle", "", ERROR_INVALID_HANDLE);
    // Linux frees the descriptor even when close reports an error, so it is never retried.
    if (::close(fd) != 0 && errno != EINTR) return Fail("CloseHandle", path, posix::Win32ErrorFromErrno(errno));
    return true;
}

bool PosixPlatform::DeleteFile(const std::string& fileName) {
    static const char* const kOp = "DeleteFile";
    std::optional<std::string> native = NativePath(fileName);
    if (!native || native->empty()) return Fail(kOp, fileName, ERROR_PATH_NOT_FOUND);
    struct stat st {};
    if (::lstat(native->c_str(), &st) != 0) return FailErrno(kOp, fileName, *native, errno);
    if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) return Fail(kOp, fileName, ERROR_ACCESS_DENIED);
    if (::unlink(native->c_str()) != 0) return FailErrno(kOp, fileName, *native, errno);
    return true;
}

HANDLE PosixPlatform::FindFirstFile(const std::string& pattern, FindData& data) {
    static const char* const kOp = "FindFirstFile";
    std::optional<std::string> native = NativePath(pattern);
    if (!native) {
        Fail(kOp, pattern, ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = native->rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : native->substr(0, slash);
    std::string mask = slash == std::string::npos ? *native : native->substr(slash + 1);

    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        const int error = errno;
        Fail(kOp, pattern, error == ENOENT ? ERROR_PATH_NOT_FOUND : posix::Win32ErrorFromErrno(error));
        return INVALID_HANDLE_VALUE;
    }
    OpenFind find;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || mask.empty() || !MaskMatches(mask, name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0 &&
            ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone while we looked
        FindData found;
        found.FileAttributes = AttributesOf(name, st);
        found.FileSize = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
        found.FileName = std::move(name);
        find.Entries.push_back(std::move(found));
    }
    ::closedir(dir);
    if (find.Entries.empty()) {
        Fail(kOp, pattern, ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // Directory order differs between file systems; callers and users see names in order.
    std::sort(find.Entries.begin(), find.Entries.end(),
              [](const FindData& a, const FindData& b) { return a.FileName < b.FileName; });
    data = find.Entries.front();
    find.Next = 1;
    std::lock_guard lock(mutex_);
    HANDLE handle = NewHandle();
    finds_[handle] = std::move(find);
    t_lastError = ERROR_SUCCESS;
    return handle;
}

bool PosixPlatform::FindNextFile(HANDLE find, FindData& data) {
    std::lock_guard lock(mutex_);
    auto it = finds_.find(find);
    if (it == finds_.end()) return Fail("FindNextFile", "", ERROR_INVALID_HANDLE);
    if (it->second.Next >= it->second.Entries.size()) return Fail("FindNextFile", "", ERROR_NO_MORE_FILES);
    data = it->second.Entries[it->second.Next++];
    return true;
}

bool PosixPlatform::FindClose(HANDLE find) {
    std::lock_guard lock(mutex_);
    if (finds_.erase(find) == 0) return Fail("FindClose", "", ERROR_INVALID_HANDLE);
    return true;
}

// ---- volumes and drives ----------------------------------------------------------------------

bool PosixPlatform::GetDiskFreeSpaceEx(const std::string& root, uint64_t& freeBytesAvailableToCaller,
                                       uint64_t& totalNumberOfBytes, uint64_t& totalNumberOfFreeBytes) {
    static const char* const kOp = "GetDiskFreeSpaceEx";
    std::optional<std::string> native = NativePath(root.empty() ? "." : root);
    if (!native) return Fail(kOp, root, ERROR_PATH_NOT_FOUND);
    struct statvfs sv {};
    if (::statvfs(native->c_str(), &sv) != 0)
        return Fail(kOp, root, errno == ENOENT ? ERROR_PATH_NOT_FOUND : posix::Win32ErrorFromErrno(errno));
    const uint64_t unit = sv.f_frsize != 0 ? sv.f_frsize : sv.f_bsize;
    // Root may use the blocks the file system keeps in reserve, and must fill them too.
    const uint64_t usable = ::geteuid() == 0 ? sv.f_bfree : sv.f_bavail;
    freeBytesAvailableToCaller = usable * unit;
    totalNumberOfBytes = static_cast<uint64_t>(sv.f_blocks) * unit;
    totalNumberOfFreeBytes = static_cast<uint64_t>(sv.f_bfree) * unit;
    return true;
}

bool PosixPlatform::GetDiskFreeSpace(const std::string& root, uint32_t& sectorsPerCluster, uint32_t& bytesPerSector,
                                     uint32_t& numberOfFreeClusters, uint32_t& totalNumberOfClusters) {
    static const char* const kOp = "GetDiskFreeSpace";
    std::optional<std::string> native = NativePath(root.empty() ? "." : root);
    if (!native) return Fail(kOp, root, ERROR_PATH_NOT_FOUND);
    struct statvfs sv {};
    struct stat st {};
    if (::statvfs(native->c_str(), &sv) != 0 || ::stat(native->c_str(), &st) != 0)
        return Fail(kOp, root, errno == ENOENT ? ERROR_PATH_NOT_FOUND : posix::Win32ErrorFromErrno(errno));
    const uint64_t unit = sv.f_frsize != 0 ? sv.f_frsize : sv.f_bsize;
    uint32_t sector = posix::LogicalSectorSize(major(st.st_dev), minor(st.st_dev));
    if (unit < sector) sector = static_cast<uint32_t>(unit);
    bytesPerSector = sector;
    sectorsPerCluster = static_cast<uint32_t>(std::max<uint64_t>(1, unit / sector));
    const uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    const uint64_t usable = (::geteuid() == 0 ? sv.f_bfree : sv.f_bavail) * unit;
    const uint64_t total = static_cast<uint64_t>(sv.f_blocks) * unit;
    numberOfFreeClusters = static_cast<uint32_t>(std::min<uint64_t>(usable / cluster, UINT32_MAX));
    totalNumberOfClusters = static_cast<uint32_t>(std::min<uint64_t>(total / cluster, UINT32_MAX));
    return true;
}

uint32_t PosixPlatform::GetDriveType(const std::string& root) {
    char letter = 0;
    std::string rest;
    if (SplitDrivePath(root, letter, rest)) {
        const DriveEntry* drive = EntryOf(letter);
        return drive != nullptr ? drive->DriveType : DRIVE_NO_ROOT_DIR;
    }
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DRIVE_NO_ROOT_DIR;
    const DriveEntry* drive = EntryOf(DriveOfPath(root));
    return drive != nullptr ? drive->DriveType : DRIVE_UNKNOWN;
}

bool PosixPlatform::GetVolumeInformation(const std::string& root, VolumeInformation& info) {
    static const char* const kOp = "GetVolumeInformation";
    std::optional<std::string> native = NativePath(root);
    if (!native) return Fail(kOp, root, ERROR_PATH_NOT_FOUND);
    struct stat st {};
    if (::stat(native->c_str(), &st) != 0)
        return Fail(kOp, root, errno == ENOENT ? ERROR_PATH_NOT_FOUND : posix::Win32ErrorFromErrno(errno));
    const DriveEntry* drive = EntryOf(DriveOfPath(root));
    info = VolumeInformation{};
    info.MaxComponentLength = 255;
    info.FileSystemFlags = 0;
    if (drive != nullptr) {
        info.VolumeName = drive->Label;
        info.SerialNumber = drive->SerialNumber;
        info.FileSystemName = !drive->FileSystem.empty() ? drive->FileSystem : posix::FileSystemOfPath(drive->MountPoint);
    } else {
        info.SerialNumber = posix::SerialFromUuid(std::to_string(st.st_dev));
        info.FileSystemName = posix::FileSystemOfPath(*native);
    }
    return true;
}

uint32_t PosixPlatform::GetLogicalDrives() {
    uint32_t mask = 0;
    for (const DriveEntry& d : table_)
        if (d.Letter >= 'A' && d.Letter <= 'Z') mask |= 1u << (d.Letter - 'A');
    return mask;
}

std::vector<DriveEntry> PosixPlatform::GetDriveTable() { return table_; }

char PosixPlatform::DriveOfPath(const std::string& path) {
    char letter = 0;
    std::string rest;
    if (SplitDrivePath(path, letter, rest)) return EntryOf(letter) != nullptr ? letter : 0;
    const std::string canonical = CanonicalPath(path);
    char best = 0;
    size_t bestLength = 0;
    for (const DriveEntry& d : table_) {
        const std::string mount = CanonicalPath(d.MountPoint);
        if (PathWithin(canonical, mount) && (best == 0 || mount.size() > bestLength)) {
            best = d.Letter;
            bestLength = mount.size();
        }
    }
    return best;
}

std::string PosixPlatform::GetCurrentDirectory() {
    std::string buffer(PATH_MAX, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            Fail("GetCurrentDirectory", "", posix::Win32ErrorFromErrno(errno));
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

bool PosixPlatform::SetCurrentDirectory(const std::string& path) {
    static const char* const kOp = "SetCurrentDirectory";
    std::optional<std::string> native = NativePath(path);
    if (!native || native->empty()) return Fail(kOp, path, ERROR_PATH_NOT_FOUND);
    if (::chdir(native->c_str()) == 0) return true;
    const int error = errno;
    struct stat st {};
    if (error == ENOTDIR && ::stat(native->c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return Fail(kOp, path, ERROR_DIRECTORY);
    return FailErrno(kOp, path, *native, error);
}

uint32_t PosixPlatform::SetErrorMode(uint32_t mode) {
    // Linux shows no critical-error boxes; the mode is only kept for the callers' bracket.
    std::lock_guard lock(mutex_);
    return std::exchange(errorMode_, mode);
}

// ---- last error ----------------------------------------------------------------------------------

uint32_t PosixPlatform::GetLastError() { return t_lastError; }

void PosixPlatform::SetLastError(uint32_t code) { t_lastError = code; }

FailureContext PosixPlatform::LastFailure() { return t_failure; }

// ---- registry ------------------------------------------------------------------------------------

bool PosixPlatform::RegCreateKey(RegRoot root, const std::string& key) {
    std::lock_guard lock(mutex_);
    registry_[{root, RegistryName(key)}];
    t_lastError = ERROR_SUCCESS;
    return true;
}

std::optional<RegValue> PosixPlatform::RegQueryValue(RegRoot root, const std::string& key, const std::string& name) {
    std::lock_guard lock(mutex_);
    auto k = registry_.find({root, RegistryName(key)});
    if (k != registry_.end()) {
        auto v = k->second.find(RegistryName(name));
        if (v != k->second.end()) return v->second;
    }
    Fail("RegQueryValue", key + "\\" + name, ERROR_FILE_NOT_FOUND);
    return std::nullopt;
}

bool PosixPlatform::RegSetValue(RegRoot root, const std::string& key, const std::string& name, const RegValue& value) {
    std::lock_guard lock(mutex_);
    // As with Win32, a value goes into a key that was opened or created first.
    auto k = registry_.find({root, RegistryName(key)});
    if (k == registry_.end()) return Fail("RegSetValue", key + "\\" + name, ERROR_FILE_NOT_FOUND);
    k->second[RegistryName(name)] = value;
    return true;
}

bool PosixPlatform::RegDeleteValue(RegRoot root, const std::string& key, const std::string& name) {
    std::lock_guard lock(mutex_);
    auto k = registry_.find({root, RegistryName(key)});
    if (k == registry_.end() || k->second.erase(RegistryName(name)) == 0)
        return Fail("RegDeleteValue", key + "\\" + name, ERROR_FILE_NOT_FOUND);
    return true;
}

// ---- shell -----------------------------------------------------------------------------------------

bool PosixPlatform::ShellOpen(const std::string& target) {
    const std::string resolved = NativePath(target).value_or(target);
    // Everything the children need is made before fork: after it only async-signal-safe calls.
    const char* argv[] = {"xdg-open", resolved.c_str(), nullptr};
    pid_t child = ::fork();
    if (child < 0) return Fail("ShellOpen", target, posix::Win32ErrorFromErrno(errno));
    if (child == 0) {
        // The grandchild is adopted by init, so nobody has to wait for it.
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(null, 2);
            }
            ::execvp(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return Fail("ShellOpen", target, ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

// ---- raw volumes -------------------------------------------------------------------------------

HANDLE PosixPlatform::OpenVolume(const std::string& device) {
    static const char* const kOp = "OpenVolume";
    std::string native;
    if (device.rfind("\\\\.\\", 0) == 0) {
        // "\\.\E:": the volume device behind drive E:
        const std::string name = device.substr(4);
        char letter = 0;
        std::string rest;
        const DriveEntry* drive = nullptr;
        if (SplitDrivePath(name, letter, rest) && (rest.empty() || rest == "\\")) drive = EntryOf(letter);
        if (drive == nullptr || drive->Device.empty() || drive->Device[0] != '/') {
            Fail(kOp, device, ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        native = drive->Device;
    } else {
        std::optional<std::string> path = NativePath(device);
        if (!path || path->empty()) {
            Fail(kOp, device, ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        native = *path;
    }
    int fd;
    do {
        fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        FailErrno(kOp, device, native, errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        Fail(kOp, device, ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard lock(mutex_);
    HANDLE handle = NewHandle();
    volumes_[handle] = OpenVolumeDevice{fd, device, S_ISBLK(st.st_mode)};
    t_lastError = ERROR_SUCCESS;
    return handle;
}

bool PosixPlatform::ReadVolume(HANDLE volume, uint64_t position, void* buffer, uint32_t count, uint32_t& bytesRead) {
    bytesRead = 0;
    std::optional<OpenVolumeDevice> v = VolumeOf(volume);
    if (!v) return Fail("ReadVolume", "", ERROR_INVALID_HANDLE);
    if (position > static_cast<uint64_t>(INT64_MAX))
        return Fail("ReadVolume", v->Path, ERROR_INVALID_PARAMETER, -1, count);
    auto* bytes = static_cast<char*>(buffer);
    while (bytesRead < count) {
        ssize_t n = ::pread(v->Fd, bytes + bytesRead, count - bytesRead, static_cast<off_t>(position + bytesRead));
        if (n > 0) {
            bytesRead += static_cast<uint32_t>(n);
            continue;
        }
        if (n == 0) break;  // the end of the device
        if (errno == EINTR) continue;
        return Fail("ReadVolume", v->Path, posix::Win32ErrorFromErrno(errno), static_cast<int64_t>(position), count);
    }
    return true;
}

bool PosixPlatform::LockVolume(HANDLE volume) {
    std::optional<OpenVolumeDevice> v = VolumeOf(volume);
    if (!v) return Fail("LockVolume", "", ERROR_INVALID_HANDLE);
    int result;
    do {
        result = ::flock(v->Fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return Fail("LockVolume", v->Path, errno == EWOULDBLOCK ? ERROR_LOCK_VIOLATION : posix::Win32ErrorFromErrno(errno));
    return true;
}

bool PosixPlatform::UnlockVolume(HANDLE volume) {
    std::optional<OpenVolumeDevice> v = VolumeOf(volume);
    if (!v) return Fail("UnlockVolume", "", ERROR_INVALID_HANDLE);
    if (::flock(v->Fd, LOCK_UN) != 0) return Fail("UnlockVolume", v->Path, posix::Win32ErrorFromErrno(errno));
    return true;
}

bool PosixPlatform::GetVolumeSectorSize(HANDLE volume, uint32_t& bytes) {
    std::optional<OpenVolumeDevice> v = VolumeOf(volume);
    if (!v) return Fail("GetVolumeSectorSize", "", ERROR_INVALID_HANDLE);
    if (!v->IsBlockDevice) {
        bytes = 512;
        return true;
    }
    int size = 0;
    if (::ioctl(v->Fd, BLKSSZGET, &size) != 0 || size <= 0)
        return Fail("GetVolumeSectorSize", v->Path, posix::Win32ErrorFromErrno(errno));
    bytes = static_cast<uint32_t>(size);
    return true;
}

bool PosixPlatform::GetVolumeByteSize(HANDLE volume, uint64_t& bytes) {
    std::optional<OpenVolumeDevice> v = VolumeOf(volume);
    if (!v) return Fail("GetVolumeByteSize", "", ERROR_INVALID_HANDLE);
    if (v->IsBlockDevice) {
        uint64_t size = 0;
        if (::ioctl(v->Fd, BLKGETSIZE64, &size) != 0) return Fail("GetVolumeByteSize", v->Path, posix::Win32ErrorFromErrno(errno));
        bytes = size;
        return true;
    }
    struct stat st {};
    if (::fstat(v->Fd, &st) != 0) return Fail("GetVolumeByteSize", v->Path, posix::Win32ErrorFromErrno(errno));
    bytes = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace platform
