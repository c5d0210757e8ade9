// The compiled-in message table: every language file in the exact format, every block complete
// and consistent with English, and the identifiers where the dialogs look for them.
#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace vu;

namespace {

QStringList Placeholders(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("%%|%-?\\d*(\\.\\d+)?[a-zA-Z]"));
    QStringList found;
    for (const QRegularExpressionMatch& m : pattern.globalMatch(text))
        if (m.captured(0) != QLatin1String("%%"))
            found << m.captured(0);
    return found;
}

QString Breaks(const QString& text) {
    QString breaks;
    for (QChar c : text)
        if (c == u'\r' || c == u'\n')
            breaks += c;
    return breaks;
}

bool IsChinese(TvuUpdaterLanguage language) {
    return language == wlChineseTraditional || language == wlChineseSimplified;
}

TvuMessageFile English() {
    return ParseMessageFile(MessageFileContent(wlEnglish));
}

} // namespace

TEST(Messages, EveryLanguageFileIsCompiledInAndWellFormed) {
    for (int l = vuFirstLanguage; l <= vuLastLanguage; ++l) {
        const auto language = TvuUpdaterLanguage(l);
        SCOPED_TRACE(LanguageName(language).toStdString());
        const QByteArray content = MessageFileContent(language);
        ASSERT_FALSE(content.isEmpty()) << "messages file missing from the resources";
        const TvuMessageFile file = ParseMessageFile(content);
        EXPECT_TRUE(file.Problems.isEmpty()) << file.Problems.join(u"; ").toStdString();
        ASSERT_EQ(file.Messages.size(), vuMessageCount);
        for (int i = 0; i < vuMessageCount; ++i)
            EXPECT_FALSE(file.Messages.value(i).trimmed().isEmpty()) << "message " << i;
    }
}

TEST(Messages, PlaceholdersBreaksAndAcceleratorsMatchEnglish) {
    const TvuMessageFile english = English();
    ASSERT_EQ(english.Messages.size(), vuMessageCount);
    for (int l = vuFirstLanguage; l <= vuLastLanguage; ++l) {
        const auto language = TvuUpdaterLanguage(l);
        SCOPED_TRACE(LanguageName(language).toStdString());
        const TvuMessageFile file = ParseMessageFile(MessageFileContent(language));
        for (int i = 0; i < vuMessageCount; ++i) {
            const QString text = file.Messages.value(i);
            const QString reference = english.Messages.value(i);
            EXPECT_EQ(Placeholders(text), Placeholders(reference)) << "message " << i;
            // The two Chinese blocks are given as they are, with breaks of their own.
            if (!IsChinese(language)) {
                EXPECT_EQ(Breaks(text), Breaks(reference)) << "message " << i;
            }
            if ((i >= vmYes && i <= vmLater) || i == vmSkipThisVersion) {
                const qsizetype amp = text.indexOf(u'&');
                EXPECT_EQ(text.count(u'&'), 1) << "message " << i;
                EXPECT_TRUE(amp >= 0 && amp + 1 < text.size() && text[amp + 1].isLetterOrNumber())
                    << "message " << i;
            }
        }
        // The question's buttons side by side need keys of their own.
        auto key = [&](int i) {
            const QString text = file.Messages.value(i);
            const qsizetype amp = text.indexOf(u'&');
            return amp >= 0 && amp + 1 < text.size() ? text[amp + 1].toLower() : QChar();
        };
        EXPECT_NE(key(vmSkipThisVersion), key(vmYes));
        EXPECT_NE(key(vmSkipThisVersion), key(vmLater));
    }
}

TEST(Messages, IdentifiersAndGivenTexts) {
    EXPECT_EQ(LoadMessageString(40997), QStringLiteral("<AppTitle>"));
    EXPECT_FALSE(LoadMessageString(40998).isEmpty());
    EXPECT_EQ(LoadMessageString(40999), QStringLiteral("Updater"));
    EXPECT_EQ(LoadMessageString(41000), QStringLiteral("Application update wizard"));
    EXPECT_EQ(LoadMessageString(41024),
              QStringLiteral("Newer version not found. You actually are\rusing most recent "
                             "version of this program."));
    EXPECT_EQ(LoadMessageString(41029),
              QStringLiteral("Access to remote file \"%s\" is password protected.\n\nPlease "
                             "enter your username and password (received after registration) "
                             "to continue software upgrade."));
    EXPECT_EQ(LoadMessageString(41000 + 1050), QStringLiteral("軟體升級精靈"));
    EXPECT_EQ(LoadMessageString(41014 + 1050), QStringLiteral("(&Y)好"));
    EXPECT_EQ(LoadMessageString(42100), QStringLiteral("软件升级精灵"));
    EXPECT_EQ(LoadMessageString(42102), QStringLiteral("升级完成！"));
    EXPECT_EQ(
        LoadMessageString(42129),
        QStringLiteral("远端的文档\"%s\"被密码保护，\n\n请输入您的帐号及密码[注册用户]来继续进"
                       "行升级操作。"));
    // Messages 50 and up: the second blocks, 2000 above the first ones.
    EXPECT_EQ(LoadMessageString(43000), QStringLiteral("%s: retry %d of %d in %d s: %s"));
    EXPECT_EQ(LoadMessageString(43000 + 1050 + vmNothingToInstallSkipped - 50),
              QStringLiteral("沒有可安裝的檔案：所有列出的檔案都已略過。"));
    // Between the two blocks, behind their last messages and around the table there is nothing.
    const int second = vuMessageCount - 50;
    for (int id : {40996, 42350, 42999, 43000 + second, 43049, 44300 + second, 44350})
        EXPECT_TRUE(LoadMessageString(id).isEmpty()) << id;
    // Block L starts at 41000 + (L - 1) * 50 and its second block at 43000 + (L - 1) * 50, each
    // with every slot used up to the last message.
    for (int l = vuFirstLanguage; l <= vuLastLanguage; ++l) {
        const TvuMessageFile file = ParseMessageFile(MessageFileContent(TvuUpdaterLanguage(l)));
        EXPECT_EQ(LoadMessageString(41000 + (l - 1) * 50), file.Messages.value(0)) << l;
        EXPECT_EQ(LoadMessageString(41049 + (l - 1) * 50), file.Messages.value(49)) << l;
        EXPECT_EQ(LoadMessageString(43000 + (l - 1) * 50), file.Messages.value(50)) << l;
        EXPECT_EQ(LoadMessageString(42999 + (l - 1) * 50 + second),
                  file.Messages.value(vuMessageCount - 1))
            << l;
    }
}

