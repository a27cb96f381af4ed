// fxlib: writes an effects library file from its text description.
//
//   fxlib [--symbols 8010.d] -o eapsfx.dll description.fxl
//
// With --symbols, code lines may name opcodes and operands as the symbol file
// does; without it they are numbers.
#include "fx_library_builder.h"
#include "program_version.h"
#include "symbol_file.h"
#include "symbol_table.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const char* const kHelp = R"(Usage: fxlib [--symbols FILE] -o OUTPUT DESCRIPTION
Write an effects library file (as the sound driver's eapsfx.dll holds them:
RIFX effect programs) from its text DESCRIPTION, for testing Velmora's
effects window and for the sample library that ships with it.

  -o OUTPUT          the library file to write
      --symbols=FILE read opcode and register names from the symbol file
                     FILE (8010.d), so code lines may name what they use;
                     without it code lines are numbers
      --help         show this help and exit
      --version      show the version and exit

The text form is described in tools/fxlib/README.md in Velmora's sources.

Exit status: 0 when OUTPUT was written, 1 when DESCRIPTION is malformed or a
file cannot be read or written, 2 for a mistake on the command line.
)";

int Usage() {
    std::cerr << "fxlib: expected -o OUTPUT and a DESCRIPTION\nTry 'fxlib --help'.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string symbols, output, input;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--version") {
            std::cout << VersionLine("fxlib") << "\n";
            return 0;
        }
        if (arg.starts_with("--symbols="))
            symbols = arg.substr(10);
        else if ((arg == "--symbols" || arg == "-o") && i + 1 < argc)
            (arg == "-o" ? output : symbols) = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && input.empty())
            input = arg;
        else
            return Usage();
    }
    if (output.empty() || input.empty())
        return Usage();

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "fxlib: cannot read " << input << "\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();

    try {
        SymbolTable opcodes, registers;
        if (!symbols.empty())
            LoadSymbolFile(symbols, opcodes, registers);
        const std::string library = BuildEffectsLibrary(text.str(), opcodes, registers);
        std::ofstream out(output, std::ios::binary | std::ios::trunc);
        out.write(library.data(), static_cast<std::streamsize>(library.size()));
        if (!out.flush()) {
            std::cerr << "fxlib: cannot write " << output << "\n";
            std::remove(output.c_str());
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << "fxlib: " << input << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
