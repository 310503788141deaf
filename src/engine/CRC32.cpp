#include "engine/CRC32.h"

#include <array>

namespace {
constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> Table = MakeTable();
}  // namespace

uint32_t CRC32Init() { return 0xFFFFFFFFu; }

void CRC32Update(uint32_t& CRC, const void* Data, int64_t Count) {
    const auto* bytes = static_cast<const uint8_t*>(Data);
    uint32_t c = CRC;
    for (int64_t i = 0; i < Count; ++i) c = Table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    CRC = c;
}

uint32_t CRC32Final(uint32_t CRC) { return CRC ^ 0xFFFFFFFFu; }
