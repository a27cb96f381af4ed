// fxlib: writes an effects library file from its text description.
//
//   fxlib [--symbols 8010.d] -o eapsfx.dll description.fxl
//
// With --symbols, code lines may name opcodes and operands as the symbol file
// does; without it they are numbers.
#include "fx_library_builder.h"
#include "symbol_file.h"
#include "symbol_table.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

int Usage() {
    std::cerr << "usage: fxlib [--symbols FILE] -o OUTPUT DESCRIPTION\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string symbols, output, input;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--symbols" || arg == "-o") && i + 1 < argc)
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
