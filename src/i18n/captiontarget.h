#pragma once

#include <QString>

/// A window whose controls can be captioned by name. The window's own name stands for its title.
class CaptionTarget
{
public:
    virtual ~CaptionTarget() = default;
    virtual void setCaption(const QString& controlName, const QString& text) = 0;
};
