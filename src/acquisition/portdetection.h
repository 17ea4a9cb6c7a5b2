#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class CommLibrary;
class EventPump;
class ReadingSession;
class UserDialogs;
struct AppState;

/// Finds the serial port on which a terminal answers ("Auto detect" beside the port box), by
/// trying ports 1 to 16, and leaves the reading session open on it.
class PortDetection
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;
    /// How long a terminal is given to answer on a port that opened.
    static constexpr std::int32_t kSettleMs = 8000;

    struct Result
    {
        /// The port on which a terminal answered; nullopt when none did.
        std::optional<int> port;
        /// The text the port box is left with.
        QString comPortText;
    };

    PortDetection(CommLibrary& library, AppState& state, ReadingSession& session, EventPump& pump,
                  UserDialogs& dialogs);

    /// Tries every port with the probe speed read from `baudRateText`, showing each port tried
    /// through `showPort` and letting window events run before it opens and, once it is open,
    /// before the wait. When no terminal answers, the port number and the box text from before
    /// come back, the reading session reopens on that port and a message says so.
    Result detect(const QString& comPortText, const QString& baudRateText,
                  const std::function<void(const QString&)>& showPort);

    /// The probe speed of the hidden line-speed box: the number its text begins with, rounded;
    /// 0 when it holds none or one that is no line speed at all.
    [[nodiscard]] static std::int32_t probeSpeed(const QString& baudRateText);
    /// "Com" followed by the port number.
    [[nodiscard]] static QString portText(int port);

private:
    CommLibrary& m_library;
    AppState& m_state;
    ReadingSession& m_session;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
};
