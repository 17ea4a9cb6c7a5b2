#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

/// What a qel-sim terminal file holds (text in UTF-8; fields keep their order), for tests and
/// benchmarks that make terminals of any size.
struct TerminalFile
{
    using Fields = std::vector<std::pair<std::string, std::string>>;
    struct Document
    {
        Fields header;
        std::vector<Fields> entries;
    };

    std::string id = "T1";
    std::string bodyTemplate;
    std::string headerTemplate;
    std::vector<Document> documents;

    /// `documents` documents "Doc" = 0001, 0002, ... each with `entries` entries "Code" =
    /// 10000, 10001, ... (numbered over the whole terminal) and "Qty" = 1 to 9.
    [[nodiscard]] static TerminalFile numbered(int documents, int entries);

    [[nodiscard]] std::string json() const;
    /// Writes json() to `file`; throws std::runtime_error when it cannot.
    void write(const std::filesystem::path& file) const;
};
