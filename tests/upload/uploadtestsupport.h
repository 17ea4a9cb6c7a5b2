#pragma once

#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/memorysettingsstore.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"
#include "tempdir.h"
#include "upload/uploadhost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <deque>
#include <gtest/gtest.h>

/// A terminal behind the fake library: it answers each attempt once the attempt's last write
/// (the image checksums) is in, and it counts the time reads for the reply wait in vain.
class AnsweringLibrary : public FakeCommLibrary
{
public:
    void IO_Write(std::int32_t port, const QByteArray& bytes) override
    {
        FakeCommLibrary::IO_Write(port, bytes);
        writeSizes += QString::number(bytes.size()) + QLatin1Char(' ');
        if (++m_writes % writesPerAttempt == 0) {
            m_awaitingReply = true;
            if (!replies.empty()) {
                incoming += replies.front();
                replies.pop_front();
            }
        }
    }
    void IO_Close(std::int32_t port) override
    {
        FakeCommLibrary::IO_Close(port);
        m_awaitingReply = false;
    }
    QByteArray IO_Read(std::int32_t port, std::int32_t maxCount, std::int32_t waitMs) override
    {
        QByteArray bytes = FakeCommLibrary::IO_Read(port, maxCount, waitMs);
        if (bytes.isEmpty() && m_awaitingReply) {
            waitedMs += waitMs;
        }
        return bytes;
    }

    /// What the terminal answers to each attempt, in order; nothing once they run out.
    std::deque<QByteArray> replies;
    std::int64_t waitedMs = 0;
    QString writeSizes; ///< e.g. "1 8 4 3 4 "
    /// Writes of one attempt: 5, and more for an image that goes out in pieces.
    int writesPerAttempt = 5;

private:
    int m_writes = 0;
    bool m_awaitingReply = false;
};

/// Status panel 1 of the upload dialog, every text it was given in order.
class RecordingProgress : public UploadProgress
{
public:
    void setUploadStatus(const QString& text) override { texts.append(text); }
    /// Each progress as "sent/total #attempt".
    void setUploadProgress(qint64 sent, qint64 total, int attempt) override
    {
        progress.append(QStringLiteral("%1/%2 #%3").arg(sent).arg(total).arg(attempt));
    }
    QStringList texts;
    QStringList progress;
};

/// "a|b|c" as a list.
inline QStringList list(const char* items)
{
    return QString::fromLatin1(items).split(QLatin1Char('|'));
}

inline void writeTestFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
    }
}

inline QByteArray readTestFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/// The program's side of an upload on port 7, English, with the reading session open, a terminal
/// that answers presence checks, and a program "prog" (header "HDR", image "abc") in the
/// temporary folder.
class UploadTest : public TempDirTest
{
protected:
    static constexpr std::int32_t kWait = 50;

    void SetUp() override
    {
        TempDirTest::SetUp();
        language.applyLanguage(QStringLiteral("English"));
        ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com7")));
        state.settings.ComPortNumber = 7;
        state.settings.BaudRate9600 = 9600;
        state.TerminalOnCradle = true;
        library.setDefault(QStringLiteral("I_CheckTerminal"), 1);
        session.startReceiving();
        library.calls.clear();
        writeTestFile(path(QStringLiteral("prog.hea")), "HDR");
        writeTestFile(path(QStringLiteral("prog.bin")), "abc");
    }

    /// The reading session is open again: its last word was an open on the reading port.
    [[nodiscard]] bool readingResumed() const
    {
        const QStringList opens = library.calls.filter(QStringLiteral("Com "));
        return !opens.isEmpty() && opens.last() == QStringLiteral("I_OpenCom 7 9600");
    }

    AnsweringLibrary library;
    AppState state;
    MemorySettingsStore store;
    FakeWindowControls window;
    CountingEventPump pump;
    RecordingDialogs dialogs;
    UiLanguage language;
    RecordingProgress progress;
    ReadingSession session{library, state, window, pump, dialogs, language};
};
