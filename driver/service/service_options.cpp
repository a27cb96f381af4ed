#include "service_options.h"

#include "dsp_signals.h"
#include "fx8010_interpreter.h"
#include "hex_number.h"
#include "history_recorder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr double kMaxRenderSeconds = 86400;
constexpr int kMinLatencyMs = 4, kMaxLatencyMs = 1000;

const std::string kRecordUsage =
    "--record takes registers the DSP computes (outputs 0x20 to 0x3F, GPRs, TRAM data), by "
    "number or by the loaded program's names, separated by commas (such as 0x20,fb): ";

// "0x20,fb": the items in order, each a word and named once; the numbers
// among them checked now, the names once the patch is loaded.
std::string ParseRecordList(const std::string& text, ServiceOptions* o) {
    o->recordList.clear();
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == text.npos ? text.npos : comma - start);
        if (item.empty() || item.find_first_of(" \t\r\n") != item.npos)
            return kRecordUsage + ("'" + item + "' is not one");
        o->recordList.push_back(item);
        if (comma == text.npos)
            return ResolveRecordList(o->recordList, nullptr, &o->record);
        start = comma + 1;
    }
}

// Seconds to render, a decimal number above 0 and at most a day, as samples.
bool ParseRenderSeconds(const std::string& text, int64_t* samples) {
    double seconds = 0;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !(seconds > 0) ||
        seconds > kMaxRenderSeconds)
        return false;
    *samples = std::llround(seconds * kChipSampleRate);
    return *samples > 0;
}

} // namespace

bool ParseCard(const std::string& text, int* card) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    *card = std::stoi(text);
    return *card < 256;
}

