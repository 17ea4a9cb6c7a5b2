// The reason added to a port error: the library's fixed English shapes said again in the user's
// language, and anything else passed on as the library wrote it.
#include "acquisition/porterror.h"
#include "fakecommlibrary.h"
#include "i18n/uilanguage.h"

#include <gtest/gtest.h>

namespace {

using Kind = CommLibrary::OpenError::Kind;

struct ReasonCase
{
    const char* language;
    Kind kind;
    const char* libraryText;
    const char16_t* expected;
};

class OpenFailureReason : public ::testing::TestWithParam<ReasonCase>
{
protected:
    FakeCommLibrary library;
    UiLanguage language;
};

TEST_P(OpenFailureReason, SaysTheLibrarysReasonInTheUsersLanguage)
{
    const ReasonCase& c = GetParam();
    language.applyLanguage(QString::fromUtf8(c.language));
    library.openError = CommLibrary::OpenError{c.kind, QString::fromUtf8(c.libraryText)};
    EXPECT_EQ(openFailureReason(language, library), QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, OpenFailureReason,
    ::testing::Values(
        ReasonCase{"English", Kind::NoDevice, "no such device: /dev/ttyUSB3",
                   u"The device /dev/ttyUSB3 does not exist. Check that the cradle is connected "
                   u"and that the port number is right."},
        ReasonCase{"Portugues", Kind::InUse,
                   "/dev/ttyS0 is in use by another program (minicom, process 4711)",
                   u"/dev/ttyS0 está a ser usado por outro programa (minicom, processo 4711). "
                   u"Feche esse programa e tente de novo."},
        // A program name may itself hold the words the text is split on.
        ReasonCase{"English", Kind::InUse,
                   "/dev/ttyS0 is in use by another program (a, process b, process 12)",
                   u"/dev/ttyS0 is in use by another program (a, process b, process 12). Close "
                   u"that program and try again."},
        ReasonCase{"Spanish", Kind::InUse, "/dev/ttyUSB0 is in use by another program",
                   u"/dev/ttyUSB0 está en uso por otro programa. Cierre ese programa y vuelva a "
                   u"intentarlo."},
        ReasonCase{"English", Kind::InUse, "/dev/ttyUSB0 is in use by this program",
                   u"/dev/ttyUSB0 is already in use by this program under another port number."},
        // Shapes this program does not know, or a kind that does not match its text, are
        // passed on untouched rather than half translated.
        ReasonCase{"Spanish", Kind::InUse,
                   "/dev/ttyUSB0 is in use by another program (holder, process x1)",
                   u"/dev/ttyUSB0 is in use by another program (holder, process x1)"},
        ReasonCase{"Portugues", Kind::PermissionDenied, "access refused by policy",
                   u"access refused by policy"},
        ReasonCase{"English", Kind::Other, "cannot open /dev/ttyS4: Input/output error",
                   u"cannot open /dev/ttyS4: Input/output error"}));

TEST(PortErrorMessage, AddsTheReasonAsAParagraphOnlyWhenThereIsOne)
{
    FakeCommLibrary library;
    UiLanguage language;
    language.applyLanguage(QStringLiteral("English"));
    EXPECT_EQ(portErrorMessage(language, library, 3),
              QStringLiteral("Error opening serial port : 3"));

    library.openError = CommLibrary::OpenError{Kind::Other, QString()};
    EXPECT_EQ(portErrorMessage(language, library, 3),
              QStringLiteral("Error opening serial port : 3"));
}

} // namespace

namespace {

// A device, the user's groups in the account database and in this session, and the advice.
struct PermissionCase
{
    const char* name;
    DeviceNode node;
    QStringList accountGroups;
    QStringList sessionGroups;
    const char16_t* expected;
};

class PermissionAdvice : public ::testing::TestWithParam<PermissionCase>
{
protected:
    AccountLookups lookups(const PermissionCase& c) const
    {
        return {[c](const QString& path) {
                    return path == QLatin1String("/dev/ttyUSB0") ? std::optional(c.node)
                                                                 : std::nullopt;
                },
                [] { return QStringLiteral("ana"); }, [c] { return c.accountGroups; },
                [c] { return c.sessionGroups; }};
    }
    FakeCommLibrary library;
    UiLanguage language;
};

} // namespace

TEST_P(PermissionAdvice, SaysWhatKeepsTheUserOut)
{
    const PermissionCase& c = GetParam();
    language.applyLanguage(QStringLiteral("English"));
    library.openError = CommLibrary::OpenError{
        Kind::PermissionDenied,
        QStringLiteral("permission denied on /dev/ttyUSB0: add the user to the dialout group")};
    EXPECT_EQ(openFailureReason(language, library, lookups(c)), QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PermissionAdvice,
    ::testing::Values(
        PermissionCase{"NotInTheGroup",
                       {QStringLiteral("root"), QStringLiteral("dialout"), 0660},
                       {QStringLiteral("ana"), QStringLiteral("audio")},
                       {QStringLiteral("ana"), QStringLiteral("audio")},
                       u"Permission denied on /dev/ttyUSB0 (crw-rw---- root dialout): your user "
                       u"ana is not in the group dialout. Add it with \"sudo adduser ana "
                       u"dialout\", then log out and back in: a new group counts from the next "
                       u"login."},
        // The complaint of the report: in dialout already, the device root's alone.
        PermissionCase{"DeviceNotOpenToItsGroup",
                       {QStringLiteral("root"), QStringLiteral("root"), 0600},
                       {QStringLiteral("ana"), QStringLiteral("dialout")},
                       {QStringLiteral("ana"), QStringLiteral("dialout")},
                       u"Permission denied on /dev/ttyUSB0: the device is crw------- root root, so "
                       u"only its owner may open it and joining a group does not help. Have a udev "
                       u"rule give the device to a group of yours with read and write access for "
                       u"it (for example GROUP=\"dialout\", MODE=\"0660\"), or ask the "
                       u"administrator."},
        PermissionCase{"AddedButNotLoggedInAgain",
                       {QStringLiteral("root"), QStringLiteral("dialout"), 0660},
                       {QStringLiteral("ana"), QStringLiteral("dialout")},
                       {QStringLiteral("ana")},
                       u"Permission denied on /dev/ttyUSB0 (crw-rw---- root dialout): your user "
                       u"ana is in the group dialout, but this session began before it was added. "
                       u"Log out and back in: the group counts from the next login."},
        PermissionCase{
            "InTheGroupAndStillRefused",
            {QStringLiteral("root"), QStringLiteral("dialout"), 0660},
            {QStringLiteral("dialout")},
            {QStringLiteral("dialout")},
            u"Permission denied on /dev/ttyUSB0 (crw-rw---- root dialout), although this "
            u"session is in the group dialout. Another rule of the system (an access "
            u"list or a security policy) keeps the device closed; ask the "
            u"administrator."}),
    [](const ::testing::TestParamInfo<PermissionCase>& param) {
        return std::string(param.param.name);
    });
