#pragma once

#include "i18n/widgetcaptioner.h"

#include <QMainWindow>

class ConfigLoader;
class QLabel;
class QMenu;
class QTextEdit;
class QTimer;
class UiLanguage;
struct Settings;

/// The main window: document view, status bar with its two panels, menus and polling timer.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    Form1(UiLanguage& language, ConfigLoader& config, Settings& settings,
          QWidget* parent = nullptr);

    /// The start-up sequence run when the window is loaded.
    void Form_Load();

    [[nodiscard]] QTextEdit* Text1() const { return m_text1; }
    [[nodiscard]] QTimer* Timer1() const { return m_timer1; }
    /// Status bar panels 1 (last file written) and 2 (port and terminal state).
    [[nodiscard]] QLabel* statusPanel(int panel) const;

private:
    void createMenus();
    QMenu* addMenu(const char* name);
    QAction* addItem(QMenu* menu, const char* name);

    UiLanguage& m_language;
    ConfigLoader& m_config;
    Settings& m_settings;
    WidgetCaptioner m_captioner;
    QTextEdit* m_text1 = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;
    QTimer* m_timer1 = nullptr;
};
