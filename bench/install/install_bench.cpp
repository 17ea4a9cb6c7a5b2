// The library walk against find over the same tree of 100,000 files. Both run warm (the tree
// built once in /tmp and listed once before timing), each several times; the medians compare.
#include "common/eventpump.h"
#include "common/userdialogs.h"
#include "install/libraryinstaller.h"
#include "silentdialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kFanOut = 10;        // folders per level, three levels deep
constexpr int kFilesPerLeaf = 100; // 10 * 10 * 10 leaves of 100 files
constexpr int kRuns = 7;
const char* const kTree = "/tmp/kolbrin-bench-walk-100k";

class NoEvents : public EventPump
{
public:
    void processEvents() override {}
    void waitWithEvents(std::chrono::milliseconds) override {}
};

bool touch(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    return fd >= 0 && ::close(fd) == 0;
}

/// Builds the tree unless a complete one is there from an earlier run.
bool ensureTree()
{
    const QByteArray root(kTree);
    const QByteArray marker = root + "/.complete";
    if (QFile::exists(QString::fromLatin1(marker))) {
        return true;
    }
    std::fprintf(stderr, "building %s (100,000 files, once)\n", kTree);
    QDir(QString::fromLatin1(root)).removeRecursively();
    for (int a = 0; a < kFanOut; ++a) {
        for (int b = 0; b < kFanOut; ++b) {
            for (int c = 0; c < kFanOut; ++c) {
                const QByteArray leaf = root + "/d" + QByteArray::number(a) + "/d" +
                                        QByteArray::number(b) + "/d" + QByteArray::number(c);
                if (!QDir().mkpath(QString::fromLatin1(leaf))) {
                    return false;
                }
                for (int f = 0; f < kFilesPerLeaf; ++f) {
                    if (!touch(leaf + "/reading-" + QByteArray::number(f) + ".txt")) {
                        return false;
                    }
                }
            }
        }
    }
    return touch(marker);
}

double millisecondsOf(const std::function<bool()>& work, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = work() && ok;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

/// find with the same question the walk asks: files named like the library, case ignored.
bool runFind()
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char find[] = "find";
    char root[] = "/tmp/kolbrin-bench-walk-100k";
    char iname[] = "-iname";
    char name[] = "libvorlak.so";
    char* argv[] = {find, root, iname, name, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "find", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!ensureTree()) {
        std::fprintf(stderr, "cannot build %s\n", kTree);
        return 1;
    }
    SilentDialogs dialogs;
    NoEvents events;
    const QString root = QString::fromLatin1(kTree);
    LibraryInstaller installer(dialogs, events,
                               {QString(), QString(), {}, QStringLiteral("libvorlak.so")});
    const auto walk = [&] {
        installer.backUpLibraryCopies(root, QStringLiteral("libvorlak.so"));
        return dialogs.messages == 0;
    };

    bool ok = true;
    millisecondsOf(runFind, ok); // warm the caches for both
    millisecondsOf(walk, ok);
    std::vector<double> findTimes;
    std::vector<double> walkTimes;
    for (int run = 0; run < kRuns; ++run) {
        findTimes.push_back(millisecondsOf(runFind, ok));
        walkTimes.push_back(millisecondsOf(walk, ok));
    }
    if (!ok) {
        std::fprintf(stderr, "find or the walk failed\n");
        return 1;
    }
    const double findMs = median(findTimes);
    const double walkMs = median(walkTimes);
    std::printf("install_find_100k %.3f ms -\n", findMs);
    std::printf("install_walk_100k %.3f ms -\n", walkMs);
    std::printf("install_walk_vs_find %.3f x <=1.5\n", walkMs / findMs);
    return 0;
}
