#include "list_source.h"

#include "control_client.h"
#include "socket_path.h"
#include "source_listing.h"
#include "source_map_file.h"
#include "verb_words.h"

#include <iostream>
#include <optional>

namespace {

// The address in status's "next instruction 0xAAA ..." clause.
std::optional<uint32_t> NextInstruction(const std::string& status) {
    const std::string clause = "; next instruction 0x";
    const std::size_t at = status.find(clause);
    uint32_t address = 0;
    if (at == std::string::npos)
        return std::nullopt;
    std::string digits = status.substr(at + clause.size(), 3);
    if (!ParseNumber("0x" + digits, &address))
        return std::nullopt;
    return address;
}

int Fail(const std::string& why, int status = 1) {
    std::cerr << "emuapsctl: " << why << "\n";
    if (status == 2)
        std::cerr << "Try 'emuapsctl --help'.\n";
    return status;
}

} // namespace

int ListSource(const std::vector<std::string>& words) {
    if (words.size() > 2)
        return Fail("list takes at most one LINE or FILE:LINE", 2);
    char path[ZENDRA_SOCKET_PATH_MAX];
    if (ZendraSourceMapPath(path, sizeof path) != 0)
        return Fail("the runtime folder's path is too long");
    const ControlReply status = AskService(RequestLine({"status"}));
    if (status.status != 0)
        return Fail(status.text);
    const SourceMapRead read = ReadSourceMapFile(path);
    if (!read.map)
        return Fail(read.error);
    if (read.map->empty())
        return Fail("the loaded program came without its source (emuapsd --patch X.asm brings "
                    "it)");
    std::string why;
    const std::string text = SourceListing(*read.map, NextInstruction(status.text),
                                           words.size() == 2 ? words[1] : "", &why);
    if (text.empty())
        return Fail(why, 2);
    std::cout << text;
    return 0;
}
