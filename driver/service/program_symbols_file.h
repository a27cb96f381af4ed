// The symbol file of the program that the service placed on its chip, beside
// its socket: replaced whole at every load, so a reader sees the old file or
// the new one, and removed when the service ends.
#pragma once

#include <string>

class ProgramSymbolsFile {
  public:
    explicit ProgramSymbolsFile(std::string path) : path_(std::move(path)) {}
    ~ProgramSymbolsFile();
    ProgramSymbolsFile(const ProgramSymbolsFile&) = delete;
    ProgramSymbolsFile& operator=(const ProgramSymbolsFile&) = delete;

    // Returns an error text, or "" when the file now holds text.
    std::string Replace(const std::string& text);

  private:
    std::string path_;
    bool written_ = false;
};
