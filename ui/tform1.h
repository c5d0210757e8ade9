#pragma once

#include "concepts/navigator.h"
#include "ui/dialog_seam.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <optional>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTextEdit;
namespace vu {
class TvuUpdater;
}

namespace velmora {

class CharacterEdit;
class ConceptListBox;
class LinkLabel;
class PanelSplitter;
class ResultMemo;
struct ReportResult;

// The program's main window: the character input, the five cascading concept lists, the
// concept diagram, the result memo with its popup menu, the status bar and the link label.
// The handlers are thin: the navigator and the report come from the concept lookup.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, in declaration order.
    QStatusBar* stat1;
    QFrame* pnl1;
    QGroupBox* grp1;
    ConceptListBox* lst4;
    QGroupBox* grp4;
    ConceptListBox* lst3;
    QGroupBox* grp3;
    ConceptListBox* lst2;
    QGroupBox* grp2;
    ConceptListBox* lst1;
    PanelSplitter* spl1;
    QFrame* pnl2;
    QGroupBox* grp5;
    QTextEdit* mmo1;
    ResultMemo* mmo2;
    QGroupBox* grp6;
    ConceptListBox* lst5;
    QPushButton* btn3;
    QLineEdit* edt1;
    QGroupBox* grp7;
    CharacterEdit* edt2;
    QPlainTextEdit* mmo3;
    QMenu* pm1;
    QAction* N1;
    QAction* N2;
    QAction* N3;
    QAction* N4;
    QAction* N5;
    QAction* N6;
    QAction* N7;
    QAction* N8;
    // The menu's images: 0 saving, 1 clearing.
    std::array<QImage, 2> il1;
    LinkLabel* lbl1;
    SaveDialogState dlgSave1;
    // The upgrade component, configured from its stored settings; owned by the window.
    vu::TvuUpdater* vuUpdater1;

    // Handlers.
    void FormCreate();
    // Builds the report for the character in edt2 and the code in edt1 and appends its lines to
    // mmo3; returns the report, or why it could not be built (mmo3 is then unchanged).
    ReportResult btn3Click();
    void lst1Click();
    void lst2Click();
    void lst3Click();
    void lst4Click();
    void lst5Click();
    void edt2Click();
    void N3Click();
    void N5Click();
    void N6Click();
    void pm1Popup();
    void lbl1MouseLeave();
    void lbl1MouseMove();
    void lbl1Click();
    void N1Click();
    void N8Click();

    // The two panels of the status bar (0: reference page, 1: credit line).
    QLabel* statusPanel(int index) const;
    // The navigator's state behind the five lists.
    const NavigatorModel& navigator() const { return model(); }
    // Width of the concept panel at the right (0 when the splitter closed it).
    int conceptPanelWidth() const { return panelWidth_; }
    void setConceptPanelWidth(int width);
    // Why the character input last refused a text (empty if it never did).
    QString lastInputRefusal() const { return lastRefusal_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void placeFixedControls();
    void nameControls();
    void connectHandlers();
    void arrange();
    void centreOnScreen();
    void showListsBelow(int level);
    // Applies the choice now selected in `list`, the list of `level` (1..4).
    void chooseInList(int level, const ConceptListBox* list);
    void confirmReport();

    // Made when first needed: the model holds its texts in Big5, which the window's start does
    // not need to convert (the first list shows the same texts as Unicode).
    NavigatorModel& model() const;
    mutable std::optional<NavigatorModel> navigator_;
    int panelWidth_;
    QString lastRefusal_;
    QLabel* statusPanels_[2];
    bool centred_ = false;
};

} // namespace velmora
