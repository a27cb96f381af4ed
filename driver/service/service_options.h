// emuapsd's command line: what it serves and how, or a request for its help
// or version, or a mistake.
#pragma once

#include "audio_samples.h"
#include "register_names.h"

#include <cstdint>
#include <string>
#include <vector>

struct ServiceOptions {
    std::string imagePath;
    std::string patchPath;
    std::string namesPath; // as10k1's debug dump of the patch
    bool run = false;
    int card = -1;          // -1: the simulated chip
    std::string procFolder; // where the card's register files are; tests point it elsewhere
    // The simulated chip's sound: the effects bus from a file, outputs to one.
    std::string inputPath;
    bool once = false; // the input plays once instead of looping
    std::string outputPath;
    // --record as given: registers the DSP computes, by number or name, one a
    // channel; and them as DSP operands, once ResolveRecordList has the
    // loaded patch's names (numbers alone are resolved by the parse).
    std::vector<std::string> recordList = {"0x20", "0x21"};
    std::vector<uint32_t> record = {0x20, 0x21};
    WavSampleFormat format = WavSampleFormat::Float32;
    int64_t renderSamples = 0;    // above 0: render this many samples offline and serve nothing
    std::string playPcm;          // the ALSA PCM the running chip plays to; empty: none
    std::string capturePcm;       // the ALSA PCM the effects bus is captured from; empty: none
    int latencyMs = 20;           // the PCMs' buffer
    double historySeconds = 10;   // the chip's recent past that trace reads; 0: none
    bool referenceEngine = false; // the plain interpreter the fast one is checked against
    bool reloadOnChange = false;  // reload when the image, patch or dump is saved
};

// --history's ceiling: what a program that writes every register would
// hold in half of this machine's memory.
double MaxHistorySeconds();
// The samples of history the options keep.
int64_t HistorySamples(const ServiceOptions& options);

struct ParsedOptions {
    enum class Action { Serve, Help, Version, Mistake } action = Action::Serve;
    ServiceOptions options;
    std::string mistake; // what is wrong, for Mistake
};

// A card number as ALSA counts them, 0 to 255.
bool ParseCard(const std::string& text, int* card);

// args without the program name.
ParsedOptions ParseServiceOptions(const std::vector<std::string>& args);

// --record's registers by their numbers or names, each the DSP computes and
// named once; "" or what is wrong. Without names, a word that is no number
// waits for them and is left out.
std::string ResolveRecordList(const std::vector<std::string>& list, const RegisterNames* names,
                              std::vector<uint32_t>* record);

// "0x20,0x21": the registers recorded and played.
std::string OutputsText(const ServiceOptions& options);
// What --output records, for the log: "0x20,0x21 to OUT (32-bit float)".
std::string RecordingText(const ServiceOptions& options);

// The text of --help: every option, the signals and the socket.
std::string ServiceHelp();
