#pragma once

#include "common/mainwindowcontrols.h"
#include "i18n/widgetcaptioner.h"
#include "upload/form4.h"
#include "upload/uploadhost.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class Form2;
class Form2Host;
class CommLibrary;
class Form3;
class ProgramCore;
class QLabel;
class QMenu;
class QPushButton;
class QShortcut;
class QTextEdit;
class QTextEditDocumentView;
class QTimer;
class QtTextPrinter;
class ReadingHistory;
class ReadingHistoryWindow;
class TrayIcon;
class WindowPlacement;
struct ProgramPlatform;

/// The main window: document view, status bar with its two panels, menus and polling timer.
/// It owns the program's logic (ProgramCore) and forwards its events to it.
class Form1 : public QMainWindow, public MainWindowControls, public UploadHost
{
    Q_OBJECT

public:
    explicit Form1(const ProgramPlatform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    /// The start-up sequence run when the window is loaded (see ProgramCore::start).
    void Form_Load();

    [[nodiscard]] ProgramCore& core() { return *m_core; }
    [[nodiscard]] QTextEdit* Text1() const { return m_text1; }
    [[nodiscard]] QTimer* Timer1() const { return m_timer1; }

    // MainWindowControls
    void setStatusText(int panel, const QString& text) override;
    [[nodiscard]] QString statusText(int panel) const override;
    void setTimerEnabled(bool enabled) override;
    [[nodiscard]] bool timerEnabled() const override;
    [[nodiscard]] bool isMinimised() const override;
    /// Panel 1 with the Stop button beside it (Esc stops too).
    void showReadingProgress(const QString& text) override;
    void endReadingProgress() override;

    // UploadHost
    void setMainWindowVisible(bool visible) override;
    /// Runs `command` now when the link is free; while a short call is in flight it runs as
    /// soon as the call has ended (within a second, otherwise it is dropped); during a reading
    /// it is dropped (the commands are disabled then).
    void runPortCommand(QObject* context, const std::function<void()>& command) override;

    /// The commands that need the terminal or the port are enabled.
    [[nodiscard]] bool portCommandsEnabled() const { return m_portCommandsEnabled; }
    [[nodiscard]] QPushButton* stopButton() const { return m_stop; }

    /// Shows the program-upload dialog (not modal), creating it when needed.
    void showUploadDialog();
    [[nodiscard]] Form4* uploadDialog() const { return m_form4; }

    /// Shows the reading-history window (not modal), creating it when needed.
    void showReadingHistory();
    [[nodiscard]] ReadingHistoryWindow* readingHistoryWindow() const;

    /// The tray icon; null where the desktop has no tray.
    [[nodiscard]] TrayIcon* trayIcon() const { return m_tray; }
    /// Ends the program even when it is set to stay in the tray (the tray's Exit).
    void exitProgram();
    /// Shows the window in front, out of the tray or the task bar, keeping it maximised if it
    /// was (the tray's Show, and another start of Kolbrin).
    void bringToFront();

    /// Room the menu bar, status bar and borders take, in 1/1440 inch.
    static constexpr int kWidthMarginTwips = 130;
    static constexpr int kHeightMarginTwips = 1020;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    QMenu* addMenu(const char* name);
    QAction* addItem(QMenu* menu, const char* name, const QKeySequence& shortcut = {});
    void Form_Resize();
    void Form_Unload();
    /// Captions the history entry and window when the language has changed: their texts are
    /// not in the shared string table, so this runs whenever the main window is captioned.
    void captionReadingHistory();
    /// A library call is in flight or a reading is under way.
    [[nodiscard]] bool linkBusy() const;
    void onLinkActivity(bool inFlight);
    /// Enables or disables the port commands as the link is busy or free, and closes the window
    /// when Exit was asked for during work that has now ended.
    void updatePortCommands();
    void setPortCommandsEnabled(bool enabled);
    static void enablePortButtons(Form2* form2, bool enabled);
    /// Runs work that may call the library, counted so that Exit waits for it.
    void runWork(const std::function<void()>& work);
    void closeIfExitPending();
    void tryPortCommand(const QPointer<QObject>& context, const std::function<void()>& command,
                        int retriesLeft);
    void stopReading();

    WidgetCaptioner m_captioner;
    QTextEdit* m_text1 = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;
    QTimer* m_timer1 = nullptr;
    std::unique_ptr<QTextEditDocumentView> m_view;
    std::unique_ptr<QtTextPrinter> m_printer;
    std::unique_ptr<ProgramCore> m_core;
    std::unique_ptr<Form2Host> m_form2; // after m_core: goes first
    QPointer<Form3> m_form3;
    QPointer<Form4> m_form4;
    std::unique_ptr<ReadingHistory> m_readingHistory; // after m_core: goes first
    QPointer<ReadingHistoryWindow> m_history;
    QAction* m_readingHistoryAction = nullptr;
    int m_historyLanguage = -1; ///< the language the history entry is captioned in
    std::unique_ptr<WindowPlacement> m_placement;
    TrayIcon* m_tray = nullptr;
    bool m_inTray = false;  ///< hidden, running on in the tray
    bool m_exiting = false; ///< closing ends the program, whatever the tray setting
    bool m_unloaded = false;
    CommLibrary& m_library;
    QList<QAction*> m_portActions;
    bool m_portCommandsEnabled = true;
    /// A call in flight greys the port commands only after this, so that the presence checks of
    /// the polling timer, each well under it, do not make them flicker.
    QTimer* m_disableDelay = nullptr;
    QPushButton* m_stop = nullptr;
    QShortcut* m_escape = nullptr;
    int m_workDepth = 0;
    bool m_exitPending = false;
};
