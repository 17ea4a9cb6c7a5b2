#pragma once

#include "commandline.h"

class Journal;

/// Carries out a journal command of the command line (--history, --export) on `journal` and
/// says what to print and which status to end with: 0 when done, 1 (with a message on the
/// error output) when the journal cannot be read, the reading is unknown or the file cannot be
/// written.
///
/// --history prints a header line and one line per reading, newest first: id, finished time,
/// terminal, documents, records, result, cleared ("yes"/"no") and target, in fixed columns with
/// the target last; "-" stands for a time or target that is missing. With --json it prints one
/// JSON array of objects with the keys id, terminal, port, started, finished, documents,
/// records, bytes, sha256, mode, target, result and cleared; times are ISO 8601 UTC texts such
/// as "2024-05-01T09:30:00Z", or null when missing.
///
/// --export writes the reading's text as a delivered file holds it: UTF-8 with the platform's
/// line endings, replacing the file in one step.
[[nodiscard]] CommandLineAnswer runJournalCommand(const JournalRequest& request, Journal& journal);
