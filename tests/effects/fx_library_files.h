// Effects libraries for tests, built from fxlib's text form into a folder.
#pragma once

#include "support/temp_dir.h"

#include <string>

// Builds the described library (numbers only, no symbol names) and writes it
// as name below the folder; returns its path.
std::string WriteLibrary(const TempDir& dir, const std::string& description,
                         const std::string& name = "eapsfx.dll");

// A well-formed effect program with every table, named name. Its code
// holds three entries (27 bytes, so a pad byte follows) and comes before
// the lists so the pad byte is stepped over.
std::string FullEffect(const std::string& name);

// A small effect program: its ckid and one rsrc word.
std::string TinyEffect(const std::string& name, int rsrcWord = 1);
