// A 1 MB terminal program sent to qel-sim with --line-rate at 38400 baud, written with IO_Write
// in the five writes the program makes.
//
//   sim_upload_1mb_line_ratio: the time from the first write to the receiver's "OK", divided by
//     the time the upload's bytes need on the line (bytes x 10 bits / 38400). Target: at most
//     1.05 plus the receiver's end pause, which the reply has to wait out.
//   sim_upload_1mb_end_pause_share: what the end pause adds to that ratio.
#include "programreceiver.h"
#include "protocol/uploadchecksum.h"
#include "qelsimprocess.h"
#include "scratchdir.h"
#include "terminalfile.h"
#include "vorlak.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 7;
constexpr int kSpeed = 38400;
constexpr std::size_t kImageBytes = 1024 * 1024;

std::string checksumBytes(std::string_view block)
{
    const auto bytes = vorlak::protocol::uploadChecksum(block).wireBytes();
    return {bytes.begin(), bytes.end()};
}

std::string fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Seconds from the first write to the reply, or a negative value when the upload failed.
double upload(const ScratchDir& dir, const std::vector<std::string>& writes,
              const std::string& image)
{
    if (IO_Open(kPort, kSpeed) <= 0) {
        std::fprintf(stderr, "bench_sim_upload: cannot open the port\n");
        return -1.0;
    }
    const auto start = Clock::now();
    for (const std::string& bytes : writes) {
        IO_Write(kPort, static_cast<std::int32_t>(bytes.size()), bytes.data());
    }
    std::string reply;
    const auto limit = Clock::now() + std::chrono::seconds(30);
    while (reply.find("\r\n") == std::string::npos && Clock::now() < limit) {
        std::array<char, 16> buffer{};
        const std::int32_t n = IO_Read(kPort, buffer.size(), buffer.data(), 10);
        reply.append(buffer.data(), static_cast<std::size_t>(std::max(0, n)));
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    IO_Close(kPort);
    if (reply != "OK\r\n" || fileBytes(dir.path() / "state" / "upload" / "program.bin") != image) {
        std::fprintf(stderr, "bench_sim_upload: the upload failed (reply '%s')\n", reply.c_str());
        return -1.0;
    }
    return took.count();
}

} // namespace

int main()
{
    ScratchDir dir;
    const auto config = dir.path() / "config";
    std::filesystem::create_directories(config / "vorlak");
    std::ofstream(config / "vorlak" / "ports.conf")
        << "COM" << kPort << "=" << (dir / "com7") << "\n";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    TerminalFile::numbered(1, 1).write(dir / "terminal.json");

    QelSimProcess sim;
    if (!sim.start({"--terminal", dir / "terminal.json", "--link", dir / "com7", "--state",
                    dir / "state", "--line-rate"})) {
        std::fprintf(stderr, "bench_sim_upload: qel-sim did not start: %s\n",
                     sim.errorOutput().c_str());
        std::printf("sim_upload_1mb_line_ratio failed ratio <=1.05+pause\n");
        return 1;
    }

    std::string image(kImageBytes, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((i * 7919U) >> 3U);
    }
    const std::string header = "BENCH1MB";
    const std::vector<std::string> writes = {"S", header, checksumBytes("S" + header), image,
                                             checksumBytes(image)};
    std::size_t wireBytes = 0;
    for (const auto& bytes : writes) {
        wireBytes += bytes.size();
    }
    const double lineSeconds = static_cast<double>(wireBytes) * 10.0 / kSpeed;
    const double pauseShare =
        std::chrono::duration<double>(qelsim::ProgramReceiver::kEndPause).count() / lineSeconds;

    const double seconds = upload(dir, writes, image);
    if (seconds < 0) {
        std::printf("sim_upload_1mb_line_ratio failed ratio <=%.4f\n", 1.05 + pauseShare);
        return 1;
    }
    std::printf("sim_upload_1mb_line_ratio %.4f ratio <=%.4f\n", seconds / lineSeconds,
                1.05 + pauseShare);
    std::printf("sim_upload_1mb_end_pause_share %.4f ratio -\n", pauseShare);
    return 0;
}
