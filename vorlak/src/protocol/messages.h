#pragma once

#include "frame.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    ReadChunks = 0x09,
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

/// ReadChunks: the terminal answers with its reply frame (status, identity, stream length) and
/// then streams the bytes asked for as chunk frames of this type, back to back, without waiting
/// for the PC. Each carries the chunk's number among the chunks of its request.
inline constexpr std::uint8_t kChunkFrameType = 0x8A;
/// Smallest and largest chunk a ReadChunks request may ask for.
inline constexpr std::size_t kMinChunk = 16;
inline constexpr std::size_t kMaxChunk = kMaxBlock;
/// Most byte ranges, chunks and bytes one ReadChunks request may ask for.
inline constexpr std::size_t kMaxChunkRanges = 512;
inline constexpr std::size_t kMaxChunksPerRequest = 4096;
inline constexpr std::size_t kMaxChunkRequestBytes = 64U * 1024U;
/// Bytes a chunk frame adds to its data: frame header and CRC, and a number below 16384.
inline constexpr std::size_t kChunkOverhead = kHeaderSize + kTrailerSize + 2;

/// A run of bytes of a stream.
struct ByteRange
{
    std::uint32_t offset = 0;
    std::uint32_t length = 0;

    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};
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
    Scope scope = Scope::Header;     // Read
    std::uint32_t document = 0;      // Read: 1-based document number (Header, DocumentEntries)
    std::uint32_t offset = 0;        // Read, ListData: byte offset in the stream or list
    std::uint16_t maxBytes = 0;      // Read: largest data block wanted
    std::int32_t position = 0;       // ClearList, ListBegin
    std::uint32_t total = 0;         // ListBegin, ListEnd: list length in bytes
    std::string data{};              // ListBegin: user variable; ListData: list bytes
    std::uint16_t chunkSize = 0;     // ReadChunks: bytes per chunk frame
    std::vector<ByteRange> ranges{}; // ReadChunks: what to send, in rising order, no overlaps

    friend bool operator==(const Request&, const Request&) = default;
};

/// A reply from the terminal. Every reply starts with a status and the terminal's identity.
struct Reply
{
    MessageType type = MessageType::Check;
    Status status = Status::Ok;
    std::string terminalId{};
    std::uint8_t version = 0; // Check
    std::uint32_t total =
        0; // Read, ReadChunks: length of the whole stream; ListData: bytes received
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

/// One chunk frame of a ReadChunks answer.
struct Chunk
{
    std::uint32_t index = 0; ///< number of the chunk among those its request asked for
    std::string data;

    friend bool operator==(const Chunk&, const Chunk&) = default;
};

[[nodiscard]] Frame chunkFrame(std::uint8_t sequence, const Chunk& chunk);
/// nullopt when the frame is not a well-formed chunk frame.
[[nodiscard]] std::optional<Chunk> decodeChunk(const Frame& frame);

/// The chunks a ReadChunks request asks for, numbered from 0 in order: each range cut into
/// pieces of `chunkSize` bytes (the last piece of a range may be shorter). The terminal sends
/// only what lies below the stream's length, so a chunk may come shorter still or not at all.
[[nodiscard]] std::vector<ByteRange> chunksOf(const std::vector<ByteRange>& ranges,
                                              std::size_t chunkSize);

[[nodiscard]] constexpr std::uint8_t replyType(MessageType type)
{
    return static_cast<std::uint8_t>(static_cast<std::uint8_t>(type) | kReplyBit);
}

} // namespace vorlak::protocol
