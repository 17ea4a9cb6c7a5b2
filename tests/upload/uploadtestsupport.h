#pragma once

#include "fakecommlibrary.h"
#include "upload/uploadhost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
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
        if (++m_writes % kWritesPerAttempt == 0) {
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

    static constexpr int kWritesPerAttempt = 5;
    /// What the terminal answers to each attempt, in order; none once they run out.
    std::deque<QByteArray> replies;
    /// Time spent waiting in vain for the reply to an attempt.
    std::int64_t waitedMs = 0;

private:
    int m_writes = 0;
    bool m_awaitingReply = false;
};

/// Status panel 1 of the upload dialog, every text it was given in order.
class RecordingProgress : public UploadProgress
{
public:
    void setUploadStatus(const QString& text) override { texts.append(text); }
    QStringList texts;
};

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
