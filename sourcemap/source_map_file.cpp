#include "source_map_file.h"

#include "listing_lines.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kHeader = "velmora source map 1";

// The unsigned number at the start of *s (base 10, or 16 after "0x"), taking
// it and one blank after it off.
bool TakeNumber(std::string_view* s, uint32_t* value) {
    int base = 10;
    if (s->starts_with("0x")) {
        s->remove_prefix(2);
        base = 16;
    }
    auto [ptr, ec] = std::from_chars(s->data(), s->data() + s->size(), *value, base);
    if (ec != std::errc() || ptr == s->data())
        return false;
    s->remove_prefix(std::size_t(ptr - s->data()));
    if (!s->empty()) {
        if (s->front() != ' ')
            return false;
        s->remove_prefix(1);
    }
    return true;
}

} // namespace

std::string SourceMapText(const SourceMap& map) {
    std::string text(kHeader);
    text += '\n';
    for (const SourceFile& f : map.files) {
        text += "file " + f.name + " " + std::to_string(f.lines.size()) + "\n";
        for (const std::string& line : f.lines)
            text += "|" + line + "\n";
    }
    char at[64];
    for (const SourcePlace& p : map.places) {
        std::snprintf(at, sizeof at, "at 0x%03X %u %u\n", p.address, p.file, p.line);
        text += at;
    }
    return text;
}

SourceMapRead ParseSourceMap(std::string_view text) {
    SourceMapRead out;
    const std::vector<std::string> lines = TextLines(std::string(text));
    auto fail = [&](std::size_t index, const std::string& why) {
        out.error = "line " + std::to_string(index + 1) + ": " + why;
        return out;
    };
    if (lines.empty() || lines[0] != kHeader)
        return fail(0, "not a source map ('" + std::string(kHeader) + "' is missing)");
    SourceMap map;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.starts_with("file ")) {
            if (!map.places.empty())
                return fail(i, "a file after the instructions");
            line.remove_prefix(5);
            const std::size_t blank = line.rfind(' ');
            uint32_t count = 0;
            std::string_view number = blank == std::string_view::npos ? "" : line.substr(blank + 1);
            if (blank == 0 || blank == std::string_view::npos || !TakeNumber(&number, &count) ||
                !number.empty())
                return fail(i, "a file is 'file NAME LINES'");
            if (count > lines.size() - i - 1)
                return fail(i, "the file has fewer lines than it says");
            SourceFile file{std::string(line.substr(0, blank)), {}};
            for (uint32_t k = 0; k < count; ++k) {
                const std::string& source = lines[++i];
                if (!source.starts_with('|'))
                    return fail(i, "a source line starts with '|'");
                file.lines.push_back(source.substr(1));
            }
            map.files.push_back(std::move(file));
        } else if (line.starts_with("at ")) {
            line.remove_prefix(3);
            SourcePlace p;
            if (!TakeNumber(&line, &p.address) || !TakeNumber(&line, &p.file) ||
                !TakeNumber(&line, &p.line) || !line.empty())
                return fail(i, "an instruction is 'at 0xAAA FILE LINE'");
            if (p.file >= map.files.size() || p.line < 1 || p.line > map.files[p.file].lines.size())
                return fail(i, "the instruction's line is not in its file");
            if (!map.places.empty() && p.address <= map.places.back().address)
                return fail(i, "the instructions are not in ascending order");
            map.places.push_back(p);
        } else {
            return fail(i, "neither a file nor an instruction");
        }
    }
    out.map = std::move(map);
    return out;
}

SourceMapRead ReadSourceMapFile(const std::string& path) {
    SourceMapRead out;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        out.error = "cannot open " + path + ": " + std::strerror(errno);
        return out;
    }
    struct stat st;
    std::string text;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        std::size_t(st.st_size) > kMaxSourceMapBytes) {
        close(fd);
        out.error = path + " is not a regular file of at most " +
                    std::to_string(kMaxSourceMapBytes) + " bytes";
        return out;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || text.size() + std::size_t(n) > kMaxSourceMapBytes)
            break;
        text.append(buffer, std::size_t(n));
    }
    close(fd);
    out = ParseSourceMap(text);
    if (!out.error.empty())
        out.error = path + " " + out.error;
    return out;
}
