// The main window at start and the classification walked through real list clicks: layout,
// focus order, the five lists, the report, its confirmation and the transfer to the memo.
#include "window_driver.h"

#include "big5/big5.h"
#include "concepts/concept_table.h"
#include "ui/artwork.h"
#include "ui/character_edit.h"
#include "ui/link_label.h"
#include "ui/memo_text.h"
#include "ui/panel_splitter.h"
#include "ui/result_memo.h"
#include "ui/velmora_application.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

using velmora::TForm1;

namespace {

const QString kRow242 = QStringLiteral(
    "　　1主觀－1行為族－1經驗類－10行為屬：〔因═團體利益〕═意識層次。Ｆ２待人：〔因－目的，"
    "果－待人〕〔體═對象，用═行為〕〔可知人事時地物情理法〕");

QStringList reportFor(const QString& character, int row, const QString& code,
                      const QString& cangjie) {
    QStringList lines{
        QStringLiteral("『") + character + QStringLiteral("』"),
        QStringLiteral("十進制代碼=%1").arg(row), QStringLiteral("二進制代碼=") + code,
        QStringLiteral("十六進制代碼=%1").arg(row, 2, 16, QLatin1Char('0')).toUpper()};
    if (!cangjie.isEmpty())
        lines << QStringLiteral("倉頡編碼=") + cangjie;
    lines << QStringLiteral("【概念分類】") << velmora::fromBig5(velmora::conceptRow(row));
    return lines;
}

} // namespace