TEST(Messages, LoadMessageTextFollowsMessageBase) {
    const quint16 saved = MessageBase;
    MessageBase = MessageBlockStart(wlChineseTraditional);
    EXPECT_EQ(LoadMessageText(vmCaption), QStringLiteral("軟體升級精靈"));
    MessageBase = MessageBlockStart(wlEnglish);
    EXPECT_EQ(LoadMessageText(vmLater), QStringLiteral("&Later"));
    EXPECT_EQ(FormatMessageText(vmDownloadingNofM, {2, 3}), QStringLiteral("Downloading 2 of 3"));
    EXPECT_EQ(LoadMessageText(vmNothingToInstallGone),
              QStringLiteral("Nothing to install: the downloaded files are gone."));
    MessageBase = MessageBlockStart(wlTurkish);
    EXPECT_EQ(LoadMessageText(vmNothingToInstallGone),
              QStringLiteral("Kurulacak bir şey yok: indirilen dosyalar artık yok."));
    MessageBase = 0; // before any language is chosen: no texts
    EXPECT_TRUE(LoadMessageText(vmCaption).isEmpty());
    EXPECT_TRUE(LoadMessageText(vmRetryStatus).isEmpty());
    MessageBase = saved;
}

TEST(MessageFile, ParserReportsEveryDeparture) {
    EXPECT_TRUE(ParseMessageFile("").Problems.contains(
        QStringLiteral("holds 0 messages instead of %1").arg(vuMessageCount)));

    QByteArray good = "# comment\n";
    for (int i = 0; i < vuMessageCount; ++i)
        good += QByteArray::number(i) + "\ttext " + QByteArray::number(i) + "\n";
    EXPECT_TRUE(ParseMessageFile(good).Problems.isEmpty());

    EXPECT_FALSE(ParseMessageFile("\xEF\xBB\xBF" + good).Problems.isEmpty());
    QByteArray crlf = good;
    crlf.replace("\n", "\r\n");
    const TvuMessageFile crlfFile = ParseMessageFile(crlf);
    EXPECT_FALSE(crlfFile.Problems.isEmpty());
    EXPECT_EQ(crlfFile.Messages.value(3), QStringLiteral("text 3")); // still read sensibly

    QByteArray swapped = good;
    swapped.replace("3\ttext 3\n4\ttext 4\n", "4\ttext 4\n3\ttext 3\n");
    EXPECT_FALSE(ParseMessageFile(swapped).Problems.isEmpty());

    QByteArray empty = good;
    empty.replace("7\ttext 7\n", "7\t\n");
    EXPECT_FALSE(ParseMessageFile(empty).Problems.isEmpty());

    QByteArray beyond = good + QByteArray::number(vuMessageCount) + "\textra\n";
    const TvuMessageFile beyondFile = ParseMessageFile(beyond);
    EXPECT_FALSE(beyondFile.Problems.isEmpty());
    EXPECT_FALSE(beyondFile.Messages.contains(vuMessageCount)); // never spills into the gap

    EXPECT_FALSE(ParseMessageFile(good + "\xC3\x28\n").Problems.isEmpty()); // broken UTF-8
}

TEST(MessageFile, EscapesAreDecodedAndNothingElse) {
    QByteArray content;
    for (int i = 0; i < vuMessageCount; ++i)
        content += QByteArray::number(i) + "\tx\n";
    content.replace("5\tx\n", "5\ta\\rb\\nc\\\\d\\te\\\\r %s\n");
    const TvuMessageFile file = ParseMessageFile(content);
    EXPECT_EQ(file.Messages.value(5), QStringLiteral("a\rb\nc\\d\\te\\r %s"));
}
