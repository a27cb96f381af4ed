// A whole file as text; empty when it cannot be read.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline std::string FileText(const std::string& path) {
    std::stringstream all;
    all << std::ifstream(path).rdbuf();
    return all.str();
}
