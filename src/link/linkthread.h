#pragma once

#include "commlibrary.h"

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class QObject;

/// The link thread: a CommLibrary that runs every call of another one on a thread of its own,
/// so that the window stays alive while the terminal answers.
///
/// The caller's order of operations is kept: each call waits for its result, with a local event
/// loop running meanwhile, so the window repaints, moves and opens its menus. Calls never
/// overlap and the wrapped library is called from the link thread only: a call made while
/// another is in flight (from an event handled during the wait) waits its turn on that thread.
/// Work started by window events checks callInFlight() first (the polling tick skips, the port
/// commands are disabled through the call observer).
class LinkThread : public CommLibrary
{
public:
    /// `beforeFirstCall` runs once, on the caller's thread, before the first call is handed to
    /// the link thread: loading the library may show a message, which only that thread can.
    explicit LinkThread(CommLibrary& library, std::function<void()> beforeFirstCall = {});
    /// Waits for the call in flight, if any, and ends the thread.
    ~LinkThread() override;
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;

    [[nodiscard]] bool callInFlight() const override { return m_depth > 0; }
    void setCallObserver(std::function<void(bool inFlight)> observer) override;
    /// The handler runs on the caller's thread: the link thread's reports are handed over as
    /// queued events, the latest one only when several came between two deliveries. The report
    /// made at the end of a call is delivered before the call returns.
    bool setReadProgress(ProgressHandler handler) override;

    std::int32_t I_OpenCom(std::int32_t port, std::int32_t speed) override;
    std::int32_t I_OpenComWithoutOpen(std::int32_t port, std::int32_t speed) override;
    void I_CloseCom(std::int32_t port) override;
    std::int32_t I_CheckTerminal(QByteArray& terminalId) override;
    std::int32_t I_ReadHeader(QByteArray& terminalId, const QByteArray& headerTemplate,
                              std::int32_t index, std::int32_t& textToken) override;
    std::int32_t I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                               std::int32_t index, std::int32_t& textToken) override;
    QByteArray GetStringFromPtr(std::int32_t textToken, std::int32_t length) override;
    std::int32_t I_ReadEntriesConfig(QByteArray& terminalId, QByteArray& bodyTemplate) override;
    std::int32_t I_ReadHeadersConfig(QByteArray& terminalId, QByteArray& headerTemplate) override;
    std::int32_t I_SendList(QByteArray& terminalId, const QByteArray& userVariable,
                            const QByteArray& data, std::int32_t position) override;
    std::int32_t I_ClearEntries(QByteArray& terminalId, std::int32_t list) override;
    std::int32_t I_ClearAllEntries(QByteArray& terminalId) override;
    std::int32_t I_KillProgram(QByteArray& terminalId) override;
    std::int32_t IO_Open(std::int32_t port, std::int32_t speed) override;
    void IO_Close(std::int32_t port) override;
    void IO_Write(std::int32_t port, const QByteArray& bytes) override;
    QByteArray IO_Read(std::int32_t port, std::int32_t maxCount, std::int32_t waitMs) override;
    std::int32_t IO_NumCharsInQue(std::int32_t port) override;
    void IO_dtr_control_enable(std::int32_t port) override;
    void IO_dtr_control_disable(std::int32_t port) override;
    void VORLAK_Sleep(std::int32_t milliseconds) override;
    std::optional<OpenError> lastOpenError() override;
    bool portLost(std::int32_t port) override;

private:
    /// Runs `call` on the link thread and handles events until it has returned.
    void runOnLink(const std::function<void()>& call);
    template <typename Call>
    auto run(Call call) -> decltype(call())
    {
        if constexpr (std::is_void_v<decltype(call())>) {
            runOnLink(call);
        } else {
            decltype(call()) result{};
            runOnLink([&] { result = call(); });
            return result;
        }
    }
    /// On the link thread: keeps the latest report and asks the caller's thread to deliver it.
    void relayProgress(ReadProgress progress);
    void deliverProgress();

    CommLibrary& m_library;
    std::function<void()> m_beforeFirstCall;
    QThread m_thread;
    /// Lives on the link thread, which deletes it as it ends: the calls are queued to it.
    QObject* m_worker = nullptr;
    /// Lives on the caller's thread: results and progress are queued to it.
    std::unique_ptr<QObject> m_home;
    int m_depth = 0;
    std::function<void(bool)> m_observer;
    ProgressHandler m_progress;
    std::atomic<std::int64_t> m_progressRecords = 0;
    std::atomic<std::int64_t> m_progressBytes = 0;
    std::atomic<bool> m_progressQueued = false;
};
