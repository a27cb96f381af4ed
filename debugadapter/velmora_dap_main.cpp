// velmora-dap: a Debug Adapter Protocol server for the simulated FX8010,
// on standard input and output, or on a TCP port for one client.
#include "dap_channel.h"
#include "dap_dispatcher.h"
#include "dap_session.h"
#include "program_version.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kHelp[] = "Usage: velmora-dap [--port N]\n"
                     "Speak the Debug Adapter Protocol for the simulated EMU10K1's FX8010 DSP.\n"
                     "\n"
                     "An editor starts velmora-dap and talks to it on standard input and output;\n"
                     "with --port it listens on 127.0.0.1:N for one editor instead. A launch\n"
                     "starts its own emuapsd (the one beside velmora-dap, else on PATH) in a\n"
                     "private runtime folder and ends it with the session; an attach joins the\n"
                     "user's running emuapsd and leaves it running.\n"
                     "\n"
                     "  --port N     serve one client on TCP port N of 127.0.0.1\n"
                     "  --help       show this text\n"
                     "  --version    show the version\n";

// Waits for one client on 127.0.0.1:port; its socket, or -1.
int AcceptOne(int port) {
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (server < 0 || bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(server, 1) != 0) {
        std::fprintf(stderr, "velmora-dap: cannot listen on port %d: %s\n", port,
                     std::strerror(errno));
        return -1;
    }
    std::fprintf(stderr, "velmora-dap: listening on 127.0.0.1:%d\n", port);
    const int client = accept(server, nullptr, nullptr);
    close(server);
    return client;
}

} // namespace

int main(int argc, char** argv) {
    int port = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s\n", VersionLine("velmora-dap").c_str());
            return 0;
        }
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            port = int(std::strtol(argv[++i], &end, 10));
            if (*end == '\0' && port > 0 && port < 65536)
                continue;
        }
        std::fprintf(stderr, "velmora-dap: --port takes a TCP port from 1 to 65535\n%s", kHelp);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    int in = 0, out = 1;
    if (port > 0) {
        in = out = AcceptOne(port);
        if (in < 0)
            return 1;
    }
    DapChannel* channel = nullptr;
    DapOutput output([&channel](const QByteArray& body) { channel->Send(body); });
    DapSession session(output, [] { QCoreApplication::exit(0); });
    DapDispatcher dispatcher(output);
    session.Register(dispatcher);
    DapChannel link(
        in, out, [&dispatcher](const std::string& body) { dispatcher.Dispatch(body); },
        [&output, &session](const std::string& why) {
            if (!why.empty())
                output.Fail({}, QString::fromStdString("broken framing: " + why));
            session.ClientGone();
            QCoreApplication::exit(why.empty() ? 0 : 1);
        });
    channel = &link;
    return app.exec();
}
