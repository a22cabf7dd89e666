#pragma once

// An LHA archive with one "-lh1-" member, built around a code stream from our encoder, and read
// back with the lhasa library: a decoder that nobody here wrote.
//
// Level-0 member header: size of the header after its first two bytes, checksum of those bytes
// (their sum modulo 256), the method "-lh1-", compressed size and original size (32-bit little
// endian), an MS-DOS time stamp, the attribute byte, the level 0, the name's length and the name,
// then the CRC-16 of the original data (polynomial 0xA001, reflected, starting at 0). The code
// stream follows; a zero byte ends the archive.

#include <lhasa.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet::testing {

inline std::uint16_t LhaCrc16(std::span<const std::uint8_t> data)
{
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

inline std::vector<std::uint8_t> LhaArchiveOf(
    std::span<const std::uint8_t> code, std::span<const std::uint8_t> original)
{
    const std::string name = "member.bin";
    std::vector<std::uint8_t> header;
    const auto put32 = [&header](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    header.insert(header.end(), { 0, 0, '-', 'l', 'h', '1', '-' });
    put32(static_cast<std::uint32_t>(code.size()));
    put32(static_cast<std::uint32_t>(original.size()));
    put32(0x5A210000u); // 2025-01-01 00:00
    header.push_back(0x20);
    header.push_back(0);
    header.push_back(static_cast<std::uint8_t>(name.size()));
    header.insert(header.end(), name.begin(), name.end());
    const std::uint16_t crc = LhaCrc16(original);
    header.push_back(static_cast<std::uint8_t>(crc));
    header.push_back(static_cast<std::uint8_t>(crc >> 8));
    header[0] = static_cast<std::uint8_t>(header.size() - 2);
    unsigned sum = 0;
    for (std::size_t i = 2; i < header.size(); ++i)
        sum += header[i];
    header[1] = static_cast<std::uint8_t>(sum);

    std::vector<std::uint8_t> archive = header;
    archive.insert(archive.end(), code.begin(), code.end());
    archive.push_back(0);
    return archive;
}

struct TLhaExtract {
    std::string Method;
    std::vector<std::uint8_t> Data;
    bool CrcMatches = false;
};

// What lhasa makes of the archive's first member; nothing when it cannot read its header.
inline std::optional<TLhaExtract> LhasaExtract(const std::vector<std::uint8_t>& archive)
{
    struct TMemory {
        const std::vector<std::uint8_t>* Bytes;
        std::size_t Offset;
    };
    static const LHAInputStreamType memoryType
        = { [](void* handle, void* buf, std::size_t len) -> int {
               auto* m = static_cast<TMemory*>(handle);
               const std::size_t n = std::min(len, m->Bytes->size() - m->Offset);
               std::memcpy(buf, m->Bytes->data() + m->Offset, n);
               m->Offset += n;
               return static_cast<int>(n);
           },
              nullptr, [](void*) {} };

    std::optional<TLhaExtract> result;
    for (int pass = 0; pass < 2; ++pass) {
        TMemory memory { &archive, 0 };
        LHAInputStream* stream = lha_input_stream_new(&memoryType, &memory);
        LHAReader* reader = lha_reader_new(stream);
        if (const LHAFileHeader* header = lha_reader_next_file(reader)) {
            if (pass == 0) {
                result.emplace();
                result->Method = header->compress_method;
                std::uint8_t buf[4096];
                std::size_t n = 0;
                while ((n = lha_reader_read(reader, buf, sizeof buf)) > 0)
                    result->Data.insert(result->Data.end(), buf, buf + n);
            } else if (result) {
                result->CrcMatches = lha_reader_check(reader, nullptr, nullptr) != 0;
            }
        }
        lha_reader_free(reader);
        lha_input_stream_free(stream);
    }
    return result;
}

} // namespace quillet::testing
