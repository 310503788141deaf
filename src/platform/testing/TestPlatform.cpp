#include "platform/testing/TestPlatform.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace platform {

namespace fs = std::filesystem;

namespace {

bool PathWithin(const std::string& path, const std::string& folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

TestPlatform::TestPlatform(IPlatform& inner) : inner_(inner) {}

// ---- configuration -----------------------------------------------------------------------------

void TestPlatform::LimitCapacity(const std::string& folder, uint64_t bytes) {
    const std::string native = Resolve(folder);
    limits_.erase(std::remove_if(limits_.begin(), limits_.end(), [&](const Capacity& c) { return c.Folder == native; }),
                  limits_.end());
    for (auto it = charged_.begin(); it != charged_.end();) {
        it = PathWithin(it->first, native) ? charged_.erase(it) : std::next(it);
    }
    limits_.push_back(Capacity{native, bytes, 0});
}

void TestPlatform::FailCall(Call op, int nth, uint32_t error, int times) {
    const int first = counts_[op] + nth;
    failures_.push_back(FailureRule{op, first, times < 0 ? INT_MAX : first + times - 1, error});
}

void TestPlatform::PartialWrite(int nth, uint32_t bytes, uint32_t error) {
    partials_.push_back(PartialRule{counts_[Call::WriteFile] + nth, bytes, error});
}

int TestPlatform::CallCount(Call op) const {
    auto it = counts_.find(op);
    return it == counts_.end() ? 0 : it->second;
}

void TestPlatform::Reset() {
    counts_.clear();
    failures_.clear();
    partials_.clear();
    limits_.clear();
    charged_.clear();
    ownIsLatest_ = false;
}

// ---- helpers -----------------------------------------------------------------------------------

int TestPlatform::Count(Call op) {
    const int n = ++counts_[op];
    if (OnCall) OnCall(op);
    return n;
}

std::optional<uint32_t> TestPlatform::InjectedError(Call op, int n) const {
    for (const FailureRule& rule : failures_)
        if (rule.Op == op && n >= rule.First && n <= rule.Last) return rule.Error;
    return std::nullopt;
}

bool TestPlatform::Inject(const char* operation, const std::string& path, uint32_t error, int64_t offset, int64_t length) {
    own_ = FailureContext{operation, path, offset, length, error};
    ownIsLatest_ = true;
    inner_.SetLastError(error);
    return false;
}

bool TestPlatform::Forwarded(bool ok) {
    if (!ok) ownIsLatest_ = false;  // the inner backend's context is the latest now
    return ok;
}

std::string TestPlatform::Resolve(const std::string& path) {
    std::string native = path;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        for (const DriveEntry& d : inner_.GetDriveTable()) {
            if (d.Letter != letter) continue;
            std::string rest = path.substr(2);
            std::replace(rest.begin(), rest.end(), '\\', '/');
            native = d.MountPoint + "/" + rest;
        }
    }
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(native, ec), ec);
    std::string text = ec ? native : canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

TestPlatform::Capacity* TestPlatform::LimitOf(const std::string& native) {
    Capacity* best = nullptr;
    for (Capacity& c : limits_)
        if (PathWithin(native, c.Folder) && (best == nullptr || c.Folder.size() > best->Folder.size())) best = &c;
    return best;
}

int64_t TestPlatform::PositionOf(HANDLE file) {
    int32_t high = 0;
    const uint32_t low = inner_.SetFilePointer(file, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && inner_.GetLastError() != ERROR_SUCCESS) return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low);
}

std::string TestPlatform::NameOf(HANDLE handle) const {
    auto it = handles_.find(handle);
    return it == handles_.end() ? std::string() : it->second.Name;
}

