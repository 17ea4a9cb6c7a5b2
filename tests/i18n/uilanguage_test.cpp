#include "i18n/captiontarget.h"
#include "i18n/uilanguage.h"
#include "qtprinters.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <gtest/gtest.h>

namespace {

// A window that records the captions it is given, in order.
class RecordingWindow : public CaptionTarget
{
public:
    void setCaption(const QString& controlName, const QString& text) override
    {
        calls.append({controlName, text});
        captions[controlName] = text;
    }
    QList<QPair<QString, QString>> calls;
    QMap<QString, QString> captions;
};

class UiLanguageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        language.setWindowProvider(CaptionWindow::Main, [this] { return &mainWindow; });
        language.setWindowProvider(CaptionWindow::Configuration, [this] {
            ++configurationRequests;
            return &configurationDialog;
        });
        language.setWindowProvider(CaptionWindow::Upload, [this] { return &uploadDialog; });
    }

    UiLanguage language;
    RecordingWindow mainWindow;
    RecordingWindow configurationDialog;
    RecordingWindow uploadDialog;
    int configurationRequests = 0;
};

QStringList controlNames(const QList<QPair<QString, QString>>& calls)
{
    QStringList names;
    for (const auto& call : calls) {
        names.append(call.first);
    }
    return names;
}

} // namespace

TEST_F(UiLanguageTest, SpanishOnEveryWindow)
{
    language.applyLanguage(QStringLiteral("Spanish"), CaptionWindowFlag::Main |
                                                          CaptionWindowFlag::Configuration |
                                                          CaptionWindowFlag::Upload);
    EXPECT_EQ(language.languageIndex(), 2);
    EXPECT_EQ(mainWindow.captions.value(QStringLiteral("File")), QStringLiteral("Fichero"));
    EXPECT_EQ(mainWindow.captions.value(QStringLiteral("ClearEntries")),
              QStringLiteral("Borrar lista"));
    EXPECT_EQ(configurationDialog.captions.value(QStringLiteral("Form2")),
              QStringLiteral("Configuraciones Generales"));
    EXPECT_EQ(uploadDialog.captions.value(QStringLiteral("Form4")),
              QStringLiteral("Por favor seleccione el programa deseado para instalar!"));
    EXPECT_EQ(language.MsgPortError(), QStringLiteral("Error al abrir el puerto serie"));
    EXPECT_EQ(language.MsgCommError(), QStringLiteral("Error en la Comunicaci\u00f3n"));
    EXPECT_EQ(language.MsgPlaceTerminal(),
              QStringLiteral("Por favor introduzca el terminal en el soporte"));
    EXPECT_EQ(language.MsgReadData(), QStringLiteral("Leer los datos?"));
}

TEST_F(UiLanguageTest, CaptionsAreSetInTheirFixedOrder)
{
    language.applyLanguage(QStringLiteral("English"), CaptionWindowFlag::Main |
                                                          CaptionWindowFlag::Configuration |
                                                          CaptionWindowFlag::Upload);
    EXPECT_EQ(
        controlNames(mainWindow.calls),
        (QStringList{QStringLiteral("SendProgram2"), QStringLiteral("Exit"), QStringLiteral("File"),
                     QStringLiteral("NewFile"), QStringLiteral("Load"), QStringLiteral("SaveAs"),
                     QStringLiteral("Print_"), QStringLiteral("Configurations"),
                     QStringLiteral("GeneralConf"), QStringLiteral("Communicate"),
                     QStringLiteral("Read_entries"), QStringLiteral("Clear_all_entries"),
                     QStringLiteral("Help"), QStringLiteral("Aboutus"),
                     QStringLiteral("SendEntries"), QStringLiteral("ClearEntries")}));
    const QStringList dialogOrder = controlNames(configurationDialog.calls);
    ASSERT_EQ(dialogOrder.size(), 25);
    EXPECT_EQ(dialogOrder.first(), QStringLiteral("Form2"));
    EXPECT_EQ(dialogOrder.at(1), QStringLiteral("Frame1"));
    EXPECT_EQ(dialogOrder.at(2), QStringLiteral("AutomaticMode"));
    EXPECT_EQ(dialogOrder.last(), QStringLiteral("InsertKeys"));
    EXPECT_EQ(configurationDialog.captions.value(QStringLiteral("NewFile")),
              QStringLiteral("Overwrite the same file every time"));
    EXPECT_EQ(mainWindow.captions.value(QStringLiteral("NewFile")), QStringLiteral("New File"));
    EXPECT_EQ(controlNames(uploadDialog.calls),
              (QStringList{QStringLiteral("Form4"), QStringLiteral("Command1"),
                           QStringLiteral("Label2")}));
}

