// AppLog throughput: lines per second written to one file by 8 threads.
//   app_log_bench [--lines N] [--keep FILE]
#include "framework/app_log.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    int linesPerThread = 10000;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0)
            linesPerThread = std::stoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--keep") == 0)
            keep = argv[i + 1];
    }
    constexpr int kThreads = 8;

    TempFolder folder;
    const std::string path = keep.empty() ? folder.File("bench.txt") : keep;
    AppLog log;
    log.SetOptions(AppLog::OptionTimeStamp | AppLog::OptionCategory | AppLog::OptionThread);
    log.SetLogPath(path);

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, linesPerThread, t] {
            for (int i = 0; i < linesPerThread; ++i)
                log.Write(AppLog::Trace, "DispenserPort: получено: 04 50 02 %02X 31 30 03 (поток %d, запись %d)", i & 0xFF,
                          t, i);
        });
    }
    for (auto& writer : writers)
        writer.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double lines = static_cast<double>(kThreads) * linesPerThread;
    std::printf("AppLog: %d writer threads, %.0f lines in %.3f s: %.0f lines/s\n", kThreads, lines, seconds,
                lines / seconds);
    return 0;
}
