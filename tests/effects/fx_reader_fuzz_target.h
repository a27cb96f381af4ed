// Runs the effects reader over arbitrary bytes and checks what it reports:
// the status is one of its three codes, every entry sits on a "RIFX"
// signature inside the file, and no table holds more than the file could.
#pragma once

#include <string>

// Empty when all holds, else what did not.
std::string CheckReaderOnBytes(const std::string& bytes);
