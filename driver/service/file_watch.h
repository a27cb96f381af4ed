// Watches files for a change with inotify, on a thread of its own. Each
// file's folder is watched, not the file, so an editor that saves by
// writing a new file and renaming it over the old one is seen too.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

class FileWatch {
  public:
    // changed runs on the watch's thread after a file was written
    // or renamed into place. error says why nothing is watched, if so.
    FileWatch(const std::vector<std::string>& files, std::function<void()> changed,
              std::string* error);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

  private:
    void Run();

    std::function<void()> changed_;
    std::vector<std::pair<int, std::string>> watched_; // watch, file name in its folder
    int inotify_ = -1;
    int stop_[2] = {-1, -1};
    std::thread thread_;
};
