#include "microcode_window.h"

#include "code_view.h"
#include "instruction_history.h"
#include "margin_images.h"
#include "menu_entries.h"
#include "program_symbols.h"
#include "twips.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <algorithm>
#include <optional>

namespace {

constexpr int kTopTwips = 660;

} // namespace

CodeSource ChipCodeSource() {
    // The placed program's names first, so the listing shows them at once.
    return {[] {
                RefreshProgramSymbols();
                ReadCodeSnapshot();
            },
            &CodeSnapshot()};
}

MicrocodeWindow::MicrocodeWindow(QAction* viewEntry, CodeSource source, QWidget* parent)
    : ViewMenuWindow(viewEntry, parent), source_(std::move(source)) {
    SetUpWindow("winInstrMem", "Microcode Memory");

    auto* client = new QWidget(this);
    client->setFixedSize(TwipsToPixels(8070), TwipsToPixels(5580));
    setCentralWidget(client);

    codeView_ = new QsciScintilla(client);
    codeView_->setObjectName("CodeView");
    codeView_->setGeometry(TwipsRect(0, 0, 8070, 4620));

    selInfo_ = new QLabel(client);
    selInfo_->setObjectName("txtSelInfo");
    selInfo_->setGeometry(TwipsRect(120, 5280, 1815, 255));

    history_ = new QPlainTextEdit(client);
    history_->setObjectName("txtHistory");
    history_->setGeometry(TwipsRect(4470, 4650, 3600, 900));
    history_->setReadOnly(true);
    history_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A fixed box of four lines: a scroll bar would take the room of one, so
    // there is none, and a long line is cut at the right edge.
    history_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    history_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    history_->setPlainText("Instruction History");

    BuildMenus();
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());

    show();
    placeAtTop(kTopTwips);
    SetUpCodeView(codeView_);
    source_.read();
    FillListing(codeView_, source_.history->current());
    imlCode_ = MakeMarginImages(CodeViewMarginImageSize(codeView_));
    SetMarginImages(codeView_, imlCode_);
    MarkChanges();
    SelChanged();
    ConnectSelectionChange(codeView_, this, [this] { SelChanged(); });
}

void MicrocodeWindow::BuildMenus() {
    QMenu* find = AddMenu(this, "mnuFind", "&Find");
    menuBar()->addMenu(find);
    connect(AddEntry(find, "mnuFindChInstr", "Changed &Instruction", Qt::Key_F6),
            &QAction::triggered, this, &MicrocodeWindow::FindChangedInstruction);
    QMenu* withRegister = find->addMenu("Instruction with that &register");
    withRegister->menuAction()->setObjectName("mnuFindIWR");
    findAny_ = AddEntry(withRegister, "mnuFindIWRAny", "as &Any", Qt::CTRL | Qt::Key_P);
    findInput_ = AddEntry(withRegister, "mnuFindIWRInp", "as &Input", Qt::CTRL | Qt::Key_L);
    findOutput_ = AddEntry(withRegister, "mnuFindIWROut", "as &Output", Qt::CTRL | Qt::Key_O);
    connect(findAny_, &QAction::triggered, this, [this] { FindRegister(RegisterUse::Any); });
    connect(findInput_, &QAction::triggered, this, [this] { FindRegister(RegisterUse::Input); });
    connect(findOutput_, &QAction::triggered, this, [this] { FindRegister(RegisterUse::Output); });
    AddSeparator(find, "sepb");
    AddEntry(find, "mnuFindSome", "Search Something...", Qt::SHIFT | Qt::Key_F3)->setEnabled(false);

    QMenu* view = AddMenu(this, "mnuView", "&View");
    menuBar()->addMenu(view);
    connect(AddEntry(view, "mnuViewUpdate", "&Update", Qt::Key_F5), &QAction::triggered, this,
            &MicrocodeWindow::Update);
    AddSeparator(view, "sepa");
    AddEntry(view, "mnuViewOnTop", "Always On &Top")->setEnabled(false);

    // Kept for the menu's shape; it has no action and is never shown.
    QMenu* jump = menuBar()->addMenu("&Jump");
    jump->menuAction()->setObjectName("mnuJump");
    AddEntry(jump, "mnuJump2GPRV", "Jump to GPR View");
    jump->menuAction()->setVisible(false);
}

void MicrocodeWindow::Update() {
    source_.read();
    FillListing(codeView_, source_.history->current());
    MarkChanges();
    SelChanged();
}

void MicrocodeWindow::MarkChanges() {
    const std::vector<MicrocodeInstruction>& current = source_.history->current();
    const std::vector<MicrocodeInstruction>& previous = source_.history->previous(1);
    if (previous.empty())
        return;
    const std::size_t count = std::min(current.size(), previous.size());
    for (std::size_t i = 0; i < count; ++i)
        SetLineFlags(codeView_, static_cast<int>(i),
                     InstructionDiffers(current[i], previous[i]) ? kChangedFlag : 0);
}

int MicrocodeWindow::SelChanged() {
    SetLineFlags(codeView_, caretLine_, LineFlags(codeView_, caretLine_) & ~kCaretFlag);
    caretLine_ = ViewSelection(codeView_).startLine;
    SetLineFlags(codeView_, caretLine_, LineFlags(codeView_, caretLine_) | kCaretFlag);

    const FieldHit hit = FieldUnderCaret(codeView_);
    const bool onOperand = hit.found && hit.field != 0;
    for (QAction* entry : {findAny_, findInput_, findOutput_})
        entry->setEnabled(onOperand);

    selInfo_->setText(QString("Instruction %1 Field %2")
                          .arg(caretLine_)
                          .arg(hit.found ? QString::number(hit.field) : QString("?")));
    const std::string text = HistoryText(*source_.history, caretLine_);
    history_->setPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
                               .replace("\r\n", "\n"));
    return 0;
}

void MicrocodeWindow::FindChangedInstruction() {
    const int start = ViewSelection(codeView_).startLine;
    const std::optional<int> hit = FindNextMarkedLine(start, codeView_->lines(), [this](int line) {
        return (LineFlags(codeView_, line) & kChangedFlag) != 0;
    });
    codeView_->setCursorPosition(hit.value_or(start), 0);
    SelChanged();
}

void MicrocodeWindow::FindRegister(RegisterUse use) {
    const FieldHit caret = FieldUnderCaret(codeView_);
    if (!caret.found || caret.field == 0)
        return;
    const std::optional<RegisterHit> hit =
        FindRegisterUse(source_.history->current(), caret.line, caret.field, use);
    if (!hit) {
        QMessageBox box(QMessageBox::NoIcon, "Find", "Not Found!", QMessageBox::Ok, this);
        box.exec();
        return;
    }
    SelectField(this, codeView_, hit->index, hit->field);
}
