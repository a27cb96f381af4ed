#include "file_watch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

FileWatch::FileWatch(const std::vector<std::string>& files, std::function<void()> changed,
                     std::string* error)
    : changed_(std::move(changed)) {
    inotify_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify_ < 0 || pipe2(stop_, O_CLOEXEC) != 0) {
        *error = std::string("cannot watch for changes: ") + std::strerror(errno);
        return;
    }
    for (const std::string& file : files) {
        const std::filesystem::path path(file);
        const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
        const int wd = inotify_add_watch(inotify_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        if (wd < 0) {
            *error = "cannot watch " + folder + ": " + std::strerror(errno);
            return;
        }
        watched_.push_back({wd, path.filename().string()});
    }
    thread_ = std::thread([this] { Run(); });
}

FileWatch::~FileWatch() {
    if (thread_.joinable()) {
        const char stop = 1;
        (void)!write(stop_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : {inotify_, stop_[0], stop_[1]})
        if (fd >= 0)
            close(fd);
}

void FileWatch::Run() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        bool hit = false;
        for (ssize_t n; (n = read(inotify_, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0)
                    for (const auto& [wd, name] : watched_)
                        hit |= wd == event->wd && name == event->name;
                at += ssize_t(sizeof(inotify_event)) + event->len;
            }
        if (hit)
            changed_();
    }
}
