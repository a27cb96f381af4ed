#include "fx_dll_reader.h"

#include "chunk_header.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace {

// Offset of the first "RIFX" in the bytes, or -1.
int64_t FindSignature(const unsigned char* bytes, std::size_t count) {
    const unsigned char* p = bytes;
    const unsigned char* end = bytes + count;
    while (end - p >= 4) {
        p = static_cast<const unsigned char*>(std::memchr(p, 'R', (end - p) - 3));
        if (!p)
            return -1;
        if (std::memcmp(p, "RIFX", 4) == 0)
            return p - bytes;
        ++p;
    }
    return -1;
}

// A chunk at the top level of a block belongs to no list. The block does not
// bound it: only where it starts is compared with the block's size; its data
// only has to lie in the file.
constexpr int64_t kNoListEnd = std::numeric_limits<int64_t>::max();

// Reads the header of a chunk at `at`, which must lie in the file; inside a
// list the whole chunk must lie before `listEnd`. A "LIST" must hold its
// list type.
bool ReadChunk(const LibraryFile& file, int64_t at, int64_t listEnd, ChunkHeader& header) {
    unsigned char bytes[kChunkHeaderBytes] = {};
    if (listEnd - at < kChunkPrefixBytes || !file.ReadAt(at, bytes, kChunkPrefixBytes))
        return false;
    header = DecodeChunkHeader(bytes);
    if (header.Size > listEnd - at - kChunkPrefixBytes)
        return false;
    if (header.IdIs("LIST")) {
        if (header.Size < 4 || !file.ReadAt(at + kChunkPrefixBytes, bytes + 8, 4))
            return false;
        header = DecodeChunkHeader(bytes);
    }
    return true;
}

int64_t ChunkEnd(int64_t at, const ChunkHeader& header) {
    return at + kChunkPrefixBytes + header.Size;
}

// ckid and code chunks of odd size are followed by a pad byte; word lists never.
int64_t PaddedChunkEnd(int64_t at, const ChunkHeader& header) {
    return ChunkEnd(at, header) + (header.Size % 2);
}

// A chunk is read only when all of its data lies in the file; checked before
// anything is allocated for a size that may be made up.
bool LiesInFile(const LibraryFile& file, int64_t at, const ChunkHeader& header) {
    return ChunkEnd(at, header) <= file.Length();
}

// Whole 16-bit words of the chunk's data; an odd last byte is left out.
bool ReadWords(const LibraryFile& file, int64_t at, const ChunkHeader& header,
               std::vector<int32_t>& list) {
    if (!LiesInFile(file, at, header))
        return false;
    std::vector<unsigned char> bytes(header.Size / 2 * 2);
    if (!file.ReadAt(at + kChunkPrefixBytes, bytes.data(), bytes.size()))
        return false;
    list.clear();
    list.reserve(bytes.size() / 2);
    for (std::size_t k = 0; k < bytes.size(); k += 2)
        list.push_back(static_cast<int32_t>(BigEndian16(&bytes[k])));
    return true;
}

// Whole 9-byte entries: opcode byte, then A, X, Y, R as big-endian words.
bool ReadCode(const LibraryFile& file, int64_t at, const ChunkHeader& header,
              std::vector<MicrocodeInstruction>& code) {
    constexpr std::size_t kEntryBytes = 9;
    if (!LiesInFile(file, at, header))
        return false;
    std::vector<unsigned char> bytes(header.Size / kEntryBytes * kEntryBytes);
    if (!file.ReadAt(at + kChunkPrefixBytes, bytes.data(), bytes.size()))
        return false;
    code.clear();
    code.reserve(bytes.size() / kEntryBytes);
    for (std::size_t k = 0; k < bytes.size(); k += kEntryBytes) {
        const unsigned char* e = &bytes[k];
        code.push_back({static_cast<int32_t>(e[0]), static_cast<int32_t>(BigEndian16(e + 1)),
                        static_cast<int32_t>(BigEndian16(e + 3)),
                        static_cast<int32_t>(BigEndian16(e + 5)),
                        static_cast<int32_t>(BigEndian16(e + 7))});
    }
    return true;
}

struct NamedList {
    std::string_view id;
    std::vector<int32_t>* list;
};

// A word-list chunk whose id must be one of the given ones.
bool ReadNamedWords(const LibraryFile& file, int64_t at, const ChunkHeader& chunk,
                    std::initializer_list<NamedList> lists) {
    for (const NamedList& named : lists)
        if (chunk.IdIs(named.id))
            return ReadWords(file, at, chunk, *named.list);
    return false;
}

// Walks a list that holds only word lists, from `at` to its end.
bool ReadWordLists(const LibraryFile& file, int64_t& at, int64_t end,
                   std::initializer_list<NamedList> lists) {
    while (at != end) {
        ChunkHeader sub;
        if (!ReadChunk(file, at, end, sub) || !ReadNamedWords(file, at, sub, lists))
            return false;
        at = ChunkEnd(at, sub);
    }
    return true;
}

std::string StandInName(std::size_t index) {
    return "(unnamed effect " + std::to_string(index + 1) + ")";
}

} // namespace

