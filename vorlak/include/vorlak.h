/**
 * @file vorlak.h
 * @brief C interface of the Qel terminal communication library.
 *
 * The program loads the library by file name (libvorlak.so, Vorlak.dll on Windows) and calls
 * these functions by their exported names only.
 *
 * Conventions of every function:
 * - Integers are 32-bit signed and passed by value, except the text token of I_ReadHeader and
 *   I_ReadEntries, which is returned through a pointer.
 * - Text crosses the interface as single-byte (Windows-1252), zero-terminated buffers. A buffer
 *   that receives text is filled with spaces up to its capacity by the caller before the call;
 *   the library takes the length of that text as the buffer's capacity and never writes past it
 *   (nor past the terminating zero).
 * - Arguments are checked first: a null or too short buffer, a port number outside 1..255, a
 *   port that is not open (or already open, for the open calls) make the call fail at once.
 *   An identity buffer (TerminalId) must hold at least 8 characters and a template buffer at
 *   least 255 (by their strlen); the library writes exactly that many and nothing beyond.
 * - The I_ functions name no port: they talk over the one port opened with I_OpenCom or taken
 *   over with I_OpenComWithoutOpen. Only one port at a time can be that port.
 * - Every I_ function that receives an answer from the terminal writes the terminal's identity
 *   into TerminalId; a call that fails leaves TerminalId as it was.
 * - No call waits without bound: every exchange has a wait limit and a fixed number of retries.
 *
 * Result codes of the terminal functions (I_...):
 * - > 0: success (a length, where the function says so; 1 otherwise);
 * - 0: nothing this time;
 * - -1: communication error (bytes came back, but no valid answer after the retries), or a bad
 *   argument;
 * - -2: no terminal in the cradle (nothing answered at all);
 * - -3: nothing more to read.
 */
#ifndef VORLAK_H
#define VORLAK_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(VORLAK_BUILDING)
#define VORLAK_API __declspec(dllexport)
#else
#define VORLAK_API __declspec(dllimport)
#endif
#if defined(_M_IX86) || defined(__i386__)
#define VORLAK_CALL __stdcall
#else
#define VORLAK_CALL
#endif
#else
#define VORLAK_API __attribute__((visibility("default")))
#define VORLAK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Result: communication error or bad argument. */
#define VORLAK_ERR_COMM (-1)
/** Result: no terminal in the cradle. */
#define VORLAK_ERR_NO_TERMINAL (-2)
/** Result: nothing more to read. */
#define VORLAK_END (-3)

/** Capacity of the template buffers of I_ReadEntriesConfig and I_ReadHeadersConfig. */
#define VORLAK_TEMPLATE_CAPACITY 255
/** Length of a terminal identity. */
#define VORLAK_TERMINAL_ID_LENGTH 8

/**
 * @brief Opens a serial port for the terminal protocol.
 * @param port port number, 1..255, mapped to a device by the port map
 *        ($XDG_CONFIG_HOME/vorlak/ports.conf, lines COM<n>=<device>); a port the map does not
 *        name is the n-th entry of /dev/serial/by-id (sorted by name), then /dev/ttyS0,
 *        /dev/ttyS1, ... for the numbers after them (see docs/ports.md)
 * @param speed line speed in baud (one of the usual serial speeds, 50 to 921600)
 * @return -1 when the port cannot be opened (VORLAK_LastOpenError says why), otherwise 0
 */
VORLAK_API int32_t VORLAK_CALL I_OpenCom(int32_t port, int32_t speed);

/**
 * @brief Takes over a port already opened with IO_Open (after a modem CONNECT) for the
 * terminal protocol, without opening the device again.
 * @return -1 when the port is not open with IO_Open, otherwise a value >= 0
 */
VORLAK_API int32_t VORLAK_CALL I_OpenComWithoutOpen(int32_t port, int32_t speed);

/** @brief Closes a port opened with I_OpenCom or I_OpenComWithoutOpen; nothing if not open. */
VORLAK_API void VORLAK_CALL I_CloseCom(int32_t port);

/**
 * @brief Asks whether a terminal is in the cradle of the open port.
 * @param terminalId buffer of at least 8 characters (8 spaces at first); receives the
 *        terminal's identity, padded with spaces to 8 characters
 * @return nonzero (1) when a terminal answers; 0 when none does, or on error. An empty
 *         cradle answers within 200 ms.
 */