TEST_F(UiLanguageTest, UnknownNamesKeepTheCurrentLanguage)
{
    for (const QString& name : {QStringLiteral("portugues"), QStringLiteral("Portugu\u00eas"),
                                QString(), QStringLiteral("English ")}) {
        language.applyLanguage(name, CaptionWindowFlag::Main);
        EXPECT_EQ(language.languageIndex(), 0) << name.toStdString();
        EXPECT_EQ(mainWindow.captions.value(QStringLiteral("File")), QStringLiteral("File"));
    }
    language.applyLanguage(QStringLiteral("Spanish"), CaptionWindowFlag::Main);
    language.applyLanguage(QStringLiteral("SPANISH"), CaptionWindowFlag::Main);
    EXPECT_EQ(language.languageIndex(), 2);
    EXPECT_EQ(language.MsgReadData(), QStringLiteral("Leer los datos?"));
}

TEST_F(UiLanguageTest, OnlyTheChosenWindowsAreCaptioned)
{
    language.applyLanguage(QStringLiteral("Spanish"), CaptionWindowFlag::Main |
                                                          CaptionWindowFlag::Configuration |
                                                          CaptionWindowFlag::Upload);
    language.applyLanguage(QStringLiteral("Portugues"),
                           CaptionWindowFlag::Main | CaptionWindowFlag::Configuration);

    EXPECT_EQ(uploadDialog.captions.value(QStringLiteral("Command1")),
              QStringLiteral("Instalar el programa")); // still the language of its last opening
    EXPECT_EQ(mainWindow.captions.value(QStringLiteral("Print_")), QStringLiteral("Imprimir"));
    EXPECT_EQ(configurationDialog.captions.value(QStringLiteral("ManualMode")),
              QStringLiteral("Manual"));
    EXPECT_EQ(configurationDialog.captions.value(QStringLiteral("Command3")),
              QStringLiteral("Cancelar"));
    EXPECT_EQ(mainWindow.captions.value(QStringLiteral("ClearEntries")),
              QStringLiteral("Apagar lista"));
    EXPECT_EQ(language.MsgCommError(), QStringLiteral("Erro de Comunica\u00e7\u00f5es"));

    const int requestsBefore = configurationRequests;
    language.applyLanguage(QStringLiteral("English"), CaptionWindowFlag::Main);
    EXPECT_EQ(configurationRequests, requestsBefore); // the dialog is not created for nothing
    EXPECT_EQ(configurationDialog.captions.value(QStringLiteral("Form2")),
              QStringLiteral("Configura\u00e7\u00f5es gerais"));
}

TEST(UiLanguage, MainWindowClearListIsCaptionedEvenWithoutAConfigurationDialog)
{
    UiLanguage language;
    RecordingWindow mainWindow;
    language.setWindowProvider(CaptionWindow::Main, [&] { return &mainWindow; });
    language.setWindowProvider(CaptionWindow::Configuration, [] { return nullptr; });
    language.applyLanguage(QStringLiteral("Portugues"),
                           CaptionWindowFlag::Main | CaptionWindowFlag::Configuration);
    EXPECT_EQ(mainWindow.captions.value(QStringLiteral("ClearEntries")),
              QStringLiteral("Apagar lista"));
}
