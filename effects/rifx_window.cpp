#include "rifx_window.h"

#include "code_view.h"
#include "effect_tree.h"
#include "fx_dll_reader.h"
#include "long_texts.h"
#include "menu_entries.h"
#include "program_fonts.h"
#include "twips.h"

#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QMenuBar>
#include <QTreeWidget>

#include <map>

namespace {

constexpr int kTopTwips = 720;

// The listing language's comment, which the reason text is written in.
const QString kCommentPrefix = QStringLiteral("// ");

// The library's text is single-byte; Latin-1 keeps every byte visible.
QString FromLibraryText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

RifxWindow::RifxWindow(QAction* viewEntry, LibraryPreparer prepare, QWidget* parent)
    : ViewMenuWindow(viewEntry, parent) {
    SetUpWindow("winRifx", "FX Code View (eapsfx.dll)");

    // The controls keep their places when the window is resized.
    auto* client = new QWidget(this);
    setCentralWidget(client);

    cmbFX_ = new QComboBox(client);
    cmbFX_->setObjectName("cmbFX");
    cmbFX_->setGeometry(TwipsRect(15, 0, 1935, 315));

    trvFX_ = new QTreeWidget(client);
    trvFX_->setObjectName("trvFX");
    trvFX_->setGeometry(TwipsRect(15, 345, 1935, 4110));
    trvFX_->setHeaderHidden(true);
    trvFX_->setColumnCount(1);
    ScrollSidewaysToLongTexts(trvFX_);
    trvFX_->setFont(CourierFont(9.75));

    codeView_ = new QsciScintilla(client);
    codeView_->setObjectName("CodeView");
    codeView_->setGeometry(TwipsRect(1980, 0, 5355, 4455));

    BuildMenus();
    resize(TwipsToPixels(7335), TwipsToPixels(4470) + menuBar()->sizeHint().height());

    show();
    placeAtTop(kTopTwips);
    QCoreApplication::processEvents();
    SetUpCodeView(codeView_);
    const PreparedLibrary library = prepare();
    FillEffectList(library);
    connect(cmbFX_, &QComboBox::currentIndexChanged, this, &RifxWindow::SelectEffect);
}

void RifxWindow::BuildMenus() {
    // Entries kept for the menu's shape: none of them has an action.
    auto addMenu = [this](const char* name, const QString& title) {
        QMenu* menu = AddMenu(this, name, title);
        menuBar()->addMenu(menu);
        return menu;
    };
    auto addEntry = [](QMenu* menu, const char* name, const QString& caption) {
        AddEntry(menu, name, caption)->setEnabled(false);
    };
    QMenu* file = addMenu("mnuFile", "&File");
    addEntry(file, "mnuFileOpen", "&Open...");
    addEntry(file, "mnuFileSaveAs", "Save &As...");
    QMenu* view = addMenu("mnuView", "&View");
    addEntry(view, "mnuViewOnTop", "Always On &Top");
    QMenu* changes = addMenu("mnuChanges", "&Changes");
    addEntry(changes, "mnuFileApply", "&Apply changes and restart Sscene ");
    addEntry(changes, "mnuFileRestore", "&Restore original code");
}

void RifxWindow::FillEffectList(const PreparedLibrary& library) {
    const std::vector<EffectEntry>& directory = EffectDirectory();
    {
        const QSignalBlocker quiet(cmbFX_);
        for (const EffectEntry& entry : directory)
            cmbFX_->addItem(FromLibraryText(entry.Name));
    }
    WidenListToNames(cmbFX_);
    if (directory.empty()) {
        // Nothing to select: say why the window is empty.
        cmbFX_->setPlaceholderText("(no effects)");
        QString text;
        for (const std::string& line : EmptyLibraryReason(library, EffectCount()))
            text += kCommentPrefix + QString::fromStdString(line) + "\r\n";
        ShowListingText(text);
        return;
    }
    cmbFX_->setCurrentIndex(0);
    SelectEffect(0);
}

void RifxWindow::SelectEffect(int index) {
    if (index < 0)
        return;
    // Names are data and may be wider than the closed box.
    cmbFX_->setToolTip(cmbFX_->itemText(index));
    // A failed parse is not reported: the tables show what was read before it.
    ParseEffect(index);
    ShowEffect();
}

void RifxWindow::ShowEffect() {
    trvFX_->clear();
    std::map<std::string, QTreeWidgetItem*> byKey;
    QTreeWidgetItem* root = nullptr;
    for (const EffectTreeNode& node : EffectTreeNodes(CurrentEffect())) {
        QTreeWidgetItem* item = node.parent.empty() ? new QTreeWidgetItem(trvFX_)
                                                    : new QTreeWidgetItem(byKey.at(node.parent));
        item->setText(0, QString::fromStdString(node.text));
        if (!node.key.empty()) {
            item->setData(0, Qt::UserRole, QString::fromStdString(node.key));
            byKey[node.key] = item;
        }
        if (node.key == kEffectTreeRoot)
            root = item;
    }
    if (root)
        root->setExpanded(true);

    const std::vector<MicrocodeInstruction>& code = CurrentEffect().code;
    if (code.empty()) {
        ShowListingText({}); // an effect without code shows no listing
        return;
    }
    codeView_->setWrapMode(QsciScintilla::WrapNone);
    // The effect's registers, not the chip's: the placed program's names do not fit them.
    FillListing(codeView_, code, CodeOf::OtherProgram);
}

// Text that is not an instruction listing (none, or why there is none). It
// wraps, so a long path in it is never cut.
void RifxWindow::ShowListingText(const QString& text) {
    codeView_->SendScintilla(QsciScintillaBase::SCI_MARGINTEXTCLEARALL);
    codeView_->markerDeleteAll();
    codeView_->setWrapMode(QsciScintilla::WrapWord);
    codeView_->setWrapVisualFlags(QsciScintilla::WrapFlagNone, QsciScintilla::WrapFlagNone,
                                  static_cast<int>(kCommentPrefix.size()));
    codeView_->setReadOnly(false);
    codeView_->setText(text);
    codeView_->setReadOnly(true);
}
