// vantel machine: serves the simulated machine to other processes, drives the operator panel
// of a served machine, and shows what the media hold.
#include "Command.h"

#include "machine/Connect.h"
#include "machine/Machine.h"
#include "machine/PanelCommand.h"
#include "machine/RemoteEndpoint.h"
#include "machine/Server.h"
#include "machine/Storage.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>

namespace {

constexpr const char* kUsage =
    "usage: vantel machine serve [--storage DIR] [--socket PATH] [--not-ready N] [--storing N]\n"
    "                            [--deleting N]\n"
    "       vantel machine panel --socket PATH COMMAND... [--in FILE] [--out FILE]\n"
    "       vantel machine ls [--medium M] [--storage DIR]\n";

const char* MediumName(int medium) {
    switch (medium) {
    case 1:
        return "built-in memory";
    case 2:
        return "ATA card";
    case 3:
        return "USB memory";
    default:
        return "design loaded for sewing";
    }
}

int Usage(const std::string& why) {
    if (!why.empty())
        std::fprintf(stderr, "vantel machine: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

int Serve(host::Args& args) {
    std::string storage = args.Get("storage").value_or(machine::DefaultStorageDir());
    std::string socket = args.Get("socket").value_or(storage + "/machine.sock");
    machine::MachineOptions options;
    options.storageDir = storage;
    auto notReady = args.GetNumber("not-ready", options.notReadyReplies);
    auto storing = args.GetNumber("storing", options.storingPolls);
    auto deleting = args.GetNumber("deleting", options.deletingPolls);
    if (!args.Ok() || !args.Positional().empty())
        return Usage(args.Ok() ? "serve takes no words besides its options" : args.Error());
    options.notReadyReplies = static_cast<int>(*notReady);
    options.storingPolls = static_cast<int>(*storing);
    options.deletingPolls = static_cast<int>(*deleting);

    // The signals that end the server are taken by this thread alone.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    auto served = std::make_shared<machine::Machine>(options);
    std::string error;
    if (!served->Start(&error)) {
        std::fprintf(stderr, "vantel machine: %s\n", error.c_str());
        return 1;
    }
    machine::Server server(served, socket);
    if (!server.Start(&error)) {
        std::fprintf(stderr, "vantel machine: %s\n", error.c_str());
        return 1;
    }
    std::printf("serving the machine of %s on %s\n", storage.c_str(), socket.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    server.Stop();
    return 0;
}

int Panel(host::Args& args) {
    auto socket = args.Get("socket");
    if (!args.Ok() || !socket || args.Positional().empty())
        return Usage(!args.Ok() ? args.Error() : "panel needs --socket PATH and a command");
    std::vector<unsigned char> input;
    if (auto in = args.Get("in")) {
        if (!host::ReadWholeFile(*in, input)) {
            std::fprintf(stderr, "vantel machine: cannot read %s\n", in->c_str());
            return 1;
        }
    }
    machine::RemoteEndpoint remote(*socket);
    int status = 0;
    std::string text;
    std::vector<uint8_t> output;
    if (!remote.Panel(args.Positional(), std::vector<uint8_t>(input.begin(), input.end()), &status,
                      &text, &output)) {
        std::fprintf(stderr, "vantel machine: no machine is served on %s\n", socket->c_str());
        return 1;
    }
    std::fputs(text.c_str(), status == 0 ? stdout : stderr);
    if (auto out = args.Get("out")) {
        if (status == 0 && !host::WriteWholeFile(*out, output.data(), output.size())) {
            std::fprintf(stderr, "vantel machine: cannot write %s\n", out->c_str());
            return 1;
        }
    }
    return status;
}

int List(host::Args& args) {
    std::string storage = args.Get("storage").value_or(machine::DefaultStorageDir());
    auto medium = args.GetNumber("medium", 0);
    if (!args.Ok() || !args.Positional().empty())
        return Usage(args.Ok() ? "ls takes no words besides its options" : args.Error());
    if (*medium < 0 || *medium > 4)
        return Usage("--medium is 1, 2, 3 or 4");
    // Straight from the storage directory: nothing is created or changed.
    machine::Storage media(storage, {});
    if (*medium != 0) {
        std::fputs(media.Tree(static_cast<int>(*medium)).c_str(), stdout);
        return 0;
    }
    for (int m = 1; m <= 4; ++m) {
        std::printf("medium %d (%s):\n", m, MediumName(m));
        std::string tree = media.Tree(m);
        size_t start = 0;
        while (start < tree.size()) {
            size_t end = tree.find('\n', start);
            std::printf("  %s\n", tree.substr(start, end - start).c_str());
            start = end + 1;
        }
    }
    return 0;
}

int MachineCommand(const std::vector<std::string>& words) {
    if (words.empty())
        return Usage("");
    std::vector<std::string> rest(words.begin() + 1, words.end());
    host::Args args(rest, {});
    if (words[0] == "serve")
        return Serve(args);
    if (words[0] == "panel")
        return Panel(args);
    if (words[0] == "ls")
        return List(args);
    if (words[0] == "--help" || words[0] == "help") {
        std::fputs(kUsage, stdout);
        std::fputs(machine::PanelCommandHelp(), stdout);
        return 0;
    }
    return Usage("unknown machine command '" + words[0] + "'");
}

} // namespace

VANTEL_COMMAND("machine", "machine serve|panel|ls ...",
               "serve the simulated machine, drive its panel, list its media", MachineCommand);