ParsedOptions ParseServiceOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    ServiceOptions& o = parsed.options;
    auto mistake = [&](const std::string& what) {
        parsed.action = ParsedOptions::Action::Mistake;
        parsed.mistake = what;
        return parsed;
    };
    // "--name value" or "--name=value"; value is set when arg is the option.
    auto valued = [&](std::size_t& i, const std::string& name, std::string* value) {
        const std::string& arg = args[i];
        if (arg == name && i + 1 < args.size()) {
            *value = args[++i];
            return true;
        }
        if (arg.starts_with(name + "=")) {
            *value = arg.substr(name.size() + 1);
            return true;
        }
        return false;
    };
    bool recordGiven = false, formatGiven = false, latencyGiven = false;
    std::string value, renderSeconds;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.action = ParsedOptions::Action::Help;
            return parsed;
        } else if (arg == "--version") {
            parsed.action = ParsedOptions::Action::Version;
            return parsed;
        } else if (valued(i, "--image", &o.imagePath) || valued(i, "--patch", &o.patchPath) ||
                   valued(i, "--names", &o.namesPath) || valued(i, "--proc-dir", &o.procFolder) ||
                   valued(i, "--input", &o.inputPath) || valued(i, "--output", &o.outputPath)) {
            continue;
        } else if (arg == "--run") {
            o.run = true;
        } else if (arg == "--reload-on-change") {
            o.reloadOnChange = true;
        } else if (arg == "--once") {
            o.once = true;
        } else if (valued(i, "--card", &value)) {
            if (!ParseCard(value, &o.card))
                return mistake("--card takes a card number from 0 to 255");
        } else if (valued(i, "--record", &value)) {
            recordGiven = true;
            if (std::string wrong = ParseRecordList(value, &o); !wrong.empty())
                return mistake(wrong);
        } else if (valued(i, "--format", &value)) {
            formatGiven = true;
            if (value == "float")
                o.format = WavSampleFormat::Float32;
            else if (value == "pcm16")
                o.format = WavSampleFormat::Pcm16;
            else
                return mistake("--format takes float or pcm16, not '" + value + "'");
        } else if (arg == "--play" || arg.starts_with("--play=")) {
            o.playPcm = arg == "--play" ? "default" : arg.substr(7);
            if (o.playPcm.empty())
                return mistake("--play=PCM takes the name of an ALSA PCM, such as default");
        } else if (arg == "--capture" || arg.starts_with("--capture=")) {
            o.capturePcm = arg == "--capture" ? "default" : arg.substr(10);
            if (o.capturePcm.empty())
                return mistake("--capture=PCM takes the name of an ALSA PCM, such as default");
        } else if (valued(i, "--latency", &value)) {
            latencyGiven = true;
            auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), o.latencyMs);
            if (ec != std::errc() || end != value.data() + value.size() ||
                o.latencyMs < kMinLatencyMs || o.latencyMs > kMaxLatencyMs)
                return mistake("--latency takes the milliseconds of sound the device holds, from " +
                               std::to_string(kMinLatencyMs) + " to " +
                               std::to_string(kMaxLatencyMs));
        } else if (valued(i, "--engine", &value)) {
            if (value != "fast" && value != "reference")
                return mistake("--engine takes fast or reference, not '" + value + "'");
            o.referenceEngine = value == "reference";
        } else if (valued(i, "--history", &value)) {
            auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), o.historySeconds);
            const double most = MaxHistorySeconds();
            if (ec != std::errc() || end != value.data() + value.size() ||
                !(o.historySeconds >= 0 && o.historySeconds <= most))
                return mistake("--history takes the seconds of the chip's past to keep, from 0 "
                               "(none) to " +
                               std::to_string(int(most)) + " (what memory allows)");
        } else if (valued(i, "--render", &renderSeconds)) {
            if (!ParseRenderSeconds(renderSeconds, &o.renderSamples))
                return mistake("--render takes the seconds to render, a number above 0 and at "
                               "most 86400, such as 60 or 2.5");
        } else {
            return mistake("unknown or incomplete option " + arg);
        }
    }
    const bool render = o.renderSamples > 0;
    const bool play = !o.playPcm.empty();
    const bool capture = !o.capturePcm.empty();
    if (capture && (o.card >= 0 || render || !o.inputPath.empty()))
        return mistake(std::string("--capture feeds the running chip from a sound device; not "
                                   "with ") +
                       (o.card >= 0 ? "--card, which serves a real card"
                        : render    ? "--render, which runs faster than a device captures"
                                    : "--input, which feeds it from a file"));
    if (capture && !o.run)
        return mistake("--capture feeds the running chip: add --run");
    if (o.card >= 0 && (!o.imagePath.empty() || !o.patchPath.empty() || o.run || render ||
                        !o.inputPath.empty() || !o.outputPath.empty() || play))
        return mistake("--card serves a real card; --image, --patch, --run, --render, --input, "
                       "--output and --play are for the simulated chip");
    if (!o.namesPath.empty() && o.patchPath.empty())
        return mistake("--names goes with --patch: it names that patch's registers");
    if (!o.procFolder.empty() && o.card < 0)
        return mistake("--proc-dir goes with --card");
    if (render && o.run)
        return mistake("--render runs the chip offline and --run in real time; choose one");
    if (render && play)
        return mistake("--render runs the chip offline, faster than a sound device plays; "
                       "--play goes with --run");
    if (play && !o.run)
        return mistake("--play plays the running chip: add --run");
    if (latencyGiven && !play && !capture)
        return mistake("--latency goes with --play or --capture");
    if (render && o.outputPath.empty())
        return mistake("--render writes its outputs to the file that --output names");
    if ((!o.inputPath.empty() || !o.outputPath.empty()) && !o.run && !render)
        return mistake("--input and --output are for a running chip: add --run or --render");
    if (o.once && o.inputPath.empty())
        return mistake("--once goes with --input");
    if (recordGiven && o.outputPath.empty() && !play)
        return mistake("--record goes with --output or --play");
    if (formatGiven && o.outputPath.empty() && !play && !capture)
        return mistake("--format goes with --output, --play or --capture");
    if (render && o.renderSamples > MaxWavFrames(int(o.recordList.size()), o.format))
        return mistake("--render " + renderSeconds + " is too long for one WAV file of " +
                       std::to_string(o.recordList.size()) + " channels: a WAV file holds 4 GiB");
    return parsed;
}

std::string ResolveRecordList(const std::vector<std::string>& list, const RegisterNames* names,
                              std::vector<uint32_t>* record) {
    record->clear();
    for (const std::string& item : list) {
        std::string why;
        const std::optional<uint32_t> reg =
            (names ? *names : RegisterNames()).Find(item, RegisterSpace::Operands, &why);
        if (!reg && !names)
            continue;
        if (!reg)
            return kRecordUsage + why;
        if (const std::string no = WhyNoSignal(*reg); !no.empty())
            return kRecordUsage + "'" + item + "'" + no;
        if (std::find(record->begin(), record->end(), *reg) != record->end())
            return kRecordUsage + "'" + item + "' is in the list already";
        record->push_back(*reg);
    }
    return "";
}

