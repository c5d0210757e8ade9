#pragma once

#include "tests/support/scripted_dialogs.h"
#include "ui/concept_list_box.h"
#include "ui/tform1.h"

#include <QTest>

#include <memory>

// Clicks a list item with the mouse, as a user does.
inline void clickItem(velmora::ConceptListBox* list, int row) {
    QListWidgetItem* item = list->item(row);
    QVERIFY2(item, "no such item");
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

// Walks the five lists by mouse through the given positions.
inline void clickPath(velmora::TForm1& form, const QList<int>& positions) {
    velmora::ConceptListBox* lists[] = {form.lst1, form.lst2, form.lst3, form.lst4, form.lst5};
    for (int level = 0; level < positions.size(); ++level)
        clickItem(lists[level], positions.at(level));
}

// The main window as a user first sees it, its boxes and dialogs answered by a script. A test
// class derives from it, opens the window in init() and closes it in cleanup(), so that every
// case starts from a fresh window.
class ShownWindow {
protected:
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<velmora::TForm1> form;

    void openWindow() {
        dialogs = std::make_unique<ScriptedDialogs>();
        form = std::make_unique<velmora::TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void closeWindow() {
        form.reset();
        dialogs.reset();
    }
};