VORLAK_API int32_t VORLAK_CALL I_CheckTerminal(char* terminalId);

/**
 * @brief Reads one document header laid out with a header template.
 * @param terminalId as for I_CheckTerminal
 * @param headerTemplate the template (see docs/templates.md); may be empty
 * @param index read index: -1 for the first document, -2 for the second, ...
 * @param textToken receives a 32-bit token naming the text, for GetStringFromPtr. A pointer
 *        does not fit in 32 bits on 64-bit platforms, so the library hands out a token instead;
 *        the text stays valid until the next reading call on any port.
 * @return the length of the text (> 0); 0 nothing now; -1, -2, or -3 after the last document
 */
VORLAK_API int32_t VORLAK_CALL I_ReadHeader(char* terminalId, const char* headerTemplate,
                                            int32_t index, int32_t* textToken);

/**
 * @brief Reads the entries of one document laid out with a body template.
 *
 * With a header template in use, index -k gives the entries of the k-th document (0 when it
 * has none). Without header reading, one call with index -1 gives every entry of every
 * document. The library tells the two apart by the call before: entries -k right after a
 * successful I_ReadHeader with -k read document k; entries -1 after anything else read every
 * entry (0 when there is none), and a further index answers -3. Arguments and results as for
 * I_ReadHeader.
 */
VORLAK_API int32_t VORLAK_CALL I_ReadEntries(char* terminalId, const char* bodyTemplate,
                                             int32_t index, int32_t* textToken);

/**
 * @brief Copies a text named by a token of I_ReadHeader or I_ReadEntries.
 * @param buffer receives at most length bytes (no terminating zero is added past length)
 * @param textToken the token; an unknown or stale token copies nothing
 * @param length number of bytes to copy, at most the text's length
 */
VORLAK_API void VORLAK_CALL GetStringFromPtr(char* buffer, int32_t textToken, int32_t length);

/**
 * @brief Fetches the terminal's body template.
 * @param terminalId as for I_CheckTerminal
 * @param buffer 255-character buffer (spaces); receives the template, padded with spaces to
 *        255 characters (a longer template is cut there)
 * @return the template's length (>= 1) when the buffer holds it; 0 when the terminal has
 *         none; -1, -2
 */
VORLAK_API int32_t VORLAK_CALL I_ReadEntriesConfig(char* terminalId, char* buffer);

/** @brief Fetches the terminal's header template; as I_ReadEntriesConfig. */
VORLAK_API int32_t VORLAK_CALL I_ReadHeadersConfig(char* terminalId, char* buffer);

/**
 * @brief Sends a lookup list to the terminal.
 * @param terminalId as for I_CheckTerminal
 * @param userVariable the user variable kept with the list (zero-terminated, at most 1024
 *        characters)
 * @param data list bytes (may contain zero bytes)
 * @param length number of bytes of data, >= 0
 * @param position list position on the terminal (>= 0; the terminal refuses others)
 * @return 1 when the terminal stored the list; -1 on failure, -2 no terminal
 */
VORLAK_API int32_t VORLAK_CALL I_SendList(char* terminalId, const char* userVariable,
                                          const char* data, int32_t length, int32_t position);

/** @brief Clears one list of the terminal. @return 1 on success; -1, -2 */
VORLAK_API int32_t VORLAK_CALL I_ClearEntries(char* terminalId, int32_t list);

/** @brief Clears every document of the terminal. @return 1 on success; -1, -2 */
VORLAK_API int32_t VORLAK_CALL I_ClearAllEntries(char* terminalId);

/** @brief Stops the terminal's program before a new one is sent. @return 1; -1, -2 */
VORLAK_API int32_t VORLAK_CALL I_KillProgram(char* terminalId);

/**
 * @brief Opens a serial port for raw byte access.
 * @return the port number (positive) on success, -1 on failure (VORLAK_LastOpenError says why)
 */
VORLAK_API int32_t VORLAK_CALL IO_Open(int32_t port, int32_t speed);

/** @brief Closes a port opened with IO_Open (or handed over with I_OpenComWithoutOpen). */
VORLAK_API void VORLAK_CALL IO_Close(int32_t port);

