// Sample for tools/untranslated-texts: the lines that end in the marker are reported, no others.
void sample(UserDialogs& dialogs, int port)
{
    dialogs.showMessage(QStringLiteral("The port could not be opened")); // FOUND
    dialogs.showMessage(QCoreApplication::translate("Sample", "The port could not be opened"));
    label->setText(tr("Baud Rate"));
    static const char* kNames[] = {QT_TRANSLATE_NOOP("Sample", "Reading history")};
    qWarning() << "the settings file was not written";
    qCWarning(category, "the settings file %s was not written", name);
    settings.setValue(QStringLiteral("ComPort"), port); // one word: a key, not prose
    // A comment with English words is no literal: "the file could not be read".
    /* Nor "is this one in a block comment". */
    const QString reason = QStringLiteral("it is a folder, not a file"); // FOUND
    dialogs.askYesNo(QStringLiteral("Send the list "  // FOUND
                                    "without it?"),
                     QString());
    const QString allowed = QStringLiteral("SELECT id FROM readings");
    const char quote = '"';
    label->setText(QString::fromUtf8("Port closed")); // FOUND
    stop->setText(QStringLiteral("Stop")); // FOUND
    stop->setObjectName(QStringLiteral("Stop"));
    const QString key = QStringLiteral("Stop");
}
