#pragma once

#include "protocol/recordstream.h"
#include "terminalfile.h"

#include <cstddef>
#include <utility>
#include <vector>

/// The size of the record stream a terminal sends for these documents' entries: the bytes whose
/// line time a reading's duration is compared with.
inline std::size_t terminalPayloadBytes(const TerminalFile& terminal)
{
    std::vector<vorlak::Record> records;
    for (const auto& document : terminal.documents) {
        for (const auto& entry : document.entries) {
            vorlak::Record record;
            for (const auto& [name, value] : entry) {
                record.push_back({name, value});
            }
            records.push_back(std::move(record));
        }
    }
    return vorlak::protocol::encodeRecords(records).size();
}
