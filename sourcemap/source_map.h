// Where each placed instruction of a program came from: the source files
// (their lines as read) and, by chip address, the file and line of each of
// the program's own instructions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SourceFile {
    std::string name;               // as answers show it: "echo.asm"
    std::vector<std::string> lines; // line 1 first
    bool operator==(const SourceFile&) const = default;
};

struct SourcePlace {
    uint32_t address = 0; // the instruction's chip address
    uint32_t file = 0;    // an index into files
    uint32_t line = 0;    // from 1
    bool operator==(const SourcePlace&) const = default;
};

struct SourceMap {
    std::vector<SourceFile> files;   // the program's own first
    std::vector<SourcePlace> places; // by ascending address
    bool operator==(const SourceMap&) const = default;

    bool empty() const { return places.empty(); }
    const SourcePlace* At(uint32_t address) const;
    // The first instruction that line of file made, if any.
    std::optional<uint32_t> FirstAddress(uint32_t file, uint32_t line) const;
    // The nearest lines of file before and after line that made an instruction.
    std::vector<uint32_t> NearestLines(uint32_t file, uint32_t line) const;
    // The file called name (its own name, or its path ending in "/name").
    std::optional<uint32_t> FileNamed(const std::string& name) const;
    // "echo.asm:16"
    std::string Where(uint32_t file, uint32_t line) const;
    // "echo.asm:16 macs wl,mono,rl,fb": the line without its comment, its
    // blanks as single spaces.
    std::string Label(const SourcePlace& place) const;
};

// The text of a source line as answers show it.
std::string PlainLine(const std::string& line);
