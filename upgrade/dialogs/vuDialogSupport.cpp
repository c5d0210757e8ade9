#include "upgrade/dialogs/vuDialogSupport.h"

#include "upgrade/dialogs/vuScreenPresenter.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

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

void SetButtonText(QPushButton& button, const QString& text) {
    constexpr int kDesignedWidth = 75;
    button.setText(text);
    // An explicit minimum replaces the button's own in a layout: it must cover the text.
    button.setMinimumWidth(std::max(kDesignedWidth, button.sizeHint().width()));
}

void SetLabelText(QLabel& label, const QString& text) {
    label.setTextFormat(Qt::PlainText);
    label.setText(DisplayText(text));
}

int WrappedHeight(const QLabel& label) {
    const int height = label.heightForWidth(label.width());
    return height > 0 ? height : label.sizeHint().height();
}

void LayOutIconTextAndPanel(QDialog& dialog, QLabel& icon, QLabel& text, QWidget& panel,
                            int rightMargin) {
    auto* top = new QHBoxLayout;
    top->setContentsMargins(7, 5, rightMargin, 0);
    top->setSpacing(6);
    top->addWidget(&icon, 0, Qt::AlignTop);
    top->addWidget(&text, 1);
    auto* root = new QVBoxLayout(&dialog);
    root->setSizeConstraint(QLayout::SetNoConstraint);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addLayout(top, 1);
    root->addWidget(&panel);
}

namespace {
// A layout forgets what it measured, with every layout nested in it.
void Invalidate(QLayout& layout) {
    for (int i = 0; i < layout.count(); ++i) {
        if (QLayout* nested = layout.itemAt(i)->layout())
            Invalidate(*nested);
    }
    layout.invalidate();
}
} // namespace

void InvalidateLayouts(QWidget& window) {
    // Children first: a frame measures its lines before the window measures the frame.
    const QList<QWidget*> children = window.findChildren<QWidget*>();
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        if (QLayout* layout = (*child)->layout())
            Invalidate(*layout);
        (*child)->updateGeometry();
    }
    if (QLayout* layout = window.layout())
        Invalidate(*layout);
}

void LayOutNow(QWidget& window) {
    InvalidateLayouts(window);
    if (QLayout* layout = window.layout())
        layout->activate();
    // Parents come before their children in the list, so each is placed before it lays out.
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (QLayout* layout = child->layout()) {
            layout->activate();
            layout->setGeometry(child->rect());
        }
    }
}

int CaptionWidth(const QWidget& window) {
    // Icon, window buttons and the frame's margins, as window managers draw them (some show
    // minimise and maximise buttons on a fixed-size dialog too, in a larger face).
    constexpr int kTitleBarRoom = 170;
    QFont face = QApplication::font();
    face.setBold(true);
    return QFontMetrics(face).horizontalAdvance(window.windowTitle()) + kTitleBarRoom;
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
