#pragma once

class QWidget;
class SettingsStore;

/// The main window's size, position and maximised state, kept between runs in a store of their
/// own (the settings file's [Window] group, apart from the program's settings).
class WindowPlacement
{
public:
    explicit WindowPlacement(SettingsStore& store);

    /// Gives the window the stored size and position and, when it was maximised, that state,
    /// before it is shown. Nothing stored, or a place on no screen now attached: as it is.
    void restore(QWidget& window);
    /// Stores what restore() reads: the window's normal geometry and whether it is maximised.
    void save(const QWidget& window);

private:
    SettingsStore& m_store;
};
