#pragma once

#include "acquisition/portdevices.h"

#include <QObject>
#include <functional>

class QComboBox;
class QTimer;

/// A port box whose list shows each port with its device and adapter, while the box itself
/// holds the port's value ("Com1") as the settings keep it. The labels are read again every
/// second while the box is shown, so a cradle plugged in meanwhile appears; the selection and
/// what the user typed stay.
class PortList : public QObject
{
    Q_OBJECT

public:
    using Choices = std::function<QList<PortChoice>()>;
    static constexpr int kRefreshMs = 1000;

    /// Fills `box` from `choices` and keeps it up to date; owned by the box.
    PortList(QComboBox* box, Choices choices);

    /// Selects the port of `value` ("Com3", any letter case); one the list lacks is added to an
    /// uneditable box and written into an editable one.
    void select(const QString& value);
    /// The chosen port's value: the text of an editable box, the value of the selected entry.
    [[nodiscard]] QString value() const;
    /// Reads the labels again.
    void refresh();

private:
    QComboBox* m_box;
    Choices m_choices;
    QTimer* m_timer;
};
