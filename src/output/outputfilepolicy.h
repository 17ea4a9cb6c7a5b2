#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class DocumentView;
class Journal;
class MainWindowControls;
class SettingsStore;
struct Settings;

/// The name of a numbered output file: the counter goes before the first dot of the file name
/// itself (after the last '/' or '\\'), so a dot in a folder name is left alone:
/// "C:\\out.d\\data.txt" + "0000" gives "C:\\out.d\\data0000.txt"; "Demo.txt" gives
/// "Demo0000.txt"; "Demo" gives "Demo0000".
[[nodiscard]] QString IncrementedFileName(const QString& myFileName, const QString& counter);

/// The counter after the given one: the number the text starts with (blanks skipped; none, or a
/// negative one, counts as 0) plus 1, as the last four decimal digits. "0041" gives "0042",
/// "9999" gives "0000", "12ab" gives "0013". The result is always four digits.
[[nodiscard]] QString advanceCounter(const QString& counter);

/// What a delivery to the output files did.
struct FileDeliveryResult
{
    bool ok = false;
    /// The file that could not be written; empty when no usable output file name is set.
    QString failedPath;
    /// Why, in words for the user; names the folder when a folder is the problem.
    QString reason;
    /// Every file written, in the order written (also when a later one failed).
    QStringList written;

    /// One sentence naming the file and the reason, for a message box.
    [[nodiscard]] QString message() const;
};

/// Writes the reading in the document view to the output files of the set policies.
///
/// Nothing already on disk is lost. The numbered and overwrite policies write a temporary file
/// in the target's folder and rename it onto its name, so a failed or interrupted write leaves
/// the earlier file as it was; a numbered file never takes the place of an existing file. The
/// append policy writes at the end of the file itself (time and memory follow the reading, not
/// the file): with a journal, the file's length is recorded durably first and the record is
/// removed once the reading is on the disk, so a tail left by a crash is cut off again by
/// recoverInterruptedAppends() or by the next append to that file. Without a journal an append
/// that fails is cut back at once, but a crash during it can leave part of the reading behind.
class OutputFilePolicy
{
public:
    /// After an append the window shows the whole file, up to this size; a larger file leaves
    /// only the reading in the window (the view holds text as UTF-16, twice the bytes or more).
    static constexpr qint64 kMaxViewBytes = qint64(1) << 30;

    /// `journal` records appends under way; none leaves appends without crash protection.
    OutputFilePolicy(SettingsStore& store, DocumentView& view, MainWindowControls& window,
                     Journal* journal = nullptr);

    /// Runs the numbered, append and overwrite policies that are set in `settings`, in that
    /// order, from the view's text. After a numbered file is written, settings.IncrNumberText
    /// and the store's IncrNumberText and IncrNumberTextFile follow the number used. Shows each
    /// path written in status panel 1. Stops at the first file that cannot be written and
    /// reports it. The view is left as it is: it holds the reading.
    ///
    /// Numbered: when the name for the counter exists, the next free four-digit value is used
    /// (wrapping once); when all 10,000 names exist, that is a failure. A counter of anything but
    /// the digits 0 to 9 is a failure before anything is written (an empty one counts as 0000),
    /// and so is a numbered name outside the folder of MyFileName.
    ///
    /// A MyFileName holding a NUL character is a failure for every policy.
    ///
    /// Append: the old bytes stay exactly as they were (line endings, encoding, byte-order mark)
    /// and the reading follows with the platform's line ending, in the old file's encoding:
    /// UTF-8, or Windows-1252 when the old bytes are not valid UTF-8 and the reading fits in it,
    /// so the file stays readable as one encoding (a reading with characters Windows-1252 cannot
    /// hold is appended as UTF-8: mixed, but nothing is lost). A missing file is created; one
    /// that cannot be read and written is a failure and is left alone. A write that fails is cut
    /// back to the old length. The file is appended in place, never rewritten; afterwards the
    /// view shows the old file's text (UTF-8, or Windows-1252 when it is not valid UTF-8)
    /// followed by the reading.
    [[nodiscard]] FileDeliveryResult deliver(Settings& settings);

    /// Cuts every append the journal still has pending back to the length its file had before
    /// (a longer file holds a part written before a crash; the reading itself is still on the
    /// terminal, which is cleared only after a complete delivery) and marks it done. Empty when
    /// all were settled, otherwise the problems in words for the user. Does nothing without a
    /// journal.
    [[nodiscard]] QString recoverInterruptedAppends();

    /// Removes the temporary files a killed run left in the folder of `myFileName` (see
    /// removeStaleStagedFiles: those another running instance holds stay). Empty when none was
    /// left or all went, otherwise the problems in words for the user.
    [[nodiscard]] static QString removeLeftoverFiles(const QString& myFileName);

private:
    /// As recoverInterruptedAppends(), for the pending appends to `path` only when it is given.
    QString settlePendingAppends(const QString& path);
    bool writeNumbered(Settings& settings, FileDeliveryResult& result);
    bool appendTo(const QString& path, FileDeliveryResult& result);
    bool overwrite(const QString& path, FileDeliveryResult& result);
    void noteWritten(const QString& path, FileDeliveryResult& result);

    SettingsStore& m_store;
    DocumentView& m_view;
    MainWindowControls& m_window;
    Journal* m_journal;
};
