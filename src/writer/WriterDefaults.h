#pragma once
// Settings the wizard and `fvn write` share, so both write the same way.
#include <cstdint>

// Bytes handed to the system per write call. Large writes keep unbuffered I/O near the
// device's speed; the eraser's pattern block is still repeated within each write.
inline constexpr int32_t RecommendedWriteSize = 8 * 1024 * 1024;

namespace writer {

using ::RecommendedWriteSize;

// Extension of the temporary fill files in the drives' root folders.
inline constexpr const char* TemporaryFileExtension = ".FVNTMP";
// Mask that finds the fill files an interrupted run left behind.
inline constexpr const char* LeftoverFileMask = "*.FVNTMP";

}  // namespace writer
