#include "program_symbols.h"

#include "checked_file.h"
#include "socket_path.h"
#include "symbol_file.h"
#include "symbol_table.h"

#include <sys/stat.h>

#include <stdexcept>

namespace {

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    int64_t modifiedNs = -1;
    bool operator==(const FileStamp&) const = default;
};

struct State {
    ProgramNames table = std::make_shared<const SymbolTable>();
    uint64_t generation = 0;
    FileStamp read;
};

State& Program() {
    static State state;
    return state;
}

} // namespace

const ProgramNames& CurrentProgramSymbols() {
    return Program().table;
}

const SymbolTable& ProgramSymbols() {
    return *Program().table;
}

uint64_t ProgramSymbolsGeneration() {
    return Program().generation;
}

bool RefreshProgramSymbols(const std::string& path) {
    State& state = Program();
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    const FileStamp stamp{st.st_dev, st.st_ino, st.st_size,
                          int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    if (stamp == state.read)
        return false;
    std::string why;
    const std::optional<std::string> text = ReadCheckedFile(path, kMaxSymbolFileBytes, &why);
    if (!text)
        return false;
    SymbolTable opcodes, registers;
    try {
        ReadSymbolText(*text, opcodes, registers);
    } catch (const std::runtime_error&) {
        return false;
    }
    state.read = stamp;
    state.table = std::make_shared<const SymbolTable>(std::move(registers));
    ++state.generation;
    return true;
}

bool RefreshProgramSymbols() {
    char path[ZENDRA_SOCKET_PATH_MAX];
    if (ZendraProgramSymbolsPath(path, sizeof path) != 0)
        return false;
    return RefreshProgramSymbols(path);
}
