#include "recordingdialogs.h"

#include <algorithm>

namespace {

template <typename T>
T takeFront(std::deque<T>& script, T whenEmpty)
{
    if (script.empty()) {
        return whenEmpty;
    }
    T answer = script.front();
    script.pop_front();
    return answer;
}

} // namespace

void RecordingDialogs::showMessage(const QString& text, const QString& title, MessageIcon icon)
{
    shown.append({QStringLiteral("message"), text, title, icon});
}

bool RecordingDialogs::askYesNo(const QString& text, const QString& title)
{
    shown.append({QStringLiteral("question"), text, title});
    return takeFront(yesNoAnswers, false);
}

std::optional<QString> RecordingDialogs::askText(const QString& prompt, const QString& title,
                                                 const QString& /*initialText*/)
{
    shown.append({QStringLiteral("input"), prompt, title});
    return takeFront(textAnswers, std::optional<QString>{});
}

std::optional<QString> RecordingDialogs::openFileName(const FileDialogRequest& request)
{
    shown.append({QStringLiteral("open"), request.filter, request.title});
    fileRequests.append(request);
    return takeFront(fileAnswers, std::optional<QString>{});
}

std::optional<QString> RecordingDialogs::saveFileName(const FileDialogRequest& request)
{
    shown.append({QStringLiteral("save"), request.filter, request.title});
    fileRequests.append(request);
    return takeFront(fileAnswers, std::optional<QString>{});
}

void RecordingDialogs::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
    busyMaxDepth = std::max(busyMaxDepth, busyDepth);
}

QStringList RecordingDialogs::messages() const
{
    QStringList texts;
    for (const Shown& s : shown) {
        if (s.kind == QLatin1String("message")) {
            texts.append(s.text);
        }
    }
    return texts;
}
