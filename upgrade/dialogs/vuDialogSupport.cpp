#include "upgrade/dialogs/vuDialogSupport.h"

#include "upgrade/dialogs/vuMessageBox.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

namespace vu {

void ApplyDialogStyle(QDialog& dialog, bool topmost) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (topmost)
        flags |= Qt::WindowStaysOnTopHint;
    dialog.setWindowFlags(flags);
    dialog.setSizeGripEnabled(false);
}

void CenterOnScreen(QWidget& window) {
    QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

QFont DialogFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

QFont TitleFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif"),
                      QStringLiteral("Serif")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(true);
    font.setItalic(true);
    return font;
}

QLabel* NewLabel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(left, top, width, height);
    return label;
}

QPushButton* NewButton(QWidget* parent, const char* name, int left, int top, int width,
                       int height) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, width, height);
    return button;
}

void SetLabelText(QLabel& label, const QString& text) {
    label.setTextFormat(Qt::PlainText);
    label.setText(DisplayText(text));
}

int WrappedHeight(const QLabel& label) {
    const int height = label.heightForWidth(label.width());
    return height > 0 ? height : label.sizeHint().height();
}

namespace {
QPixmap Picture(const char* name) {
    return QPixmap(QStringLiteral(":/vu/pictures/%1").arg(QLatin1String(name)));
}
} // namespace

QPixmap WizardSidePicture() {
    return Picture("wizard_side.png");
}
QPixmap UpgradeQuestionIcon() {
    return Picture("upgrade_question.png");
}
QPixmap PasswordIcon() {
    return Picture("password.png");
}

} // namespace vu