class WindowNavigationTest : public QObject, ShownWindow {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void startState() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Velmora 20060612"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Velmora"));
        QCOMPARE(form->size(), QSize(867, 479));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!form->windowIcon().isNull());
        // The window shares the application's icon rather than drawing its own copy.
        QCOMPARE(form->windowIcon().cacheKey(), QGuiApplication::windowIcon().cacheKey());
        // Any size, the icon theme's large ones included, is drawn for its size rather than
        // scaled from 32.
        for (int size : {16, 32, 256, 512}) {
            QCOMPARE(form->windowIcon().pixmap(size).toImage().convertToFormat(
                         QImage::Format_ARGB32_Premultiplied),
                     velmora::windowIconImage(size));
        }
        QCOMPARE(form->edt2->text(), QStringLiteral("頡"));
        QCOMPARE(form->mmo2->toPlainText(), QString());
        QCOMPARE(form->lst1->items(), QStringList({QStringLiteral("靜態，客觀（體）"),
                                                   QStringLiteral("動態，主觀（用） ")}));
        QCOMPARE(form->lst1->selectedPosition(), -1);
        for (auto* list : {form->lst2, form->lst3, form->lst4, form->lst5})
            QCOMPARE(list->count(), 0);
        QVERIFY(form->btn3->isHidden());
        QVERIFY(form->edt1->isHidden());
        QVERIFY(form->mmo3->isHidden());
        QCOMPARE(form->edt1->text(), QStringLiteral("11110010"));
        QCOMPARE(form->btn3->text(), QStringLiteral("查看結果"));
        // The diagram: disabled, no frame, no scroll bars.
        QVERIFY(!form->mmo1->isEnabled());
        QCOMPARE(form->mmo1->frameShape(), QFrame::NoFrame);
        QCOMPARE(form->mmo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form->mmo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form->mmo1->toPlainText().split('\n').size(), 13);
        // Captions and texts.
        QCOMPARE(form->grp2->title(), QStringLiteral("立場"));
        QCOMPARE(form->grp3->title(), QStringLiteral("現象"));
        QCOMPARE(form->grp4->title(), QStringLiteral("認知"));
        QCOMPARE(form->grp1->title(), QStringLiteral("四別"));
        QCOMPARE(form->grp6->title(), QStringLiteral("八象"));
        QCOMPARE(form->grp5->title(), QStringLiteral("概念分類表"));
        QCOMPARE(form->grp7->title(),
                 QStringLiteral("請先輸入您要定義的字,而後從右側選取概念分類!"));
        QVERIFY(form->statusPanel(0)->text().startsWith(QStringLiteral("參考資料：")));
        QCOMPARE(form->statusPanel(0)->width(), 400);
        QVERIFY(form->statusPanel(0)->alignment() & Qt::AlignLeft);
        QVERIFY(form->statusPanel(1)->alignment() & Qt::AlignHCenter);
        QVERIFY(form->lbl1->text().startsWith(QStringLiteral("更多信息,請前往")));
        QVERIFY(form->lbl1->text().endsWith(QStringLiteral(" 查看       ")));
        // The hint belongs to the result memo alone.
        QCOMPARE(form->mmo2->toolTip(), QStringLiteral("點擊鼠標右鍵"));
        for (QWidget* child : form->findChildren<QWidget*>()) {
            if (child != form->mmo2)
                QVERIFY2(child->toolTip().isEmpty(), qPrintable(child->objectName()));
        }
    }

    void geometryMatchesTheLayout() {
        struct Expected {
            QWidget* widget;
            QRect rect;
        };
        const Expected table[] = {
            {form->stat1, {0, 460, 867, 19}}, {form->pnl1, {674, 0, 193, 460}},
            {form->spl1, {671, 0, 3, 460}},   {form->pnl2, {0, 0, 671, 460}},
            {form->grp5, {0, 0, 671, 217}},   {form->mmo1, {104, 16, 489, 185}},
            {form->grp7, {0, 217, 671, 64}},  {form->mmo2, {0, 280, 671, 180}},
            {form->lbl1, {392, 32, 250, 13}}, {form->edt2, {296, 16, 33, 37}},
            {form->grp2, {0, 0, 185, 73}},    {form->lst1, {16, 16, 153, 41}},
            {form->grp3, {0, 72, 185, 73}},   {form->lst2, {16, 16, 153, 41}},
            {form->grp4, {0, 144, 185, 73}},  {form->lst3, {16, 16, 153, 41}},
            {form->grp1, {0, 216, 185, 105}}, {form->lst4, {16, 16, 153, 73}},
            {form->grp6, {0, 320, 185, 137}}, {form->lst5, {16, 16, 153, 113}},
            {form->btn3, {168, 192, 75, 25}}, {form->edt1, {8, 196, 161, 21}},
            {form->mmo3, {0, 427, 867, 33}},
        };
        for (const Expected& expected : table)
            QCOMPARE(expected.widget->geometry(), expected.rect);
        // The fifth list is shown whole inside the right panel.
        const QRect lst5InPanel(form->lst5->mapTo(form->pnl1, QPoint(0, 0)), form->lst5->size());
        QVERIFY(form->pnl1->rect().contains(lst5InPanel));
        // The window is centred on the screen (within the width of a window frame).
        const QRect screen = form->screen()->availableGeometry();
        const QRect window = form->frameGeometry();
        QVERIFY(qAbs((window.x() + window.width() / 2.0) - (screen.x() + screen.width() / 2.0)) <=
                4.0);
        QVERIFY(qAbs((window.y() + window.height() / 2.0) - (screen.y() + screen.height() / 2.0)) <=
                4.0);
    }

    void fontsAndInput() {
        QCOMPARE(form->font().pixelSize(), 11);
        QCOMPARE(form->edt2->font().pixelSize(), 24);
        QCOMPARE(form->edt2->palette().color(QPalette::Text), QColor(Qt::red));
        // Every Chinese text has a font that holds its characters.
        const QFontMetrics window(form->font());
        for (const QString& text : {form->grp7->title(), form->lst1->item(0)->text(),
                                    form->mmo1->toPlainText().remove('\n').remove(' ')}) {
            for (QChar c : text)
                QVERIFY2(window.inFontUcs4(c.unicode()) ||
                             QFontMetrics(form->mmo1->font()).inFontUcs4(c.unicode()),
                         qPrintable(QString(c)));
        }
        // The link label's caption fits its width.
        QVERIFY(form->lbl1->fontMetrics().horizontalAdvance(form->lbl1->text().trimmed()) <= 250);
    }

    void focusOrder() {
        form->activateWindow();
        form->lst4->setFocus();
        QList<QWidget*> order;
        QWidget* current = form->lst4;
        for (int i = 0; i < 8; ++i) {
            order << current;
            current = current->nextInFocusChain();
            while (!(current->focusPolicy() & Qt::TabFocus) || !current->isEnabled() ||
                   !current->isVisible())
                current = current->nextInFocusChain();
        }
        const QList<QWidget*> expected{form->lst4, form->lst3, form->lst2, form->lst1,
                                       form->lst5, form->mmo2, form->edt2, form->lbl1};
        QCOMPARE(order, expected);
        QCOMPARE(current, static_cast<QWidget*>(form->lst4));
    }

    void everyControlHasAnAccessibleNameAndDescription() {
        // What a screen reader is told about each control the keyboard can reach.
        int reachable = 0;
        for (QWidget* widget : form->findChildren<QWidget*>()) {
            if (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisibleTo(form.get()) ||
                !widget->isEnabled())
                continue;
            ++reachable;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(accessible);
            const QByteArray what = widget->metaObject()->className();
            QVERIFY2(!accessible->text(QAccessible::Name).trimmed().isEmpty(), what);
            QVERIFY2(!accessible->text(QAccessible::Description).trimmed().isEmpty(), what);
        }
        QCOMPARE(reachable, 8);
        QVERIFY(!form->mmo1->accessibleName().isEmpty());
        velmora::ConceptListBox* lists[] = {form->lst1, form->lst2, form->lst3, form->lst4,
                                            form->lst5};
        const QStringList levels{QStringLiteral("立場"), QStringLiteral("現象"),
                                 QStringLiteral("認知"), QStringLiteral("四別"),
                                 QStringLiteral("八象")};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(QAccessible::queryAccessibleInterface(lists[i])->text(QAccessible::Name),
                     levels.at(i));
    }

    void levelOneFillsLevelTwo() {
        clickItem(form->lst1, 0);
        QCOMPARE(form->lst2->items(), QStringList({"抽象", "具象"}));
        for (auto* list : {form->lst3, form->lst4, form->lst5})
            QCOMPARE(list->count(), 0);
        clickItem(form->lst1, 1);
        QCOMPARE(form->lst2->items(), QStringList({"認識", "行為"}));
        QCOMPARE(form->navigator().LevelDigits1, QByteArray("1"));
    }

    void pathToZeroWithOkAppendsTheReport() {
        form->edt2->setText(QStringLiteral("日"));
        dialogs->answers << QMessageBox::Ok;
        clickPath(*form, {0, 0, 0, 0, 0});
        QCOMPARE(form->lst4->items(), QStringList({"符號", "語法", "根源", "現象"}));
        QCOMPARE(form->edt1->text(), QStringLiteral("00000000"));
        const QStringList report = reportFor("日", 0, "00000000", "A     ");
        QCOMPARE(velmora::memoLines(form->mmo3->toPlainText()), report);
        QCOMPARE(dialogs->messages.size(), 1);
        const velmora::MessageBoxRequest& box = dialogs->messages.first();
        QCOMPARE(box.caption, QStringLiteral("請確認"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.text, QStringLiteral("您確定 \r") + report.join("\r\n") +
                               QStringLiteral("\r\n\r\r定義正確嗎 ?"));
        QCOMPARE(velmora::memoLines(form->mmo2->toPlainText()), QStringList{""} + report);
    }

    void exampleReportAndCancel() {
        dialogs->answers << QMessageBox::Cancel;
        clickPath(*form, {1, 1, 1, 2, 2});
        QCOMPARE(form->edt1->text(), QStringLiteral("11110010"));
        QCOMPARE(form->lst5->item(2)->text(), QStringLiteral("待人"));
        const QStringList lines = velmora::memoLines(form->mmo3->toPlainText());
        QCOMPARE(lines, reportFor("頡", 242, "11110010", "GRMBC "));
        QCOMPARE(lines.last(), kRow242);
        QCOMPARE(form->mmo2->toPlainText(), QString());
    }

    void blankItemAndRepeatedFifthChoice() {
        dialogs->answers << QMessageBox::Ok << QMessageBox::Ok;
        clickPath(*form, {0, 1, 0, 2, 7});
        QCOMPARE(form->lst5->item(7)->text(), QStringLiteral("  "));
        QCOMPARE(form->edt1->text(), QStringLiteral("01010111"));
        // A second choice in the fifth list reruns the report with the same upper digits.
        clickItem(form->lst5, 6);
        QCOMPARE(form->edt1->text(), QStringLiteral("01010110"));
        QCOMPARE(dialogs->messages.size(), 2);
        // Two confirmed reports: empty line, first report, empty line, second report.
        const QStringList first = reportFor("頡", 0x57, "01010111", "GRMBC ");
        const QStringList second = reportFor("頡", 0x56, "01010110", "GRMBC ");
        QCOMPARE(velmora::memoLines(form->mmo2->toPlainText()),
                 QStringList{""} + first + QStringList{""} + second);
        QVERIFY(form->mmo2->toPlainText().endsWith('\n'));
    }

    void choosingLevelOneAgainKeepsEarlierReports() {
        dialogs->answers << QMessageBox::Ok;
        clickPath(*form, {1, 1, 1, 2, 2});
        const QString memo = form->mmo2->toPlainText();
        clickItem(form->lst1, 0);
        QCOMPARE(form->lst2->items(), QStringList({"抽象", "具象"}));
        for (auto* list : {form->lst3, form->lst4, form->lst5})
            QCOMPARE(list->count(), 0);
        QCOMPARE(form->mmo2->toPlainText(), memo);
    }

    void aChoiceStaysHighlightedWithItsChildrenBelow() {
        clickPath(*form, {1, 0});
        const QStringList children = form->lst3->items();
        QCOMPARE(children, QStringList({"感知", "狀態"}));
        // A click into the empty area below the last item.
        const QRect last = form->lst2->visualItemRect(form->lst2->item(1));
        const QPoint below(last.center().x(), last.bottom() + 6);
        QVERIFY(below.y() < form->lst2->viewport()->height());
        QVERIFY(!form->lst2->indexAt(below).isValid());
        QTest::mouseClick(form->lst2->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(form->lst2->selectedPosition(), 0);
        QCOMPARE(form->lst3->items(), children);

        // Ctrl+click on the chosen item counts as a plain click on it.
        const QPoint chosen = form->lst2->visualItemRect(form->lst2->item(0)).center();
        QTest::mouseClick(form->lst2->viewport(), Qt::LeftButton, Qt::ControlModifier, chosen);
        QCOMPARE(form->lst2->selectedPosition(), 0);
        QCOMPARE(form->lst3->items(), children);
        QCOMPARE(form->navigator().LevelDigits2, QByteArray("0"));

        // Ctrl+Space on the chosen item keeps it too.
        form->lst2->setFocus();
        QTest::keyClick(form->lst2, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(form->lst2->selectedPosition(), 0);

        // Ctrl+click on another item chooses it like a plain click.
        const QPoint other = form->lst1->visualItemRect(form->lst1->item(0)).center();
        QTest::mouseClick(form->lst1->viewport(), Qt::LeftButton, Qt::ControlModifier, other);
        QCOMPARE(form->lst1->selectedPosition(), 0);
        QCOMPARE(form->lst2->items(), QStringList({"抽象", "具象"}));
        QCOMPARE(form->lst3->count(), 0);
    }

    void aReportThatCannotBeBuiltIsShownInsteadOfConfirmed() {
        // A character with no Big5 form reaches the input only from code, never by typing.
        form->edt2->setText(QStringLiteral("😀"));
        clickPath(*form, {1, 1, 1, 2, 2});
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages.first().icon, QMessageBox::Critical);
        QCOMPARE(dialogs->messages.first().text,
                 QStringLiteral("The text \"😀\" has no Big5 form."));
        QCOMPARE(form->mmo3->toPlainText(), QString());
        QCOMPARE(form->mmo2->toPlainText(), QString());

        // The hidden button clicked from elsewhere with a code that is none: the same box,
        // and the window goes on.
        form->edt2->setText(QStringLiteral("頡"));
        form->edt1->setText(QStringLiteral("1111001"));
        form->btn3->click();
        QCOMPARE(dialogs->messages.size(), 2);
        QVERIFY(dialogs->messages.last().text.contains(QStringLiteral("\"1111001\"")));
        QCOMPARE(form->mmo3->toPlainText(), QString());
        form->edt1->setText(QStringLiteral("11110010"));
        form->btn3->click();
        QCOMPARE(velmora::memoLines(form->mmo3->toPlainText()),
                 reportFor("頡", 242, "11110010", "GRMBC "));
        QCOMPARE(dialogs->messages.size(), 2);
    }

    void keyboardWalksTheLists() {
        dialogs->answers << QMessageBox::Ok;
        form->lst1->setFocus();
        QTest::keyClick(form->lst1, Qt::Key_Down);
        QCOMPARE(form->lst2->count(), 2);
        for (auto* list : {form->lst2, form->lst3, form->lst4, form->lst5}) {
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Down);
        }
        QCOMPARE(form->edt1->text(), QStringLiteral("00000000"));
        QCOMPARE(dialogs->messages.size(), 1);
        // Moving on in the fifth list by keyboard reruns the report.
        dialogs->answers << QMessageBox::Cancel;
        QTest::keyClick(form->lst5, Qt::Key_Down);
        QCOMPARE(form->edt1->text(), QStringLiteral("00000001"));
        QCOMPARE(dialogs->messages.size(), 2);
    }

    void emptyCharacterLeavesOutTheCangjieLine() {
        form->edt2->clear();
        dialogs->answers << QMessageBox::Ok;
        clickPath(*form, {1, 1, 1, 1, 1});
        QCOMPARE(velmora::memoLines(form->mmo3->toPlainText()), reportFor("", 233, "11101001", ""));
    }
};

int main(int argc, char** argv) {
    velmora::VelmoraApplication app(argc, argv);
    WindowNavigationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_navigation_test.moc"
