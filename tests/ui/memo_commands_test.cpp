// The result memo's popup menu (enabling, save, select, copy, clear), the unhandled-error box,
// the character input, the link label and the splitter, driven through the window.
#include "window_driver.h"

#include "big5/big5.h"
#include "ui/character_edit.h"
#include "ui/error_box.h"
#include "ui/link_label.h"
#include "ui/memo_text.h"
#include "ui/panel_splitter.h"
#include "ui/result_memo.h"
#include "ui/site_info.h"
#include "ui/velmora_application.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using velmora::TForm1;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// Types text as a keyboard with an input method does: one key event per character.
void typeText(QWidget* widget, const QString& text) {
    for (char32_t code : text.toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, character);
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, character);
        QCoreApplication::sendEvent(widget, &release);
    }
}

// Pixels of the widget as drawn that are within a small distance of `colour`: the text's
// strokes, since the label's background is grey.
int textPixels(QWidget* widget, const QColor& colour) {
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                60)
                ++count;
        }
    }
    return count;
}

// An object whose event handling fails.
class FailingReceiver : public QObject {
public:
    QString message;
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw velmora::UiError(message);
        return QObject::event(event);
    }
};

} // namespace

class MemoCommandsTest : public QObject, ShownWindow {
    Q_OBJECT

    QTemporaryDir dir;

