// A real EMU10K1 under Linux's sound driver, read through the register files
// that the driver publishes in /proc/asound/cardN. Those files are read-only,
// so this chip is too: only the pointer takes writes. The client that opens
// the device is handed the open files and reads them itself, afresh on every
// read, so it sees the card as it is now.
#pragma once

#include "chip_backend.h"
#include "chip_image.h"
#include "shared_chip_memory.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

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

    // The ports over what a client is handed, for reading the card in this
    // process (Capture). Registers that no file holds read 0, as do bytes
    // past a short file's end.
    ApsChipPorts Ports();
    ChipHandout Handout() const override;

    // The card's 0x800 registers as they are now, read through the ports,
    // for a chip image; nullopt when a file fails to read (error says which).
    std::optional<ChipImage> Capture(std::string* error);

  private:
    ProcChip() = default;

    SharedChipMemory memory_; // handed out for the handshake's sake; unused
    uint32_t pointer_ = 0;    // for Ports()
    std::array<int, APS_CARD_FILE_COUNT> fds_{-1, -1, -1, -1};
};
