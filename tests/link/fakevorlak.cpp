// A small stand-in for the communication library, built as a loadable module for the loader
// tests. It keeps to the contract (checks buffer capacities, never writes past them) and gives
// canned answers that let a test see what crossed the boundary. Built twice: complete, and
// without I_KillProgram and VORLAK_LastOpenError (FAKE_VORLAK_PARTIAL).
#include <algorithm>
#include <cstring>
#include <string>
#include <vorlak.h>

namespace {

constexpr int32_t kDeniedPort = 13;
constexpr int32_t kBusyPort = 14;

std::string g_headerText;
std::string g_entriesText;
std::string g_loopback; // what IO_Write sent, for IO_Read to give back
int32_t g_lastOpenFailure = 0;

// Writes `identity` padded with spaces to 8 characters; -1 when the buffer is too short.
bool writeIdentity(char* terminalId, const char* identity)
{
    if (terminalId == nullptr || std::strlen(terminalId) < VORLAK_TERMINAL_ID_LENGTH) {
        return false;
    }
    std::memset(terminalId, ' ', VORLAK_TERMINAL_ID_LENGTH);
    std::memcpy(terminalId, identity, std::min<size_t>(std::strlen(identity), 8));
    return true;
}

int32_t readText(char* terminalId, const char* templ, int32_t index, int32_t* token,
                 std::string& text, int32_t tokenValue, const char* kind)
{
    if (token == nullptr || templ == nullptr || !writeIdentity(terminalId, "T1")) {
        return VORLAK_ERR_COMM;
    }
    *token = 0;
    if (index >= 0) {
        return VORLAK_ERR_COMM;
    }
    if (index < -2) {
        return VORLAK_END;
    }
    // Two documents; the text shows which template and index arrived.
    text = std::string(kind) + std::to_string(-index) + ":" + templ;
    *token = tokenValue;
    return static_cast<int32_t>(text.size());
}

} // namespace

