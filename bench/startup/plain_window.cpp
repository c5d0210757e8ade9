// The anchor of the start-up benchmark: a plain Qt window with the main window's widgets, texts,
// fonts and geometry (the diagram, the group captions, the first list's items, the character
// input, the link text, the result memo and the status bar) and none of its logic: no concept
// tables, no Big5 conversion, no upgrade component. Shown and closed again once painted.
#include "concepts/navigator.h"
#include "quit_when_shown.h"
#include "ui/concept_diagram.h"
#include "ui/form_layout.h"
#include "ui/site_info.h"
#include "ui/ui_fonts.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextEdit>
#include <QWidget>

using namespace velmora;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Velmora"));
    window.setFont(windowFont());
    window.setFixedSize(kClientWidth, kClientHeight);
    const DockedLayout docked = dockedLayout(kClientWidth, kClientHeight, kConceptPanelWidth);
    const FixedLayout& at = kFixedLayout;

    auto* status = new QStatusBar(&window);
    status->setSizeGripEnabled(false);
    status->addWidget(
        new QLabel(QStringLiteral("參考資料：") + QString::fromUtf8(kReferencePageAddress)));
    status->addWidget(new QLabel(QString::fromUtf8(kCreditLine)), 1);
    status->setGeometry(docked.stat1);

    auto* concepts = new QWidget(&window);
    concepts->setGeometry(docked.pnl1);
    const QRect groups[] = {at.grp2, at.grp3, at.grp4, at.grp1, at.grp6};
    const QRect lists[] = {at.lst1, at.lst2, at.lst3, at.lst4, at.lst5};
    for (int level = 1; level <= 5; ++level) {
        auto* group = new QGroupBox(levelCaptionText(level), concepts);
        group->setGeometry(groups[level - 1]);
        auto* list = new QListWidget(group);
        list->setGeometry(lists[level - 1]);
        if (level == 1)
            list->addItems(level1ItemTexts());
    }

    auto* left = new QWidget(&window);
    left->setGeometry(docked.pnl2);
    auto* diagramGroup = new QGroupBox(QStringLiteral("概念分類表"), left);
    diagramGroup->setGeometry(docked.grp5);
    auto* diagram = new QTextEdit(diagramGroup);
    diagram->setFont(diagramFont());
    diagram->setGeometry(at.mmo1);
    diagram->setPlainText(conceptDiagramLines().join(QLatin1Char('\n')));
    diagram->setEnabled(false);
    auto* memo = new QPlainTextEdit(left);
    memo->setGeometry(docked.mmo2);
    auto* inputGroup =
        new QGroupBox(QStringLiteral("請先輸入您要定義的字,而後從右側選取概念分類!"), left);
    inputGroup->setGeometry(docked.grp7);
    auto* input = new QLineEdit(QStringLiteral("頡"), inputGroup);
    input->setFont(characterFont());
    input->setGeometry(at.edt2);
    auto* link = new QLabel(QStringLiteral("更多信息,請前往") +
                                QString::fromUtf8(kReferenceSiteAddress) + QStringLiteral(" 查看"),
                            inputGroup);
    link->setGeometry(at.lbl1);

    new QuitWhenShown(window);
    window.show();
    return app.exec();
}