int32_t FxDllReader::Scan(const std::string& path) {
    directory_.clear();
    current_ = EffectTables{};
    if (!file_.Open(path))
        return kNoEffectProgram;

    const int64_t length = file_.Length();
    std::vector<unsigned char> window(kScanWindowBytes);
    int64_t start = 0;
    while (start < length) {
        const auto count =
            static_cast<std::size_t>(std::min<int64_t>(kScanWindowBytes, length - start));
        if (!file_.ReadAt(start, window.data(), count))
            break;
        const int64_t found = FindSignature(window.data(), count);
        if (found < 0) {
            if (start + static_cast<int64_t>(count) >= length)
                break;
            start += kScanWindowStep;
            continue;
        }
        const int64_t signature = start + found;
        unsigned char bytes[kChunkHeaderBytes];
        if (!file_.ReadAt(signature, bytes, sizeof bytes) ||
            !DecodeChunkHeader(bytes).ListTypeIs("PTXT")) {
            start = signature + 4; // a RIFX block of another kind
            continue;
        }
        directory_.push_back({signature, {}});
        if (!ReadName(signature, directory_.back().Name))
            return kEffectMalformed;
        // Resume right after the ckid header, not after the whole block.
        start = signature + kChunkHeaderBytes + kChunkPrefixBytes;
    }

    if (directory_.empty())
        return kNoEffectProgram;
    for (std::size_t i = 0; i < directory_.size(); ++i)
        if (Parse(static_cast<int32_t>(i)) != kEffectsDone)
            return kEffectMalformed;
    return kEffectsDone;
}

// The name is the third NUL-separated string of the ckid chunk that must
// open the effect program.
bool FxDllReader::ReadName(int64_t signature, std::string& name) const {
    const int64_t at = signature + kChunkHeaderBytes;
    ChunkHeader header;
    if (!ReadChunk(file_, at, kNoListEnd, header) || !header.IdIs("ckid") ||
        !LiesInFile(file_, at, header))
        return false;
    std::string text(header.Size, '\0');
    if (!file_.ReadAt(at + kChunkPrefixBytes, text.data(), text.size()))
        return false;
    std::size_t first = text.find('\0');
    std::size_t second = first == std::string::npos ? first : text.find('\0', first + 1);
    if (second != std::string::npos) {
        std::size_t third = text.find('\0', second + 1);
        name = text.substr(second + 1, third == std::string::npos ? third : third - second - 1);
    }
    if (name.empty())
        name = StandInName(directory_.size() - 1);
    return true;
}

int32_t FxDllReader::Parse(int32_t index) {
    current_ = EffectTables{};
    if (index < 0 || static_cast<std::size_t>(index) >= directory_.size())
        return kParseStopped;
    const int64_t signature = directory_[static_cast<std::size_t>(index)].Offset;
    unsigned char bytes[kChunkPrefixBytes];
    if (!file_.ReadAt(signature, bytes, sizeof bytes))
        return kParseStopped;
    // A block that claims more than the file holds is read up to the first
    // chunk that does not fit in the file.
    return ParseChunks(signature, BigEndian32(bytes + 4)) ? kEffectsDone : kParseStopped;
}

bool FxDllReader::ParseChunks(int64_t signature, uint32_t rifxSize) {
    EffectTables& t = current_;
    // A chunk that starts at the RIFX size or later is not read.
    int64_t at = signature + kChunkHeaderBytes;
    while (at - signature < rifxSize) {
        ChunkHeader chunk;
        if (!ReadChunk(file_, at, kNoListEnd, chunk))
            return false;
        if (chunk.IdIs("ckid")) {
            if (!LiesInFile(file_, at, chunk))
                return false;
            at = PaddedChunkEnd(at, chunk);
        } else if (chunk.IdIs("rsrc")) {
            if (!ReadWords(file_, at, chunk, t.rsrc))
                return false;
            at = ChunkEnd(at, chunk);
        } else if (chunk.IdIs("code")) {
            if (!ReadCode(file_, at, chunk, t.code))
                return false;
            at = PaddedChunkEnd(at, chunk);
        } else if (chunk.IdIs("LIST") && chunk.ListTypeIs("gpri")) {
            const int64_t listEnd = ChunkEnd(at, chunk);
            at += kChunkHeaderBytes;
            if (!ReadWordLists(file_, at, listEnd,
                               {{"gprs", &t.gprs}, {"tram", &t.tram}, {"xtra", &t.xtra}}))
                return false;
        } else if (chunk.IdIs("LIST") && chunk.ListTypeIs("patc")) {
            const int64_t listEnd = ChunkEnd(at, chunk);
            at += kChunkHeaderBytes;
            while (at != listEnd) {
                ChunkHeader sub;
                if (!ReadChunk(file_, at, listEnd, sub))
                    return false;
                if (sub.IdIs("LIST")) {
                    if (!sub.ListTypeIs("scal"))
                        return false;
                    const int64_t scalEnd = ChunkEnd(at, sub);
                    at += kChunkHeaderBytes;
                    if (!ReadWordLists(file_, at, scalEnd, {{"iscl", &t.iscl}, {"wscl", &t.wscl}}))
                        return false;
                    // The scal list closes the patc list: whatever patc holds
                    // after it is met at the top level.
                    break;
                }
                if (!ReadNamedWords(file_, at, sub, {{"inp ", &t.inp}, {"outp", &t.outp}}))
                    return false;
                at = ChunkEnd(at, sub);
            }
        } else {
            return false;
        }
    }
    return true;
}

FxDllReader& EffectsReader() {
    static FxDllReader reader;
    return reader;
}

int32_t ScanEffectsLibrary(const std::string& path) {
    return EffectsReader().Scan(path);
}
int32_t ParseEffect(int32_t index) {
    return EffectsReader().Parse(index);
}
const std::vector<EffectEntry>& EffectDirectory() {
    return EffectsReader().Directory();
}
int32_t EffectCount() {
    return static_cast<int32_t>(EffectsReader().Directory().size());
}
const EffectTables& CurrentEffect() {
    return EffectsReader().Current();
}
