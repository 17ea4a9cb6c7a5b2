// The exported C functions of vorlak.h. Each forwards to the library object; no C++ exception
// crosses into the caller, which may not be C++ at all: one turns into the failure result.
#include "library.h"
#include "vorlak.h"

#include <chrono>
#include <thread>

namespace {

vorlak::Library& library()
{
    return vorlak::Library::instance();
}

template <typename Call>
std::int32_t guarded(Call call, std::int32_t onFailure = VORLAK_ERR_COMM) noexcept
{
    try {
        return call();
    } catch (...) {
        return onFailure;
    }
}

template <typename Call>
void guardedVoid(Call call) noexcept
{
    try {
        call();
    } catch (...) {
    }
}

} // namespace

extern "C" {

VORLAK_API int32_t VORLAK_CALL I_OpenCom(int32_t port, int32_t speed)
{
    return guarded([&] { return library().openTerminalPort(port, speed); });
}

VORLAK_API int32_t VORLAK_CALL I_OpenComWithoutOpen(int32_t port, int32_t speed)
{
    return guarded([&] { return library().takeOverPort(port, speed); });
}

VORLAK_API void VORLAK_CALL I_CloseCom(int32_t port)
{
    guardedVoid([&] { library().closeTerminalPort(port); });
}

VORLAK_API int32_t VORLAK_CALL I_CheckTerminal(char* terminalId)
{
    return guarded([&] { return library().checkTerminal(terminalId); }, 0);
}

VORLAK_API int32_t VORLAK_CALL I_ReadHeader(char* terminalId, const char* headerTemplate,
                                            int32_t index, int32_t* textToken)
{
    return guarded(
        [&] { return library().readHeader(terminalId, headerTemplate, index, textToken); });
}

VORLAK_API int32_t VORLAK_CALL I_ReadEntries(char* terminalId, const char* bodyTemplate,
                                             int32_t index, int32_t* textToken)
{
    return guarded(
        [&] { return library().readEntries(terminalId, bodyTemplate, index, textToken); });
}

VORLAK_API void VORLAK_CALL GetStringFromPtr(char* buffer, int32_t textToken, int32_t length)
{
    guardedVoid([&] { library().copyText(buffer, textToken, length); });
}

VORLAK_API int32_t VORLAK_CALL I_ReadEntriesConfig(char* terminalId, char* buffer)
{
    return guarded([&] {
        return library().readTemplate(terminalId, buffer, vorlak::protocol::Scope::BodyTemplate);
    });
}

VORLAK_API int32_t VORLAK_CALL I_ReadHeadersConfig(char* terminalId, char* buffer)
{
    return guarded([&] {
        return library().readTemplate(terminalId, buffer, vorlak::protocol::Scope::HeaderTemplate);
    });
}

VORLAK_API int32_t VORLAK_CALL I_SendList(char* terminalId, const char* userVariable,
                                          const char* data, int32_t length, int32_t position)
{
    return guarded(
        [&] { return library().sendList(terminalId, userVariable, data, length, position); });
}

VORLAK_API int32_t VORLAK_CALL I_ClearEntries(char* terminalId, int32_t list)
{
    return guarded([&] { return library().clearList(terminalId, list); });
}

VORLAK_API int32_t VORLAK_CALL I_ClearAllEntries(char* terminalId)
{
    return guarded([&] { return library().clearAll(terminalId); });
}

VORLAK_API int32_t VORLAK_CALL I_KillProgram(char* terminalId)
{
    return guarded([&] { return library().killProgram(terminalId); });
}

VORLAK_API int32_t VORLAK_CALL IO_Open(int32_t port, int32_t speed)
{
    return guarded([&] { return library().rawOpen(port, speed); });
}

VORLAK_API void VORLAK_CALL IO_Close(int32_t port)
{
    guardedVoid([&] { library().rawClose(port); });
}

VORLAK_API void VORLAK_CALL IO_Write(int32_t port, int32_t count, const char* bytes)
{
    guardedVoid([&] { library().rawWrite(port, count, bytes); });
}

VORLAK_API int32_t VORLAK_CALL IO_Read(int32_t port, int32_t maxCount, char* buffer, int32_t waitMs)
{
    return guarded([&] { return library().rawRead(port, maxCount, buffer, waitMs); }, 0);
}

VORLAK_API int32_t VORLAK_CALL IO_NumCharsInQue(int32_t port)
{
    return guarded([&] { return library().rawAvailable(port); }, 0);
}

VORLAK_API void VORLAK_CALL IO_dtr_control_enable(int32_t port)
{
    guardedVoid([&] { library().rawDtr(port, true); });
}

VORLAK_API void VORLAK_CALL IO_dtr_control_disable(int32_t port)
{
    guardedVoid([&] { library().rawDtr(port, false); });
}

VORLAK_API void VORLAK_CALL VORLAK_Sleep(int32_t milliseconds)
{
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

VORLAK_API int32_t VORLAK_CALL VORLAK_LastOpenError(char* buffer, int32_t capacity)
{
    return guarded([&] { return library().lastOpenError(buffer, capacity); }, 3);
}

VORLAK_API void VORLAK_CALL VORLAK_SetProgressCallback(VORLAK_ProgressCallback callback,
                                                       void* context)
{
    guardedVoid([&] { library().setProgressCallback(callback, context); });
}

VORLAK_API int32_t VORLAK_CALL VORLAK_PortLost(int32_t port)
{
    return guarded([&] { return library().portLost(port); }, 0);
}

} // extern "C"
