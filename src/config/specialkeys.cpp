#include "specialkeys.h"

#include <algorithm>

namespace SpecialKeys {

namespace {

bool inRange(int index)
{
    return index >= 0 && index < kCount;
}

} // namespace

QString name(int index)
{
    return inRange(index) ? QString::fromLatin1(kKeys[static_cast<std::size_t>(index)].name)
                          : QString();
}

QString token(int index)
{
    return inRange(index) ? QString::fromLatin1(kKeys[static_cast<std::size_t>(index)].token)
                          : QString();
}

QRect buttonRectTwips(int index)
{
    if (!inRange(index)) {
        return {};
    }
    const int column = index % kColumns;
    const int row = index / kColumns;
    return {kLeftTwips + kColumnStepTwips * column, kTopTwips + kRowStepTwips * row, kWidthTwips,
            kHeightTwips};
}

Insertion insertAtCaret(const QString& text, int caret, const QString& token)
{
    const int at = std::clamp(caret, 0, static_cast<int>(text.size()));
    return {text.left(at) + token + text.mid(at), at + static_cast<int>(token.size())};
}

} // namespace SpecialKeys
