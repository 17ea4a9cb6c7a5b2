#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

/// The about box: the program's name and version, where to find the project and whom to write
/// to. Opened without blocking the main window; OK closes and deletes it.
class Form3 : public QDialog
{
    Q_OBJECT

public:
    explicit Form3(QWidget* parent = nullptr);

    /// Opens the about box, or brings forward the one already open: there is one at a time.
    /// `box` is the main window's handle to it; it becomes null again when the box is closed.
    static Form3* showAboutBox(QPointer<Form3>& box, QWidget* parent);

    static QString webAddress();
    static QString mailAddress();

    void Command1_Click();

private:
    QLabel* m_image1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
    QPushButton* m_command1 = nullptr;
};
