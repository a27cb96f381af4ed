// emuapsd: the driver service that stands in for the sound card's driver on
// Linux. It serves a simulated EMU10K1 loaded from a chip image (SIGHUP
// reloads the image) or, with --card, a real card read through the sound
// driver's register files. SIGTERM and SIGINT end the service.
#include "aps_service.h"
#include "as10k1_source.h"
#include "chip_load.h"
#include "control_server.h"
#include "dsp_runner.h"
#include "file_watch.h"
#include "fx8010_interpreter.h"
#include "history_recorder.h"
#include "loaded_program.h"
#include "names_note.h"
#include "operand_names_file.h"
#include "placed_names.h"
#include "proc_chip.h"
#include "program_symbols_file.h"
#include "program_version.h"
#include "reload_swap.h"
#include "reload_verdict.h"
#include "render_mode.h"
#include "service_audio.h"
#include "service_options.h"
#include "simulated_chip.h"
#include "socket_activation.h"
#include "socket_folder.h"
#include "socket_path.h"
#include "source_map_file.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const int kLoadDone = SIGUSR1;
// The serving thread could not serve on: the whole service ends.
const int kServingFailed = SIGUSR2;

// Each line of text is one line of the log.
void Say(const std::string& text) {
    std::size_t start = 0;
    do {
        const std::size_t end = text.find('\n', start);
        std::cerr << "emuapsd: " << text.substr(start, end - start) << std::endl;
        start = end == std::string::npos ? end : end + 1;
    } while (start < text.size());
}

// The service on the socket handed over by socket activation, or on one of
// its own at the socket path; null (having said why) when it cannot listen.
std::unique_ptr<ApsService> StartService(ChipBackend& chip, int activatedFd) {
    ApsServiceOptions options;
    options.log = Say;
    if (activatedFd >= 0) {
        auto service = std::make_unique<ApsService>(chip, options);
        service->Adopt(activatedFd);
        Say("listening on the socket handed over by socket activation");
        return service;
    }
    std::string error;
    const std::string path = ReadySocketPath(ZendraSocketPath, "the socket path", &error);
    if (!error.empty()) {
        Say(error);
        return nullptr;
    }
    options.socketPath = path;
    auto service = std::make_unique<ApsService>(chip, options);
    if (error = service->Listen(); !error.empty()) {
        Say(error);
        return nullptr;
    }
    Say("listening at " + path);
    return service;
}

