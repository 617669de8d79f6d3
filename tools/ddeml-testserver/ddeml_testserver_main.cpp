// ddeml-testserver SERVICE TOPIC [ITEM=TEXT ...]: the DDEML test server as a program.
// Prints "ready" once the service is registered, then reads commands from stdin, one a
// line (see DdemlTestServer::Execute), and answers each with "ok" or "error: ...".
// "quit" or the end of stdin ends it, and with it every conversation.
#include "platform/windows_api.h"

#include <iostream>
#include <string>
#include <thread>

#include "tools/ddeml-testserver/ddeml_test_server.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: ddeml-testserver SERVICE TOPIC [ITEM=TEXT ...]\n";
        return 2;
    }
    auto created = tarvedde::DdemlTestServer::Create(argv[1], argv[2]);
    if (!created) {
        std::cerr << created.error().message << '\n';
        return 1;
    }
    tarvedde::DdemlTestServer& server = *created.value();
    for (int i = 3; i < argc; ++i) {
        const std::string assignment = argv[i];
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            std::cerr << "not ITEM=TEXT: " << assignment << '\n';
            return 2;
        }
        server.Publish(assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    const DWORD mainThread = GetCurrentThreadId();
    std::cout << "ready" << std::endl;
    // stdin blocks, so it is read on a thread of its own; the server's thread runs each line.
    std::thread reader([&server, mainThread] {
        std::string line;
        while (std::getline(std::cin, line) && line != "quit") {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            server.Post([&server, line] {
                std::string error;
                std::cout << (server.Execute(line, error) ? "ok" : "error: " + error) << std::endl;
            });
        }
        PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    });
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    created.value().reset();
    reader.join();
    return 0;
}
