#include "journal/memoryjournal.h"
#include "shell/commandline.h"
#include "shell/journalcommands.h"
#include "tempdir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::vector<std::string_view> args(std::initializer_list<std::string_view> list)
{
    return list;
}

TEST(CommandLineTest, NoArgumentStartsTheProgram)
{
    const CommandLineAnswer answer = answerCommandLine(args({}));
    EXPECT_TRUE(answer.startProgram);
    EXPECT_TRUE(answer.standardOutput.empty());
    EXPECT_TRUE(answer.errorOutput.empty());

    const char* argv[] = {"kolbrin"};
    EXPECT_TRUE(answerCommandLine(1, argv).startProgram);
}

TEST(CommandLineTest, VersionIsTheProjectVersion)
{
    for (const std::string_view option : {"--version", "-v"}) {
        SCOPED_TRACE(std::string(option));
        const CommandLineAnswer answer = answerCommandLine(args({option}));
        EXPECT_FALSE(answer.startProgram);
        EXPECT_EQ(answer.exitStatus, 0);
        EXPECT_EQ(answer.standardOutput, "Kolbrin " KOLBRIN_PROJECT_VERSION "\n");
        EXPECT_TRUE(answer.errorOutput.empty());
    }
}

TEST(CommandLineTest, HelpPrintsTheUsageOnStandardOutput)
{
    for (const std::string_view option : {"--help", "-h"}) {
        SCOPED_TRACE(std::string(option));
        const CommandLineAnswer answer = answerCommandLine(args({option}));
        EXPECT_FALSE(answer.startProgram);
        EXPECT_EQ(answer.exitStatus, 0);
        EXPECT_EQ(answer.standardOutput, commandLineUsage());
        EXPECT_TRUE(answer.errorOutput.empty());
    }
    EXPECT_EQ(commandLineUsage().rfind("Usage: kolbrin [--help | --version]\n"
                                       "       kolbrin --history [--json] [--limit N]\n"
                                       "       kolbrin --export ID FILE\n",
                                       0),
              0u);
}

TEST(CommandLineTest, FirstOptionDecides)
{
    EXPECT_EQ(answerCommandLine(args({"--help", "--version"})).standardOutput, commandLineUsage());
    EXPECT_EQ(answerCommandLine(args({"-v", "-h"})).standardOutput, versionLine());
}

// Qt's own options (-platform, -style, ...) are not taken either: the program has none to pass
// on, and a silently ignored argument is worse than a clear refusal.
TEST(CommandLineTest, AnythingElseIsAUsageErrorNamingTheArgument)
{
    struct Case
    {
        std::vector<std::string_view> arguments;
        std::string named;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "--bogus"},
        {{"shop.txt"}, "shop.txt"},
        {{""}, ""},
        {{"--help=1"}, "--help=1"},
        {{"--HELP"}, "--HELP"},
        {{"-hv"}, "-hv"},
        {{"--version", "extra"}, "extra"},
        {{"-platform", "offscreen"}, "-platform"},
        {{"--help", "x", "y"}, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        const CommandLineAnswer answer = answerCommandLine(c.arguments);
        EXPECT_FALSE(answer.startProgram);
        EXPECT_EQ(answer.exitStatus, 2);
        EXPECT_TRUE(answer.standardOutput.empty());
        EXPECT_EQ(answer.errorOutput,
                  "kolbrin: unknown argument '" + c.named + "'\n\n" + commandLineUsage());
    }
}

TEST(CommandLineTest, JournalCommandsAreParsedIntoARequestOrAUsageError)
{
    using Kind = JournalRequest::Kind;
    EXPECT_EQ(answerCommandLine(args({"--history"})).journal, JournalRequest{});
    EXPECT_EQ(answerCommandLine(args({"--history", "--limit", "3", "--json"})).journal,
              (JournalRequest{Kind::History, true, 3, 0, {}}));
    EXPECT_EQ(answerCommandLine(args({"--export", "12", "out put.txt"})).journal,
              (JournalRequest{Kind::Export, false, 0, 12, "out put.txt"}));

    const std::vector<std::pair<std::vector<std::string_view>, std::string>> bad = {
        {{"--history", "--limit"}, "--limit needs a whole number of 1 or more"},
        {{"--history", "--limit", "0"}, "--limit '0' is not a whole number of 1 or more"},
        {{"--history", "--limit", "2147483648"},
         "--limit '2147483648' is not a whole number of 1 or more"},
        {{"--history", "--json", "--json"}, "--json is given twice"},
        {{"--history", "--csv"}, "unknown argument '--csv'"},
        {{"--json", "--history"}, "--json goes after --history"},
        {{"--help", "--history"}, "unknown argument '--history'"},
        {{"--export", "5"}, "--export needs a reading id and a file"},
        {{"--export", "x", "f"}, "--export 'x' is not a reading id (a whole number of 1 or more)"},
        {{"--export", "5", "a", "b"}, "unknown argument 'b'"},
    };
    for (const auto& [arguments, problem] : bad) {
        const CommandLineAnswer answer = answerCommandLine(arguments);
        EXPECT_FALSE(answer.startProgram || answer.journal) << problem;
        EXPECT_EQ(answer.exitStatus, 2) << problem;
        EXPECT_EQ(answer.errorOutput, "kolbrin: " + problem + "\n\n" + commandLineUsage());
    }
}

