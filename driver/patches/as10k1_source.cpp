#include "as10k1_source.h"

#include "as10k1_listing.h"
#include "checked_file.h"
#include "listing_lines.h"
#include "trimmed_text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first executable as10k1 on PATH, or "".
std::string FindAs10k1() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/as10k1";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A private folder for as10k1's files, removed with the object.
struct TemporaryFolder {
    std::string path;
    TemporaryFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/emuapsd-as10k1-XXXXXX";
        if (mkdtemp(pattern.data()))
            path = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

constexpr int kCouldNotStart = -1, kTooLong = -2;

// Runs program with args in folder, standard output and error to the files
// named; the exit status, kCouldNotStart, or kTooLong when it ran past limit
// and was killed with whatever it started.
int RunIn(const std::string& folder, const std::vector<std::string>& args, const std::string& out,
          const std::string& err, std::chrono::milliseconds limit) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return kCouldNotStart;
    if (pid == 0) { // only async-signal-safe calls until exec
        setpgid(0, 0);
        const int in = open("/dev/null", O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0 || chdir(folder.c_str()) != 0 || dup2(in, 0) < 0 ||
            dup2(o, 1) < 0 || dup2(e, 2) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid); // as the child does, whichever runs first
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return kCouldNotStart;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return kTooLong;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

std::string IncludedPath(const std::string& sourcePath, const std::string& name) {
    return name.starts_with('/') ? name : Folder(sourcePath) + "/" + name;
}

bool IsAs10k1Source(const std::string& path, const std::string& bytes) {
    if (bytes.starts_with(kAs10k1Signature))
        return false;
    if (path.ends_with(".asm"))
        return true;
    for (unsigned char c : bytes)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    return !bytes.empty();
}

As10k1Run RunAs10k1(const std::string& sourcePath, std::chrono::milliseconds limit) {
    As10k1Run run;
    const std::string as10k1 = FindAs10k1();
    if (as10k1.empty()) {
        run.error = "cannot assemble " + sourcePath +
                    ": as10k1 is not on PATH; it comes with Debian's package alsa-tools "
                    "(apt-get install alsa-tools)";
        return run;
    }
    TemporaryFolder folder;
    if (folder.path.empty()) {
        run.error = "cannot assemble " + sourcePath +
                    ": no temporary folder for as10k1: " + std::strerror(errno);
        return run;
    }
    const std::string patch = folder.path + "/patch.emu10k1", listing = folder.path + "/listing",
                      out = folder.path + "/out", err = folder.path + "/err";
    const int status = RunIn(
        Folder(sourcePath), {as10k1, "-l", listing, "-d", "gti", "-o", patch, BaseName(sourcePath)},
        out, err, limit);
    if (status == kTooLong) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", double(limit.count()) / 1000);
        run.error = "cannot assemble " + sourcePath + ": " + as10k1 + " did not finish within " +
                    seconds + " s and was stopped";
        return run;
    }
    if (status != 0) {
        run.error = status < 0 ? "cannot run " + as10k1 + ": " + std::strerror(errno)
                               : As10k1ErrorText(ReadWhole(out), ReadWhole(err), sourcePath);
        return run;
    }
    run.patch = ReadWhole(patch);
    run.dump = ReadWhole(out);
    run.listing = ReadWhole(listing);
    if (run.patch.empty() || run.listing.empty())
        run.error = "as10k1 wrote no patch or no listing of " + sourcePath;
    return run;
}

std::string As10k1ErrorText(const std::string& out, const std::string& err,
                            const std::string& sourcePath) {
    std::string file, line, said;
    auto say = [&said](const std::string& what) {
        if (!what.empty())
            said += (said.empty() ? "" : "; ") + what;
    };
    std::string source;
    const std::vector<std::string> errLines = TextLines(err);
    for (std::size_t i = 0; i < errLines.size(); ++i) {
        const std::string& l = errLines[i];
        if (l.starts_with("** line number ")) {
            line = l.substr(15, l.find(':', 15) == std::string::npos ? std::string::npos
                                                                     : l.find(':', 15) - 15);
            if (i + 1 < errLines.size())
                source = PlainLine(errLines[++i]);
        } else if (l.starts_with("In file: ")) {
            file = Trimmed(l.substr(9));
        } else if (l.starts_with("**")) {
            std::string what = Trimmed(l.substr(2));
            if (what.ends_with('.'))
                what.pop_back();
            say(what);
        } else {
            say(Trimmed(l));
        }
    }
    for (const std::string& l : TextLines(out))
        if (l.find("rror") != std::string::npos)
            say(Trimmed(l.starts_with("**") ? l.substr(2) : l));
    if (said.empty())
        said = "as10k1 failed and said nothing";
    if (file.empty() || file == BaseName(sourcePath))
        file = sourcePath;
    if (line.empty())
        return "cannot assemble " + file + ": " + said;
    return file + ":" + line + ": " + said + (source.empty() ? "" : " (" + source + ")");
}

PatchFile LoadPatchFile(const std::string& path) {
    PatchFile file;
    std::optional<std::string> bytes =
        ReadCheckedFile(path, kMaxAs10k1PatchBytes, &file.patch.error);
    if (!bytes)
        return file;
    file.source = IsAs10k1Source(path, *bytes);
    if (!file.source) {
        file.patch = ParseAs10k1Patch(*bytes);
        return file;
    }
    const As10k1Run run = RunAs10k1(path);
    if (!run.error.empty()) {
        file.patch.error = run.error;
        return file;
    }
    auto refuse = [&](const std::string& what, const std::string& why) {
        file.patch = {};
        file.patch.error = "as10k1's " + what + " of " + path + ": " + why;
        return file;
    };
    file.patch = ParseAs10k1Patch(run.patch);
    if (!file.patch.patch)
        return refuse("patch", file.patch.error);
    As10k1NamesResult names = ParseAs10k1Names(run.dump);
    if (!names.names)
        return refuse("dump", names.error);
    if (std::string wrong = NamesMismatch(*names.names, *file.patch.patch); !wrong.empty())
        return refuse("dump", wrong);
    file.names = std::move(names.names);
    const As10k1Listing listing = ParseAs10k1Listing(run.listing);
    if (!listing.error.empty())
        return refuse("listing", listing.error);
    ListingLines lines =
        MatchListing(listing, {BaseName(path), TextLines(*bytes)},
                     [&path](const std::string& name) -> std::optional<std::vector<std::string>> {
                         std::string why;
                         std::optional<std::string> text =
                             ReadCheckedFile(IncludedPath(path, name), kMaxAs10k1PatchBytes, &why);
                         if (!text)
                             return std::nullopt;
                         return TextLines(*text);
                     });
    if (!lines.error.empty())
        return refuse("listing", lines.error);
    if (lines.places.size() != file.patch.patch->code.size())
        return refuse("listing", std::to_string(lines.places.size()) +
                                     " instructions where the patch has " +
                                     std::to_string(file.patch.patch->code.size()));
    file.files = std::move(lines.files);
    file.lines = std::move(lines.places);
    return file;
}

SourceMap PlacedSource(const PatchFile& file, uint32_t first) {
    SourceMap map;
    if (!file.source)
        return map;
    map.files = file.files;
    for (SourcePlace p : file.lines) {
        p.address += first;
        map.places.push_back(p);
    }
    return map;
}
