// The effects library as an open file of raw bytes, read at given offsets.
// Every read is checked against the file's length, so a size field that
// points past the end can never make the reader run off the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class LibraryFile {
  public:
    LibraryFile() = default;
    ~LibraryFile();
    LibraryFile(const LibraryFile&) = delete;
    LibraryFile& operator=(const LibraryFile&) = delete;

    // Opens the file for reading, closing any file opened before.
    // Returns false (and leaves no file open) when it cannot be opened.
    bool Open(const std::string& path);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    // Length in bytes, taken when the file was opened.
    int64_t Length() const { return length_; }

    // Reads exactly count bytes at offset; false when any of them lies
    // outside the file or the read fails.
    bool ReadAt(int64_t offset, void* into, std::size_t count) const;

  private:
    int fd_ = -1;
    int64_t length_ = 0;
};
