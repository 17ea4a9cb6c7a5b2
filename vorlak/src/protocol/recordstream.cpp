#include "recordstream.h"

#include "bytes.h"

#include <cstdint>
#include <unordered_map>

namespace vorlak::protocol {
namespace {

bool sameNames(const Record& a, const Record& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string encodeRecords(const std::vector<Record>& records)
{
    std::vector<std::string_view> names;
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    for (const Record& record : records) {
        for (const Field& field : record) {
            const std::string_view name = std::string_view(field.name).substr(0, kMaxFieldName);
            if (numbers.emplace(name, static_cast<std::uint32_t>(names.size())).second) {
                names.push_back(name);
            }
        }
    }

    ByteWriter out;
    out.varint(static_cast<std::uint32_t>(names.size()));
    for (const std::string_view name : names) {
        out.text(name);
    }
    out.varint(static_cast<std::uint32_t>(records.size()));
    const Record* previous = nullptr;
    for (const Record& record : records) {
        if (previous != nullptr && sameNames(*previous, record)) {
            out.varint(0);
        } else {
            out.varint(static_cast<std::uint32_t>(record.size() + 1));
            for (const Field& field : record) {
                out.varint(numbers.at(std::string_view(field.name).substr(0, kMaxFieldName)));
            }
        }
        for (const Field& field : record) {
            out.text(field.value);
        }
        previous = &record;
    }
    return std::move(out).result();
}

std::optional<std::vector<Record>> decodeRecords(std::string_view stream)
{
    ByteReader in(stream);
    // Every name and record takes at least one byte, so a count larger than what is left is
    // damage, caught before anything is reserved for it.
    const std::uint32_t nameCount = in.varint();
    if (!in.ok() || nameCount > in.remaining()) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(nameCount);
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::string_view name = in.text();
        if (!in.ok() || name.size() > kMaxFieldName) {
            return std::nullopt;
        }
        names.emplace_back(name);
    }
    const std::uint32_t recordCount = in.varint();
    if (!in.ok() || recordCount > in.remaining()) {
        return std::nullopt;
    }
    std::vector<Record> records;
    records.reserve(recordCount);
    std::vector<std::uint32_t> shape;
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        const std::uint32_t tag = in.varint();
        if (!in.ok()) {
            return std::nullopt;
        }
        if (tag == 0) {
            if (r == 0) {
                return std::nullopt;
            }
        } else {
            const std::uint32_t fieldCount = tag - 1;
            if (fieldCount > in.remaining()) {
                return std::nullopt;
            }
            shape.assign(fieldCount, 0);
            for (std::uint32_t& number : shape) {
                number = in.varint();
                if (!in.ok() || number >= names.size()) {
                    return std::nullopt;
                }
            }
        }
        Record record;
        record.reserve(shape.size());
        for (const std::uint32_t number : shape) {
            record.push_back(Field{names[number], std::string(in.text())});
        }
        if (!in.ok()) {
            return std::nullopt;
        }
        records.push_back(std::move(record));
    }
    if (!in.ok() || !in.atEnd()) {
        return std::nullopt;
    }
    return records;
}

std::uint32_t countCompleteRecords(std::string_view prefix)
{
    ByteReader in(prefix);
    const std::uint32_t nameCount = in.varint();
    for (std::uint32_t i = 0; i < nameCount && in.ok(); ++i) {
        static_cast<void>(in.text());
    }
    const std::uint32_t recordCount = in.varint();
    if (!in.ok()) {
        return 0;
    }
    std::uint32_t complete = 0;
    std::uint32_t fieldCount = 0;
    while (complete < recordCount) {
        const std::uint32_t tag = in.varint();
        if (tag != 0) {
            fieldCount = tag - 1;
            for (std::uint32_t i = 0; i < fieldCount && in.ok(); ++i) {
                static_cast<void>(in.varint());
            }
        }
        for (std::uint32_t i = 0; i < fieldCount && in.ok(); ++i) {
            static_cast<void>(in.text());
        }
        if (!in.ok()) {
            break;
        }
        ++complete;
    }
    return complete;
}

} // namespace vorlak::protocol
