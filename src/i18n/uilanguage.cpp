#include "uilanguage.h"

#include "captiontarget.h"

#include <span>

namespace {

struct Caption
{
    CaptionWindow window; ///< the window that owns the control
    const char* control;
    int row;
};

constexpr Caption kMainWindowCaptions[] = {
    {CaptionWindow::Main, "SendProgram2", 33}, {CaptionWindow::Main, "Exit", 31},
    {CaptionWindow::Main, "File", 0},          {CaptionWindow::Main, "NewFile", 1},
    {CaptionWindow::Main, "Load", 2},          {CaptionWindow::Main, "SaveAs", 3},
    {CaptionWindow::Main, "Print_", 4},        {CaptionWindow::Main, "Configurations", 5},
    {CaptionWindow::Main, "GeneralConf", 6},   {CaptionWindow::Main, "Communicate", 7},
    {CaptionWindow::Main, "Read_entries", 8},  {CaptionWindow::Main, "Clear_all_entries", 9},
    {CaptionWindow::Main, "Help", 10},         {CaptionWindow::Main, "Aboutus", 11},
    {CaptionWindow::Main, "SendEntries", 43},
};

// The dialog's title comes first; the main window's "Clear list" item is captioned only here.
constexpr Caption kConfigurationCaptions[] = {
    {CaptionWindow::Configuration, "Form2", 6},
    {CaptionWindow::Configuration, "Frame1", 13},
    {CaptionWindow::Main, "ClearEntries", 45},
    {CaptionWindow::Configuration, "AutomaticMode", 14},
    {CaptionWindow::Configuration, "Frame2", 14},
    {CaptionWindow::Configuration, "ManualMode", 15},
    {CaptionWindow::Configuration, "Command3", 16},
    {CaptionWindow::Configuration, "AutoStart", 17},
    {CaptionWindow::Configuration, "AutoClear", 18},
    {CaptionWindow::Configuration, "IncrNumber", 19},
    {CaptionWindow::Configuration, "NewFile", 20},
    {CaptionWindow::Configuration, "AppendFile", 21},
    {CaptionWindow::Configuration, "Label3", 22},
    {CaptionWindow::Configuration, "Command1", 23},
    {CaptionWindow::Configuration, "Command4", 23},
    {CaptionWindow::Configuration, "Label1", 24},
    {CaptionWindow::Configuration, "Label7", 40},
    {CaptionWindow::Configuration, "Label2", 25},
    {CaptionWindow::Configuration, "Label4", 26},
    {CaptionWindow::Configuration, "Label6", 35},
    {CaptionWindow::Configuration, "Command5", 36},
    {CaptionWindow::Configuration, "Command6", 36},
    {CaptionWindow::Configuration, "Command7", 36},
    {CaptionWindow::Configuration, "UseTermId", 37},
    {CaptionWindow::Configuration, "AutoAnswer", 38},
    {CaptionWindow::Configuration, "InsertKeys", 39},
};

constexpr Caption kUploadCaptions[] = {
    {CaptionWindow::Upload, "Form4", 42},
    {CaptionWindow::Upload, "Command1", 41},
    {CaptionWindow::Upload, "Label2", 25},
};

std::span<const Caption> captionsFor(CaptionWindow window)
{
    switch (window) {
    case CaptionWindow::Main:
        return kMainWindowCaptions;
    case CaptionWindow::Configuration:
        return kConfigurationCaptions;
    case CaptionWindow::Upload:
        return kUploadCaptions;
    }
    return {};
}

constexpr int kRowCommError = 27;
constexpr int kRowPlaceTerminal = 28;
constexpr int kRowReadData = 29;
constexpr int kRowPortError = 30;

} // namespace

UiLanguage::UiLanguage() = default;

void UiLanguage::setWindowProvider(CaptionWindow window, WindowProvider provider)
{
    m_providers[static_cast<std::size_t>(window)] = std::move(provider);
}

std::optional<std::int16_t> UiLanguage::languageIndexOf(const QString& languageName)
{
    if (languageName == QLatin1String("English")) {
        return 0;
    }
    if (languageName == QLatin1String("Portugues")) {
        return 1;
    }
    if (languageName == QLatin1String("Spanish")) {
        return 2;
    }
    return std::nullopt;
}

void UiLanguage::applyLanguage(const QString& languageName, CaptionWindows windows)
{
    if (const auto index = languageIndexOf(languageName)) {
        m_languageIndex = *index;
    }
    m_translators.apply(m_languageIndex);
    m_table.fill();
    if (windows.testFlag(CaptionWindowFlag::Main)) {
        captionWindow(CaptionWindow::Main);
    }
    if (windows.testFlag(CaptionWindowFlag::Configuration)) {
        captionWindow(CaptionWindow::Configuration);
    }
    if (windows.testFlag(CaptionWindowFlag::Upload)) {
        captionWindow(CaptionWindow::Upload);
    }
    m_msgCommError = text(kRowCommError);
    m_msgPlaceTerminal = text(kRowPlaceTerminal);
    m_msgReadData = text(kRowReadData);
    m_msgPortError = text(kRowPortError);
}

void UiLanguage::captionWindow(CaptionWindow window)
{
    // The chosen window is fetched first, so that a dialog created by its provider exists
    // before any of the captions of its group are set.
    // A group may also caption controls of another window (the main window's "Clear list"),
    // which get their text even while the chosen window does not exist.
    if (const auto& chosen = m_providers[static_cast<std::size_t>(window)]) {
        static_cast<void>(chosen());
    }
    for (const Caption& caption : captionsFor(window)) {
        const auto& provider = m_providers[static_cast<std::size_t>(caption.window)];
        CaptionTarget* target = provider ? provider() : nullptr;
        if (target != nullptr) {
            target->setCaption(QString::fromLatin1(caption.control), text(caption.row));
        }
    }
}
