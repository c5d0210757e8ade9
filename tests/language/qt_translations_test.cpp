// Qt's own translations follow the language of the upgrade messages: the standard buttons of a
// message box and the labels of the file dialog are translated, or back in English.
#include "language/vuQtTranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vu;

namespace {

QString yesButtonText() {
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}

// The "Look in:" label of Qt's own save dialog as it would be shown.
QString lookInLabel() {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    return label ? label->text() : QString();
}

class QtTranslations : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qt_translations_test";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        InstallQtTranslations(wlEnglish);
        delete app_;
        app_ = nullptr;
    }
    static QApplication* app_;
};
QApplication* QtTranslations::app_ = nullptr;

TEST_F(QtTranslations, StandardButtonsAndFileDialogFollowTheLanguage) {
    ASSERT_TRUE(InstallQtTranslations(wlChineseTraditional))
        << "no Qt catalogue for zh_TW in " << QtTranslationsFolder().toStdString();
    EXPECT_EQ(yesButtonText(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(lookInLabel(), QStringLiteral("尋找於："));

    // Another language replaces the first rather than stacking on it.
    ASSERT_TRUE(InstallQtTranslations(wlGerman));
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Ja"));

    ASSERT_TRUE(InstallQtTranslations(wlPortuguese));
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Sim"));

    // English needs no catalogue and removes the one before.
    EXPECT_FALSE(InstallQtTranslations(wlEnglish));
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Yes"));
    EXPECT_EQ(lookInLabel(), QStringLiteral("Look in:"));
}

TEST_F(QtTranslations, MissingCatalogueLeavesQtInEnglish) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    ASSERT_TRUE(InstallQtTranslations(wlChineseTraditional));
    EXPECT_FALSE(InstallQtTranslations(wlChineseSimplified, empty.path()));
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Yes"));
    // Qt has no catalogue of Basque at all.
    EXPECT_FALSE(InstallQtTranslations(wlBasque));
    EXPECT_FALSE(InstallQtTranslations(wlAuto));
}

} // namespace
