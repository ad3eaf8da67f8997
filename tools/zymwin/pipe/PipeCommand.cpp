#include "Command.h"
#include "PipeEcho.h"
#include "PipeReady.h"
#include "StopRequest.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeDaemon.h>

#include <cstdio>
#include <string>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin pipe serve NAME\n"
    "       zymwin pipe send NAME [--host HOST] [--ip ADDRESS] [--impersonate] MESSAGE...\n\n"
    "Message passing over the named pipe \\\\.\\pipe\\NAME.\n\n"
    "  serve   answer every message with the same bytes until interrupted (Ctrl-C or\n"
    "          SIGTERM); prints one line per connection with the connecting identity\n"
    "          and the identity it claims (name, domain, IP).\n"
    "  send    connect, send each MESSAGE, print each reply on its own line.\n\n"
    "Options of send:\n"
    "  --host HOST     the machine of the pipe: '.', 'localhost' or this computer's name\n"
    "                  (default '.')\n"
    "  --ip ADDRESS    the address to declare to the server (default: this machine's)\n"
    "  --impersonate   tell the server that this client acts for the account it runs as\n\n"
    "On Linux pipes are sockets in $ZYM_PIPE_DIR (default /tmp/.zym-pipe).\n";

int Serve(const Args& args) {
    if (args.size() != 2)
        throw UsageError{"serve takes one pipe NAME (see 'zymwin pipe --help')"};
    const std::string& name = args[1];
    PrepareForStopRequest();

    Zym::SmartPtr<ZymWindows::NamedPipeDaemon> daemon =
        new ZymWindows::NamedPipeDaemon(name, new PipeEcho(stdout), nullptr);
    if (!WaitUntilPipeExists(name))
        throw UsageError{"the pipe \\\\.\\pipe\\" + name + " did not appear in " + PipeDirectory()};
    std::printf("serving \\\\.\\pipe\\%s\n", name.c_str());
    std::fflush(stdout);
    WaitForStopRequest();
    daemon.Reset();
    std::printf("stopped\n");
    return 0;
}

struct SendOptions {
    std::string name;
    std::string host = ZymWindows::ClientNamedPipe::DEFAULT_HOST_NAME;
    std::u16string ip;
    bool impersonate = false;
    Args messages;
};

SendOptions ParseSend(const Args& args) {
    SendOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--host" || arg == "--ip") {
            if (i + 1 == args.size())
                throw UsageError{arg + " needs a value"};
            if (arg == "--host")
                options.host = args[++i];
            else
                options.ip = ZymCharset::FromUtf8(args[++i]);
        } else if (arg == "--impersonate") {
            options.impersonate = true;
        } else if (options.name.empty()) {
            options.name = arg;
        } else {
            options.messages.push_back(arg);
        }
    }
    if (options.name.empty() || options.messages.empty())
        throw UsageError{"send takes a pipe NAME and at least one MESSAGE (see 'zymwin pipe "
                         "--help')"};
    return options;
}

int Send(const Args& args) {
    const SendOptions options = ParseSend(args);
    const std::string path = "\\\\" + options.host + "\\pipe\\" + options.name;
    try {
        ZymWindows::ClientNamedPipe pipe(options.name, options.host, nullptr);
        pipe.Initialize(options.impersonate, options.ip);
        std::string reply;
        char piece[ZymWindows::NamedPipe::PACKET_DATA_SIZE];
        for (const std::string& message : options.messages) {
            pipe.Put(message.data(), static_cast<unsigned int>(message.size()));
            pipe.EndMessage();
            reply.clear();
            pipe.ReadMessage();
            while (const unsigned int n = pipe.Read(piece, sizeof piece))
                reply.append(piece, n);
            pipe.EndMessage();
            std::printf("%s\n", reply.c_str());
        }
    } catch (const ZymWindows::NamedPipe::NamedPipeException& error) {
        throw UsageError{path + ": " + error.WhatUtf8()};
    }
    return 0;
}

int RunPipe(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (args.empty())
        throw UsageError{"missing action: serve or send (see 'zymwin pipe --help')"};
    if (args[0] == "serve")
        return Serve(args);
    if (args[0] == "send")
        return Send(args);
    throw UsageError{"unknown action '" + args[0] + "' (see 'zymwin pipe --help')"};
}

const Registration g_Pipe(Command{"pipe", "serve and send messages over named pipes", RunPipe});

} // namespace

} // namespace zymwin
