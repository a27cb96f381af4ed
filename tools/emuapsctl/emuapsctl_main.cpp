// emuapsctl: stops, steps, watches and sets the simulated chip that emuapsd
// serves, while another program (the viewer) holds its device.
#include "control_client.h"
#include "list_source.h"
#include "program_version.h"
#include "reply_text.h"
#include "verb_words.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char kHelp[] = R"(Usage: emuapsctl VERB [ARGUMENT]...
Debug the simulated EMU10K1 that emuapsd serves: stop its DSP, step it one
instruction or advance it whole samples, run it until a register changes or
an instruction is reached, and read or set its registers, also while the
viewer holds the device. Each verb answers one line.

Verbs:
  status               what the chip is doing (running, running a client's
                       'watch wl', stopped or standing), samples executed,
                       the step address, the condition codes, a saturation
                       and where, what is loaded, its pace (the samples it
                       ran over the last second, from the first block in it
                       to the last, as a multiple of real time; counted
                       afresh from 30 ms after a stand; 0.00x while it
                       stands), and with --play the underruns
  stop                 stop the DSP (single-step mode in its debug register),
                       ending a verb that runs it; answered once that verb
                       has let go of the chip
  continue             let it run again; a sample stopped part way is finished
                       first
  step                 execute the next instruction where the chip stands;
                       say its result register and codes
  step ADDR            execute the one instruction at ADDR, out of program
                       order, as DBG's step does (step 3 runs instruction 3
                       once, not three steps); the chip then stands after it
  step --count N       execute N instructions (1 to 51200) in program order
                       from where the chip stands, on across sample ends;
                       say the last one's result and codes, how many samples
                       ended, and where the chip stands
  advance [N]          run N whole samples (default 1), then stand again
  watch OPERAND... [--for SECONDS]
                       run until an instruction changes one of the DSP's
                       operands (0 to 0x3FF, as the DSP sees them); stop
                       right after it and say which, its old and new value,
                       the instruction and the sample
  watch OPERAND --above V | --below V | --equals V | --crosses V
        [--for SECONDS]
                       run until an instruction writes OPERAND (an output, a
                       GPR or a TRAM data register) and leaves it above,
                       below or equal to V, or makes it cross V: from below
                       V to V or above, or from above V to V or below, its
                       value before the instruction against the one after.
                       Only an instruction's write counts: a value that
                       already meets it waits for the next write, and the
                       first write that meets it stops the run. V is read
                       as set reads a value (see VALUES below), in the
                       register's own scale (a TRAM data register's 20-bit
                       sample). Stop right after it and say the values, the
                       instruction and the sample
  break ADDR... [--for SECONDS]
                       run until the DSP is about to execute one of these
                       instructions and stop there; a following step
                       executes it
  break FILE:LINE... | LINE... [--for SECONDS]
                       when the program came as its as10k1 source (emuapsd
                       --patch X.asm): stop before the first instruction
                       that line made (LINE alone is a line of the program's
                       own file); a line that made none is refused with the
                       nearest lines that did
  break --saturation [ADDR...] [--for SECONDS]
                       run until an instruction saturates (its sum clipped,
                       or a wrapping one wrapped: the saturation code), stop
                       right after it and say the instruction, the sample,
                       its result register and the value it left
  back [N]             go back N samples (default 1) in the chip's past, to
                       the same instruction, and stand there; advance and
                       continue then replay what happened, host writes
                       included, and a set there forks the past
  goto SAMPLE          stand at the start of any sample the past holds
  step --back          go back one instruction, on across a sample's start
  watch OPERAND --back [--above V | --below V | --equals V | --crosses V]
  break --saturation --back
                       stand right after the last instruction before where
                       the chip stands that met the condition, and say it
                       as the forward verb does
  get REG...           each register as hex, integer and fraction; a TRAM
                       data register as its 20-bit sample; then, after a
                       colon, in the program's units (UNITS below)
  set REG VALUE        write a GPR, a TRAM register or DBG (0x52), running or
                       not; VALUE is read as VALUES below says.
                       Says where the DSP meets it: the next instruction that
                       reads it from where the chip stands, on into the next
                       sample; one that overwrites it first; the delay line
                       as the sample ends; or that no instruction reads it
  reload               load the chip image and patch afresh, as SIGHUP does,
                       and say what became of the names (moved, new, gone);
                       refused when a file does not load or the dump
                       (emuapsd --names) no longer fits the patch, and the
                       chip keeps its program and names
  trace OPERAND... [--last SECONDS | --samples N] [--to FILE]
                       the chip's recent past that emuapsd keeps (its
                       --history), each OPERAND once: without FILE, each
                       register's minimum, maximum and RMS as fractions of
                       full scale and the sample of its peak, a line each,
                       64 registers at most; with FILE, the service writes
                       it whole: WAV, float32, a channel a register as a
                       fraction of full scale (a TRAM data register's
                       sample of 2^19), or CSV (the sample number, then a
                       column each) when FILE ends in .csv. FILE is any
                       path, relative to here; a symbolic link is written
                       through to the file it names, an existing file
                       keeps its mode, and one the user may not write, or
                       in a folder they may not write in, is refused. By
                       default all that is held; more than is held gives
                       what there is, and says so. One trace takes at most
                       33554432 values (registers x samples), the newest,
                       and says so when that is fewer. A register the
                       history does not keep (an input, a constant, one no
                       instruction writes) is refused with the reason
  samples FROM OPERAND...
                       for the scope: up to 4 operands' history from sample
                       FROM (since the load) to the newest; here a summary
                       of what came (first, count, at, state), not the
                       samples themselves
  controls             the loaded patch's control GPRs: name, address, value
                       as hex and in its unit with the patch's range (UNITS
                       below), then that range's words
  clear                forget DBG's recorded saturation, so the next one is
                       recorded; the rest of DBG stays as it is
  list [LINE | FILE:LINE]
                       ten lines of the program's as10k1 source around the
                       line the chip executes next (marked =>), or around
                       LINE; from the map emuapsd writes beside its socket
                       (emuaps.lines) when its --patch is a source
  tram POOL FIRST COUNT
                       read COUNT samples (1 to 65536) of the internal or
                       external TRAM pool from sample FIRST, for the debug
                       adapter's memory view; here the answer's line, not
                       the samples themselves

