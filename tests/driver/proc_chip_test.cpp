// The real-card backend on a made-up /proc/asound/cardN folder: the viewer's
// reads through the library come back as the register files say, short
// files read as 0 past their end, writes fail and leave the files alone,
// emuapsd --card refuses a card it cannot read, and chipimage --card saves one.
#include "aps_request.h"
#include "aps_service.h"
#include "chip_ports.h"
#include "proc_chip.h"
#include "support/emuapsd_run.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Native 32-bit words, as the sound driver writes them.
std::string Words(const std::vector<uint32_t>& words) {
    std::string bytes(words.size() * 4, '\0');
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

// A distinct value for every register, so a word read from the wrong file
// or the wrong offset shows.
uint32_t Mark(uint32_t reg) {
    return 0xA5000000u ^ (reg * 0x9E3779B1u);
}

std::vector<uint32_t> Marks(uint32_t first, uint32_t count) {
    std::vector<uint32_t> words(count);
    for (uint32_t k = 0; k < count; ++k)
        words[k] = Mark(first + k);
    return words;
}

// A card folder with all four files at the sizes the sound driver gives them.
void WriteCard(const TempDir& dir) {
    for (const ApsCardFile& file : ApsCardFiles)
        dir.write(file.name, Words(Marks(file.first, file.count)));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The service's core on a thread of this process, serving the card folder.
class ServedCard {
  public:
    explicit ServedCard(const std::string& folder) {
        std::string error;
        chip_ = ProcChip::Open(folder, &error);
        if (!chip_)
            throw std::runtime_error(error);
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ApsServiceOptions options;
        options.socketPath = runtime_.path() + "/emuaps.vxd";
        service_ = std::make_unique<ApsService>(*chip_, options);
        if (std::string listen = service_->Listen(); !listen.empty())
            throw std::runtime_error(listen);
        thread_ = std::thread([this] { service_->Run(); });
    }
    ~ServedCard() {
        service_->Stop();
        thread_.join();
    }

  private:
    TempDir runtime_;
    std::unique_ptr<ProcChip> chip_;
    std::unique_ptr<ApsService> service_;
    std::thread thread_;
};

TEST(ProcChip, TheViewersReadsComeBackAsTheFilesSay) {
    TempDir card;
    WriteCard(card);
    ServedCard served(card.path());
    ASSERT_EQ(ifInitApsIo(), 0);

    std::vector<int32_t> gpr(512, -1);
    ASSERT_EQ(ifGPRMemoryReadAll(0x100, 512, gpr.data()), 0);
    for (uint32_t reg = 0x100; reg < 0x300; ++reg) {
        // TRAM data ends at 0x29F; 0x2A0-0x2FF are in no file.
        uint32_t expected = reg < 0x2A0 ? Mark(reg) : 0;
        ASSERT_EQ(static_cast<uint32_t>(gpr[reg - 0x100]), expected) << std::hex << reg;
    }
    std::vector<int32_t> tramAddr(256, -1);
    ASSERT_EQ(ifGPRMemoryReadAll(0x300, 256, tramAddr.data()), 0);
    for (uint32_t reg = 0x300; reg < 0x400; ++reg)
        ASSERT_EQ(static_cast<uint32_t>(tramAddr[reg - 0x300]), reg < 0x3A0 ? Mark(reg) : 0)
            << std::hex << reg;

    std::vector<MicrocodeInstruction> code(512);
    ASSERT_EQ(ifInstrMemoryReadAll(512, code.data()), 0);
    for (uint32_t i = 0; i < 512; ++i) {
        uint32_t low = Mark(0x400 + 2 * i), high = Mark(0x401 + 2 * i);
        ASSERT_EQ(code[i].Opcode, static_cast<int32_t>((high >> 20) & 0xF)) << i;
        ASSERT_EQ(code[i].R, static_cast<int32_t>((high >> 10) & 0x3FF)) << i;
        ASSERT_EQ(code[i].A, static_cast<int32_t>(high & 0x3FF)) << i;
        ASSERT_EQ(code[i].X, static_cast<int32_t>((low >> 10) & 0x3FF)) << i;
        ASSERT_EQ(code[i].Y, static_cast<int32_t>(low & 0x3FF)) << i;
    }

    // Registers outside the DSP's files, and a bit field of one inside.
    int32_t value = -1;
    ASSERT_EQ(ifGPRMemoryRead(0x52, &value), 0);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(ifGPRMemoryRead(0x08100123, &value), 0); // 8 bits at bit 16 of 0x123
    EXPECT_EQ(static_cast<uint32_t>(value), (Mark(0x123) >> 16) & 0xFF);
}

TEST(ProcChip, EveryReadSeesTheCardAsItIsNow) {
    TempDir card;
    WriteCard(card);
    ServedCard served(card.path());
    ASSERT_EQ(ifInitApsIo(), 0);
    int32_t value = 0;
    ASSERT_EQ(ifGPRMemoryRead(0x1FF, &value), 0);
    EXPECT_EQ(static_cast<uint32_t>(value), Mark(0x1FF));

    std::vector<uint32_t> changed = Marks(0x100, 0x100);
    changed[0xFF] = 0x12345678;
    card.write("fx8010_gpr", Words(changed));
    ASSERT_EQ(ifGPRMemoryRead(0x1FF, &value), 0);
    EXPECT_EQ(value, 0x12345678);
}

TEST(ProcChip, ShortFilesReadAsZeroPastTheirEndAndLongOnesStopAtTheirRange) {
    TempDir card;
    WriteCard(card);
    // Two whole words and half of a third.
    card.write("fx8010_gpr", Words({0x11111111, 0x22222222}) + std::string("\x33\x33", 2));
    card.write("fx8010_code", "");
    // A TRAM address file that runs on into 0x3A0 and beyond.
    card.write("fx8010_tram_addr", Words(Marks(0x300, 0x200)));
    std::string error;
    std::unique_ptr<ProcChip> chip = ProcChip::Open(card.path(), &error);
    ASSERT_TRUE(chip) << error;

    ApsChipPorts ports = chip->Ports();
    auto read = [&](uint32_t reg) {
        uint32_t value = 0xBAD;
        EXPECT_TRUE(ApsChipPortWrite(&ports, APS_PORT_POINTER, reg << 16));
        EXPECT_TRUE(ApsChipPortRead(&ports, APS_PORT_DATA, &value));
        return value;
    };
    EXPECT_EQ(read(0x100), 0x11111111u);
    EXPECT_EQ(read(0x101), 0x22222222u);
    uint32_t half = 0;
    std::memcpy(&half, "\x33\x33\0\0", 4);
    EXPECT_EQ(read(0x102), half) << "the missing bytes of a cut word are zero";
    EXPECT_EQ(read(0x103), 0u);
    EXPECT_EQ(read(0x1FF), 0u);
    EXPECT_EQ(read(0x400), 0u);
    EXPECT_EQ(read(0x7FF), 0u);
    EXPECT_EQ(read(0x39F), Mark(0x39F));
    EXPECT_EQ(read(0x3A0), 0u) << "no file holds 0x3A0, however long the TRAM file";
    EXPECT_EQ(read(0x200), Mark(0x200)) << "from the TRAM data file";
}

TEST(ProcChip, WritesFailAndLeaveTheFilesAlone) {
    TempDir card;
    WriteCard(card);
    std::string before = ReadFile(card.path() + "/fx8010_gpr");
    std::string error;
    std::unique_ptr<ProcChip> chip = ProcChip::Open(card.path(), &error);
    ASSERT_TRUE(chip) << error;

    ApsChipPorts ports = chip->Ports();
    auto send = [&](uint16_t function, uint16_t port, uint32_t value, uint32_t* out) {
        ApsIoRequest request = {function, port, value};
        uint8_t block[APS_REQUEST_SIZE];
        ApsPackRequest(&request, block);
        uint8_t reply[4] = {};
        bool ok = ApsCarryOutRequest(&ports, APS_IOCTL_CODE, block, sizeof block, reply,
                                     sizeof reply, nullptr);
        if (out)
            *out = ApsGet32(reply);
        return ok;
    };
    uint32_t read = 0;
    EXPECT_TRUE(send(APS_FN_WRITE_PORT, APS_PORT_POINTER, 0x01000000, nullptr))
        << "the pointer selects a register";
    EXPECT_TRUE(send(APS_FN_READ_PORT, APS_PORT_POINTER, 0, &read));
    EXPECT_EQ(read, 0x01000000u);
    EXPECT_FALSE(send(APS_FN_WRITE_PORT, APS_PORT_DATA, 0xDEADBEEF, nullptr));
    EXPECT_TRUE(send(APS_FN_READ_PORT, APS_PORT_DATA, 0, &read));
    EXPECT_EQ(read, Mark(0x100));

    // Through the library: whole registers, bit fields and instructions all
    // fail, and say so.
    ServedCard served(card.path());
    ASSERT_EQ(ifInitApsIo(), 0);
    int32_t value = 0x7777;
    EXPECT_EQ(ifGPRMemoryWrite(0x100, &value), 1);
    EXPECT_EQ(ifGPRMemoryWrite(0x04080100, &value), 1);
    MicrocodeInstruction instr = {6, 0x40, 0x40, 0x40, 0x40};
    EXPECT_EQ(ifInstrMemoryWrite(0, &instr), 1);
    EXPECT_EQ(ReadFile(card.path() + "/fx8010_gpr"), before);
    EXPECT_EQ(ReadFile(card.path() + "/fx8010_code"), Words(Marks(0x400, 0x400)));
    ASSERT_EQ(ifGPRMemoryRead(0x100, &value), 0);
    EXPECT_EQ(static_cast<uint32_t>(value), Mark(0x100));
}

TEST(ProcChip, AFolderItCannotReadIsRefusedWithTheFileAndTheReason) {
    TempDir card;
    std::string error;
    EXPECT_FALSE(ProcChip::Open(card.path() + "/card9", &error));
    EXPECT_EQ(error, "cannot read " + card.path() + "/card9/fx8010_gpr: No such file or directory");

    WriteCard(card);
    std::remove((card.path() + "/fx8010_code").c_str());
    EXPECT_FALSE(ProcChip::Open(card.path(), &error));
    EXPECT_EQ(error, "cannot read " + card.path() + "/fx8010_code: No such file or directory");

    ASSERT_EQ(mkdir((card.path() + "/fx8010_code").c_str(), 0755), 0);
    EXPECT_FALSE(ProcChip::Open(card.path(), &error));
    EXPECT_EQ(error, "cannot read " + card.path() + "/fx8010_code: it is a folder");

    // A FIFO would make the open wait for a writer that never comes.
    ASSERT_EQ(rmdir((card.path() + "/fx8010_code").c_str()), 0);
    ASSERT_EQ(mkfifo((card.path() + "/fx8010_code").c_str(), 0600), 0);
    EXPECT_FALSE(ProcChip::Open(card.path(), &error));
    EXPECT_EQ(error, "cannot read " + card.path() + "/fx8010_code: it is a FIFO");
}

// The real emuapsd with --card, to its end: its exit status, its log in log.
int RunEmuapsd(const TempDir& dir, const std::vector<std::string>& args, std::string* log) {
    EmuapsdRun run = RunEmuapsdToEnd(dir, args);
    *log = run.log;
    return run.status;
}

TEST(EmuapsdCard, RefusesACardItCannotReadAndOptionsThatDoNotFit) {
    TempDir dir;
    std::string log;
    EXPECT_EQ(RunEmuapsd(dir, {"--card", "4", "--proc-dir", dir.path() + "/none"}, &log), 1);
    EXPECT_NE(log.find("card 4: cannot read " + dir.path() + "/none/fx8010_gpr"), log.npos) << log;
    struct stat st;
    EXPECT_NE(stat((dir.path() + "/emuaps.vxd").c_str(), &st), 0) << "no socket for a bad card";

    EXPECT_EQ(RunEmuapsd(dir, {"--card", "0", "--image", "x.chip"}, &log), 2) << log;
    EXPECT_EQ(RunEmuapsd(dir, {"--card", "-1"}, &log), 2) << log;
    EXPECT_EQ(RunEmuapsd(dir, {"--card", "256"}, &log), 2) << log;
    EXPECT_EQ(RunEmuapsd(dir, {"--proc-dir", dir.path()}, &log), 2) << log;
}

TEST(EmuapsdCard, ServesTheCardFolderToTheLibrary) {
    TempDir dir;
    TempDir card;
    WriteCard(card);
    std::string program = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
    std::string folder = card.path();
    std::string runtime = "XDG_RUNTIME_DIR=" + dir.path();
    char* argv[] = {program.data(), const_cast<char*>("--card=2"), const_cast<char*>("--proc-dir"),
                    folder.data(), nullptr};
    char* envp[] = {runtime.data(), nullptr};
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execve(program.c_str(), argv, envp);
        _exit(127);
    }
    std::string socket = dir.path() + "/emuaps.vxd";
    struct stat st {};
    for (int i = 0; i < 5000 && stat(socket.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(S_ISSOCK(st.st_mode)) << "emuapsd --card=2 did not start";

    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(ifInitApsIo(), 0);
    int32_t tram[2] = {};
    EXPECT_EQ(ifGPRMemoryReadAll(0x29F, 2, tram), 0);
    EXPECT_EQ(static_cast<uint32_t>(tram[0]), Mark(0x29F));
    EXPECT_EQ(tram[1], 0);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// chipimage --card saves what emuapsd --card would serve, as a dump that
// emuapsd --image loads; a card it cannot read leaves no file.
TEST(ChipimageCard, SavesTheCardAsARegisterDumpThatLoadsAsAnImage) {
    TempDir card;
    WriteCard(card);
    TempDir dir;
    const std::string program = std::string(VELMORA_PROGRAM_DIR) + "/chipimage";
    const std::string out = dir.path() + "/card.bin";
    const std::string log = dir.path() + "/chipimage.log";
    auto chipimage = [&](const std::string& args) {
        int status = std::system(("'" + program + "' " + args + " 2>'" + log + "'").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(chipimage("--card 3 --proc-dir '" + card.path() + "' '" + out + "'"), 0)
        << ReadFile(log);
    ChipImageResult saved = LoadChipImageFile(out);
    ASSERT_TRUE(saved.image) << saved.describe();
    for (uint32_t reg = 0; reg < kChipRegisterCount; ++reg)
        ASSERT_EQ(saved.image->registers[reg], ApsCardFileOf(reg) >= 0 ? Mark(reg) : 0u)
            << std::hex << reg;

    const std::string none = dir.path() + "/none.bin";
    EXPECT_EQ(chipimage("--card 3 --proc-dir '" + dir.path() + "/card9' '" + none + "'"), 1);
    EXPECT_NE(ReadFile(log).find("card 3: cannot read " + dir.path() + "/card9/fx8010_gpr"),
              std::string::npos)
        << ReadFile(log);
    struct stat st;
    EXPECT_NE(stat(none.c_str(), &st), 0);
}

// The later chip's driver publishes larger files over another register map:
// read with the EMU10K1's, it would show a wrong chip.
TEST(EmuapsdCard, RefusesALaterChipThanTheEmu10k1) {
    TempDir dir;
    TempDir card;
    WriteCard(card);
    card.write("fx8010_gpr", Words(Marks(0x100, 0x200)));
    std::string log;
    EXPECT_EQ(RunEmuapsd(dir, {"--card", "1", "--proc-dir", card.path()}, &log), 1);
    EXPECT_NE(
        log.find("only the EMU10K1 is supported: " + card.path() + "/fx8010_gpr holds 2048 bytes"),
        log.npos)
        << log;

    WriteCard(card);
    card.write("fx8010_code", Words(Marks(0x400, 0x800)));
    std::string error;
    EXPECT_FALSE(ProcChip::Open(card.path(), &error));
    EXPECT_NE(error.find("/fx8010_code holds 8192 bytes, an EMU10K1's 4096"), error.npos) << error;
}

} // namespace
