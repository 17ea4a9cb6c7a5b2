#include "fakecommlibrary.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

const QStringList& knownFunctions()
{
    static const QStringList names = {
        QStringLiteral("I_OpenCom"),
        QStringLiteral("I_OpenComWithoutOpen"),
        QStringLiteral("I_CloseCom"),
        QStringLiteral("I_CheckTerminal"),
        QStringLiteral("I_ReadHeader"),
        QStringLiteral("I_ReadEntries"),
        QStringLiteral("GetStringFromPtr"),
        QStringLiteral("I_ReadEntriesConfig"),
        QStringLiteral("I_ReadHeadersConfig"),
        QStringLiteral("I_SendList"),
        QStringLiteral("I_ClearEntries"),
        QStringLiteral("I_ClearAllEntries"),
        QStringLiteral("I_KillProgram"),
        QStringLiteral("IO_Open"),
        QStringLiteral("IO_Close"),
        QStringLiteral("IO_Write"),
        QStringLiteral("IO_Read"),
        QStringLiteral("IO_NumCharsInQue"),
        QStringLiteral("IO_dtr_control_enable"),
        QStringLiteral("IO_dtr_control_disable"),
        QStringLiteral("VORLAK_Sleep"),
        QStringLiteral("VORLAK_LastOpenError"),
    };
    return names;
}

} // namespace

FakeCommLibrary::FakeCommLibrary() = default;

bool FakeCommLibrary::checkKnown(const QString& function) const
{
    if (knownFunctions().contains(function)) {
        return true;
    }
    ADD_FAILURE() << "FakeCommLibrary: no library function is called " << function.toStdString();
    return false;
}

void FakeCommLibrary::script(const QString& function, std::initializer_list<std::int32_t> results)
{
    if (!checkKnown(function)) {
        return;
    }
    for (const std::int32_t result : results) {
        m_scripts[function].push_back({result, 0});
    }
}

void FakeCommLibrary::setDefault(const QString& function, std::int32_t result)
{
    if (checkKnown(function)) {
        m_defaults[function] = result;
    }
}

void FakeCommLibrary::scriptText(const QString& function, const QByteArray& text)
{
    if (function != QLatin1String("I_ReadHeader") && function != QLatin1String("I_ReadEntries")) {
        ADD_FAILURE() << "FakeCommLibrary::scriptText is for I_ReadHeader and I_ReadEntries, not "
                      << function.toStdString();
        return;
    }
    const std::int32_t token = m_nextToken++;
    texts.insert(token, text);
    m_scripts[function].push_back({static_cast<std::int32_t>(text.size()), token});
}

void FakeCommLibrary::record(const char* function, std::initializer_list<std::int32_t> arguments)
{
    QString call = QLatin1String(function);
    for (const std::int32_t argument : arguments) {
        call += QLatin1Char(' ') + QString::number(argument);
    }
    calls.append(call);
}

FakeCommLibrary::Answer FakeCommLibrary::next(const QString& function, std::int32_t builtinDefault)
{
    auto script = m_scripts.find(function);
    if (script != m_scripts.end() && !script->second.empty()) {
        const Answer answer = script->second.front();
        script->second.pop_front();
        return answer;
    }
    const auto fallback = m_defaults.find(function);
    return {fallback != m_defaults.end() ? fallback->second : builtinDefault, 0};
}

void FakeCommLibrary::writeIdentity(QByteArray& terminalId) const
{
    if (!identity.isEmpty()) {
        terminalId = identity.left(kTerminalIdLength).leftJustified(kTerminalIdLength, ' ');
    }
}

std::int32_t FakeCommLibrary::terminalCall(const char* function, QByteArray& terminalId,
                                           std::initializer_list<std::int32_t> arguments)
{
    record(function, arguments);
    writeIdentity(terminalId);
    return next(QLatin1String(function), 0).result;
}

std::int32_t FakeCommLibrary::readCall(const char* function, QByteArray& terminalId,
                                       const QByteArray& templ, std::int32_t index,
                                       std::int32_t& textToken)
{
    record(function, {index});
    readTemplates.append(templ);
    writeIdentity(terminalId);
    const Answer answer = next(QLatin1String(function), kNothingMore);
    textToken = answer.token;
    return answer.result;
}

std::int32_t FakeCommLibrary::I_OpenCom(std::int32_t port, std::int32_t speed)
{
    record("I_OpenCom", {port, speed});
    return next(QStringLiteral("I_OpenCom"), 0).result;
}

std::int32_t FakeCommLibrary::I_OpenComWithoutOpen(std::int32_t port, std::int32_t speed)
{
    record("I_OpenComWithoutOpen", {port, speed});
    return next(QStringLiteral("I_OpenComWithoutOpen"), 0).result;
}

