#include "readinghistorywindow.h"

#include "readinghistory.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

/// Time for the window system to give the keyboard focus back to the user's application once
/// the program's windows are minimised.
constexpr int kFocusReturnMs = 800;
constexpr QSize kInitialSize(760, 380);

} // namespace

ReadingHistoryWindow::ReadingHistoryWindow(ReadingHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
{
    setObjectName(QStringLiteral("ReadingHistoryWindow"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("Problem"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("Readings"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_deliverAgain = new QPushButton(this);
    m_deliverAgain->setObjectName(QStringLiteral("DeliverAgain"));
    m_deliverAgain->setEnabled(false);
    m_refresh = new QPushButton(this);
    m_refresh->setObjectName(QStringLiteral("Refresh"));
    m_close = new QPushButton(this);
    m_close->setObjectName(QStringLiteral("Close"));
    // No button takes Return from the keyboard: typed keys that reach this window must not
    // start another delivery.
    for (QPushButton* button : {m_deliverAgain, m_refresh, m_close}) {
        button->setAutoDefault(false);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_deliverAgain);
    buttons->addStretch(1);
    buttons->addWidget(m_refresh);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_problem);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) {
        m_deliverAgain->setEnabled(row >= 0 && m_toDeliver < 0);
        m_history.choose(row);
    });
    connect(m_deliverAgain, &QPushButton::clicked, this, &ReadingHistoryWindow::deliverAgain);
    connect(m_refresh, &QPushButton::clicked, this, &ReadingHistoryWindow::refresh);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    resize(kInitialSize);
    applyCaptions();
}

void ReadingHistoryWindow::applyCaptions()
{
    const ReadingHistoryCaptions captions = m_history.captions();
    setWindowTitle(captions.title);
    m_table->setColumnCount(static_cast<int>(captions.headers.size()));
    m_table->setHorizontalHeaderLabels(captions.headers);
    m_deliverAgain->setText(captions.deliverAgain);
    m_refresh->setText(captions.refresh);
    m_close->setText(captions.close);
}

void ReadingHistoryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        applyCaptions();
        refresh();
    }
}

void ReadingHistoryWindow::refresh()
{
    display(m_history.refresh());
}

void ReadingHistoryWindow::display(const ReadingHistoryListing& listing)
{
    // Filling the table must not put a reading into the view: only the user's choice does.
    const QSignalBlocker blocker(m_table);
    m_table->clearContents();
    m_table->setRowCount(static_cast<int>(listing.rows.size()));
    for (int row = 0; row < listing.rows.size(); ++row) {
        const QStringList& cells = listing.rows.at(row).cells;
        for (int column = 0; column < cells.size(); ++column) {
            m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
        }
    }
    m_table->setCurrentCell(-1, -1);
    m_table->resizeColumnsToContents();
    m_deliverAgain->setEnabled(false);
    m_problem->setText(listing.problem);
    m_problem->setVisible(!listing.problem.isEmpty());
}

void ReadingHistoryWindow::deliverAgain()
{
    const int row = m_table->currentRow();
    if (row < 0 || m_toDeliver >= 0) {
        return;
    }
    m_toDeliver = row;
    m_deliverAgain->setEnabled(false);
    if (!m_history.typesKeys()) {
        deliverChosen();
        return;
    }
    if (parentWidget() != nullptr) {
        parentWidget()->showMinimized();
    }
    showMinimized();
    QTimer::singleShot(kFocusReturnMs, this, &ReadingHistoryWindow::deliverChosen);
}

void ReadingHistoryWindow::deliverChosen()
{
    const int row = m_toDeliver;
    m_toDeliver = -1;
    display(m_history.deliverAgain(row));
}