bool TestPlatform::WriteWithinCapacity(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) {
    bytesWritten = 0;
    auto h = handles_.find(file);
    Capacity* limit = h == handles_.end() ? nullptr : LimitOf(h->second.Native);
    if (limit == nullptr) return Forwarded(inner_.WriteFile(file, buffer, count, bytesWritten));

    const std::string& native = h->second.Native;
    const int64_t position = PositionOf(file);
    if (position < 0) return Forwarded(inner_.WriteFile(file, buffer, count, bytesWritten));
    std::error_code ec;
    const uint64_t sizeBefore = fs::file_size(native, ec);
    const uint64_t size = ec ? static_cast<uint64_t>(position) : sizeBefore;

    // The file may grow as far as its size plus what is left of the capacity.
    const uint64_t left = limit->Bytes > limit->Used ? limit->Bytes - limit->Used : 0;
    const uint64_t roomEnd = size + left;
    const uint64_t pos = static_cast<uint64_t>(position);
    const uint32_t fits = pos >= roomEnd ? 0 : static_cast<uint32_t>(std::min<uint64_t>(count, roomEnd - pos));

    bool ok = true;
    if (fits > 0) ok = inner_.WriteFile(file, buffer, fits, bytesWritten);
    if (pos + bytesWritten > size) {
        const uint64_t growth = pos + bytesWritten - size;
        limit->Used += growth;
        charged_[native] += growth;
    }
    if (!ok) return Forwarded(false);
    if (fits < count) return Inject("WriteFile", h->second.Name, ERROR_DISK_FULL, position, count);
    return true;
}

// ---- files ---------------------------------------------------------------------------------------

