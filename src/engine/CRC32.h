#pragma once
// CRC-32 of ISO 3309 / ITU-T V.42 (reflected polynomial 0xEDB88320, initial value all ones,
// final value complemented), used to compare a pass's read-back with what was written.
#include <cstdint>

[[nodiscard]] uint32_t CRC32Init();
// A Count of 0 or less adds nothing.
void CRC32Update(uint32_t& CRC, const void* Data, int64_t Count);
[[nodiscard]] uint32_t CRC32Final(uint32_t CRC);