/// A journal whose file cannot be read: every query finds nothing and says why.
class UnreadableJournal : public MemoryJournal
{
public:
    QList<JournalReading> readings(int) override { return {}; }
    std::optional<JournalReading> reading(qint64) override { return std::nullopt; }
    QString problem() const override { return u"disk I/O error"_s; }
};

/// A shared journal that cannot be reached: it lists this PC's readings and says so.
class FallenBackJournal : public MemoryJournal
{
public:
    QString problem() const override { return u"the server could not be reached."_s; }
};

class JournalCommandTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        // Added oldest first: ids 1, 2, 3. A time in another zone is still shown in UTC.
        add(u"T7"_s, "2024-05-01T09:31:05Z", 2, 14, u"delivered"_s, true, u"/data/shop.txt"_s,
            u"Caf\u00e9\r\n5601,2\r\n"_s);
        add(u"LONG-TERMINAL-NAME-21"_s, "2024-05-02T10:00:09+02:00", 1, 3, u"delivery-failed"_s);
        add(u"T7"_s, "", 0, 0, u"pending"_s);
    }
    void add(const QString& terminal, const char* finished, int documents, int records,
             const QString& result, bool cleared = false, const QString& target = {},
             const QString& text = {})
    {
        JournalReading reading;
        reading.terminal = terminal;
        reading.port = 1;
        reading.finished = QDateTime::fromString(QString::fromLatin1(finished), Qt::ISODate);
        reading.started = reading.finished.addSecs(-65);
        reading.documents = documents;
        reading.records = records;
        reading.bytes = text.toUtf8().size();
        reading.sha256 = u"ab12"_s;
        reading.text = text;
        reading.mode = u"overwrite"_s;
        reading.target = target;
        reading.result = result;
        reading.cleared = cleared;
        ASSERT_TRUE(journal.addReading(reading));
    }
    CommandLineAnswer run(std::initializer_list<std::string_view> arguments,
                          Journal* from = nullptr)
    {
        const std::optional<JournalRequest> request = answerCommandLine(arguments).journal;
        EXPECT_TRUE(request);
        return request ? runJournalCommand(*request, from ? *from : journal) : CommandLineAnswer{};
    }

    MemoryJournal journal;
};

TEST_F(JournalCommandTest, HistoryListsTheNewestFirst)
{
    const std::string header = "    ID  FINISHED (UTC)        TERMINAL          DOCUMENTS  "
                               "RECORDS  RESULT             CLEARED  TARGET\n";
    const std::string newest = "     3  -                     T7                        0  "
                               "      0  pending            no       -\n";
    EXPECT_EQ(run({"--history"}).standardOutput,
              header + newest +
                  "     2  2024-05-02T08:00:09Z  LONG-TERMINAL-NAME-21          1        3  "
                  "delivery-failed    no       -\n"
                  "     1  2024-05-01T09:31:05Z  T7                        2       14  "
                  "delivered          yes      /data/shop.txt\n");
    EXPECT_EQ(run({"--history", "--limit", "1"}).standardOutput, header + newest);

    // Exactly the keys (QJsonObject sorts them), numbers and flags as such, null for no time.
    const auto json = [&](std::initializer_list<std::string_view> arguments) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(run(arguments).standardOutput))
            .array();
    };
    const QJsonArray all = json({"--history", "--json"});
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(QJsonDocument(all[2].toObject()).toJson(QJsonDocument::Compact),
              R"({"bytes":15,"cleared":true,"documents":2,"finished":"2024-05-01T09:31:05Z",)"
              R"("id":1,"mode":"overwrite","port":1,"records":14,"result":"delivered",)"
              R"("sha256":"ab12","started":"2024-05-01T09:30:00Z","target":"/data/shop.txt",)"
              R"("terminal":"T7"})"_ba);
    EXPECT_EQ(all[0].toObject().keys(), all[2].toObject().keys());
    EXPECT_EQ(all[0][u"finished"_s], QJsonValue(QJsonValue::Null));
    EXPECT_EQ(all[1][u"finished"_s], QJsonValue(u"2024-05-02T08:00:09Z"_s));
    const QJsonArray two = json({"--history", "--json", "--limit", "2"});
    EXPECT_EQ(two, (QJsonArray{all[0], all[1]}));
}

