// tonalyx-server: the web server the Tonalyx program uploads to and reads its feed from.
#include "server_options.h"
#include "tonalyx_server.h"

#include <malloc.h>
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const tonalyx::TOptionsParse parse =
        tonalyx::ParseServerOptions(args, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    switch (parse.Action) {
    case tonalyx::TOptionsParse::Help:
        std::fputs(tonalyx::ServerUsage().c_str(), stdout);
        return 0;
    case tonalyx::TOptionsParse::Version:
        std::printf("tonalyx-server %s\n", TONALYX_VERSION);
        return 0;
    case tonalyx::TOptionsParse::Error:
        std::fprintf(stderr, "tonalyx-server: %s\nTry 'tonalyx-server --help'.\n",
                     parse.Message.c_str());
        return 2;
    case tonalyx::TOptionsParse::Run:
        break;
    }

    // A client that goes away mid-answer must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Nor a write over a file-size limit: it fails with EFBIG instead, and the upload with it.
    std::signal(SIGXFSZ, SIG_IGN);
    // Request bodies beyond 128 KiB get pages of their own, given back when freed; by default
    // the threshold grows with them and their memory stays with the process.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // SIGINT and SIGTERM are blocked in every thread (the library's workers inherit the mask)
    // and taken by one thread with sigwait, which may stop the server as a handler may not.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    auto created = tonalyx::TTonalyxServer::Create(parse.Options, TONALYX_SHORT_VERSION, stderr);
    if (!created.Ok()) {
        std::fprintf(stderr, "tonalyx-server: %s\n", created.Reason().c_str());
        return 1;
    }
    tonalyx::TTonalyxServer& server = *created.Value();
    std::printf("tonalyx-server %s listening on %s (data folder %s)\n", TONALYX_VERSION,
                tonalyx::DefaultPublicUrl(parse.Options.Host, server.Port()).c_str(),
                parse.Options.Root.c_str());
    if (!parse.Options.ProxySocket.empty())
        std::printf("front server socket %s\n", parse.Options.ProxySocket.c_str());
    if (server.PublicUrl() != tonalyx::DefaultPublicUrl(parse.Options.Host, server.Port()))
        std::printf("public address %s\n", server.PublicUrl().c_str());
    std::fflush(stdout);

    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.Stop();
    });
    const bool served = server.Run();
    // When serving ended by itself, wake the waiter with a signal it is waiting for.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    std::fprintf(stderr, "tonalyx-server: stopped\n");
    return served ? 0 : 1;
}
