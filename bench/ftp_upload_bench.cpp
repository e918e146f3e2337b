// Uploads the files named on the command line to an FTP server with TFtpClient, one connection,
// and prints "files seconds bytes". Driven by ftp_upload_vs_curl.sh, which compares it with curl.
// Usage: bench_ftp_upload PORT active|passive EOF_DELAY_MS FILE...
#include "publishing/ftp_client.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PORT active|passive EOF_DELAY_MS FILE...\n", argv[0]);
        return 2;
    }
    vistrel::TFtpClient client;
    client.Config.HostName = "127.0.0.1";
    client.Config.Port = argv[1];
    client.Config.UserName = "alice";
    client.Config.PassWord = "secret";
    client.Timeout = 60;
    client.SetPassive(std::string(argv[2]) == "passive");
    client.Config.EndOfFileDelayMs = std::stoi(argv[3]);
    if (!client.Connect() || !client.TypeSet()) {
        std::fprintf(stderr, "login failed: %s\n", client.ErrorMessage().c_str());
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    long long bytes = 0;
    int files = 0;
    for (int i = 4; i < argc; ++i) {
        std::filesystem::path file(argv[i]);
        client.LocalFileName = file.string();
        client.HostFileName = file.filename().string();
        if (!client.Put()) {
            std::fprintf(stderr, "upload of %s failed: %s\n", argv[i], client.ErrorMessage().c_str());
            return 1;
        }
        bytes += static_cast<long long>(std::filesystem::file_size(file));
        ++files;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    client.Quit();
    std::printf("%d %.3f %lld\n", files, seconds, bytes);
    return 0;
}