std::string OutputsText(const ServiceOptions& options) {
    std::string text;
    for (uint32_t reg : options.record) {
        if (!text.empty())
            text += ',';
        text += HexNumber(reg, 2);
    }
    return text;
}

std::string RecordingText(const ServiceOptions& options) {
    return OutputsText(options) + " to " + options.outputPath +
           (options.format == WavSampleFormat::Float32 ? " (32-bit float)" : " (16-bit PCM)");
}

static_assert(HistoryRecorder::kSampleRate == kChipSampleRate);

double MaxHistorySeconds() {
    const double memory = double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGESIZE));
    return memory / 2 /
           double(HistoryRecorder::RingBytes(kChipSampleRate, HistoryRecorder::kMaxKept));
}

int64_t HistorySamples(const ServiceOptions& options) {
    return std::llround(options.historySeconds * kChipSampleRate);
}

std::string ServiceHelp() {
    return R"(Usage: emuapsd [OPTION]...
Stand in for the EMU10K1 sound card's driver on Linux: serve a simulated
EMU10K1, or a real card, to programs that use the Zendra library (Velmora).

The service listens on $XDG_RUNTIME_DIR/emuaps.vxd (or
/tmp/emuaps-UID/emuaps.vxd) and lets one program of the same user hold the
device at a time. Opening the device hands that program the chip, so its
reads and writes run in its own thread. Beside it, emuaps.ctl takes the
requests of emuapsctl (stop, step, watch, set...) for the simulated chip.

The simulated chip:
      --image=FILE     start from the chip image FILE: the text form, or a
                       register dump of exactly 8192 bytes (at most 1 MiB);
                       without it every register is 0
      --patch=PATCH    place the as10k1 patch PATCH (.emu10k1, at most 2 MiB)
                       beside the image's program, in free registers, TRAM
                       and code; the names of its control GPRs land in
                       the program's symbol file (below). PATCH may be
                       as10k1 source instead (named .asm, or text that is
                       no patch): emuapsd runs as10k1 (Debian's alsa-tools)
                       on it in a temporary folder and takes the patch, all
                       its names and the line that made each instruction,
                       which answers then name; that map is written beside
                       the socket as emuaps.lines. Not with --names
      --names=DUMP     with --patch: every name of as10k1's debug dump of the
                       patch (as10k1 -d gti -o PATCH ASM > DUMP; GPRs, delay
                       lines, TRAM accesses) lands there too. A dump of
                       another patch is refused with the reason; at start
                       the patch is loaded all the same, while a reload is
                       refused whole and the chip keeps its program and names
      --run            execute the microcode 48,000 times a second, with a
                       test signal on the effects bus
      --reload-on-change reload, as SIGHUP does, each time FILE, PATCH or
                       DUMP is saved (watched with inotify)
      --history=SECONDS keep the last SECONDS (default 10; 0 keeps none) of
                       every register the DSP can change, sample by sample,
                       however the chip runs, for emuapsctl trace; at most
                       what a program writing every register would hold in
                       half the memory. A reload starts it afresh. The log
                       says the memory each program's history takes, with
                       a warning from 512 MiB on; memory that cannot be
                       had leaves the history off, as trace then says,
                       and the chip runs on
      --engine=ENGINE  how the simulated chip executes its microcode: fast (the
                       default) or reference, the plain interpreter the fast
                       one is checked against; both give the same samples,
                       registers and stops, the reference one slower

Sound in and out of the simulated chip (with --run or --render):
      --input=WAV      feed the effects bus from WAV instead of the test
                       signal: a WAV file (or another form libsndfile reads)
                       at 48000 Hz with 1 to 16 channels; channel n drives
                       effects bus input n, the other inputs are silent.
                       WAV loops; another sample rate is refused
      --once           play WAV once, then leave the effects bus silent
      --output=OUT     record the registers of --record into the WAV file OUT at
                       48000 Hz, from the chip's first sample until it
                       stops; OUT is a whole WAV file at any moment, also
                       after SIGINT or SIGTERM
      --record=LIST    the registers to record, one a channel, in order,
                       separated by commas (default 0x20,0x21, front left
                       and right): any the DSP computes, an output (0x20 to
                       0x3F), a GPR (0x100 to 0x1FF) or a TRAM data register
                       (0x200 to 0x2FF, its 20-bit sample at full scale), by
                       number or by a name of the loaded program (as
                       emuapsctl's verbs take them, from --patch, --names
                       and Symbols/8010.d), such as fb,wl; names are
                       resolved once at start, and a reload keeps the
                       registers
      --format=FORMAT  float: 32-bit float samples, the registers' values as
                       fractions of full scale (default); pcm16: 16-bit PCM,
                       the top 16 bits of each value
      --render=SECONDS run the chip offline, as fast as it goes, for SECONDS
                       (above 0, at most 86400) from its image, write OUT and
                       exit; no device is served. Needs --output. On a
                       terminal, standard error shows the progress

Hearing and playing into the running chip (with --run):
      --play[=PCM]     play the registers of --record through the ALSA
                       PCM named PCM (default: default, which on a desktop is
                       PipeWire or PulseAudio), at 48000 Hz as FLOAT_LE
                       (--format=float) or S16_LE (pcm16). The device's clock
                       then paces the chip: it runs a period each time the
                       device has room for one. A device that refuses the
                       rate, the format or the channels is refused with its
                       own words; nothing is resampled. --record and
                       --format apply; OUT holds exactly what was played. Underruns are recovered and said at
                       most once a second; a device that goes away is said
                       once, and the chip goes on by the system clock
      --capture[=PCM]  feed the effects bus from the ALSA capture PCM named
                       PCM (default: default) instead of the test signal:
                       its 2 channels drive inputs 0x00 and 0x01, at 48000
                       Hz as FLOAT_LE or S16_LE (--format). Without --play
                       its clock paces the chip; with --play the chip runs
                       each period the playback has room for on the frames
                       captured for it, and the drift between two cards is
                       kept by dropping or repeating whole frames, counted.
                       Each sample hears the next frame captured, also those
                       that advance, watch and break run; what arrives while
                       the chip stands is dropped. A device without a clock
                       of its own (null, a file) is read as the chip begins
                       each sample, on the clock of --play or the system's,
                       and never corrected. A device that refuses the
                       rate, the format or 2 channels is refused with its own
                       words; one that goes away is said once, and the chip
                       goes on with a silent input. Not with --input
      --latency=MS     the sound the devices hold, in milliseconds (4 to
                       1000, default 20); a period is a quarter of it. The
                       round trip from --capture to --play is the buffer and
                       three periods (35 ms with the default)

A real card:
      --card=N         serve the EMU10K1 of ALSA card N instead, read-only,
                       through /proc/asound/cardN/fx8010_*; a later chip is
                       refused

      --help           show this help and exit
      --version        show the version and exit

The program's symbol file: what --patch placed, by name, in the format of
Velmora's Symbols/8010.d, at $XDG_RUNTIME_DIR/emuaps.d (or beside the
fallback socket). It is replaced at every load and reload, and removed when
the service ends; the viewer reads it at start and at each F5.

Signals: SIGHUP reloads FILE, PATCH and DUMP between two samples, keeping by
name the registers, delay lines and history that carry over (a file that does
not load, or a DUMP that no longer fits PATCH, leaves the chip as it was,
names and all; the log says what was kept and what moved); SIGINT and SIGTERM end the service at any time, and a
render too, each with OUT finished up to the last sample run.

Started by systemd for its user socket unit (emuapsd.socket), the service
serves on the socket handed over to it (the LISTEN_FDS protocol) and leaves
that socket to systemd. Its options then come from EMUAPSD_OPTIONS, which
~/.config/velmora/emuapsd.env may set; the default is the demo chip running
the demo patch.

Exit status: 0 after SIGINT or SIGTERM, and after a whole render; 1 when the
chip, the socket, a sound file or the sound device cannot be set up, or a
render was stopped or could not be written; 2 for a mistake on the command
line, such as a --record name the loaded program does not have.
)";
}
