// The 12 bytes the reader takes at every chunk position of a RIFX block:
// chunk id, big-endian data size, and the list type that follows a "LIST"
// header (or the form type after "RIFX").
#pragma once

#include <cstdint>
#include <string_view>

struct ChunkHeader {
    char Id[4];
    uint32_t Size;    // data bytes after the 8-byte id and size
    char ListType[4]; // meaningful for "LIST" and "RIFX" only

    bool IdIs(std::string_view id) const { return id == std::string_view(Id, 4); }
    bool ListTypeIs(std::string_view type) const { return type == std::string_view(ListType, 4); }
};

constexpr int kChunkHeaderBytes = 12;
// Id and size; every chunk has at least these.
constexpr int kChunkPrefixBytes = 8;

inline uint32_t BigEndian32(const unsigned char* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

inline uint32_t BigEndian16(const unsigned char* b) {
    return (uint32_t{b[0]} << 8) | b[1];
}

// Decodes a header from 12 bytes; the list type is taken from bytes 8 to 11.
ChunkHeader DecodeChunkHeader(const unsigned char* bytes);
