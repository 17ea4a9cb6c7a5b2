#include "linkthread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <utility>

LinkThread::LinkThread(CommLibrary& library, std::function<void()> beforeFirstCall)
    : m_library(library)
    , m_beforeFirstCall(std::move(beforeFirstCall))
    , m_worker(new QObject)
    , m_home(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("kolbrin-link"));
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

LinkThread::~LinkThread()
{
    m_thread.quit();
    m_thread.wait();
}

void LinkThread::setCallObserver(std::function<void(bool inFlight)> observer)
{
    m_observer = std::move(observer);
}

void LinkThread::runOnLink(const std::function<void()>& call)
{
    if (m_beforeFirstCall) {
        const std::function<void()> first = std::exchange(m_beforeFirstCall, {});
        first();
    }
    if (++m_depth == 1 && m_observer) {
        m_observer(true);
    }
    // `done` and `loop` belong to this thread: the link thread only queues the news to m_home,
    // so they live until this call has seen it. A call made from an event handled below waits
    // in a loop of its own, inside this one, and is queued behind this call on the link thread.
    bool done = false;
    QEventLoop loop;
    QObject* home = m_home.get();
    QMetaObject::invokeMethod(
        m_worker,
        [&call, &done, &loop, home] {
            call();
            QMetaObject::invokeMethod(
                home,
                [&done, &loop] {
                    done = true;
                    loop.quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    loop.exec();
    // A loop left early (the application is quitting) must still not return before the call.
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (--m_depth == 0 && m_observer) {
        m_observer(false);
    }
}

bool LinkThread::setReadProgress(ProgressHandler handler)
{
    m_progress = std::move(handler);
    const bool relay = static_cast<bool>(m_progress);
    return run([this, relay] {
        return m_library.setReadProgress(
            relay ? ProgressHandler([this](ReadProgress progress) { relayProgress(progress); })
                  : ProgressHandler());
    });
}

void LinkThread::relayProgress(ReadProgress progress)
{
    m_progressRecords = progress.records;
    m_progressBytes = progress.bytes;
    if (!m_progressQueued.exchange(true)) {
        QMetaObject::invokeMethod(
            m_home.get(), [this] { deliverProgress(); }, Qt::QueuedConnection);
    }
}

void LinkThread::deliverProgress()
{
    // Cleared first: a report that comes while this one is handled queues another delivery.
    m_progressQueued = false;
    if (m_progress) {
        m_progress({m_progressRecords.load(), m_progressBytes.load()});
    }
}

std::int32_t LinkThread::I_OpenCom(std::int32_t port, std::int32_t speed)
{
    return run([&] { return m_library.I_OpenCom(port, speed); });
}

std::int32_t LinkThread::I_OpenComWithoutOpen(std::int32_t port, std::int32_t speed)
{
    return run([&] { return m_library.I_OpenComWithoutOpen(port, speed); });
}

void LinkThread::I_CloseCom(std::int32_t port)
{
    run([&] { m_library.I_CloseCom(port); });
}

std::int32_t LinkThread::I_CheckTerminal(QByteArray& terminalId)
{
    return run([&] { return m_library.I_CheckTerminal(terminalId); });
}

std::int32_t LinkThread::I_ReadHeader(QByteArray& terminalId, const QByteArray& headerTemplate,
                                      std::int32_t index, std::int32_t& textToken)
{
    return run(
        [&] { return m_library.I_ReadHeader(terminalId, headerTemplate, index, textToken); });
}

std::int32_t LinkThread::I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                                       std::int32_t index, std::int32_t& textToken)
{
    return run([&] { return m_library.I_ReadEntries(terminalId, bodyTemplate, index, textToken); });
}

QByteArray LinkThread::GetStringFromPtr(std::int32_t textToken, std::int32_t length)
{
    return run([&] { return m_library.GetStringFromPtr(textToken, length); });
}

std::int32_t LinkThread::I_ReadEntriesConfig(QByteArray& terminalId, QByteArray& bodyTemplate)
{
    return run([&] { return m_library.I_ReadEntriesConfig(terminalId, bodyTemplate); });
}

std::int32_t LinkThread::I_ReadHeadersConfig(QByteArray& terminalId, QByteArray& headerTemplate)
{
    return run([&] { return m_library.I_ReadHeadersConfig(terminalId, headerTemplate); });
}

std::int32_t LinkThread::I_SendList(QByteArray& terminalId, const QByteArray& userVariable,
                                    const QByteArray& data, std::int32_t position)
{
    return run([&] { return m_library.I_SendList(terminalId, userVariable, data, position); });
}

std::int32_t LinkThread::I_ClearEntries(QByteArray& terminalId, std::int32_t list)
{
    return run([&] { return m_library.I_ClearEntries(terminalId, list); });
}

std::int32_t LinkThread::I_ClearAllEntries(QByteArray& terminalId)
{
    return run([&] { return m_library.I_ClearAllEntries(terminalId); });
}

std::int32_t LinkThread::I_KillProgram(QByteArray& terminalId)
{
    return run([&] { return m_library.I_KillProgram(terminalId); });
}

std::int32_t LinkThread::IO_Open(std::int32_t port, std::int32_t speed)
{
    return run([&] { return m_library.IO_Open(port, speed); });
}

void LinkThread::IO_Close(std::int32_t port)
{
    run([&] { m_library.IO_Close(port); });
}

void LinkThread::IO_Write(std::int32_t port, const QByteArray& bytes)
{
    run([&] { m_library.IO_Write(port, bytes); });
}

QByteArray LinkThread::IO_Read(std::int32_t port, std::int32_t maxCount, std::int32_t waitMs)
{
    return run([&] { return m_library.IO_Read(port, maxCount, waitMs); });
}

std::int32_t LinkThread::IO_NumCharsInQue(std::int32_t port)
{
    return run([&] { return m_library.IO_NumCharsInQue(port); });
}

void LinkThread::IO_dtr_control_enable(std::int32_t port)
{
    run([&] { m_library.IO_dtr_control_enable(port); });
}

void LinkThread::IO_dtr_control_disable(std::int32_t port)
{
    run([&] { m_library.IO_dtr_control_disable(port); });
}

void LinkThread::VORLAK_Sleep(std::int32_t milliseconds)
{
    run([&] { m_library.VORLAK_Sleep(milliseconds); });
}

std::optional<CommLibrary::OpenError> LinkThread::lastOpenError()
{
    return run([&] { return m_library.lastOpenError(); });
}

bool LinkThread::portLost(std::int32_t port)
{
    return run([&] { return m_library.portLost(port); });
}