void FakeCommLibrary::I_CloseCom(std::int32_t port)
{
    record("I_CloseCom", {port});
}

std::int32_t FakeCommLibrary::I_CheckTerminal(QByteArray& terminalId)
{
    return terminalCall("I_CheckTerminal", terminalId);
}

std::int32_t FakeCommLibrary::I_ReadHeader(QByteArray& terminalId, const QByteArray& headerTemplate,
                                           std::int32_t index, std::int32_t& textToken)
{
    return readCall("I_ReadHeader", terminalId, headerTemplate, index, textToken);
}

std::int32_t FakeCommLibrary::I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                                            std::int32_t index, std::int32_t& textToken)
{
    return readCall("I_ReadEntries", terminalId, bodyTemplate, index, textToken);
}

QByteArray FakeCommLibrary::GetStringFromPtr(std::int32_t textToken, std::int32_t length)
{
    record("GetStringFromPtr", {textToken, length});
    if (length <= 0) {
        return {};
    }
    // As the library does: a buffer of spaces with at most `length` bytes of the text.
    return texts.value(textToken).left(length).leftJustified(length, ' ');
}

std::int32_t FakeCommLibrary::I_ReadEntriesConfig(QByteArray& terminalId, QByteArray& bodyTemplate)
{
    record("I_ReadEntriesConfig");
    writeIdentity(terminalId);
    const std::int32_t result =
        next(QStringLiteral("I_ReadEntriesConfig"), entriesTemplate.isEmpty() ? 0 : 1).result;
    bodyTemplate = (result > 0 ? entriesTemplate.left(kTemplateCapacity) : QByteArray())
                       .leftJustified(kTemplateCapacity, ' ');
    return result;
}

std::int32_t FakeCommLibrary::I_ReadHeadersConfig(QByteArray& terminalId,
                                                  QByteArray& headerTemplate)
{
    record("I_ReadHeadersConfig");
    writeIdentity(terminalId);
    const std::int32_t result =
        next(QStringLiteral("I_ReadHeadersConfig"), headersTemplate.isEmpty() ? 0 : 1).result;
    headerTemplate = (result > 0 ? headersTemplate.left(kTemplateCapacity) : QByteArray())
                         .leftJustified(kTemplateCapacity, ' ');
    return result;
}

std::int32_t FakeCommLibrary::I_SendList(QByteArray& terminalId, const QByteArray& userVariable,
                                         const QByteArray& data, std::int32_t position)
{
    sentLists.append({userVariable, data, position});
    return terminalCall("I_SendList", terminalId,
                        {position, static_cast<std::int32_t>(data.size())});
}

std::int32_t FakeCommLibrary::I_ClearEntries(QByteArray& terminalId, std::int32_t list)
{
    return terminalCall("I_ClearEntries", terminalId, {list});
}

std::int32_t FakeCommLibrary::I_ClearAllEntries(QByteArray& terminalId)
{
    return terminalCall("I_ClearAllEntries", terminalId);
}

std::int32_t FakeCommLibrary::I_KillProgram(QByteArray& terminalId)
{
    return terminalCall("I_KillProgram", terminalId);
}

std::int32_t FakeCommLibrary::IO_Open(std::int32_t port, std::int32_t speed)
{
    record("IO_Open", {port, speed});
    return next(QStringLiteral("IO_Open"), 1).result;
}

void FakeCommLibrary::IO_Close(std::int32_t port)
{
    record("IO_Close", {port});
}

void FakeCommLibrary::IO_Write(std::int32_t port, const QByteArray& bytes)
{
    record("IO_Write", {port, static_cast<std::int32_t>(bytes.size())});
    written += bytes;
}

QByteArray FakeCommLibrary::IO_Read(std::int32_t port, std::int32_t maxCount, std::int32_t waitMs)
{
    record("IO_Read", {port, maxCount, waitMs});
    const QByteArray bytes = incoming.left(std::max(maxCount, 0));
    incoming.remove(0, bytes.size());
    return bytes;
}

std::int32_t FakeCommLibrary::IO_NumCharsInQue(std::int32_t port)
{
    record("IO_NumCharsInQue", {port});
    return next(QStringLiteral("IO_NumCharsInQue"), static_cast<std::int32_t>(incoming.size()))
        .result;
}

void FakeCommLibrary::IO_dtr_control_enable(std::int32_t port)
{
    record("IO_dtr_control_enable", {port});
}

void FakeCommLibrary::IO_dtr_control_disable(std::int32_t port)
{
    record("IO_dtr_control_disable", {port});
}

void FakeCommLibrary::VORLAK_Sleep(std::int32_t milliseconds)
{
    record("VORLAK_Sleep", {milliseconds});
}

std::optional<CommLibrary::OpenError> FakeCommLibrary::lastOpenError()
{
    record("VORLAK_LastOpenError");
    return openError;
}
