#pragma once

#include "frame.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vorlak::protocol {

/// Version the terminal reports in its answer to Check.
inline constexpr std::uint8_t kProtocolVersion = 1;

/// Request types; a reply carries the request's type with kReplyBit set.
enum class MessageType : std::uint8_t {
    Check = 0x01,
    Read = 0x02,
    ClearAll = 0x03,
    ClearList = 0x04,
    Kill = 0x05,
    ListBegin = 0x06,
    ListData = 0x07,
    ListEnd = 0x08,
};
inline constexpr std::uint8_t kReplyBit = 0x80;

/// What a Read request reads. Each names one byte stream on the terminal, read in pages.
enum class Scope : std::uint8_t {
    Header = 1,          ///< record stream holding the header of one document
    DocumentEntries = 2, ///< record stream of one document's entries
    AllEntries = 3,      ///< record stream of every entry of every document, in order
    BodyTemplate = 4,    ///< the terminal's body template, as text
    HeaderTemplate = 5,  ///< the terminal's header template, as text
};

enum class Status : std::uint8_t {
    Ok = 0,
    NoSuchDocument = 1, ///< Read of a document past the last one
    Rejected = 2,       ///< arguments the terminal cannot take (a negative position, a gap)
    Unsupported = 3,    ///< a request type or scope the terminal does not know
};

/// Largest data block of one Read reply or one ListData request.
inline constexpr std::size_t kMaxBlock = 4096;
/// Longest user variable that I_SendList carries.
inline constexpr std::size_t kMaxUserVariable = 1024;
/// Longest terminal identity on the wire.
inline constexpr std::size_t kMaxIdentity = 32;

/// A request from the PC. Every request starts with the number of the library call it belongs
/// to; the remaining fields are used by the types noted.
struct Request
{
    MessageType type = MessageType::Check;
    std::uint16_t call = 0;
    Scope scope = Scope::Header; // Read
    std::uint32_t document = 0;  // Read: 1-based document number (Header, DocumentEntries)
    std::uint32_t offset = 0;    // Read, ListData: byte offset in the stream or list
    std::uint16_t maxBytes = 0;  // Read: largest data block wanted
    std::int32_t position = 0;   // ClearList, ListBegin
    std::uint32_t total = 0;     // ListBegin, ListEnd: list length in bytes
    std::string data{};          // ListBegin: user variable; ListData: list bytes

    friend bool operator==(const Request&, const Request&) = default;
};

/// A reply from the terminal. Every reply starts with a status and the terminal's identity.
struct Reply
{
    MessageType type = MessageType::Check;
    Status status = Status::Ok;
    std::string terminalId{};
    std::uint8_t version = 0; // Check
    std::uint32_t total = 0;  // Read: length of the whole stream; ListData: bytes received
    std::uint32_t offset = 0; // Read: where `data` starts in the stream
    std::string data{};       // Read

    friend bool operator==(const Reply&, const Reply&) = default;
};

[[nodiscard]] Frame requestFrame(std::uint8_t sequence, const Request& request);
[[nodiscard]] Frame replyFrame(std::uint8_t sequence, const Reply& reply);

/// nullopt when the frame is not a well-formed request (unknown type, short or long payload).
[[nodiscard]] std::optional<Request> decodeRequest(const Frame& frame);
/// nullopt when the frame is not a well-formed reply.
[[nodiscard]] std::optional<Reply> decodeReply(const Frame& frame);

[[nodiscard]] constexpr std::uint8_t replyType(MessageType type)
{
    return static_cast<std::uint8_t>(static_cast<std::uint8_t>(type) | kReplyBit);
}

} // namespace vorlak::protocol
