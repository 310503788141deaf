#pragma once
// A drive of the test's own for the engine: a temp folder mapped as T: by the POSIX backend,
// behind the test double with a capacity limit, so no test can fill the machine's disk.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FolderDrive.h"
#include "TempFolder.h"
#include "engine/BaseEraser.h"
#include "engine/SpaceEraser.h"
#include "platform/Platform.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

namespace enginetest {

inline constexpr int64_t KiB = 1024;
inline constexpr int64_t MiB = 1024 * KiB;

// The double, also noting the sizes and flags the engine passes down.
class TRecordingPlatform : public platform::TestPlatform {
public:
    using TestPlatform::TestPlatform;

    std::vector<uint32_t> WriteSizes, ReadSizes, CreateFlags, CreateDispositions;

    platform::HANDLE CreateFile(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                                uint32_t creationDisposition, uint32_t flagsAndAttributes) override {
        CreateFlags.push_back(flagsAndAttributes);
        CreateDispositions.push_back(creationDisposition);
        return TestPlatform::CreateFile(fileName, desiredAccess, shareMode, creationDisposition, flagsAndAttributes);
    }
    bool WriteFile(platform::HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) override {
        WriteSizes.push_back(count);
        return TestPlatform::WriteFile(file, buffer, count, bytesWritten);
    }
    bool ReadFile(platform::HANDLE file, void* buffer, uint32_t count, uint32_t& bytesRead) override {
        ReadSizes.push_back(count);
        return TestPlatform::ReadFile(file, buffer, count, bytesRead);
    }
};

class TTestDrive {
public:
    explicit TTestDrive(uint64_t Capacity = 4 * MiB)
        : Posix_(std::vector<platform::DriveEntry>{testsupport::FolderDrive('T', Folder_.Path())}),
          Double_(Posix_),
          Scope_(Double_) {
        Double_.LimitCapacity(Folder_.Path(), Capacity);
    }

    [[nodiscard]] const std::string& Folder() const { return Folder_.Path(); }
    [[nodiscard]] TRecordingPlatform& Double() { return Double_; }
    void LimitCapacity(uint64_t Bytes) { Double_.LimitCapacity(Folder_.Path(), Bytes); }

    // "T:\name" or "name" to the native path.
    [[nodiscard]] std::string Native(const std::string& Name) const {
        const std::string bare = Name.rfind("T:\\", 0) == 0 ? Name.substr(3) : Name;
        return Folder_.Path() + "/" + bare;
    }
    [[nodiscard]] std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Folder_.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
    [[nodiscard]] std::string Read(const std::string& Name) const {
        std::ifstream in(Native(Name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Write(const std::string& Name, const std::string& Content) const {
        std::ofstream(Native(Name), std::ios::binary) << Content;
    }

private:
    testsupport::TempFolder Folder_{"fvn-engine"};
    platform::PosixPlatform Posix_;
    TRecordingPlatform Double_;
    platform::ScopedPlatform Scope_;
};

// What a wipe of W bytes with a text pass puts down: the block repeated, cut at W.
inline std::string ExpectedTextLayout(const std::string& Text, int32_t BlockSize, int64_t WipeSize) {
    TWipePass pass;
    pass.SetTextPattern(Text);
    std::string block(static_cast<size_t>(BlockSize), '\0');
    pass.FillText(reinterpret_cast<uint8_t*>(block.data()), BlockSize);
    std::string out;
    while (static_cast<int64_t>(out.size()) < WipeSize) out += block;
    out.resize(static_cast<size_t>(WipeSize));
    return out;
}

// Every event of an eraser as one line, in the order raised.
class TEventLog {
public:
    std::vector<std::string> Lines;

    void Attach(TEraser& E) {
        E.OnWipeStart = [this](TEraser*, int64_t Size, int64_t Start) { Add("WipeStart", Size, Start); };
        E.OnWipeEnd = [this](TEraser*, bool Completed) { Add("WipeEnd", Completed); };
        E.OnPassStart = [this](TEraser*, int32_t Pass) { Add("PassStart", Pass); };
        E.OnShowProgress = [this](TEraser*, int64_t Progress) { Add("Progress", Progress); };
        E.OnCRCStart = [this](TEraser*, int32_t Pass) { Add("CRCStart", Pass); };
    }
    void Attach(TCustomSpaceEraser& E) {
        Attach(static_cast<TEraser&>(E));
        E.OnSpaceWipeStart = [this](TEraser*, char Drive, int64_t Free) { Add("SpaceStart", std::string(1, Drive), Free); };
        E.OnSpaceWipeEnd = [this](TEraser*, char Drive, bool Ok) { Add("SpaceEnd", std::string(1, Drive), Ok); };
        E.OnTemporaryCreate = [this](TEraser*, const std::string& Name, int64_t Size, int32_t No, int32_t Count) {
            Created.push_back(Name);
            Add("Create", Size, No, Count);
        };
        E.OnTemporaryDelete = [this](TEraser*, const std::string& Name, bool Ok) {
            Deleted.push_back(Name);
            Add("Delete", Ok);
        };
    }
    // Lines starting with Prefix (a whole event name).
    [[nodiscard]] std::vector<std::string> Of(const std::string& Prefix) const {
        std::vector<std::string> out;
        for (const std::string& line : Lines)
            if (line == Prefix || line.rfind(Prefix + " ", 0) == 0) out.push_back(line);
        return out;
    }
    [[nodiscard]] size_t Count(const std::string& Prefix) const { return Of(Prefix).size(); }

    std::vector<std::string> Created, Deleted;

private:
    template <typename... Args>
    void Add(const char* Name, const Args&... Values) {
        std::ostringstream line;
        line << Name;
        ((line << ' ' << Values), ...);
        Lines.push_back(line.str());
    }
};

// Answers OnIOError with a fixed decision per operation and notes what was asked.
struct TDecisions {
    std::map<TEraseIOErrors, TErrorHandlingDecision> Answers;
    std::vector<std::string> Asked;  // "7 writing to file 29"

    void Attach(TEraser& E) {
        E.OnIOError = [this](TEraser*, TEraseIOErrors Op, const std::string& Text, int32_t Code,
                             TErrorHandlingDecision& Decision) {
            Asked.push_back(std::to_string(Op) + " " + Text + " " + std::to_string(Code));
            if (auto it = Answers.find(Op); it != Answers.end()) Decision = it->second;
        };
    }
};

}  // namespace enginetest
