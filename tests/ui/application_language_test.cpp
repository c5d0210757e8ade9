// The application object starts with Qt's standard buttons and dialogs in the user's language:
// Traditional Chinese under zh_TW, the first language of LANGUAGE that the program speaks, and
// English where Qt has nothing to offer.
#include "ui/velmora_application.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace {

struct Case {
    const char* lang;
    const char* language;
    const char* yes;    // the Yes button of a message box
    const char* lookIn; // the save dialog's folder label
};

int check(const Case& c, int& argc, char** argv) {
    setenv("LANG", c.lang, 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    if (c.language)
        setenv("LANGUAGE", c.language, 1);
    else
        unsetenv("LANGUAGE");
    velmora::VelmoraApplication app(argc, argv);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    const QString yes = box.button(QMessageBox::Yes)->text();
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    const QString lookIn = label ? label->text() : QString();
    const bool ok = yes == QString::fromUtf8(c.yes) && lookIn == QString::fromUtf8(c.lookIn);
    std::printf("%s LANG=%s LANGUAGE=%s: Yes \"%s\", Look in \"%s\"\n", ok ? "PASS" : "FAIL",
                c.lang, c.language ? c.language : "", yes.toUtf8().constData(),
                lookIn.toUtf8().constData());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const Case cases[] = {
        {"zh_TW.UTF-8", nullptr, "是(&Y)", "尋找於："},
        {"en_US.UTF-8", "de:fr", "&Ja", "Suchen in:"},
        {"en_US.UTF-8", nullptr, "&Yes", "Look in:"},
        {"ja_JP.UTF-8", nullptr, "&Yes", "Look in:"}, // no upgrade messages in Japanese
    };
    int failures = 0;
    for (const Case& c : cases)
        failures += check(c, argc, argv);
    std::printf("%d passed, %d failed\n", int(std::size(cases)) - failures, failures);
    return failures == 0 ? 0 : 1;
}
