#pragma once

#include "generalconfiguration.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

/// Imports the body or header template that the terminal in the cradle carries (the "Auto
/// detect" buttons below the two template boxes). Writes nothing to the store.
class TemplateImport
{
public:
    enum class Kind { Body, Header };

    explicit TemplateImport(const ConfigurationContext& context);

    /// The new text of the template box: the terminal's template without surrounding spaces,
    /// or empty text when the terminal has none. nullopt when no terminal answers on the port
    /// of the reading session: the box then keeps its text.
    [[nodiscard]] std::optional<QString> importTemplate(Kind kind);

private:
    ConfigurationContext m_context;
};

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

    explicit PortDetection(const ConfigurationContext& context);

    /// Tries every port with the probe speed read from `baudRateText`, showing each port tried
    /// through `showPort` and letting window events run before it opens and, once it is open,
    /// before the wait. When no terminal answers, the port number and the box text from before
    /// come back, the reading session reopens on that port and a message says so.
    Result Command5_Click(const QString& comPortText, const QString& baudRateText,
                          const std::function<void(const QString&)>& showPort);

    /// The probe speed of the hidden line-speed box: the number its text begins with, rounded;
    /// 0 when it holds none or one that is no line speed at all.
    [[nodiscard]] static std::int32_t probeSpeed(const QString& baudRateText);
    /// "Com" followed by the port number.
    [[nodiscard]] static QString portText(int port);

private:
    ConfigurationContext m_context;
};
