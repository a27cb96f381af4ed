// Scanning a 64 MiB effects library with 32 effect programs spread through
// it, beside memmem over the same bytes already in memory (the floor: no
// file reads, no parsing). Target: the scan at half of memmem's throughput
// or better.
#include "filler_bytes.h"
#include "fx_dll_reader.h"
#include "fx_library_builder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t kLibraryBytes = 64u << 20;
constexpr int kEffects = 32;

std::string EffectProgram(int index) {
    std::string code;
    for (int i = 0; i < 40; ++i)
        code += "    0x00 0x040 0x" + std::to_string(100 + i) + " 0x101 0x102\n";
    return BuildEffectsLibrary("rifx\n  ckid \"FX8010\" \"1.0\" \"Effect " + std::to_string(index) +
                               "\"\n  rsrc 40 8 0x2000 0\n  list gpri\n    gprs 1 2 3 4 5 6 7 8\n"
                               "    tram 0x2000\n  end\n  list patc\n    inp 0 1\n    outp 0x20 "
                               "0x21\n    list scal\n      iscl 0x7FFF\n      wscl 0x4000\n    "
                               "end\n  end\n  code\n" +
                               code + "  end\nend\n");
}

// Program-like filler (kind 0) or uniformly random bytes (kind 1), with the
// effect programs at even steps.
std::string Library(int kind) {
    std::string bytes;
    bytes.reserve(kLibraryBytes);
    std::mt19937_64 random(7);
    for (int e = 0; e < kEffects; ++e) {
        const std::size_t gap = kLibraryBytes / kEffects - 600;
        if (kind == 0) {
            AppendFiller(bytes, gap, FillerKind::Binary, static_cast<uint64_t>(e) + 1);
        } else {
            for (std::size_t i = 0; i < gap; ++i)
                bytes.push_back(static_cast<char>(random() >> 56));
            for (std::size_t at = bytes.size() - gap;
                 (at = bytes.find("RIFX", at)) != std::string::npos;)
                bytes[at + 3] = 'x';
        }
        bytes += EffectProgram(e);
    }
    bytes.resize(kLibraryBytes, '\0');
    return bytes;
}

// The library on disk (in the page cache after the first pass), removed at exit.
class LibraryFileOnDisk {
  public:
    explicit LibraryFileOnDisk(const std::string& bytes) {
        char name[] = "/tmp/velmora-fx-bench-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
        path_ = name;
        if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("writing the library failed");
        close(fd);
    }
    ~LibraryFileOnDisk() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

const std::string& CachedLibrary(int kind) {
    static const std::string libraries[2] = {Library(0), Library(1)};
    return libraries[kind];
}

const LibraryFileOnDisk& CachedFile(int kind) {
    static const LibraryFileOnDisk files[2] = {LibraryFileOnDisk(CachedLibrary(0)),
                                               LibraryFileOnDisk(CachedLibrary(1))};
    return files[kind];
}

void BM_ScanEffectsLibrary(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& path = CachedFile(kind).Path();
    for (auto _ : state) {
        FxDllReader reader;
        int32_t status = reader.Scan(path);
        if (status != kEffectsDone || reader.Directory().size() != kEffects)
            state.SkipWithError("the scan did not find the 32 effect programs");
        benchmark::DoNotOptimize(reader.Current().code.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLibraryBytes);
    state.SetLabel(kind == 0 ? "program-like filler" : "random filler");
}

void BM_MemmemInMemory(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& bytes = CachedLibrary(kind);
    for (auto _ : state) {
        int found = 0;
        const char* at = bytes.data();
        const char* end = bytes.data() + bytes.size();
        while ((at = static_cast<const char*>(memmem(at, end - at, "RIFX", 4))) != nullptr) {
            ++found;
            ++at;
        }
        if (found != kEffects)
            state.SkipWithError("memmem did not find the 32 signatures");
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLibraryBytes);
    state.SetLabel(kind == 0 ? "program-like filler" : "random filler");
}

BENCHMARK(BM_ScanEffectsLibrary)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemmemInMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
