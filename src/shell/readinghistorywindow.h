#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class ReadingHistory;
struct ReadingHistoryListing;

/// The reading-history window: the journal's readings in a table, newest first. Choosing one
/// shows it in the main window's view; "Deliver again" delivers it once more. The window only
/// forwards to ReadingHistory and shows what it answers.
class ReadingHistoryWindow : public QWidget
{
    Q_OBJECT

public:
    /// A window of its own above `parent` (the main window), which closes and deletes it.
    ReadingHistoryWindow(ReadingHistory& history, QWidget* parent);

    /// Sets the captions in the current language.
    void applyCaptions();
    /// Lists the journal again.
    void refresh();
    /// Delivers the chosen reading again. With keystroke delivery the program's windows are
    /// minimised first, so that the keys go to the application the user works in, not here.
    void deliverAgain();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void display(const ReadingHistoryListing& listing);
    void deliverChosen();

    ReadingHistory& m_history;
    QTableWidget* m_table = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_deliverAgain = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_close = nullptr;
    int m_toDeliver = -1; ///< the row a keystroke delivery waits to deliver; -1 when none
};
