// A temporary folder that removes itself, for tests that write files.
#pragma once

#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes a file below the folder and returns its full path.
    std::string write(const std::string& name, const std::string& content) const;

  private:
    std::string path_;
};
