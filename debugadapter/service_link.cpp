#include "service_link.h"

#include "control_client.h"
#include "control_socket.h"
#include "socket_path.h"

ServiceLink ServiceLink::User() {
    char path[ZENDRA_SOCKET_PATH_MAX] = "";
    ControlSocketPath(path, sizeof path, nullptr);
    ServiceLink link;
    link.socket_ = path;
    return link;
}

ServiceLink ServiceLink::InFolder(const std::string& folder) {
    ServiceLink link;
    link.socket_ = folder + "/emuaps.ctl";
    return link;
}

ControlReply ServiceLink::Ask(const std::string& line) const {
    return AskServiceAt(socket_, line, AnswerWaitMs(line));
}

ControlReply ServiceLink::AskWithin(const std::string& line, int waitMs) const {
    return AskServiceAt(socket_, line, waitMs);
}

std::string ServiceLink::NamesFile() const {
    return socket_.substr(0, socket_.rfind('/') + 1) + ZENDRA_PROGRAM_SYMBOLS_FILE;
}

std::string ServiceLink::SourceMapFile() const {
    return socket_.substr(0, socket_.rfind('/') + 1) + ZENDRA_SOURCE_MAP_FILE;
}
