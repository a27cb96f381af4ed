#include "register_window.h"

#include "compact_cell_style.h"
#include "menu_entries.h"
#include "program_fonts.h"
#include "register_grid.h"
#include "register_text.h"
#include "twips.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

constexpr int kTopTwips = 780;
constexpr int kClientWidthTwips = 6690;
constexpr int kClientHeightTwips = 4410;

constexpr int kGridWidthTwips = 4440;
constexpr int kGridHeightTwips = 4395;
constexpr int kAddressColumnTwips = 390;
constexpr int kRegisterColumnTwips = 930;

constexpr int kPanesLeftTwips = 4440;
constexpr int kPanesWidthTwips = 2250;
constexpr int kInfoHeightTwips = 1755;
constexpr int kInfoLabelColumnTwips = 880;
constexpr int kInfoValueColumnTwips = 1320;
constexpr int kHistoryTopTwips = 1770;
constexpr int kHistoryHeightTwips = 1185;
constexpr int kHistoryRows = 4;

const QColor kChangedForeColor(0x00, 0x00, 0x80); // navy
const QColor kChangedBackColor(0xFF, 0xFF, 0xFF);

// A cell of the header row or the address column: drawn like a heading, never current.
QTableWidgetItem* HeadingItem(const QString& text, const QPalette& palette) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::NoItemFlags);
    item->setBackground(palette.button());
    item->setForeground(palette.buttonText());
    return item;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

RegisterWindow::RegisterWindow(QAction* viewEntry, QWidget* parent)
    : RegisterWindow(
          viewEntry, GprSnapshot(), [] { ReadGprSnapshot(); }, parent) {}

RegisterWindow::RegisterWindow(QAction* viewEntry, const GprHistory& images,
                               std::function<void()> read, QWidget* parent)
    : ViewMenuWindow(viewEntry, parent), images_(images), read_(std::move(read)) {
    SetUpWindow("winGpr", "General Purpose Registers");

    CreateControls();
    CreateMenus();
    setFixedSize(TwipsToPixels(kClientWidthTwips),
                 TwipsToPixels(kClientHeightTwips) + menuBar()->sizeHint().height());
    placeAtTop(kTopTwips);

    SetupRegisterInfo();
    SetupHistory();
    SuppressCellEvents = true;
    grid_->setCurrentCell(RegisterCell(SelectedRegister).row,
                          RegisterCell(SelectedRegister).column);
    SuppressCellEvents = false;
    Refresh();
    ShowSelectedRegister();
}

void RegisterWindow::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);

    grid_ = new QTableWidget(client);
    grid_->setObjectName("lstGPR");
    const QFont courier = CourierFont(9);
    grid_->setFont(courier);
    grid_->setStyle(CompactCellStyle());
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(QFontMetrics(courier).height() + 2);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The current cell is drawn by the cell reactions, not by Qt's selection.
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setGeometry(0, 0, TwipsToPixels(kGridWidthTwips), TwipsToPixels(kGridHeightTwips));
    SetupGrid();
    connect(grid_, &QTableWidget::currentCellChanged, this, &RegisterWindow::CurrentCellChanged);

    info_ = new QTableWidget(client);
    info_->setObjectName("lstRegInfo");
    info_->setStyle(CompactCellStyle());
    info_->horizontalHeader()->hide();
    info_->verticalHeader()->hide();
    info_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info_->setSelectionMode(QAbstractItemView::NoSelection);
    info_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    info_->setFocusPolicy(Qt::NoFocus);
    info_->setGeometry(TwipsToPixels(kPanesLeftTwips), 0, TwipsToPixels(kPanesWidthTwips),
                       TwipsToPixels(kInfoHeightTwips));

    history_ = new QTreeWidget(client);
    history_->setObjectName("lstHistory");
    history_->setColumnCount(1);
    history_->setHeaderLabels({"Register History"});
    history_->setRootIsDecorated(false);
    history_->setItemsExpandable(false);
    history_->setUniformRowHeights(true);
    history_->setGeometry(TwipsToPixels(kPanesLeftTwips), TwipsToPixels(kHistoryTopTwips),
                          TwipsToPixels(kPanesWidthTwips), TwipsToPixels(kHistoryHeightTwips));
}