    // Opens the popup menu as a right click in the memo does and closes it again.
    void openMenu() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                                form->mmo2->viewport()->mapToGlobal(QPoint(10, 10)));
        QCoreApplication::sendEvent(form->mmo2->viewport(), &event);
        QVERIFY(form->pm1->isVisible());
        form->pm1->hide();
    }

    void addTwoReports() {
        dialogs->answers << QMessageBox::Ok << QMessageBox::Ok;
        clickPath(*form, {1, 1, 1, 2, 2});
        clickItem(form->lst5, 0);
        QCOMPARE(dialogs->answers.size(), 0);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        openWindow();
    }
    void cleanup() { closeWindow(); }

    void menuItemsAndEnablingRule() {
        QList<QAction*> actions = form->pm1->actions();
        // Further entries may follow below the clearing item.
        QVERIFY(actions.size() >= 6);
        QCOMPARE(actions.mid(0, 6),
                 QList<QAction*>({form->N1, form->N2, form->N3, form->N6, form->N4, form->N5}));
        QCOMPARE(form->N1->text(), QStringLiteral("保存內容至……"));
        QCOMPARE(form->N3->text(), QStringLiteral("選取全部內容"));
        QCOMPARE(form->N6->text(), QStringLiteral("選取全部內容到剪貼板上 "));
        QCOMPARE(form->N5->text(), QStringLiteral("清除全部內容"));
        QVERIFY(form->N2->isSeparator() && form->N4->isSeparator());
        QVERIFY(!form->N1->icon().isNull() && !form->N5->icon().isNull());
        QVERIFY(form->N3->icon().isNull() && form->N6->icon().isNull());
        for (const QImage& image : form->il1) {
            QCOMPARE(image.size(), QSize(16, 16));
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }

        openMenu();
        for (QAction* item : {form->N1, form->N3, form->N5, form->N6})
            QVERIFY(!item->isEnabled());
        // A lone line break counts as text.
        form->mmo2->setPlainText("\n");
        openMenu();
        for (QAction* item : {form->N1, form->N3, form->N5, form->N6})
            QVERIFY(item->isEnabled());
        form->mmo2->clear();
        openMenu();
        QVERIFY(!form->N1->isEnabled());
        addTwoReports();
        openMenu();
        QVERIFY(form->N1->isEnabled() && form->N5->isEnabled());
    }

    void contextMenuKeyOpensThePopup() {
        form->mmo2->setPlainText("x");
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                form->mmo2->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(form->mmo2, &event);
        QVERIFY(form->pm1->isVisible());
        QVERIFY(form->N1->isEnabled());
        form->pm1->hide();
    }

    void errorEscapingAnEventIsShownAndTheProgramGoesOn() {
        FailingReceiver receiver;
        const QList<QPair<QString, QString>> cases{
            {"Disk not ready", "Disk not ready."},
            {"Try again!", "Try again!"},
            {"Closed (by peer)", "Closed (by peer)"},
            {QStringLiteral("無法開啟"), QStringLiteral("無法開啟.")}};
        for (const auto& [message, shown] : cases) {
            receiver.message = message;
            QEvent event(QEvent::User);
            QCoreApplication::sendEvent(&receiver, &event);
            const velmora::MessageBoxRequest& box = dialogs->messages.last();
            QCOMPARE(box.text, shown);
            QCOMPARE(box.caption, QStringLiteral("Velmora"));
            QCOMPARE(box.icon, QMessageBox::Critical);
        }
        QCOMPARE(dialogs->messages.size(), cases.size());
        // The window still answers.
        clickItem(form->lst1, 0);
        QCOMPARE(form->lst2->count(), 2);
    }

    void saveWritesBig5WithCrLf() {
        addTwoReports();
        const QString path = dir.filePath("report.txt");
        dialogs->saveAnswers << path;
        form->N1->trigger();
        QCOMPARE(dialogs->messages.size(), 2); // the two confirmations, no error
        const QByteArray bytes = fileBytes(path);
        QByteArray expected;
        for (const QString& line : velmora::memoLines(form->mmo2->toPlainText()))
            expected += *velmora::toBig5(line) + "\r\n";
        QCOMPARE(bytes, expected);
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.startsWith("\r\n\xA1\x79")); // empty line, then the opening bracket
        QVERIFY(!bytes.contains("\r\r") && !bytes.contains("\n\n"));
        // The first request was the stored settings.
        const velmora::SaveDialogState& first = dialogs->saveRequests.first();
        QCOMPARE(first.defaultSuffix, QStringLiteral("txt"));
        QCOMPARE(first.filters, QStringList({"全部文本檔案(*.txt)", "其他格式檔案(*.*)"}));
        QCOMPARE(first.filterIndex, 0);
        QVERIFY(first.fileName.isEmpty());

        // Saving again to the same name replaces the file without asking; the dialog offers
        // the last name and file type.
        form->mmo2->setPlainText(QStringLiteral("短"));
        dialogs->filterAnswer = 1;
        dialogs->saveAnswers << path;
        form->N1->trigger();
        QCOMPARE(fileBytes(path), QByteArray("\xB5\x75"));
        dialogs->saveAnswers << std::nullopt;
        form->N1->trigger();
        QCOMPARE(dialogs->saveRequests.last().fileName, path);
        QCOMPARE(dialogs->saveRequests.last().filterIndex, 1);
        QCOMPARE(dialogs->messages.size(), 2);
    }

    void cancelledSaveWritesNothing() {
        form->mmo2->setPlainText("x");
        const QStringList before =
            QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        dialogs->saveAnswers << std::nullopt;
        form->N1->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
        QVERIFY(dialogs->messages.isEmpty());
    }

    void nameWithoutExtensionGetsTxt() {
        form->mmo2->setPlainText("a\nb");
        for (int filter : {0, 1}) {
            const QString name = dir.filePath(QStringLiteral("plain%1").arg(filter));
            dialogs->filterAnswer = filter;
            dialogs->saveAnswers << name;
            form->N1->trigger();
            QCOMPARE(fileBytes(name + ".txt"), QByteArray("a\r\nb"));
            QVERIFY(!QFile::exists(name));
        }
        // A name with its own extension keeps it.
        dialogs->saveAnswers << dir.filePath("notes.log");
        form->N1->trigger();
        QCOMPARE(fileBytes(dir.filePath("notes.log")), QByteArray("a\r\nb"));
    }

    void saveFailuresShowTheErrorBox() {
        form->mmo2->setPlainText("abc");
        const QString missing = dir.filePath("no-such-folder/out.txt");
        dialogs->saveAnswers << missing;
        dialogs->answers << QMessageBox::Ok;
        form->N1->trigger();
        QCOMPARE(dialogs->messages.size(), 1);
        const velmora::MessageBoxRequest& box = dialogs->messages.last();
        QCOMPARE(box.caption, QStringLiteral("Velmora"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(
            box.text,
            QStringLiteral("Cannot create file \"%1\". No such file or directory.").arg(missing));
        QCOMPARE(form->mmo2->toPlainText(), QStringLiteral("abc"));
        // The window goes on working after the error.
        QVERIFY(form->isVisible());

        // A device that takes no bytes: a short write.
        const QString full = dir.filePath("full.txt");
        if (QFile::link(QStringLiteral("/dev/full"), full)) {
            dialogs->saveAnswers << full;
            form->N1->trigger();
            QCOMPARE(dialogs->messages.size(), 2);
            QCOMPARE(dialogs->messages.last().text, QStringLiteral("Stream write error."));
            QCOMPARE(dialogs->messages.last().icon, QMessageBox::Critical);
        }
    }

    void characterWithoutBig5IsNotSaved() {
        const QString path = dir.filePath("kept.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        form->mmo2->setPlainText(QStringLiteral("好한"));
        dialogs->saveAnswers << path;
        form->N1->trigger();
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(dialogs->messages.last().text.contains(QStringLiteral("\"한\" (U+D55C)")));
        QCOMPARE(fileBytes(path), QByteArray("old"));
        QCOMPARE(form->mmo2->toPlainText(), QStringLiteral("好한"));
    }

    void selectAllAndCopy() {
        addTwoReports();
        const QString text = form->mmo2->toPlainText();
        form->N3->trigger();
        QCOMPARE(form->mmo2->textCursor().selectedText().size(), text.size());

        form->mmo2->moveCursor(QTextCursor::End);
        QGuiApplication::clipboard()->setText("previous");
        form->N6->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QVERIFY(!form->mmo2->textCursor().hasSelection());
        QCOMPARE(form->mmo2->textCursor().position(), 0);
    }

    void clearAsksFirst() {
        addTwoReports();
        const QString text = form->mmo2->toPlainText();
        dialogs->answers << QMessageBox::No;
        form->N5->trigger();
        QCOMPARE(dialogs->messages.last().text, QStringLiteral("您確定要清除全部內容嗎 ？"));
        QCOMPARE(dialogs->messages.last().caption, QStringLiteral("請確認"));
        QCOMPARE(dialogs->messages.last().icon, QMessageBox::Warning);
        QCOMPARE(dialogs->messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(form->mmo2->toPlainText(), text);
        // A box closed without an answer keeps the text too.
        form->N5->trigger();
        QCOMPARE(form->mmo2->toPlainText(), text);
        dialogs->answers << QMessageBox::Yes;
        form->N5->trigger();
        QCOMPARE(form->mmo2->toPlainText(), QString());
    }

    void characterInputLimit() {
        form->edt2->setFocus();
        QTest::mouseClick(form->edt2, Qt::LeftButton);
        QCOMPARE(form->edt2->selectedText(), QStringLiteral("頡"));
        typeText(form->edt2, QStringLiteral("日月"));
        QCOMPARE(form->edt2->text(), QStringLiteral("日"));
        QVERIFY(!form->lastInputRefusal().isEmpty());
        form->edt2->selectAll();
        typeText(form->edt2, QStringLiteral("abc"));
        QCOMPARE(form->edt2->text(), QStringLiteral("ab"));
        form->edt2->selectAll();
        typeText(form->edt2, QStringLiteral("a日"));
        QCOMPARE(form->edt2->text(), QStringLiteral("a"));

        // A character without a Big5 form is refused, typed or pasted, and the reason names it.
        form->edt2->selectAll();
        typeText(form->edt2, QStringLiteral("한"));
        QCOMPARE(form->edt2->text(), QStringLiteral("a"));
        QVERIFY(form->lastInputRefusal().contains(QStringLiteral("한")));
        QGuiApplication::clipboard()->setText(QStringLiteral("😀"));
        form->edt2->selectAll();
        form->edt2->paste();
        QCOMPARE(form->edt2->text(), QStringLiteral("a"));
        QVERIFY(form->lastInputRefusal().contains(QStringLiteral("😀")));
        QGuiApplication::clipboard()->setText(QStringLiteral("褒"));
        form->edt2->selectAll();
        form->edt2->paste();
        QCOMPARE(form->edt2->text(), QStringLiteral("褒"));
    }

    void linkLabel() {
        const QColor windowText = form->lbl1->palette().color(QPalette::WindowText);
        QCOMPARE(windowText, form->palette().color(QPalette::WindowText));
        // Before the first hover the text is drawn in the window-text colour.
        QVERIFY(textPixels(form->lbl1, windowText) > 0);
        QCOMPARE(textPixels(form->lbl1, QColor(255, 0, 0)), 0);
        QTest::mouseMove(form->lbl1, QPoint(5, 5));
        sendMouse(form->lbl1, QEvent::MouseMove, QPoint(6, 5), Qt::NoButton);
        QCOMPARE(form->lbl1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(textPixels(form->lbl1, QColor(255, 0, 0)) > 0);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(form->lbl1, &leave);
        QCOMPARE(form->lbl1->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QCOMPARE(textPixels(form->lbl1, QColor(255, 0, 0)), 0);
        QVERIFY(textPixels(form->lbl1, QColor(0, 0, 0)) > 0);
        QCOMPARE(form->lbl1->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(form->lbl1, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(dialogs->started.size(), 1);
        QCOMPARE(dialogs->started.first().first, QStringLiteral("xdg-open"));
        QCOMPARE(dialogs->started.first().second,
                 QStringList{QString::fromUtf8(velmora::kReferenceSiteAddress)});
    }

    void linkLabelByKeyboard() {
        form->activateWindow();
        form->edt2->setFocus();
        QTest::keyClick(form->edt2, Qt::Key_Tab);
        QVERIFY(form->lbl1->hasFocus());
        QTest::keyClick(form->lbl1, Qt::Key_Return);
        QTest::keyClick(form->lbl1, Qt::Key_Space);
        QTest::keyClick(form->lbl1, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(dialogs->started.size(), 3);
        // Other keys and modified ones do not open the site.
        QTest::keyClick(form->lbl1, Qt::Key_A);
        QTest::keyClick(form->lbl1, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(dialogs->started.size(), 3);
        QCOMPARE(dialogs->started.last().second,
                 QStringList{QString::fromUtf8(velmora::kReferenceSiteAddress)});
    }

    void splitterDrag() {
        velmora::PanelSplitter* bar = form->spl1;
        QCOMPARE(bar->cursor().shape(), Qt::SplitHCursor);
        // Far to the left: the left panel keeps 30 pixels.
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(1, 100), Qt::LeftButton);
        sendMouse(bar, QEvent::MouseMove, QPoint(-700, 100), Qt::LeftButton);
        QVERIFY(bar->dragLine()->isVisible());
        QCOMPARE(bar->dragLine()->x(), 30);
        QCOMPARE(form->conceptPanelWidth(), 193); // applied on release only
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(-700, 100), Qt::NoButton);
        QVERIFY(!bar->dragLine()->isVisible());
        QCOMPARE(form->pnl2->width(), 30);
        QCOMPARE(form->pnl1->width(), 867 - 33);
        QCOMPARE(form->grp5->width(), 30);
        QCOMPARE(form->edt2->geometry(), QRect(296, 16, 33, 37)); // fixed controls stay

        // To within 30 pixels of the right edge: the concept panel closes.
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(1, 100), Qt::LeftButton);
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(1 + 833 - bar->x(), 100), Qt::NoButton);
        QCOMPARE(form->conceptPanelWidth(), 31); // just wider than the snap width
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(1, 100), Qt::LeftButton);
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(1 + 834 - bar->x(), 100), Qt::NoButton);
        QCOMPARE(form->conceptPanelWidth(), 0);
        QCOMPARE(form->spl1->x(), 864);
        QCOMPARE(form->pnl2->width(), 864);

        // It can be dragged open again; Esc during a drag cancels.
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(1, 100), Qt::LeftButton);
        sendMouse(bar, QEvent::MouseMove, QPoint(-300, 100), Qt::LeftButton);
        QTest::keyClick(bar, Qt::Key_Escape);
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(-300, 100), Qt::NoButton);
        QCOMPARE(form->conceptPanelWidth(), 0);
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(1, 100), Qt::LeftButton);
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(1 - 193, 100), Qt::NoButton);
        QCOMPARE(form->conceptPanelWidth(), 193);
        QCOMPARE(form->pnl1->geometry(), QRect(674, 0, 193, 460));
        QVERIFY(form->pnl1->isVisible());
    }
};

int main(int argc, char** argv) {
    velmora::VelmoraApplication app(argc, argv);
    MemoCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "memo_commands_test.moc"