int Serve(int argc, char** argv) {
    ParsedOptions parsed = ParseServiceOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
    case ParsedOptions::Action::Help:
        std::cout << ServiceHelp();
        return 0;
    case ParsedOptions::Action::Version:
        std::cout << VersionLine("emuapsd") << "\n";
        return 0;
    case ParsedOptions::Action::Mistake:
        std::cerr << "emuapsd: " << parsed.mistake << "\nTry 'emuapsd --help'.\n";
        return 2;
    case ParsedOptions::Action::Serve:
        break;
    }
    // Taken before anything else opens a file, and even when it is unfit, so
    // that the protocol's variables never reach a child.
    const ActivatedSocket activated = TakeActivatedSocket();
    if (!activated.error.empty()) {
        Say(activated.error);
        return 1;
    }
    const ServiceOptions& o = parsed.options;
    if (o.referenceEngine)
        Fx8010Interpreter::SetDefaultEngine(Fx8010Engine::kReference);
    const std::string& imagePath = o.imagePath;
    const std::string& patchPath = o.patchPath;
    const std::string& namesPath = o.namesPath;
    const int card = o.card;
    // A second service refuses before it loads, places or plays anything.
    if (activated.fd < 0 && o.renderSamples == 0)
        if (std::string other = AnotherServiceListens(); !other.empty()) {
            Say(other);
            return 1;
        }
    // Signals are taken by sigwait on this thread; the others never see them,
    // so they are blocked before any thread starts, a sound plugin's at open too.
    // SIGUSR1 says that a load running on its own thread is done, SIGUSR2
    // that serving failed.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, kLoadDone);
    sigaddset(&signals, kServingFailed);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // The input and the sound device are checked before anything else happens.
    std::string audioError;
    std::unique_ptr<ServiceAudio> audio = ServiceAudio::Open(o, Say, &audioError);
    if (!audio) {
        Say(audioError);
        return 1;
    }

    SimulatedChip chip;
    // Heard from the first sample, however the chip runs; gone before the chip.
    std::optional<HistoryRecorder> history;
    if (o.historySeconds > 0 && card < 0) {
        chip.Observe(&history.emplace(HistorySamples(o), Say));
        chip.KeepPast(HistorySamples(o)); // to go back to, as far as the history reaches
    }
    // The viewer's names of the DSP's operands, which the program's names
    // must leave alone.
    std::string symbolsWhy;
    const std::vector<NamedRegister> operandNames = ReadShippedOperandNames(&symbolsWhy);
    if (!symbolsWhy.empty())
        Say(symbolsWhy + "; emuapsctl takes the program's names and numbers only");
    const TakenNames taken = NamesTaken(operandNames);
    LoadedProgram program;  // what the chip has now
    ChipImage programImage; // and its registers as they were loaded
    // The one way the files become a chip, at start and at every reload.
    const ChipLoad::Work loadProgram = [imagePath, patchPath, namesPath,
                                        taken](LoadedProgram* loaded) {
        return LoadChipWithPatch(imagePath, patchPath, namesPath, loaded, taken);
    };
    auto startLoad = [&] { return std::make_unique<ChipLoad>(loadProgram, kLoadDone); };
    { // without files too: the empty chip is a loader's, idle instructions
        std::unique_ptr<ChipLoad> load = startLoad();
        if (AwaitLoad(*load, signals) == LoadWait::Stop) {
            Say("stopped while loading the chip");
            std::_Exit(1); // the load is abandoned where it stands
        }
        if (!load->result().image) {
            Say(load->result().describe());
            return 1;
        }
        chip.Load(*load->result().image);
        if (!load->loaded().summary.empty())
            Say(load->loaded().summary);
        program = load->loaded();
        programImage = *load->result().image;
    }
    // --record's names are the loaded program's, as the verbs take them.
    const RegisterNames startNames(operandNames, ProgramRegisterNames(program.names),
                                   NamesNote(patchPath, namesPath, program, ""));
    if (std::string wrong = ResolveRecordList(o.recordList, &startNames, &parsed.options.record);
        !wrong.empty()) {
        std::cerr << "emuapsd: " << wrong << "\nTry 'emuapsd --help'.\n";
        return 2;
    }
    audio->Record(o.record);
    if (o.renderSamples > 0)
        return RenderMode(o, chip.Snapshot(), audio->input(), signals, Say);
    std::unique_ptr<ProcChip> realCard;
    if (card >= 0) {
        std::string error;
        realCard =
            ProcChip::Open(o.procFolder.empty() ? ProcCardFolder(card) : o.procFolder, &error);
        if (!realCard) {
            Say("card " + std::to_string(card) + ": " + error +
                " (is it an EMU10K1 with its ALSA driver, snd-emu10k1, loaded?)");
            return 1;
        }
    }
    ChipBackend& served = realCard ? static_cast<ChipBackend&>(*realCard) : chip;

    std::unique_ptr<ApsService> service = StartService(served, activated.fd);
    if (!service)
        return 1;
    // Only once the service stands, so a second service that cannot start
    // leaves the first one's names alone.
    std::optional<ProgramSymbolsFile> symbolsFile, sourceFile;
    // SIGHUP and emuapsctl's reload both publish, from two threads.
    std::mutex publishing;
    RegisterNames names;
    std::vector<ControlInfo> controls;
    auto publish = [&](const LoadedProgram& loaded) {
        std::lock_guard lock(publishing);
        program = loaded;
        names = RegisterNames(operandNames, ProgramRegisterNames(loaded.names),
                              NamesNote(patchPath, namesPath, loaded, "emuapsd "));
        controls.clear();
        for (const PlacedControl& c : loaded.controls)
            controls.push_back({c.name, c.address, 0, c.min, c.max});
        if (symbolsFile)
            if (std::string error =
                    symbolsFile->Replace(realCard ? NoProgramSymbols() : loaded.symbols);
                !error.empty())
                Say(error + " (the viewer shows the program without its names)");
        if (sourceFile)
            if (std::string error = sourceFile->Replace(SourceMapText(loaded.source));
                !error.empty())
                Say(error + " (clients show the program without its source lines)");
    };
    if (char path[ZENDRA_SOCKET_PATH_MAX]; ZendraProgramSymbolsPath(path, sizeof path) == 0)
        symbolsFile.emplace(path);
    if (char path[ZENDRA_SOCKET_PATH_MAX]; ZendraSourceMapPath(path, sizeof path) == 0)
        sourceFile.emplace(path);
    publish(LoadedProgram(program));
    // A reload, by SIGHUP or emuapsctl, puts the chip and its names in place,
    // or keeps them; the log says which, and the answer is the verdict's.
    const std::string reloadedWhat =
        std::filesystem::path(patchPath.empty() ? imagePath : patchPath).filename().string();
    // Reloads come one at a time, by SIGHUP or emuapsctl.
    std::mutex reloading;
    auto reloaded = [&](const ChipImageResult& loaded, const LoadedProgram& fresh) {
        std::lock_guard one(reloading);
        ProgramOnChip before;
        {
            std::lock_guard lock(publishing);
            before = {programImage, program};
        }
        ReloadVerdict verdict = JudgeReload(namesPath, loaded, fresh, before.program.names);
        // An image alone has no names to carry its state by: it loads afresh.
        if (verdict.taken && patchPath.empty()) {
            chip.Load(*loaded.image);
            Say("reloaded " + reloadedWhat);
        } else if (verdict.taken) {
            verdict = SwapReload(chip, reloadedWhat, before, {*loaded.image, fresh}, verdict);
        }
        if (verdict.taken) {
            publish(fresh);
            std::lock_guard lock(publishing);
            programImage = *loaded.image;
        }
        Say(verdict.log);
        return verdict;
    };
    // The chip starts once the device is there, so a service that cannot
    // start leaves the output file alone.
    std::optional<DspRunner> dsp;
    if (o.run) {
        if (std::string error = audio->StartRecording(Say); !error.empty()) {
            Say(error);
            return 1;
        }
        if (!o.outputPath.empty())
            Say("recording " + RecordingText(o));
        if (!o.playPcm.empty())
            Say(audio->PlayingText());
        if (!o.capturePcm.empty())
            Say(audio->CapturingText());
        dsp.emplace(chip, DspPacing{}, audio->streams());
    }
    std::string servingError;
    std::thread serving([&service, &servingError] {
        servingError = service->Run();
        if (!servingError.empty())
            kill(getpid(), kServingFailed);
    });
    // emuapsctl's verbs, each client's on a worker thread of the control
    // server; a reload there answers.
    ControlContext controlled{realCard ? nullptr : &chip, o.run,
                              (imagePath.empty() ? "an empty chip" : imagePath) +
                                  (patchPath.empty() ? "" : " + " + patchPath),
                              [&](std::string* said) {
                                  if (imagePath.empty() && patchPath.empty()) {
                                      *said = "no chip image to reload";
                                      return false;
                                  }
                                  LoadedProgram fresh;
                                  const ChipImageResult loaded = loadProgram(&fresh);
                                  const ReloadVerdict verdict = reloaded(loaded, fresh);
                                  *said = verdict.answer;
                                  return verdict.taken;
                              },
                              [&audio] { return audio->PlayingState(); }};
    controlled.history = history ? &*history : nullptr;
    controlled.names = [&] {
        std::lock_guard lock(publishing);
        return names;
    };
    controlled.controls = [&] {
        std::lock_guard lock(publishing);
        return controls;
    };
    controlled.source = [&] {
        std::lock_guard lock(publishing);
        return program.source;
    };
    std::unique_ptr<ControlServer> control = StartControlServer(
        [&controlled](const std::string& line, const VerbCancel& cancel) {
            return RunControlVerb(controlled, line, cancel);
        },
        activated.controlFd, Say);
    std::thread controlling([&control] {
        if (control)
            control->Run();
    });

    // A reload runs on its own thread too; a SIGHUP during one asks for
    // another after it, so the chip ends up as the files are then.
    std::unique_ptr<ChipLoad> reload;
    bool reloadAgain = false;
    std::optional<FileWatch> watch;
    if (o.reloadOnChange && !realCard) {
        std::vector<std::string> files;
        for (const std::string* path : {&imagePath, &patchPath, &namesPath})
            if (!path->empty())
                files.push_back(*path);
        // A source's includes, as its first assembly found them.
        for (std::size_t i = 1; i < program.source.files.size(); ++i)
            files.push_back(IncludedPath(patchPath, program.source.files[i].name));
        std::string error;
        watch.emplace(
            files, [] { kill(getpid(), SIGHUP); }, &error);
        Say(error.empty() ? "reloading when a file of the chip is saved" : error);
    }
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0)
            continue;
        if (sig == SIGTERM || sig == SIGINT || sig == kServingFailed)
            break;
        if (sig == kLoadDone && reload && reload->finished()) {
            reloaded(reload->result(), reload->loaded());
            reload.reset();
            if (!reloadAgain)
                continue;
            reloadAgain = false;
            sig = SIGHUP;
        }
        if (sig != SIGHUP)
            continue;
        if (realCard) {
            Say("the card is read live; nothing to reload");
        } else if (imagePath.empty() && patchPath.empty()) {
            Say("no chip image to reload");
        } else if (reload) {
            reloadAgain = true;
        } else {
            reload = startLoad();
        }
    }
    watch.reset();
    if (control)
        control->Stop();
    controlling.join();
    control.reset();
    service->Stop();
    serving.join();
    service.reset();     // removes the socket
    symbolsFile.reset(); // and the program's names
    sourceFile.reset();
    const int status = servingError.empty() ? 0 : 1;
    if (status != 0)
        Say(servingError + "; stopping");
    dsp.reset();
    for (const std::string& line : audio->Finish())
        Say(line);
    Say("stopped");
    if (reload && !reload->finished()) {
        // The service is down and its socket gone; the load is abandoned.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Serve(argc, argv);
    } catch (const std::exception& e) {
        Say(e.what());
        return 1;
    }
}
