#pragma once

#include "common/eventpump.h"
#include "common/linebreaks.h"
#include "common/mainwindowcontrols.h"
#include "document/richdocumentview.h"
#include "shell/textprinter.h"

#include <QString>
#include <QStringList>
#include <functional>

/// Main-window controls held in memory: status panels, timer flag, minimised flag.
class FakeWindowControls : public MainWindowControls
{
public:
    void setStatusText(int panel, const QString& text) override
    {
        (panel == 1 ? panel1 : panel2) = text;
    }
    QString statusText(int panel) const override { return panel == 1 ? panel1 : panel2; }
    void setTimerEnabled(bool enabled) override
    {
        timerOn = enabled;
        ++timerChanges;
    }
    bool timerEnabled() const override { return timerOn; }
    bool isMinimised() const override { return minimised; }

    QString panel1;
    QString panel2;
    bool timerOn = false;
    int timerChanges = 0;
    bool minimised = false;
};

/// EventPump that counts how often events were let run and runs injected work each time
/// (as a nested timer tick would), without waiting.
class CountingEventPump : public EventPump
{
public:
    void processEvents() override
    {
        ++processCalls;
        if (onEvents) {
            onEvents();
        }
    }
    void waitWithEvents(std::chrono::milliseconds duration) override
    {
        ++waitCalls;
        waited += duration;
        if (onEvents) {
            onEvents();
        }
    }

    int processCalls = 0;
    int waitCalls = 0;
    std::chrono::milliseconds waited{0};
    std::function<void()> onEvents;
};

/// A document view in memory that keeps rich text as it was given.
class MemoryRichDocumentView : public RichDocumentView
{
public:
    [[nodiscard]] QString text() const override { return m_text; }
    void setText(const QString& text) override
    {
        m_text = normaliseLineBreaks(text);
        html.clear();
    }
    [[nodiscard]] QString selectedText() const override { return m_selection; }
    void setSelectedText(const QString& selection) { m_selection = selection; }
    void setRichText(const QString& richText) override
    {
        html = richText;
        m_text = richText;
    }

    QString html;

private:
    QString m_text;
    QString m_selection;
};

/// A printer that keeps every text it was given; it can refuse as a missing printer would.
class RecordingTextPrinter : public TextPrinter
{
public:
    PrintResult printText(const QString& text) override
    {
        printed.append(text);
        return refusal.isEmpty() ? PrintResult{true, {}} : PrintResult{false, refusal};
    }

    QStringList printed;
    QString refusal;
};
