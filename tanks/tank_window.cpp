#include "tank_window.h"

#include "long_texts.h"
#include "menu_entries.h"
#include "tank_text.h"
#include "twips.h"
#include "zendra.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QMenuBar>
#include <QResizeEvent>
#include <QTreeWidget>

namespace {

constexpr int kTopTwips = 840;
constexpr int kClientWidthTwips = 5565;
constexpr int kClientHeightTwips = 3915;
constexpr int kTreeWidthTwips = 2415;
constexpr int kTreeHeightTwips = 3900;
constexpr int kInfoLeftTwips = 2430;
constexpr int kInfoWidthTwips = 3135;
constexpr int kInfoHeightTwips = 2415;
constexpr int kCaptionColumnTwips = 1395;
constexpr int kValueColumnTwips = 9000;

const QColor kChangedColour(0x00, 0x00, 0x80);

QString KeyOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, Qt::UserRole).toString() : QString();
}

QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& key, const QString& text) {
    auto* node = new QTreeWidgetItem(parent, QStringList{text});
    node->setData(0, Qt::UserRole, key);
    return node;
}

QTreeWidgetItem* FindNode(QTreeWidgetItem* node, const QString& key) {
    if (KeyOf(node) == key)
        return node;
    for (int i = 0; i < node->childCount(); ++i)
        if (QTreeWidgetItem* found = FindNode(node->child(i), key))
            return found;
    return nullptr;
}

} // namespace

TankWindow::TankWindow(QAction* viewEntry, QWidget* parent)
    : TankWindow(viewEntry, Tanks(), &ifGPRMemoryReadAll, parent) {}

TankWindow::TankWindow(QAction* viewEntry, TankMemory& tanks, TramReader read, QWidget* parent)
    : ViewMenuWindow(viewEntry, parent), tanks_(tanks), read_(std::move(read)) {
    SetUpWindow("winTram", "Tank Memory Usage");

    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);

    tree_ = new QTreeWidget(client);
    tree_->setObjectName("trvTanks");
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    ScrollSidewaysToLongTexts(tree_);
    tree_->setGeometry(0, 0, TwipsToPixels(kTreeWidthTwips), TwipsToPixels(kTreeHeightTwips));

    info_ = new QTreeWidget(client);
    info_->setObjectName("lstTankInfo");
    info_->setColumnCount(2);
    info_->setHeaderLabels({QString(), QString()});
    info_->setRootIsDecorated(false);
    info_->setItemsExpandable(false);
    info_->setUniformRowHeights(true);
    info_->setAllColumnsShowFocus(true);
    info_->header()->setStretchLastSection(false);
    info_->header()->setSectionResizeMode(QHeaderView::Interactive);
    info_->setColumnWidth(0, TwipsToPixels(kCaptionColumnTwips));
    info_->setColumnWidth(1, TwipsToPixels(kValueColumnTwips));
    info_->setGeometry(TwipsToPixels(kInfoLeftTwips), 0, TwipsToPixels(kInfoWidthTwips),
                       TwipsToPixels(kInfoHeightTwips));

    CreateMenus();
    resize(TwipsToPixels(kClientWidthTwips),
           TwipsToPixels(kClientHeightTwips) + menuBar()->sizeHint().height());
    client->installEventFilter(this);

    connect(tree_, &QTreeWidget::itemClicked, this, [this] { ShowTankInfo(); });
    // Moving through the tree with the keyboard is the user choosing a node too;
    // the program's own selections leave the values alone.
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] {
        if (!selectingFromProgram_)
            ShowTankInfo();
    });

    placeAtTop(kTopTwips);
    InitTankInfoRows();
    ShowTanks();
}

