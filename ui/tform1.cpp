#include "ui/tform1.h"

#include "big5/big5.h"
#include "concepts/program_version.h"
#include "concepts/report.h"
#include "ui/artwork.h"
#include "ui/big5_input_validator.h"
#include "ui/character_edit.h"
#include "ui/concept_diagram.h"
#include "ui/concept_list_box.h"
#include "ui/error_box.h"
#include "ui/form_layout.h"
#include "ui/link_label.h"
#include "ui/memo_file.h"
#include "ui/memo_text.h"
#include "ui/panel_splitter.h"
#include "ui/result_memo.h"
#include "ui/site_info.h"
#include "ui/ui_fonts.h"
#if VELMORA_WITH_UPDATER
#include "ui/menu_check.h"
#include "upgrade/updater/vuUpdater.h"
#include "upgrade/updater/vuUpdater1Settings.h"
#include "upgrade/utils/vuComponent.h"
#include "upgrade/utils/vuUtils.h"
#endif

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolTip>

namespace velmora {

namespace {

// Width of the first status panel.
constexpr int kReferencePanelWidth = 400;
// The character input holds one double-byte character at most.
constexpr int kCharacterInputBytes = 2;
// Line pitch of the concept diagram, so that its 13 lines fit the memo.
constexpr int kDiagramLineHeight = 13;

QString noBig5Form(const QString& text) {
    return QStringLiteral("The text \"%1\" has no Big5 form").arg(text);
}

QByteArray big5OrThrow(const QString& text) {
    std::optional<QByteArray> bytes = toBig5(text);
    if (!bytes)
        throw UiError(noBig5Form(text));
    return *bytes;
}

QStringList fromBig5Lines(const QByteArrayList& lines) {
    QStringList texts;
    for (const QByteArray& line : lines)
        texts << fromBig5(line);
    return texts;
}

QByteArrayList toBig5Lines(const QStringList& lines) {
    QByteArrayList bytes;
    for (const QString& line : lines)
        bytes << big5OrThrow(line);
    return bytes;
}

QGroupBox* groupBox(int level, QWidget* parent) {
    auto* box = new QGroupBox(levelCaptionText(level), parent);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QFrame* plainPanel(QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setFrameShape(QFrame::NoFrame);
    return panel;
}

void fillDiagram(QTextEdit* memo) {
    memo->setPlainText(conceptDiagramLines().join(QLatin1Char('\n')));
    QTextCursor cursor(memo->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setLineHeight(kDiagramLineHeight, QTextBlockFormat::FixedHeight);
    cursor.mergeBlockFormat(format);
}

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), panelWidth_(kConceptPanelWidth) {
    setObjectName(QStringLiteral("Form1"));
    // The upgrade component closes this window to restart the program, and its worker threads
    // only wait for their hidden window at exit, once no main window is left.
#if VELMORA_WITH_UPDATER
    vu::SetApplicationMainWindow(this);
#endif
    setWindowTitle(QStringLiteral("Velmora ") + captionDate());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // The application's icon when it has one, so that its pictures are drawn once for both.
    const QIcon sharedIcon = QGuiApplication::windowIcon();
    setWindowIcon(sharedIcon.isNull() ? applicationIcon() : sharedIcon);
    setFont(windowFont());
    setFixedSize(kClientWidth, kClientHeight);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    buildControls();
    placeFixedControls();
    connectHandlers();
    arrange();
    centreOnScreen();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildControls() {
    // Status bar with its two panels.
    stat1 = new QStatusBar(this);
    stat1->setObjectName(QStringLiteral("stat1"));
    stat1->setSizeGripEnabled(false);
    statusPanels_[0] =
        new QLabel(QStringLiteral("參考資料：") + QString::fromUtf8(kReferencePageAddress), stat1);
    statusPanels_[0]->setFixedWidth(kReferencePanelWidth);
    statusPanels_[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusPanels_[1] = new QLabel(QString::fromUtf8(kCreditLine), stat1);
    statusPanels_[1]->setAlignment(Qt::AlignCenter);
    stat1->addWidget(statusPanels_[0]);
    stat1->addWidget(statusPanels_[1], 1);

    // The concept panel at the right with the five lists.
    pnl1 = plainPanel(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    grp2 = groupBox(1, pnl1);
    lst1 = new ConceptListBox(grp2);
    lst1->setItems(level1ItemTexts());
    grp3 = groupBox(2, pnl1);
    lst2 = new ConceptListBox(grp3);
    grp4 = groupBox(3, pnl1);
    lst3 = new ConceptListBox(grp4);
    grp1 = groupBox(4, pnl1);
    lst4 = new ConceptListBox(grp1);
    grp6 = groupBox(5, pnl1);
    lst5 = new ConceptListBox(grp6);

    spl1 = new PanelSplitter(this);
    spl1->setObjectName(QStringLiteral("spl1"));

    // The left panel: diagram, character input, result memo.
    pnl2 = plainPanel(this);
    pnl2->setObjectName(QStringLiteral("pnl2"));
    grp5 = new QGroupBox(QStringLiteral("概念分類表"), pnl2);
    mmo1 = new QTextEdit(grp5);
    mmo1->setFont(diagramFont());
    mmo1->setFrameShape(QFrame::NoFrame);
    mmo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmo1->setLineWrapMode(QTextEdit::WidgetWidth);
    mmo1->setAcceptRichText(false);
    mmo1->document()->setDocumentMargin(1);
    {
        // The system's scroll-bar grey behind the diagram; its text stays readable although
        // the memo is disabled.
        QPalette palette = mmo1->palette();
        const QColor scrollBarGrey(200, 200, 200);
        for (QPalette::ColorGroup group :
             {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Base, scrollBarGrey);
            palette.setColor(group, QPalette::Text, QColor(64, 64, 64));
        }
        mmo1->setPalette(palette);
    }
    fillDiagram(mmo1);
    mmo1->setEnabled(false);

    mmo2 = new ResultMemo(pnl2);
    mmo2->setObjectName(QStringLiteral("mmo2"));
    mmo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmo2->setTabChangesFocus(true);
    mmo2->setToolTip(QStringLiteral("點擊鼠標右鍵"));

    btn3 = new QPushButton(QStringLiteral("查看結果"), grp5);
    btn3->hide();
    edt1 = new QLineEdit(QStringLiteral("11110010"), grp5);
    edt1->hide();

    grp7 = new QGroupBox(QStringLiteral("請先輸入您要定義的字,而後從右側選取概念分類!"), pnl2);
    edt2 = new CharacterEdit(QStringLiteral("頡"), grp7);
    edt2->setFont(characterFont());
    {
        QPalette palette = edt2->palette();
        palette.setColor(QPalette::Text, Qt::red);
        edt2->setPalette(palette);
    }
    auto* validator = new Big5InputValidator(kCharacterInputBytes, edt2);
    validator->onRefused = [this](const QString& reason) {
        lastRefusal_ = reason;
        QToolTip::showText(edt2->mapToGlobal(QPoint(0, edt2->height())), reason, edt2);
    };
    edt2->setValidator(validator);

    mmo3 = new QPlainTextEdit(QStringLiteral("mmo3"), this);
    mmo3->hide();

    // The result memo's popup menu.
    il1 = {driveImage(), wasteBasketImage()};
    pm1 = new QMenu(this);
    pm1->setObjectName(QStringLiteral("pm1"));
    N1 = pm1->addAction(QIcon(QPixmap::fromImage(il1[0])), QStringLiteral("保存內容至……"));
    N2 = pm1->addSeparator();
    N3 = pm1->addAction(QStringLiteral("選取全部內容"));
    N6 = pm1->addAction(QStringLiteral("選取全部內容到剪貼板上 "));
    N4 = pm1->addSeparator();
    N5 = pm1->addAction(QIcon(QPixmap::fromImage(il1[1])), QStringLiteral("清除全部內容"));
#if VELMORA_WITH_UPDATER
    N7 = pm1->addSeparator();
    N8 = pm1->addAction(QStringLiteral("檢查升級..."));

    // The upgrade component. Loading its stored settings ends with Loaded, which removes a
    // replacement helper left over from an earlier upgrade.
    vuUpdater1 = new vu::TvuUpdater(this);
    vuUpdater1->setObjectName(QStringLiteral("vuUpdater1"));
    vu::LoadComponentSettings(*vuUpdater1, vu::vuUpdater1Settings());
    // Once the window is up: settle an interrupted upgrade and report a restored version.
    QMetaObject::invokeMethod(
        vuUpdater1, [u = vuUpdater1] { u->FinishInterruptedUpgrade(); }, Qt::QueuedConnection);
#else
    // Built for installations that upgrade through their package manager: no upgrade entry and
    // no upgrade component.
    N7 = nullptr;
    N8 = nullptr;
    vuUpdater1 = nullptr;
#endif

    lbl1 = new LinkLabel(grp7);
    lbl1->setText(QStringLiteral("更多信息,請前往") + QString::fromUtf8(kReferenceSiteAddress) +
                  QStringLiteral(" 查看       "));

    dlgSave1.defaultSuffix = QStringLiteral("txt");
    dlgSave1.filters = {QStringLiteral("全部文本檔案(*.txt)"), QStringLiteral("其他格式檔案(*.*)")};
    dlgSave1.filterIndex = 0;

    // Tab moves through the lists in the order of their panel, then the memo and the input.
    setTabOrder(lst4, lst3);
    setTabOrder(lst3, lst2);
    setTabOrder(lst2, lst1);
    setTabOrder(lst1, lst5);
    setTabOrder(lst5, mmo2);
    setTabOrder(mmo2, edt2);
    setTabOrder(edt2, lbl1);
    lst4->setFocus();
    nameControls();
}

void TForm1::placeFixedControls() {
    const FixedLayout& at = kFixedLayout;
    const std::pair<QWidget*, QRect> placements[] = {
        {grp2, at.grp2}, {lst1, at.lst1}, {grp3, at.grp3}, {lst2, at.lst2},
        {grp4, at.grp4}, {lst3, at.lst3}, {grp1, at.grp1}, {lst4, at.lst4},
        {grp6, at.grp6}, {lst5, at.lst5}, {mmo1, at.mmo1}, {btn3, at.btn3},
        {edt1, at.edt1}, {edt2, at.edt2}, {lbl1, at.lbl1}, {mmo3, at.mmo3}};
    for (const auto& [control, geometry] : placements)
        control->setGeometry(geometry);
}

void TForm1::nameControls() {
    // Names and descriptions for screen readers; the lists are named after their levels.
    ConceptListBox* const lists[kNavigatorLevels] = {lst1, lst2, lst3, lst4, lst5};
    for (int level = 1; level <= kNavigatorLevels; ++level) {
        ConceptListBox* list = lists[level - 1];
        list->setAccessibleName(levelCaptionText(level));
        list->setAccessibleDescription(
            level < kNavigatorLevels
                ? QStringLiteral("概念分類第%1層，選取後列出第%2層").arg(level).arg(level + 1)
                : QStringLiteral("概念分類第%1層，選取後顯示結果並請您確認").arg(level));
    }
    mmo1->setAccessibleName(grp5->title());
    mmo1->setAccessibleDescription(QStringLiteral("概念分類的五個層次圖"));
    mmo2->setAccessibleName(QStringLiteral("分類結果"));
    mmo2->setAccessibleDescription(
        QStringLiteral("已確認的分類結果；點擊鼠標右鍵可保存、複製或清除全部內容"));
    edt2->setAccessibleName(QStringLiteral("要定義的字"));
    edt2->setAccessibleDescription(QStringLiteral("輸入一個漢字，而後從右側選取概念分類"));
    lbl1->setAccessibleName(lbl1->text().trimmed());
    lbl1->setAccessibleDescription(
        QStringLiteral("在瀏覽器中開啟參考網站；按 Enter 或空白鍵亦可開啟"));
    stat1->setAccessibleName(QStringLiteral("狀態列"));
    pm1->setAccessibleName(QStringLiteral("分類結果的選單"));
}

void TForm1::connectHandlers() {
    auto guarded = [](auto handler) { return [handler] { runGuarded(handler); }; };
    connect(lst1, &ConceptListBox::userClicked, this, guarded([this] { lst1Click(); }));
    connect(lst2, &ConceptListBox::userClicked, this, guarded([this] { lst2Click(); }));
    connect(lst3, &ConceptListBox::userClicked, this, guarded([this] { lst3Click(); }));
    connect(lst4, &ConceptListBox::userClicked, this, guarded([this] { lst4Click(); }));
    connect(lst5, &ConceptListBox::userClicked, this, guarded([this] { lst5Click(); }));
    // The fifth list runs the report itself; a click of the hidden button from elsewhere builds
    // the report too and shows why when it cannot.
    connect(btn3, &QPushButton::clicked, this, [this] {
        if (const ReportResult report = btn3Click(); !report.ok())
            showUnhandledError(report.error);
    });
    connect(edt2, &CharacterEdit::clicked, this, guarded([this] { edt2Click(); }));
    connect(mmo2, &ResultMemo::popupRequested, this, [this](const QPoint& at) { pm1->popup(at); });
    connect(pm1, &QMenu::aboutToShow, this, guarded([this] { pm1Popup(); }));
    connect(N1, &QAction::triggered, this, guarded([this] { N1Click(); }));
    connect(N3, &QAction::triggered, this, guarded([this] { N3Click(); }));
    connect(N6, &QAction::triggered, this, guarded([this] { N6Click(); }));
    connect(N5, &QAction::triggered, this, guarded([this] { N5Click(); }));
#if VELMORA_WITH_UPDATER
    connect(N8, &QAction::triggered, this, guarded([this] { N8Click(); }));
#endif
    connect(lbl1, &LinkLabel::mouseMoved, this, guarded([this] { lbl1MouseMove(); }));
    connect(lbl1, &LinkLabel::mouseLeft, this, guarded([this] { lbl1MouseLeave(); }));
    connect(lbl1, &LinkLabel::clicked, this, guarded([this] { lbl1Click(); }));

    spl1->constrain = [this](int left) {
        return width() - kSplitterWidth - splitPanelWidth(width(), left);
    };
    spl1->onMoved = [this](int left) { setConceptPanelWidth(splitPanelWidth(width(), left)); };
}

void TForm1::arrange() {
    const DockedLayout layout = dockedLayout(width(), height(), panelWidth_);
    stat1->setGeometry(layout.stat1);
    pnl1->setGeometry(layout.pnl1);
    pnl1->setVisible(panelWidth_ > 0);
    spl1->setGeometry(layout.spl1);
    pnl2->setGeometry(layout.pnl2);
    grp5->setGeometry(layout.grp5);
    grp7->setGeometry(layout.grp7);
    mmo2->setGeometry(layout.mmo2);
    // The input group is docked after the memo, so it lies over the memo's top pixel row.
    grp7->raise();
}

void TForm1::setConceptPanelWidth(int width) {
    panelWidth_ = std::max(0, width);
    arrange();
}

void TForm1::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame's size is known once the window exists; before that it counts as none.
    const QRect available = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    move(available.x() + (available.width() - frame.width()) / 2,
         available.y() + (available.height() - frame.height()) / 2);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
}

QLabel* TForm1::statusPanel(int index) const {
    return statusPanels_[index];
}

void TForm1::FormCreate() {
    // Nothing to prepare: the concept table is filled by its first reader, the first report, so
    // that the window's start converts no Big5 text.
}

NavigatorModel& TForm1::model() const {
    if (!navigator_)
        navigator_.emplace();
    return *navigator_;
}

ReportResult TForm1::btn3Click() {
    const std::optional<QByteArray> character = toBig5(edt2->text());
    const std::optional<QByteArray> code = toBig5(edt1->text());
    if (!character || !code) {
        ReportResult refused;
        refused.error = noBig5Form(character ? edt1->text() : edt2->text());
        return refused;
    }
    ReportResult report = buildReport(*character, *code);
    if (report.ok())
        appendMemoLines(mmo3, fromBig5Lines(report.lines));
    return report;
}

void TForm1::showListsBelow(int level) {
    ConceptListBox* const lists[kNavigatorLevels] = {lst1, lst2, lst3, lst4, lst5};
    for (int i = level; i < kNavigatorLevels; ++i)
        lists[i]->setItems(fromBig5Lines(model().lists[static_cast<size_t>(i)].items));
}

void TForm1::chooseInList(int level, const ConceptListBox* list) {
    chooseAtLevel(model(), level, list->selectedPosition());
    showListsBelow(level);
}

void TForm1::lst1Click() {
    chooseInList(1, lst1);
}

void TForm1::lst2Click() {
    chooseInList(2, lst2);
}

void TForm1::lst3Click() {
    chooseInList(3, lst3);
}

void TForm1::lst4Click() {
    chooseInList(4, lst4);
}

void TForm1::lst5Click() {
    const QByteArray code = chooseAtLevel(model(), 5, lst5->selectedPosition()).value();
    mmo3->clear();
    edt1->setText(fromBig5(code));
    // The report is what the hidden button's click does; a report that cannot be built is shown
    // as an error and not offered for confirmation.
    const ReportResult report = btn3Click();
    if (!report.ok()) {
        showUnhandledError(report.error);
        return;
    }
    confirmReport();
}

void TForm1::confirmReport() {
    const QByteArrayList reportLines = toBig5Lines(memoLines(memoText(mmo3)));
    MessageBoxRequest request;
    request.caption = fromBig5(confirmationCaption());
    request.text = fromBig5(confirmationText(reportLines));
    request.icon = QMessageBox::Question;
    request.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (dialogs().showMessage(this, request) != QMessageBox::Ok)
        return;
    appendMemoLines(mmo2, fromBig5Lines(memoTransferLines(reportLines)));
}

void TForm1::edt2Click() {
    edt2->selectAll();
}

void TForm1::N3Click() {
    mmo2->selectAll();
}

void TForm1::N6Click() {
    mmo2->selectAll();
    mmo2->copy();
    QTextCursor cursor = mmo2->textCursor();
    cursor.setPosition(cursor.selectionStart());
    mmo2->setTextCursor(cursor);
}

void TForm1::N5Click() {
    MessageBoxRequest request;
    request.caption = QStringLiteral("請確認");
    request.text = QStringLiteral("您確定要清除全部內容嗎 ？");
    request.icon = QMessageBox::Warning;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    // The question belongs to the application rather than to the window.
    if (dialogs().showMessage(nullptr, request) == QMessageBox::Yes)
        mmo2->clear();
}

void TForm1::N8Click() {
    // The check runs in the background and reports through the component's own dialogs; it does
    // nothing while a transfer of the component is already running. A check from the menu always
    // answers, unless the address is the placeholder that names no server.
#if VELMORA_WITH_UPDATER
    vuUpdater1->SetShowMessages(
        menuCheckMessages(vuUpdater1->InfoFileURL(), vuUpdater1->ShowMessages()));
    vuUpdater1->CheckForUpdate();
#endif
}

void TForm1::pm1Popup() {
    const bool hasText = !memoText(mmo2).isEmpty();
    for (QAction* item : {N1, N6, N3, N5})
        item->setEnabled(hasText);
}

void TForm1::lbl1MouseLeave() {
    QPalette palette = lbl1->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    lbl1->setPalette(palette);
}

void TForm1::lbl1MouseMove() {
    QPalette palette = lbl1->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    lbl1->setPalette(palette);
}

void TForm1::lbl1Click() {
    dialogs().startProgram(QStringLiteral("xdg-open"), {QString::fromUtf8(kReferenceSiteAddress)});
}

void TForm1::N1Click() {
    const std::optional<QString> chosen = dialogs().chooseSaveFile(this, dlgSave1);
    if (!chosen)
        return;
    const QString path = withDefaultSuffix(*chosen, dlgSave1.defaultSuffix);
    dlgSave1.fileName = path;
    saveBig5File(path, memoTextCrLf(mmo2));
}

} // namespace velmora