void RegisterWindow::CreateMenus() {
    QMenu* find = AddMenu(this, "mnuFind", "&Find");
    QMenu* changed = AddMenu(find, "mnuFindChanged", "Changed");
    const struct {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        RegisterRange range;
    } finds[] = {
        {"mnuFindChAny", "&Any Register", QKeySequence(Qt::Key_F6), kAnyRegisterRange},
        {"mnuFindChGpr", "&General Purpose Register", QKeySequence(Qt::CTRL | Qt::Key_G),
         kGeneralPurposeRange},
        {"mnuFindChTram", "&Tank Data Register", QKeySequence(Qt::CTRL | Qt::Key_T),
         kTramDataRange},
    };
    for (const auto& f : finds) {
        const RegisterRange range = f.range;
        connect(AddEntry(changed, f.name, f.caption, f.shortcut), &QAction::triggered, this,
                [this, range] { FindChanged(range); });
    }
    find->addMenu(changed);
    AddSeparator(find, "sepb");
    AddEntry(find, "mnuFindSearch", "&Search Something...", QKeySequence(Qt::SHIFT | Qt::Key_F3))
        ->setEnabled(false);

    QMenu* view = AddMenu(this, "mnuView", "&View");
    connect(AddEntry(view, "mnuViewUpdate", "&Update", QKeySequence(Qt::Key_F5)),
            &QAction::triggered, this, &RegisterWindow::Update);
    AddSeparator(view, "sepa");
    AddEntry(view, "mnuViewOnTop", "Always On &Top")->setEnabled(false);

    menuBar()->addMenu(find);
    menuBar()->addMenu(view);
}

// The grid keeps one item per cell for the whole run; a refresh rewrites them.
void RegisterWindow::SetupGrid() {
    grid_->setRowCount(kGridRows);
    grid_->setColumnCount(kGridColumns);
    grid_->setRowHidden(0, true);
    grid_->setColumnWidth(0, TwipsToPixels(kAddressColumnTwips));
    for (int column = 1; column < kGridColumns; ++column)
        grid_->setColumnWidth(column, TwipsToPixels(kRegisterColumnTwips));
    const QPalette& palette = grid_->palette();
    for (int column = 0; column < kGridColumns; ++column)
        grid_->setItem(0, column, HeadingItem(QString(), palette));
    for (int row = 1; row < kGridRows; ++row) {
        grid_->setItem(row, 0, HeadingItem(Text(GridRowHeading(row)), palette));
        for (int column = 1; column < kGridColumns; ++column) {
            auto* cell = new QTableWidgetItem;
            cell->setFlags(Qt::ItemIsEnabled);
            grid_->setItem(row, column, cell);
        }
    }
}

void RegisterWindow::SetupRegisterInfo() {
    info_->setRowCount(kRegisterInfoRows + 1);
    info_->setColumnCount(2);
    info_->setColumnWidth(0, TwipsToPixels(kInfoLabelColumnTwips));
    info_->setColumnWidth(1, TwipsToPixels(kInfoValueColumnTwips));
    const int rowHeight = (info_->height() - 2 * info_->frameWidth()) / (kRegisterInfoRows + 1);
    for (int row = 0; row <= kRegisterInfoRows; ++row)
        info_->setRowHeight(row, rowHeight);
    const QPalette& palette = info_->palette();
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem* header = HeadingItem("Register Info", palette);
        header->setTextAlignment(Qt::AlignCenter);
        info_->setItem(0, column, header);
    }
    info_->setSpan(0, 0, 1, 2);
    for (int row = 1; row <= kRegisterInfoRows; ++row) {
        info_->setItem(row, 0, HeadingItem(Text(RegisterInfoLabels()[row - 1]), palette));
        info_->setItem(row, 1, new QTableWidgetItem);
    }
}

void RegisterWindow::SetupHistory() {
    for (int k = 0; k < kHistoryRows; ++k)
        new QTreeWidgetItem(history_, QStringList{QString()});
}

int32_t RegisterWindow::CompareRegisters(int32_t i) const {
    return RegisterChanged(images_, i) ? -1 : 0;
}