void TankWindow::CreateMenus() {
    QMenu* view = AddMenu(this, "mnuView", "&View");
    connect(AddEntry(view, "mnuViewUpdate", "&Update", Qt::Key_F5), &QAction::triggered, this,
            &TankWindow::Update);
    AddSeparator(view, "sep1");
    AddEntry(view, "mnuViewOnTop", "Always On &Top")->setEnabled(false);

    // The jumps to other windows are not offered yet; they stay visible but disabled.
    QMenu* jump = AddMenu(this, "mnuJump", "&Jump");
    QMenu* microcode = AddMenu(jump, "mnuJumpMicrocode", "to &Microcode && Search");
    AddEntry(microcode, "mnuJumpMicrocodeUses", "Instruction that &uses selected tank")
        ->setEnabled(false);
    AddEntry(microcode, "mnuJumpMicrocodeModifies", "Instruction that &modifies selected tank")
        ->setEnabled(false);
    QMenu* registers = AddMenu(jump, "mnuJumpGpr", "to &Registers && Show");
    AddEntry(registers, "mnuJumpGprWrite", "&WriteData Register of selected tank")
        ->setEnabled(false);
    AddEntry(registers, "mnuJumpGprRead", "&ReadData Register(s) of selected tank")
        ->setEnabled(false);
    jump->addMenu(microcode);
    jump->addMenu(registers);

    menuBar()->addMenu(view);
    menuBar()->addMenu(jump);
}

void TankWindow::InitTankInfoRows() {
    for (const std::string& caption : TankInfoCaptions())
        new QTreeWidgetItem(info_, QStringList{QString::fromStdString(caption), QString()});
}

void TankWindow::ShowTanks() {
    AnalyseTanks(tanks_, read_);

    selectingFromProgram_ = true;
    tree_->clear();
    auto* root = new QTreeWidgetItem(tree_, QStringList{"TRAM"});
    root->setData(0, Qt::UserRole, QStringLiteral("root"));
    QTreeWidgetItem* chip = AddNode(root, "chip", "8010");
    QTreeWidgetItem* host = AddNode(root, "host", "Host");
    root->setExpanded(true);

    AddTankNodes(chip, TankPool::Internal, tanks_.InternalTanks);
    AddTankNodes(host, TankPool::External, tanks_.ExternalTanks);
    chip->setExpanded(true);
    host->setExpanded(true);
    selectingFromProgram_ = false;
    SelectNode(root);
}

void TankWindow::AddTankNodes(QTreeWidgetItem* pool, TankPool kind, const TankList& list) {
    for (int32_t n = 0; n < static_cast<int32_t>(list.size()); ++n) {
        const QString label = QString::fromStdString(TankLabel(kind, n, list[n]));
        QTreeWidgetItem* node = AddNode(pool, QString::fromStdString(TankKey(kind, n)), label);
        node->setToolTip(0, label); // a label is data and may be wider than the tree
        if (TankChanged(tanks_, n, kind))
            node->setForeground(0, kChangedColour);
    }
}

void TankWindow::SelectNode(QTreeWidgetItem* node) {
    selectingFromProgram_ = true;
    tree_->setCurrentItem(node);
    selectingFromProgram_ = false;
}

void TankWindow::Update() {
    QApplication::processEvents();
    const QString key = KeyOf(tree_->currentItem());
    ShowTanks();
    if (QTreeWidgetItem* node = FindNode(tree_->topLevelItem(0), key))
        SelectNode(node);
    ShowTankInfo();
}

void TankWindow::ShowTankInfo() {
    TankInfo values;
    const std::optional<TankRef> ref = ParseTankKey(KeyOf(tree_->currentItem()).toStdString());
    if (ref) {
        const TankList& list =
            ref->pool == TankPool::Internal ? tanks_.InternalTanks : tanks_.ExternalTanks;
        if (static_cast<std::size_t>(ref->number) < list.size()) {
            const TankRecord tank = list[ref->number];
            values = TankInfoValues(tank, ref->pool);
        }
    }
    const TankInfo& captions = TankInfoCaptions();
    for (int row = 0; row < kTankInfoRows; ++row) {
        QTreeWidgetItem* item = info_->topLevelItem(row);
        const QString value = QString::fromStdString(values[row]);
        const QString tip = QString::fromStdString(captions[row]) + ' ' + value;
        item->setText(1, value);
        item->setToolTip(0, tip);
        item->setToolTip(1, tip);
    }
}

bool TankWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        FitControls(static_cast<QResizeEvent*>(event)->size());
    return ViewMenuWindow::eventFilter(watched, event);
}

// The list follows the window's width and the tree its height; sizes that
// would be negative are left out.
void TankWindow::FitControls(const QSize& client) {
    const int infoWidth = client.width() - TwipsToPixels(kInfoLeftTwips);
    if (infoWidth >= 0)
        info_->resize(infoWidth, info_->height());
    const int treeHeight = client.height() - 1;
    if (treeHeight >= 0)
        tree_->resize(tree_->width(), treeHeight);
}