TEST_F(JournalCommandTest, ExportWritesTheDeliveredTextOrSaysWhyNot)
{
    const std::string file = path(u"reading 1.txt"_s).toStdString();
    EXPECT_EQ(run({"--export", "1", file}).exitStatus, 0);
    QFile written(QString::fromStdString(file));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "Caf\xc3\xa9\n5601,2\n"_ba); // LF on this platform

    ASSERT_TRUE(QDir(path()).mkdir(u"folder"_s));
    const std::string folder = path(u"folder"_s).toStdString();
    const std::string missing = path(u"missing/out.txt"_s).toStdString();
    UnreadableJournal unreadable;
    const std::pair<CommandLineAnswer, std::string> failures[] = {
        {run({"--export", "4", file}), "the journal holds no reading with id 4"},
        {run({"--export", "1", folder}),
         "the file \"" + folder + "\" could not be written: it is a folder"},
        {run({"--export", "1", missing}),
         "the file \"" + missing + "\" could not be written: No such file or directory"},
        {run({"--history"}, &unreadable), "the journal could not be read: disk I/O error"},
    };
    for (const auto& [answer, problem] : failures) {
        EXPECT_EQ(answer.exitStatus, 1);
        EXPECT_EQ(answer.standardOutput + answer.errorOutput, "kolbrin: " + problem + '\n');
    }
    EXPECT_EQ(QDir(path()).entryList(QDir::Files), QStringList{u"reading 1.txt"_s});
}

TEST_F(JournalCommandTest, HistoryListsWhatItFellBackToWithAWarning)
{
    FallenBackJournal fallenBack;
    JournalReading reading;
    reading.terminal = u"T9"_s;
    ASSERT_TRUE(fallenBack.addReading(reading));
    const CommandLineAnswer answer = run({"--history", "--json"}, &fallenBack);
    EXPECT_EQ(answer.exitStatus, 0);
    EXPECT_EQ(
        QJsonDocument::fromJson(QByteArray::fromStdString(answer.standardOutput)).array().size(),
        1);
    EXPECT_EQ(answer.errorOutput, "kolbrin: the server could not be reached.\n");
}

// The built program as a scheduler starts it: no display, no platform plugin, its own folders.
TEST_F(JournalCommandTest, TheProgramAnswersWithoutADisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(u"XDG_DATA_HOME"_s, path(u"data"_s));
    environment.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
    const auto kolbrin = [&](const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("KOLBRIN_BIN_DIR") + u"/kolbrin"_s, arguments);
        EXPECT_TRUE(process.waitForFinished(30000)) << process.errorString().toStdString();
        return std::tuple(process.exitCode(), process.readAllStandardOutput(),
                          process.readAllStandardError().split('\n').value(0));
    };
    // A fresh data folder holds no readings.
    EXPECT_EQ(kolbrin({u"--history"_s, u"--json"_s}), std::tuple(0, "[\n]\n"_ba, ""_ba));
    EXPECT_EQ(kolbrin({u"--export"_s, u"1"_s, path(u"out.txt"_s)}),
              std::tuple(1, ""_ba, "kolbrin: the journal holds no reading with id 1"_ba));
    EXPECT_EQ(kolbrin({u"--version"_s}),
              std::tuple(0, "Kolbrin " KOLBRIN_PROJECT_VERSION "\n"_ba, ""_ba));

    // Started to show its window: one line instead of Qt's abort, in the user's language.
    environment.insert(u"LC_ALL"_s, u"C"_s);
    EXPECT_EQ(kolbrin({}),
              std::tuple(1, ""_ba,
                         "kolbrin: Kolbrin needs a graphical session, and there is none here "
                         "(neither DISPLAY nor WAYLAND_DISPLAY is set). --help and the other "
                         "command-line options work without one."_ba));
    // A display that does not answer (a stale DISPLAY) is told the same way.
    environment.insert(u"DISPLAY"_s, u":1999"_s);
    EXPECT_EQ(kolbrin({}),
              std::tuple(1, ""_ba,
                         "kolbrin: Kolbrin needs a graphical session, but the display :1999 "
                         "(DISPLAY) does not answer: it has ended, or this user may not use it. "
                         "--help and the other command-line options work without one."_ba));
    environment.remove(u"DISPLAY"_s);
    ASSERT_TRUE(QDir().mkpath(path(u"config/Kolbrin"_s)));
    QFile settings(path(u"config/Kolbrin/Kolbrin.ini"_s));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Setup]\nLanguage=Spanish\n");
    settings.close();
    const auto [status, output, error] = kolbrin({});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(QString::fromLocal8Bit(error).startsWith(
        u"kolbrin: Kolbrin necesita una sesi\u00f3n gr\u00e1fica"_s))
        << error.toStdString();
}