/** @brief Writes count bytes to an open port; waits until they are sent, within a bound. */
VORLAK_API void VORLAK_CALL IO_Write(int32_t port, int32_t count, const char* bytes);

/**
 * @brief Reads up to maxCount bytes from an open port.
 * @param waitMs how long to wait for the first byte, in milliseconds (0: do not wait)
 * @return number of bytes placed in the buffer; 0 if none came in time or on error
 */
VORLAK_API int32_t VORLAK_CALL IO_Read(int32_t port, int32_t maxCount, char* buffer,
                                       int32_t waitMs);

/** @brief Number of bytes waiting to be read on an open port; 0 on error. */
VORLAK_API int32_t VORLAK_CALL IO_NumCharsInQue(int32_t port);

/** @brief Raises DTR; a device without modem lines counts as done. */
VORLAK_API void VORLAK_CALL IO_dtr_control_enable(int32_t port);

/** @brief Drops DTR; a device without modem lines counts as done. */
VORLAK_API void VORLAK_CALL IO_dtr_control_disable(int32_t port);

/** @brief Pauses for the given number of milliseconds (negative: no pause). */
VORLAK_API void VORLAK_CALL VORLAK_Sleep(int32_t milliseconds);

/**
 * @brief Describes why the last open call (I_OpenCom, I_OpenComWithoutOpen, IO_Open) failed
 *        (an extension of this library; other implementations may not export it).
 *
 * The text is one line in English. For kinds 1, 2 and 4 it has a fixed shape, so that a
 * program may say the same in its own language (<device> is the device path):
 * - 1: "no such device: <device>"
 * - 2: "permission denied on <device>: add the user to the dialout group"
 * - 4: "<device> is in use by another program", followed by " (<name>, process <pid>)" when
 *      the program holding the device can be found; "<device> is in use by this program" when
 *      the caller itself holds it through another port number
 *
 * A port is held exclusively while it is open: another opener, in this process or another,
 * fails with kind 4 until it is closed.
 *
 * @param buffer receives the zero-terminated text, e.g.
 *        "permission denied on /dev/ttyUSB0: add the user to the dialout group"
 * @param capacity size of buffer in bytes, including the terminating zero
 * @return 0 no failure recorded, 1 the device does not exist, 2 permission denied, 3 other,
 *         4 the device is in use. These numbers never change; new reasons get new numbers.
 */
VORLAK_API int32_t VORLAK_CALL VORLAK_LastOpenError(char* buffer, int32_t capacity);

/**
 * @brief What VORLAK_SetProgressCallback calls while a reading call is under way.
 * @param records records of the call received complete so far (counted about every 250 ms
 *        as bytes come), and all of the call's once it has formatted them
 * @param bytes bytes of the call's record stream received so far
 * @param context the pointer given to VORLAK_SetProgressCallback
 */
typedef void(VORLAK_CALL* VORLAK_ProgressCallback)(int32_t records, int32_t bytes, void* context);

/**
 * @brief Registers a function told the progress of every reading call (I_ReadHeader,
 *        I_ReadEntries) while it runs (an extension of
 *        this library; other implementations may not export it, and a program must work
 *        without it).
 *
 * The callback runs on the thread that made the reading call, inside the call, as bytes come
 * and once more when the records are formatted; it must return quickly and must not call any
 * function of this library. A null callback stops the reports.
 *
 * @param callback the function, or null
 * @param context handed back to the callback unchanged
 */
VORLAK_API void VORLAK_CALL VORLAK_SetProgressCallback(VORLAK_ProgressCallback callback,
                                                       void* context);

/**
 * @brief Tells whether the device of an open port has gone: unplugged, or hung up (the far end
 *        of a pseudo-terminal closed). An extension of this library; other implementations may
 *        not export it, and a program must work without it.
 *
 * A port whose device has gone stays open in the library, and every exchange on it fails; the
 * program closes it and opens it again once the device is back.
 *
 * @param port a port opened with I_OpenCom, I_OpenComWithoutOpen or IO_Open
 * @return 1 when the device has gone; 0 when it is there, or the port is not open
 */
VORLAK_API int32_t VORLAK_CALL VORLAK_PortLost(int32_t port);

#ifdef __cplusplus
}
#endif

#endif /* VORLAK_H */
