#pragma once

class DocumentView;
class KeystrokeSink;
class TerminalEraser;
class UserDialogs;

/// Delivers a reading as keystrokes into the application that has the keyboard focus: the
/// view's text, without its line breaks, is read as keystroke notation and typed; then all data
/// on the terminal is cleared, whatever the AutoClear setting says.
///
/// The terminal is cleared only once the keystrokes were handed to the platform. A text that is
/// not valid notation is not typed at all (the whole text is parsed before the first key), and
/// a message says where it fails; when the platform cannot take the keystrokes a message gives
/// the reason. In both cases the data stays on the terminal and in the view.
class KeyboardDelivery
{
public:
    KeyboardDelivery(KeystrokeSink& sink, TerminalEraser& clearing, DocumentView& view,
                     UserDialogs& dialogs);

    /// True when the text was typed (the terminal was then cleared, or its clearing failed with
    /// its own message).
    bool deliver();

private:
    KeystrokeSink& m_sink;
    TerminalEraser& m_clearing;
    DocumentView& m_view;
    UserDialogs& m_dialogs;
};
