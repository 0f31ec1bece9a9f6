// Test program of the HTTP code under Wine. Before the tests run it starts
// the loopback test server (tests/http_server/server.py) with Linux's
// Python through Wine's "start /unix", and reads the port that the server
// writes into a file. A server that already runs can be named instead with
// QUORVEL_HTTP_SERVER_PORT (the way to run these tests on Windows, where
// there is no "start /unix"). The server stops on /shutdown at the end, or
// by itself after a minute without requests.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/web_request.h"
#include "net_test_support.h"

namespace quorvel::testing {
namespace {

int g_port = 0;

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // ASCII paths only
}

// A Linux path as Wine sees it on drive Z:.
std::string WinePath(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return "Z:" + path;
}

int ReadPortFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return 0;
    int port = 0;
    if (std::fscanf(file, "%d", &port) != 1) port = 0;
    std::fclose(file);
    return port;
}

int StartServer() {
    if (const char* given = std::getenv("QUORVEL_HTTP_SERVER_PORT")) {
        return std::atoi(given);
    }
    const char* python = std::getenv("QUORVEL_PYTHON");
    const std::string portFile = std::string(QUORVEL_BINARY_DIR) + "/net-http-server-" +
                                 std::to_string(GetCurrentProcessId()) + ".port";
    std::remove(WinePath(portFile).c_str());
    std::wstring command = L"start.exe /unix " + Widen(python ? python : "/usr/bin/python3") +
                           L" " + Widen(QUORVEL_SOURCE_DIR "/tests/http_server/server.py") +
                           L" --port-file " + Widen(portFile) + L" --log " +
                           Widen(portFile + ".log") + L" --idle 60 --lifetime 900";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return 0;
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 200; ++i) {
        if (int port = ReadPortFile(WinePath(portFile))) {
            std::remove(WinePath(portFile).c_str());
            return port;
        }
        Sleep(50);
    }
    return 0;
}

}  // namespace

int ServerPort() { return g_port; }

}  // namespace quorvel::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    quorvel::testing::g_port = quorvel::testing::StartServer();
    if (quorvel::testing::g_port <= 0) {
        std::fprintf(stderr, "the loopback test server did not start\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    quorvel::WebRequest(quorvel::testing::ServerUrl("/shutdown"), 0, {}, {}, {}, {}, 5);
    return result;
}
