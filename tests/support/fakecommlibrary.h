#pragma once

#include "link/commlibrary.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <deque>
#include <initializer_list>
#include <map>

/// CommLibrary for unit tests: records every call and answers from a script.
///
/// Each call is recorded as its function name followed by its numeric arguments, separated by
/// single spaces: "I_OpenCom 1 9600", "I_CheckTerminal", "I_ReadHeader -1", "GetStringFromPtr
/// 1 12" (token, length), "I_SendList 5 20" (position, length), "IO_Write 1 3" (port, count),
/// "IO_Read 1 10 0" (port, maxCount, waitMs), "VORLAK_Sleep 8000", "VORLAK_LastOpenError".
///
/// A function with a result takes it from its script, front first, then from its default.
/// Unless set, defaults are chosen so that no loop runs forever: -3 for the two reading calls,
/// 1 for IO_Open (both of its callers read that as success), 1 for a config read whose
/// template is set and 0 when it is not, 0 for everything else (I_CheckTerminal: no terminal).
/// IO_NumCharsInQue answers the size of `incoming` unless it has a script or a default.
class FakeCommLibrary : public CommLibrary
{
public:
    FakeCommLibrary();

    /// Queues results for `function` (its name, e.g. "I_CheckTerminal").
    void script(const QString& function, std::initializer_list<std::int32_t> results);
    /// The result once the script of `function` has run dry.
    void setDefault(const QString& function, std::int32_t result);
    /// Queues a successful reading for I_ReadHeader or I_ReadEntries: the result is the text's
    /// length and the token names the text for GetStringFromPtr.
    void scriptText(const QString& function, const QByteArray& text);

    /// Calls recorded so far, oldest first.
    QStringList calls;
    /// Written into TerminalId (padded or cut to 8 characters) by every call that takes it;
    /// empty leaves TerminalId as the caller passed it.
    QByteArray identity;
    /// What I_ReadEntriesConfig and I_ReadHeadersConfig put into their 255-character buffer.
    QByteArray entriesTemplate;
    QByteArray headersTemplate;
    /// Texts behind tokens, for GetStringFromPtr; scriptText adds to it.
    QHash<std::int32_t, QByteArray> texts;
    /// Templates passed to I_ReadHeader and I_ReadEntries, in call order.
    QList<QByteArray> readTemplates;

    struct SentList
    {
        QByteArray userVariable;
        QByteArray data;
        std::int32_t position = 0;
    };
    QList<SentList> sentLists;

    /// Bytes waiting on the port for IO_Read; tests append as the modem or terminal would send.
    QByteArray incoming;
    /// Every byte written with IO_Write, in order.
    QByteArray written;
    /// What lastOpenError() answers.
    std::optional<OpenError> openError;
    /// What portLost() answers for any port (not recorded among the calls: the polling cycle
    /// asks it after every check that found no terminal).
    bool deviceLost = false;

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
    bool portLost(std::int32_t /*port*/) override { return deviceLost; }

private:
    struct Answer
    {
        std::int32_t result = 0;
        std::int32_t token = 0;
    };

    void record(const char* function, std::initializer_list<std::int32_t> arguments = {});
    Answer next(const QString& function, std::int32_t builtinDefault);
    void writeIdentity(QByteArray& terminalId) const;
    std::int32_t terminalCall(const char* function, QByteArray& terminalId,
                              std::initializer_list<std::int32_t> arguments = {});
    std::int32_t readCall(const char* function, QByteArray& terminalId, const QByteArray& templ,
                          std::int32_t index, std::int32_t& textToken);
    bool checkKnown(const QString& function) const;

    std::map<QString, std::deque<Answer>> m_scripts;
    std::map<QString, std::int32_t> m_defaults;
    std::int32_t m_nextToken = 1;
};
