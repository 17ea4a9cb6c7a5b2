#pragma once

#include "template/templateformatter.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlak::protocol {

inline constexpr std::size_t kMaxFieldName = 255;

/// Lays out records (a document's header, or entries) as the byte stream a Read carries:
///
///   stream := names records
///   names  := count, then count x (length, bytes)      every field name, once, in order of use
///   records:= count, then count x record
///   record := tag, then names, then values
///             tag 0:     the same field names as the record before (no names follow)
///             tag k + 1: k fields, followed by k name numbers (indexes into names)
///             values:    one (length, bytes) per field, in the record's field order
///
/// Counts, lengths, tags and name numbers are varints. Records of the same shape thus cost one
/// byte plus their values, and a page of any size can be cut from the stream at any byte.
/// Field names are at most kMaxFieldName bytes; longer ones are cut (a decoder refuses them, so a
/// damaged stream cannot make it copy one long name into every field).
[[nodiscard]] std::string encodeRecords(const std::vector<Record>& records);

/// nullopt when `stream` is not exactly one well-formed record stream.
[[nodiscard]] std::optional<std::vector<Record>> decodeRecords(std::string_view stream);

/// How many records lie complete in `prefix`, the first bytes of a record stream as they
/// arrive: for progress only, so a prefix that cannot be a stream's start counts 0.
[[nodiscard]] std::uint32_t countCompleteRecords(std::string_view prefix);

} // namespace vorlak::protocol