extern "C" {

VORLAK_API int32_t VORLAK_CALL I_OpenCom(int32_t port, int32_t /*speed*/)
{
    g_lastOpenFailure = port == kDeniedPort ? 2 : port == kBusyPort ? 4 : 0;
    return port >= 1 && port <= 255 && g_lastOpenFailure == 0 ? 0 : VORLAK_ERR_COMM;
}

VORLAK_API int32_t VORLAK_CALL I_OpenComWithoutOpen(int32_t port, int32_t /*speed*/)
{
    return port >= 1 && port <= 255 ? 0 : VORLAK_ERR_COMM;
}

VORLAK_API void VORLAK_CALL I_CloseCom(int32_t /*port*/) {}

VORLAK_API int32_t VORLAK_CALL I_CheckTerminal(char* terminalId)
{
    return writeIdentity(terminalId, "T1") ? 1 : 0;
}

VORLAK_API int32_t VORLAK_CALL I_ReadHeader(char* terminalId, const char* headerTemplate,
                                            int32_t index, int32_t* textToken)
{
    return readText(terminalId, headerTemplate, index, textToken, g_headerText, 101, "H");
}

VORLAK_API int32_t VORLAK_CALL I_ReadEntries(char* terminalId, const char* bodyTemplate,
                                             int32_t index, int32_t* textToken)
{
    return readText(terminalId, bodyTemplate, index, textToken, g_entriesText, 102, "E");
}

VORLAK_API void VORLAK_CALL GetStringFromPtr(char* buffer, int32_t textToken, int32_t length)
{
    const std::string* text = textToken == 101   ? &g_headerText
                              : textToken == 102 ? &g_entriesText
                                                 : nullptr;
    if (buffer == nullptr || text == nullptr || length <= 0) {
        return;
    }
    std::memcpy(buffer, text->data(), std::min<size_t>(text->size(), static_cast<size_t>(length)));
}

// Fills the whole buffer it was given, the template first and '|' in the last place, so a test
// sees the capacity the caller prepared.
VORLAK_API int32_t VORLAK_CALL I_ReadEntriesConfig(char* terminalId, char* buffer)
{
    if (buffer == nullptr || !writeIdentity(terminalId, "T1")) {
        return VORLAK_ERR_COMM;
    }
    const size_t capacity = std::strlen(buffer);
    const char templ[] = "[Code][XXXXXXXX][Qty][XXXX]";
    if (capacity < sizeof templ) {
        return VORLAK_ERR_COMM;
    }
    std::memset(buffer, ' ', capacity);
    std::memcpy(buffer, templ, sizeof templ - 1);
    buffer[capacity - 1] = '|';
    return 1;
}

// A terminal without a header template.
VORLAK_API int32_t VORLAK_CALL I_ReadHeadersConfig(char* terminalId, char* buffer)
{
    if (buffer == nullptr || !writeIdentity(terminalId, "T1")) {
        return VORLAK_ERR_COMM;
    }
    return 0;
}

// Answers the number of bytes it received, so a test sees that zero bytes in the list count.
VORLAK_API int32_t VORLAK_CALL I_SendList(char* terminalId, const char* userVariable,
                                          const char* data, int32_t length, int32_t position)
{
    if (userVariable == nullptr || data == nullptr || length < 0 || position < 0 ||
        !writeIdentity(terminalId, "T1")) {
        return VORLAK_ERR_COMM;
    }
    return length;
}

VORLAK_API int32_t VORLAK_CALL I_ClearEntries(char* terminalId, int32_t list)
{
    return writeIdentity(terminalId, "T1") ? list : VORLAK_ERR_COMM;
}

// Like a library that zero-terminates a short identity instead of padding it.
VORLAK_API int32_t VORLAK_CALL I_ClearAllEntries(char* terminalId)
{
    if (terminalId == nullptr || std::strlen(terminalId) < VORLAK_TERMINAL_ID_LENGTH) {
        return VORLAK_ERR_COMM;
    }
    std::memcpy(terminalId, "T3", 3);
    return 0;
}

#ifndef FAKE_VORLAK_PARTIAL
VORLAK_API int32_t VORLAK_CALL I_KillProgram(char* terminalId)
{
    return writeIdentity(terminalId, "T1") ? 0 : VORLAK_ERR_COMM;
}
#endif

VORLAK_API int32_t VORLAK_CALL IO_Open(int32_t port, int32_t /*speed*/)
{
    g_loopback.clear();
    return port >= 1 && port <= 255 ? 1 : VORLAK_ERR_COMM;
}

VORLAK_API void VORLAK_CALL IO_Close(int32_t /*port*/) {}

VORLAK_API void VORLAK_CALL IO_Write(int32_t /*port*/, int32_t count, const char* bytes)
{
    if (bytes != nullptr && count > 0) {
        g_loopback.append(bytes, static_cast<size_t>(count));
    }
}

VORLAK_API int32_t VORLAK_CALL IO_Read(int32_t /*port*/, int32_t maxCount, char* buffer,
                                       int32_t /*waitMs*/)
{
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    const size_t count = std::min(g_loopback.size(), static_cast<size_t>(maxCount));
    std::memcpy(buffer, g_loopback.data(), count);
    g_loopback.erase(0, count);
    return static_cast<int32_t>(count);
}

VORLAK_API int32_t VORLAK_CALL IO_NumCharsInQue(int32_t /*port*/)
{
    return static_cast<int32_t>(g_loopback.size());
}

VORLAK_API void VORLAK_CALL IO_dtr_control_enable(int32_t /*port*/) {}

VORLAK_API void VORLAK_CALL IO_dtr_control_disable(int32_t /*port*/) {}

VORLAK_API void VORLAK_CALL VORLAK_Sleep(int32_t /*milliseconds*/) {}

#ifndef FAKE_VORLAK_PARTIAL
VORLAK_API int32_t VORLAK_CALL VORLAK_LastOpenError(char* buffer, int32_t capacity)
{
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    const char* text = g_lastOpenFailure == 2
                           ? "permission denied on /dev/ttyUSB0: add the user to the dialout group"
                       : g_lastOpenFailure == 4 ? "/dev/ttyUSB1 is in use by another program"
                                                : "";
    const size_t length = std::min(std::strlen(text), static_cast<size_t>(capacity) - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return g_lastOpenFailure;
}
#endif

} // extern "C"
