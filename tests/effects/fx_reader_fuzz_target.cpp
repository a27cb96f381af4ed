#include "fx_reader_fuzz_target.h"

#include "fx_dll_reader.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The bytes live in an anonymous in-memory file that the reader opens by
// path, as it opens a library on disk.
class MemoryFile {
  public:
    MemoryFile() : fd_(memfd_create("fx-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0)
            throw std::runtime_error("memfd_create failed");
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }

    const std::string& Hold(const std::string& bytes) {
        if (ftruncate(fd_, 0) != 0 ||
            pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("writing the memory file failed");
        return path_;
    }

  private:
    int fd_;
    std::string path_;
};

std::string CheckTables(const EffectTables& t, std::size_t fileSize) {
    for (const auto* list :
         {&t.rsrc, &t.gprs, &t.tram, &t.xtra, &t.inp, &t.outp, &t.iscl, &t.wscl}) {
        if (list->size() > fileSize / 2)
            return "a word list longer than the file";
        for (int32_t word : *list)
            if (word < 0 || word > 0xFFFF)
                return "a word outside 0..65535";
    }
    if (t.code.size() > fileSize / 9)
        return "more code than the file holds";
    for (const MicrocodeInstruction& i : t.code)
        if (i.Opcode < 0 || i.Opcode > 0xFF || i.A < 0 || i.A > 0xFFFF || i.X < 0 || i.X > 0xFFFF ||
            i.Y < 0 || i.Y > 0xFFFF || i.R < 0 || i.R > 0xFFFF)
            return "a code field outside its width";
    return {};
}

} // namespace

std::string CheckReaderOnBytes(const std::string& bytes) {
    static MemoryFile file;
    FxDllReader reader;
    const int32_t status = reader.Scan(file.Hold(bytes));
    if (status != kEffectsDone && status != kNoEffectProgram && status != kEffectMalformed)
        return "scan status " + std::to_string(status);
    if ((status == kNoEffectProgram) != reader.Directory().empty())
        return "status 1 must mean an empty directory";
    for (const EffectEntry& entry : reader.Directory())
        if (entry.Offset < 0 || entry.Offset + 12 > static_cast<int64_t>(bytes.size()) ||
            bytes.compare(static_cast<std::size_t>(entry.Offset), 4, "RIFX") != 0)
            return "an entry not on a signature";
    std::string why = CheckTables(reader.Current(), bytes.size());
    const auto count = static_cast<int32_t>(reader.Directory().size());
    for (int32_t i = -1; why.empty() && i <= count; ++i) {
        const int32_t parsed = reader.Parse(i);
        if (parsed != kEffectsDone && parsed != kParseStopped)
            why = "parse status " + std::to_string(parsed);
        else
            why = CheckTables(reader.Current(), bytes.size());
    }
    return why;
}

#ifdef VELMORA_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!CheckReaderOnBytes(std::string(reinterpret_cast<const char*>(data), size)).empty())
        std::abort();
    return 0;
}
#endif