HANDLE TestPlatform::CreateFile(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                                uint32_t creationDisposition, uint32_t flagsAndAttributes) {
    const int n = Count(Call::CreateFile);
    if (auto error = InjectedError(Call::CreateFile, n)) {
        Inject("CreateFile", fileName, *error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = inner_.CreateFile(fileName, desiredAccess, shareMode, creationDisposition, flagsAndAttributes);
    if (handle == INVALID_HANDLE_VALUE) {
        Forwarded(false);
        return handle;
    }
    const std::string native = Resolve(fileName);
    handles_[handle] = OpenHandle{fileName, native};
    if (creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING) {
        // The file is empty again: what it was charged comes back.
        if (auto c = charged_.find(native); c != charged_.end()) {
            if (Capacity* limit = LimitOf(native)) limit->Used -= std::min(limit->Used, c->second);
            charged_.erase(c);
        }
    }
    return handle;
}

bool TestPlatform::ReadFile(HANDLE file, void* buffer, uint32_t count, uint32_t& bytesRead) {
    const int n = Count(Call::ReadFile);
    if (auto error = InjectedError(Call::ReadFile, n)) {
        bytesRead = 0;
        return Inject("ReadFile", NameOf(file), *error, PositionOf(file), count);
    }
    return Forwarded(inner_.ReadFile(file, buffer, count, bytesRead));
}

bool TestPlatform::WriteFile(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) {
    const int n = Count(Call::WriteFile);
    const std::optional<uint32_t> error = InjectedError(Call::WriteFile, n);
    auto partial = std::find_if(partials_.begin(), partials_.end(), [&](const PartialRule& p) { return p.Nth == n; });
    bytesWritten = 0;
    if (partial == partials_.end()) {
        if (error) return Inject("WriteFile", NameOf(file), *error, PositionOf(file), count);
        return WriteWithinCapacity(file, buffer, count, bytesWritten);
    }
    const int64_t position = PositionOf(file);
    const uint32_t finalError = partial->Error != ERROR_SUCCESS ? partial->Error : error.value_or(ERROR_SUCCESS);
    if (!WriteWithinCapacity(file, buffer, std::min(count, partial->Bytes), bytesWritten)) return false;
    if (finalError != ERROR_SUCCESS) return Inject("WriteFile", NameOf(file), finalError, position, count);
    return true;
}

uint32_t TestPlatform::SetFilePointer(HANDLE file, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod) {
    const int n = Count(Call::SetFilePointer);
    if (auto error = InjectedError(Call::SetFilePointer, n)) {
        Inject("SetFilePointer", NameOf(file), *error);
        return INVALID_SET_FILE_POINTER;
    }
    const uint32_t result = inner_.SetFilePointer(file, distanceLow, distanceHigh, moveMethod);
    Forwarded(!(result == INVALID_SET_FILE_POINTER && inner_.GetLastError() != ERROR_SUCCESS));
    return result;
}

bool TestPlatform::FlushFileBuffers(HANDLE file) {
    const int n = Count(Call::FlushFileBuffers);
    if (auto error = InjectedError(Call::FlushFileBuffers, n)) return Inject("FlushFileBuffers", NameOf(file), *error);
    return Forwarded(inner_.FlushFileBuffers(file));
}

bool TestPlatform::CloseHandle(HANDLE handle) {
    const int n = Count(Call::CloseHandle);
    const std::string name = NameOf(handle);
    handles_.erase(handle);
    const bool ok = Forwarded(inner_.CloseHandle(handle));
    if (auto error = InjectedError(Call::CloseHandle, n)) return Inject("CloseHandle", name, *error);
    return ok;
}

bool TestPlatform::DeleteFile(const std::string& fileName) {
    const int n = Count(Call::DeleteFile);
    if (auto error = InjectedError(Call::DeleteFile, n)) return Inject("DeleteFile", fileName, *error);
    const std::string native = Resolve(fileName);
    if (!Forwarded(inner_.DeleteFile(fileName))) return false;
    if (auto c = charged_.find(native); c != charged_.end()) {
        if (Capacity* limit = LimitOf(native)) limit->Used -= std::min(limit->Used, c->second);
        charged_.erase(c);
    }
    return true;
}

HANDLE TestPlatform::FindFirstFile(const std::string& pattern, FindData& data) {
    const int n = Count(Call::FindFirstFile);
    if (auto error = InjectedError(Call::FindFirstFile, n)) {
        Inject("FindFirstFile", pattern, *error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE find = inner_.FindFirstFile(pattern, data);
    Forwarded(find != INVALID_HANDLE_VALUE);
    return find;
}

bool TestPlatform::FindNextFile(HANDLE find, FindData& data) {
    const int n = Count(Call::FindNextFile);
    if (auto error = InjectedError(Call::FindNextFile, n)) return Inject("FindNextFile", "", *error);
    return Forwarded(inner_.FindNextFile(find, data));
}

bool TestPlatform::FindClose(HANDLE find) { return Forwarded(inner_.FindClose(find)); }

// ---- volumes and drives ----------------------------------------------------------------------

bool TestPlatform::GetDiskFreeSpace(const std::string& root, uint32_t& sectorsPerCluster, uint32_t& bytesPerSector,
                                    uint32_t& numberOfFreeClusters, uint32_t& totalNumberOfClusters) {
    const int n = Count(Call::GetDiskFreeSpace);
    if (auto error = InjectedError(Call::GetDiskFreeSpace, n)) return Inject("GetDiskFreeSpace", root, *error);
    if (!Forwarded(inner_.GetDiskFreeSpace(root, sectorsPerCluster, bytesPerSector, numberOfFreeClusters,
                                           totalNumberOfClusters)))
        return false;
    if (const Capacity* limit = LimitOf(Resolve(root))) {
        const uint64_t cluster = std::max<uint64_t>(1, static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector);
        const uint64_t left = limit->Bytes > limit->Used ? limit->Bytes - limit->Used : 0;
        numberOfFreeClusters = static_cast<uint32_t>(std::min<uint64_t>(left / cluster, UINT32_MAX));
        totalNumberOfClusters = static_cast<uint32_t>(std::min<uint64_t>(limit->Bytes / cluster, UINT32_MAX));
    }
    return true;
}

bool TestPlatform::GetDiskFreeSpaceEx(const std::string& root, uint64_t& freeBytesAvailableToCaller,
                                      uint64_t& totalNumberOfBytes, uint64_t& totalNumberOfFreeBytes) {
    const int n = Count(Call::GetDiskFreeSpaceEx);
    if (auto error = InjectedError(Call::GetDiskFreeSpaceEx, n)) return Inject("GetDiskFreeSpaceEx", root, *error);
    if (!Forwarded(inner_.GetDiskFreeSpaceEx(root, freeBytesAvailableToCaller, totalNumberOfBytes, totalNumberOfFreeBytes)))
        return false;
    if (const Capacity* limit = LimitOf(Resolve(root))) {
        const uint64_t left = limit->Bytes > limit->Used ? limit->Bytes - limit->Used : 0;
        freeBytesAvailableToCaller = left;
        totalNumberOfFreeBytes = left;
        totalNumberOfBytes = limit->Bytes;
    }
    return true;
}

uint32_t TestPlatform::GetDriveType(const std::string& root) {
    const int n = Count(Call::GetDriveType);
    if (auto error = InjectedError(Call::GetDriveType, n)) {
        Inject("GetDriveType", root, *error);
        return DRIVE_UNKNOWN;
    }
    return inner_.GetDriveType(root);
}

bool TestPlatform::GetVolumeInformation(const std::string& root, VolumeInformation& info) {
    const int n = Count(Call::GetVolumeInformation);
    if (auto error = InjectedError(Call::GetVolumeInformation, n)) return Inject("GetVolumeInformation", root, *error);
    return Forwarded(inner_.GetVolumeInformation(root, info));
}

uint32_t TestPlatform::GetLogicalDrives() { return inner_.GetLogicalDrives(); }

std::vector<DriveEntry> TestPlatform::GetDriveTable() { return inner_.GetDriveTable(); }

char TestPlatform::DriveOfPath(const std::string& path) { return inner_.DriveOfPath(path); }

std::string TestPlatform::GetCurrentDirectory() { return inner_.GetCurrentDirectory(); }

bool TestPlatform::SetCurrentDirectory(const std::string& path) {
    const int n = Count(Call::SetCurrentDirectory);
    if (auto error = InjectedError(Call::SetCurrentDirectory, n)) return Inject("SetCurrentDirectory", path, *error);
    return Forwarded(inner_.SetCurrentDirectory(path));
}

uint32_t TestPlatform::SetErrorMode(uint32_t mode) { return inner_.SetErrorMode(mode); }

// ---- last error ----------------------------------------------------------------------------------

uint32_t TestPlatform::GetLastError() { return inner_.GetLastError(); }

void TestPlatform::SetLastError(uint32_t code) { inner_.SetLastError(code); }

FailureContext TestPlatform::LastFailure() { return ownIsLatest_ ? own_ : inner_.LastFailure(); }

// ---- registry ------------------------------------------------------------------------------------

bool TestPlatform::RegCreateKey(RegRoot root, const std::string& key) { return Forwarded(inner_.RegCreateKey(root, key)); }

std::optional<RegValue> TestPlatform::RegQueryValue(RegRoot root, const std::string& key, const std::string& name) {
    auto value = inner_.RegQueryValue(root, key, name);
    Forwarded(value.has_value());
    return value;
}

bool TestPlatform::RegSetValue(RegRoot root, const std::string& key, const std::string& name, const RegValue& value) {
    const int n = Count(Call::RegSetValue);
    if (auto error = InjectedError(Call::RegSetValue, n)) return Inject("RegSetValue", key + "\\" + name, *error);
    return Forwarded(inner_.RegSetValue(root, key, name, value));
}

bool TestPlatform::RegDeleteValue(RegRoot root, const std::string& key, const std::string& name) {
    return Forwarded(inner_.RegDeleteValue(root, key, name));
}

bool TestPlatform::ShellOpen(const std::string& target) { return Forwarded(inner_.ShellOpen(target)); }

// ---- raw volumes -------------------------------------------------------------------------------

HANDLE TestPlatform::OpenVolume(const std::string& device) {
    const int n = Count(Call::OpenVolume);
    if (auto error = InjectedError(Call::OpenVolume, n)) {
        Inject("OpenVolume", device, *error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE volume = inner_.OpenVolume(device);
    if (Forwarded(volume != INVALID_HANDLE_VALUE)) handles_[volume] = OpenHandle{device, {}};
    return volume;
}

bool TestPlatform::ReadVolume(HANDLE volume, uint64_t position, void* buffer, uint32_t count, uint32_t& bytesRead) {
    const int n = Count(Call::ReadVolume);
    if (auto error = InjectedError(Call::ReadVolume, n)) {
        bytesRead = 0;
        return Inject("ReadVolume", NameOf(volume), *error, static_cast<int64_t>(position), count);
    }
    return Forwarded(inner_.ReadVolume(volume, position, buffer, count, bytesRead));
}

bool TestPlatform::LockVolume(HANDLE volume) {
    const int n = Count(Call::LockVolume);
    if (auto error = InjectedError(Call::LockVolume, n)) return Inject("LockVolume", NameOf(volume), *error);
    return Forwarded(inner_.LockVolume(volume));
}

bool TestPlatform::UnlockVolume(HANDLE volume) { return Forwarded(inner_.UnlockVolume(volume)); }

bool TestPlatform::GetVolumeSectorSize(HANDLE volume, uint32_t& bytes) {
    return Forwarded(inner_.GetVolumeSectorSize(volume, bytes));
}

bool TestPlatform::GetVolumeByteSize(HANDLE volume, uint64_t& bytes) {
    return Forwarded(inner_.GetVolumeByteSize(volume, bytes));
}

}  // namespace platform
