// A real EMU10K1 under Linux's sound driver, read through the register files
// that the driver publishes in /proc/asound/cardN. Those files are read-only,
// so this chip is too: only the pointer takes writes.
#pragma once

#include "chip_backend.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// One of the driver's register files: the registers it holds, from first on,
// as native 32-bit words (register first + k at byte 4k).
struct ProcRegisterFile {
    const char* name;
    uint32_t first;
    uint32_t count;
};

// GPRs, TRAM data, TRAM addresses and microcode, in register order.
inline constexpr std::array<ProcRegisterFile, 4> kProcRegisterFiles = {{
    {"fx8010_gpr", 0x100, 0x100},
    {"fx8010_tram_data", 0x200, 0xA0},
    {"fx8010_tram_addr", 0x300, 0xA0},
    {"fx8010_code", 0x400, 0x400},
}};

// The file that holds a register, or nullptr when none does.
const ProcRegisterFile* ProcFileOf(uint32_t reg);

// Where the sound driver publishes card N's files.
std::string ProcCardFolder(int card);

class ProcChip : public ChipBackend {
  public:
    // Opens the register files in folder; on failure returns nullptr and says
    // which file could not be read and why.
    static std::unique_ptr<ProcChip> Open(const std::string& folder, std::string* error);
    ~ProcChip() override;
    ProcChip(const ProcChip&) = delete;
    ProcChip& operator=(const ProcChip&) = delete;

    // The data port reads the selected register from its file each time, so
    // every read sees the card as it is now; registers no file holds read 0.
    uint32_t PortRead(uint16_t port) override;
    void PortWrite(uint16_t port, uint32_t value) override;
    bool CanWrite(uint16_t port) const override;

  private:
    ProcChip() = default;
    uint32_t ReadRegister(uint32_t reg) const;

    uint32_t pointer_ = 0;
    std::array<int, kProcRegisterFiles.size()> fds_{-1, -1, -1, -1};
};