void RegisterWindow::SetCellColor(int32_t CellIndex, const QColor& cForecolor,
                                  const QColor& cBackcolor) {
    const GridCell cell = RegisterCell(CellIndex);
    QTableWidgetItem* item = RegisterAt(cell) ? grid_->item(cell.row, cell.column) : nullptr;
    if (!item)
        return;
    const bool suppressed = SuppressCellEvents;
    SuppressCellEvents = true;
    item->setForeground(cForecolor);
    item->setBackground(cBackcolor);
    SuppressCellEvents = suppressed;
}

void RegisterWindow::Refresh() {
    read_();

    // Only the drawing is held back while the cells are rewritten; hiding the
    // grid would take the keyboard focus from it.
    grid_->setUpdatesEnabled(false);
    const std::vector<int32_t>& current = images_.current();
    for (int32_t i = 0; i < kRegisterCount; ++i) {
        const GridCell cell = RegisterCell(i);
        QTableWidgetItem* item = grid_->item(cell.row, cell.column);
        const int32_t value = static_cast<std::size_t>(i) < current.size() ? current[i] : 0;
        item->setText(Text(RegisterCellText(value)));
        item->setForeground(QBrush());
        item->setBackground(QBrush());
        if (CompareRegisters(i))
            SetCellColor(i, kChangedForeColor, kChangedBackColor);
    }
    grid_->setUpdatesEnabled(true);

    CellEntered();
}

void RegisterWindow::Update() {
    Refresh();
    ShowSelectedRegister();
}

void RegisterWindow::ShowSelectedRegister() {
    const std::vector<int32_t>& current = images_.current();
    const std::size_t index = static_cast<std::size_t>(SelectedRegister);
    if (index >= current.size())
        return;
    const RegisterInfo values = RegisterInfoValues(SelectedRegister, current[index]);
    for (int row = 1; row <= kRegisterInfoRows; ++row)
        info_->item(row, 1)->setText(Text(values[row - 1]));

    // Only the reads that happened have history; later rows keep their text.
    for (int k = 1; k <= kHistoryRows; ++k) {
        const std::vector<int32_t>& previous = images_.previous(k);
        if (index >= previous.size())
            break;
        history_->topLevelItem(k - 1)->setText(
            0, Text(HistoryRowText(SelectedRegister, previous[index])));
    }
}

void RegisterWindow::CurrentCellChanged(int row, int column, int previousRow, int previousColumn) {
    if (SuppressCellEvents)
        return;
    CellLeft(previousRow, previousColumn);
    if (RegisterAt({row, column}))
        CellEntered();
}

void RegisterWindow::CellEntered() {
    if (SuppressCellEvents)
        return;
    const std::optional<int32_t> index = RegisterAt({grid_->currentRow(), grid_->currentColumn()});
    if (!index)
        return;
    SelectedRegister = *index;
    QTableWidgetItem* item = grid_->item(grid_->currentRow(), grid_->currentColumn());
    SavedForeColor = item->foreground();
    item->setBackground(grid_->palette().highlight());
    item->setForeground(grid_->palette().highlightedText());
    ShowSelectedRegister();
}

void RegisterWindow::CellLeft(int row, int column) {
    if (SuppressCellEvents || !RegisterAt({row, column}))
        return;
    QTableWidgetItem* item = grid_->item(row, column);
    item->setBackground(QBrush());
    item->setForeground(SavedForeColor);
}

void RegisterWindow::FindChanged(RegisterRange range) {
    const FindResult found = FindChangedRegister(images_, range, SelectedRegister);
    switch (found.outcome) {
    case FindOutcome::NoEarlierImage: {
        QMessageBox box(QMessageBox::NoIcon, "Find", "Not Found", QMessageBox::Ok, this);
        box.exec();
        return;
    }
    case FindOutcome::NoneChanged:
        return;
    case FindOutcome::Found:
        break;
    }
    const GridCell cell = RegisterCell(found.index);
    const bool inView = RowInView(cell.row);
    grid_->setCurrentCell(cell.row, cell.column);
    if (!inView)
        grid_->scrollToItem(grid_->item(cell.row, cell.column), QAbstractItemView::PositionAtTop);
}

// A row counts as in view only when all of it can be seen.
bool RegisterWindow::RowInView(int row) const {
    const int top = grid_->rowViewportPosition(row);
    return top >= 0 && top + grid_->rowHeight(row) <= grid_->viewport()->height();
}
