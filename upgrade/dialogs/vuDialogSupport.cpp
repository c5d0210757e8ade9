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

void PrepareDialogWindow(QDialog& dialog, const char* name, bool topmost) {
    dialog.setObjectName(QLatin1String(name));
    ApplyDialogStyle(dialog, topmost);
    dialog.setFont(DialogFont());
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

namespace {
// The first of `families` the desktop has, else its face of that style.
QFont Face(const QStringList& families, QFont::StyleHint style, int pixels) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(style);
    font.setPixelSize(pixels);
    return font;
}
} // namespace

QFont DialogFont(int pixels) {
    return Face({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"),
                 QStringLiteral("Sans Serif")},
                QFont::SansSerif, pixels);
}

QFont TitleFont(int pixels) {
    QFont font = Face({QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif"),
                       QStringLiteral("Serif")},
                      QFont::Serif, pixels);
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

QLabel* NewWrappedLabel(QWidget* parent, const char* name, int left, int top, int width,
                        int height) {
    QLabel* label = NewLabel(parent, name, left, top, width, height);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* NewIcon(QWidget* parent, const char* name, const QPixmap& picture) {
    QLabel* icon = NewLabel(parent, name, 7, 5, 32, 32);
    icon->setPixmap(picture);
    icon->setFixedSize(32, 32);
    return icon;
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
                            const TvuIconDialogDesign& design) {
    auto* top = new QHBoxLayout;
    top->setContentsMargins(7, 5, design.RightMargin, 0);
    top->setSpacing(6);
    top->addWidget(&icon, 0, Qt::AlignTop);
    top->addWidget(&text, 1);
    auto* root = new QVBoxLayout(&dialog);
    root->setSizeConstraint(QLayout::SetNoConstraint);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addLayout(top, 1);
    root->addWidget(&panel);
    dialog.setFixedSize(design.ClientWidth, design.ClientHeight);
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