A register (REG) is a chip register from 0 to 0x7FF; an OPERAND is one of
the DSP's. The two are the same registers only from 0x100 up: below it,
operand 0x52 is the constant 0xC0000000 and chip register 0x52 is DBG. Each
is a number, hexadecimal with 0x or decimal, or a name that emuapsd resolves
in the verb's own space: DBG (a chip register), the names of the program it
placed (its emuaps.d, from --patch and --names) and those of the viewer's
Symbols/8010.d. A name of the other space is refused by name ("C_C0000000 is
a DSP constant, not a chip register"), and an unknown one, while the service
has no names from a dump, with where they come from ("no register is called
fl; names come with emuapsd --names DUMP"). Answers name what they read, as
"fb (0x106) = ...".

VALUES (set's, and watch's V) are read by their form: with 0x, the register's
word in hex (0x40000000); a decimal integer without a point, that integer
(-5, 1073741824); with a decimal point, a fraction of full scale from -1.0
to 1.0 (0.5, -0.25; 1.0 is the largest word, 0x7FFFFFFF, and -1.0 is
0x80000000). A TRAM data register takes its 20-bit sample in each form (1.0
is 0x7FFFF). So 1 is the integer 1, and only 1.0 is full scale: for a bare
1 or -1 the answer says how it was read ("read 1 as the integer 1; 1.0 is
full scale"). A value outside the range that the patch declares for a
control is written all the same, and the answer says so with the range
("outside rate's range 0 to 0.002").

UNITS: the loaded program says what a register is. A TRAM address register
(0x300-0x3FF, a tread or twrite) shows its flags and its address in samples
and in ms at 48 kHz: read, 190 samples (3.96 ms). A control that as10k1
declared with & (a delay time; its range is whole samples) shows samples and
ms: 384 samples (8 ms) in 192 to 576 samples (4 to 12 ms). Any other
control shows its fraction at the decimals its range needs for its ends to
differ: 0.500 in 0.000 to 0.900. set takes a delay time or an address in ms or
in samples, written on the number: 8ms, 8.5ms, 384smp (a bare 0.3 stays a
fraction, and 0.3s is refused). A delay time outside its control's range,
an address beyond 1048575 samples and ms or smp for any other register are
refused; an address keeps its flags. A time in ms is rounded to the nearest
sample.

watch and break run the chip as fast as it goes, for at most SECONDS of the
chip's own time (default 10), and leave it stopped; --for may come before or
after the other options. Instruction addresses
are hexadecimal with 0x, or decimal; while a source is loaded a bare decimal
is a line, and every answer that names an instruction adds the line that
made it: "stepped 0x004 echo.asm:16 macs wl,mono,rl,fb: R wl (0x280) ...". A service serving a real card (--card)
answers every verb that a real card is read-only here, and trace, samples,
back, goto and the --back verbs that it keeps no history.

One verb that runs the chip (continue, step, advance, watch, break, reload)
runs at a time: while another client's does, one is refused. status, get,
set, trace, samples, controls and clear are answered meanwhile, and stop ends the verb that runs, which then says
so and leaves the chip stopped where it got to. So does an emuapsctl that is
interrupted.

emuapsctl gives up on a service that has not answered within 5 seconds (a
stopped or stuck one), with status 1; for watch and break within SECONDS
plus 5, for advance within N/48000 seconds plus 5.

The service is found at $XDG_RUNTIME_DIR/emuaps.ctl (or
/tmp/emuaps-UID/emuaps.ctl) and serves only its own user.

      --help     show this help and exit
      --version  show the version and exit

Exit status: 0 when the verb was done; 1 when it was refused (the reason is
said) or the service cannot be reached; 2 for a usage mistake.
)";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--version") {
            std::cout << VersionLine("emuapsctl") << "\n";
            return 0;
        }
        // The service writes trace's file: it gets the path from here.
        const bool traceFile = words.size() > 1 && words[0] == "trace" && words.back() == "--to";
        if (!traceFile || arg.starts_with('/')) {
            words.push_back(arg);
            continue;
        }
        std::error_code error;
        const std::filesystem::path path = std::filesystem::absolute(arg, error);
        if (error) {
            std::cerr << "emuapsctl: " << arg << ": no working folder to find it in ("
                      << error.message() << ")\n";
            return 1;
        }
        words.push_back(path.string());
    }
    if (words.empty()) {
        std::cerr << "emuapsctl: no verb\nTry 'emuapsctl --help'.\n";
        return 2;
    }
    if (words[0] == "list")
        return ListSource(words);
    const ControlReply reply = AskService(RequestLine(words));
    if (reply.status == 0 && words[0] == "trace") {
        // Its span, then a line each register.
        for (std::size_t from = 0, at = 0; from != std::string::npos; from = at) {
            at = reply.text.find("; ", from);
            std::cout << reply.text.substr(from, at - from) << "\n";
            at = at == std::string::npos ? at : at + 2;
        }
    } else if (reply.status == 0) {
        std::cout << ShownReply(words[0], reply.text) << "\n";
    } else {
        std::cerr << "emuapsctl: " << reply.text << "\n";
        if (reply.status == 2)
            std::cerr << "Try 'emuapsctl --help'.\n";
    }
    return reply.status;
}
