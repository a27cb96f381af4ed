#include "chunk_header.h"

#include <cstring>

ChunkHeader DecodeChunkHeader(const unsigned char* bytes) {
    ChunkHeader header{};
    std::memcpy(header.Id, bytes, 4);
    header.Size = BigEndian32(bytes + 4);
    std::memcpy(header.ListType, bytes + 8, 4);
    return header;
}