// The built program with its window, on Qt's offscreen platform, in profiles of its own
// (settings and data folders) sharing one runtime folder, as starts of one user share it.
class ProgramStartTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        // A copy, as installed: the program moves a library beside it into the profile.
        ASSERT_TRUE(QDir().mkpath(path(u"app"_s)));
        for (const QString& file : {u"kolbrin"_s, u"libvorlak.so"_s}) {
            ASSERT_TRUE(QFile::copy(qEnvironmentVariable("KOLBRIN_BIN_DIR") + u'/' + file,
                                    path(u"app/"_s + file)));
        }
        ASSERT_TRUE(QDir().mkpath(path(u"runtime"_s)));
        QFile::setPermissions(path(u"runtime"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override
    {
        for (auto& process : m_processes) {
            process->kill();
            process->waitForFinished(10000);
        }
    }

    QProcess& start(const QString& profile)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"XDG_RUNTIME_DIR"_s, path(u"runtime"_s));
        environment.insert(u"XDG_CONFIG_HOME"_s, path(profile + u"/config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, path(profile + u"/data"_s));
        auto& process = *m_processes.emplace_back(std::make_unique<QProcess>());
        process.setObjectName(path(u"%1.err"_s.arg(m_processes.size())));
        process.setStandardErrorFile(process.objectName());
        process.setProcessEnvironment(environment);
        process.start(path(u"app/kolbrin"_s), QStringList{});
        EXPECT_TRUE(process.waitForStarted(30000)) << process.errorString().toStdString();
        return process;
    }
    static QByteArray errors(const QProcess& process)
    {
        QFile file(process.objectName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    /// A start that finds another one running for its profile: it ends at once with 0, and the
    /// running one brings its window to the front (and says so).
    void expectBroughtToFront(QProcess& running, const QString& profile)
    {
        QProcess& again = start(profile);
        // A start waits up to 20 s for a running one that is still starting itself.
        ASSERT_TRUE(again.waitForFinished(60000)) << errors(again).toStdString();
        EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(again.exitCode(), 0) << errors(again).toStdString();
        QDeadlineTimer deadline(60000);
        while (!errors(running).contains(kBroughtToFront) && !deadline.hasExpired()) {
            QThread::msleep(50);
        }
        EXPECT_TRUE(errors(running).contains(kBroughtToFront)) << errors(running).toStdString();
        EXPECT_EQ(running.state(), QProcess::Running);
    }
    /// Waits until `process` holds a lock in the runtime folder (its process id is the lock
    /// file's first line).
    bool waitForLock(const QProcess& process)
    {
        const QByteArray pid = QByteArray::number(process.processId()) + '\n';
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            for (const QString& name : QDir(path(u"runtime"_s)).entryList({u"*.lock"_s})) {
                QFile lock(path(u"runtime/"_s + name));
                if (lock.open(QIODevice::ReadOnly) && lock.readAll().startsWith(pid)) {
                    return true;
                }
            }
            QThread::msleep(50);
        }
        return false;
    }

    static constexpr char kBroughtToFront[] =
        "kolbrin: another start brought this window to the front";
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST_F(ProgramStartTest, OneKolbrinPerProfileAndACrashedOneBlocksNothing)
{
    QProcess& first = start(u"a"_s);
    ASSERT_TRUE(waitForLock(first));
    expectBroughtToFront(first, u"a"_s);

    // Another profile is another Kolbrin.
    QProcess& other = start(u"b"_s);
    ASSERT_TRUE(waitForLock(other));
    EXPECT_FALSE(other.waitForFinished(1000));

    // Killed, the first leaves its lock and socket behind; the next start takes them over.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_EQ(QDir(path(u"runtime"_s)).entryList({u"*.lock"_s}).size(), 2);
    QProcess& restarted = start(u"a"_s);
    ASSERT_TRUE(waitForLock(restarted));
    expectBroughtToFront(restarted, u"a"_s);
    EXPECT_EQ(other.state(), QProcess::Running);
}

} // namespace
