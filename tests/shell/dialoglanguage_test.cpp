// Qt's own message boxes in the user's language, with the icon that says what the message is:
// real QMessageBoxes on the offscreen platform, answered by clicking their buttons.
#include "i18n/uilanguage.h"
#include "shell/qtuserdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace {

// Runs `inspect` on the message box once it is shown, then closes it with its last button.
void whenBoxShows(std::function<void(QMessageBox&)> inspect)
{
    QTimer::singleShot(0, [inspect = std::move(inspect)] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        inspect(*box);
        box->buttons().constLast()->click();
    });
}

QStringList buttonTexts(const QMessageBox& box)
{
    QStringList texts;
    for (QAbstractButton* button : box.buttons()) {
        texts << button->text().remove(QLatin1Char('&'));
    }
    texts.sort();
    return texts;
}

struct QuestionCase
{
    const char* language;
    const char16_t* yes;
    const char16_t* no;
};

TEST(DialogLanguage, TheQuestionsButtonsAreInTheChosenLanguageAndFollowASwitch)
{
    UiLanguage language;
    QtUserDialogs dialogs;
    // English last: switching back at run time takes Qt's translation away again.
    for (const QuestionCase& c :
         {QuestionCase{"Portugues", u"Sim", u"Não"}, QuestionCase{"Spanish", u"Sí", u"No"},
          QuestionCase{"English", u"Yes", u"No"}}) {
        SCOPED_TRACE(c.language);
        language.applyLanguage(QString::fromLatin1(c.language));
        QStringList seen;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        whenBoxShows([&](QMessageBox& box) {
            seen = buttonTexts(box);
            icon = box.icon();
        });
        static_cast<void>(dialogs.askYesNo(language.MsgReadData(), QStringLiteral("Qel")));
        QStringList expected{QString::fromUtf16(c.yes), QString::fromUtf16(c.no)};
        expected.sort();
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(icon, QMessageBox::Question);
    }
}

TEST(DialogLanguage, TheFileDialogIsInTheChosenLanguage)
{
    UiLanguage language;
    QtUserDialogs dialogs;
    for (const auto& [name, open, cancel] : {std::tuple{"Portugues", u"Abrir", u"Cancelar"},
                                             std::tuple{"Spanish", u"Abrir", u"Cancelar"},
                                             std::tuple{"English", u"Open", u"Cancel"}}) {
        SCOPED_TRACE(name);
        language.applyLanguage(QString::fromLatin1(name));
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            const auto* box = dialog->findChild<QDialogButtonBox*>();
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* button : box->buttons()) {
                seen << button->text().remove(QLatin1Char('&'));
            }
            dialog->reject();
        });
        static_cast<void>(dialogs.openFileName({}));
        QStringList expected{QString::fromUtf16(open), QString::fromUtf16(cancel)};
        expected.sort();
        seen.sort();
        EXPECT_EQ(seen, expected);
    }
}

TEST(DialogLanguage, EachKindOfMessageHasItsIcon)
{
    QtUserDialogs dialogs;
    for (const auto& [kind, icon] : {std::pair{MessageIcon::Information, QMessageBox::Information},
                                     std::pair{MessageIcon::Warning, QMessageBox::Warning},
                                     std::pair{MessageIcon::Critical, QMessageBox::Critical}}) {
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        whenBoxShows([&shown](QMessageBox& box) { shown = box.icon(); });
        dialogs.showMessage(QStringLiteral("text"), {}, kind);
        EXPECT_EQ(shown, icon);
    }
}

} // namespace
