#pragma once

#include "template/templateformatter.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qelsim {

/// One document the terminal collected: a header record and its entry records. Field names and
/// values are held as the terminal holds them, in Windows-1252.
struct Document
{
    vorlak::Record header;
    std::vector<vorlak::Record> entries;
};

/// A list the PC sent to the terminal, kept as received (Windows-1252 bytes).
struct StoredList
{
    std::string data;
    std::string userVariable;
};

/// The terminal file cannot be used. what() names the file and, for malformed JSON, the line
/// and column where reading stopped.
class TerminalFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The state folder cannot be created or written. what() names the path and the system's reason.
class StateDirError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Everything the simulated terminal holds: identity, templates, collected documents and the
/// lists it received.
///
/// The terminal file is read once at start (fromFile). With a state folder attached, every
/// change is written there at once, so the state can be inspected after (or during) a run:
///   DIR/terminal.json      the terminal as it is now, same format as the terminal file
///   DIR/events.log         one line per request served (written by the protocol server)
///   DIR/lists/<n>.bin      list n exactly as received (an empty list is an empty file)
///   DIR/lists/<n>.var      the user variable sent with list n
///   DIR/upload/program.bin the last terminal program received, image exactly as received
///   DIR/upload/program.hea its 8 header bytes
/// A state folder never feeds the terminal: a later run starts from its terminal file again and
/// overwrites DIR/terminal.json (lists, program and events.log of an earlier run are removed when
/// the folder is attached), so each run's folder tells about that run only.
///
/// Not thread-safe: the simulator serves one line from one thread.
class TerminalState
{
public:
    TerminalState() = default;
    TerminalState(const TerminalState&) = delete;
    TerminalState& operator=(const TerminalState&) = delete;
    TerminalState(TerminalState&&) = default;
    TerminalState& operator=(TerminalState&&) = default;
    ~TerminalState() = default;

    /// Reads a terminal file (UTF-8 JSON). Text is converted to Windows-1252 on the way in; a
    /// character Windows-1252 cannot hold becomes '?'. A missing key means empty.
    /// Throws TerminalFileError.
    [[nodiscard]] static TerminalState fromFile(const std::filesystem::path& file);
    /// Same, from text already in memory; sourceName names it in error messages.
    [[nodiscard]] static TerminalState fromJson(std::string_view json,
                                                const std::string& sourceName);

    /// Starts persisting to `dir` (created if needed) and writes the current state there.
    /// Throws StateDirError.
    void attachStateDir(const std::filesystem::path& dir);
    [[nodiscard]] const std::filesystem::path& stateDir() const { return m_stateDir; }

    [[nodiscard]] const std::string& id() const { return m_id; }
    [[nodiscard]] const std::string& bodyTemplate() const { return m_bodyTemplate; }
    [[nodiscard]] const std::string& headerTemplate() const { return m_headerTemplate; }
    [[nodiscard]] const std::vector<Document>& documents() const { return m_documents; }
    [[nodiscard]] const std::map<int, StoredList>& lists() const { return m_lists; }
    /// The header and image of the last program received; both empty before one came.
    [[nodiscard]] const std::string& programHeader() const { return m_programHeader; }
    [[nodiscard]] const std::string& programImage() const { return m_programImage; }

    /// Removes every document, persisted.
    void clearAll();
    /// Removes list <position>, persisted (its files are deleted). Unknown positions are fine.
    void clearList(int position);
    /// Keeps list <position>, replacing one already there; persisted as lists/<position>.bin/.var.
    void storeList(int position, std::string_view data, std::string_view userVariable);
    /// Keeps a new terminal program, replacing the one before; persisted as upload/program.hea
    /// and upload/program.bin, each written whole under a temporary name and renamed into place.
    void storeProgram(std::string_view header, std::string_view image);
    /// Appends one line to events.log and flushes it; does nothing without a state folder.
    void logEvent(std::string_view line);

    /// The state as terminal-file JSON (UTF-8), as written to DIR/terminal.json.
    [[nodiscard]] std::string toJson() const;

private:
    void saveTerminal() const;
    void saveList(int position) const;
    void saveProgram() const;

    std::string m_id;
    std::string m_bodyTemplate;
    std::string m_headerTemplate;
    std::vector<Document> m_documents;
    std::map<int, StoredList> m_lists;
    std::string m_programHeader;
    std::string m_programImage;
    std::filesystem::path m_stateDir;
    std::ofstream m_events;
};

} // namespace qelsim
