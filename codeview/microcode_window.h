// winInstrMem, "Microcode Memory": the chip's 512-instruction program as a
// listing, with the instructions changed since the previous read marked, the
// caret's instruction and field, that instruction's earlier versions, and
// searches for changed instructions and for uses of a register.
#pragma once

#include "chip_snapshots.h"
#include "listing_search.h"
#include "view_menu_window.h"

#include <QPixmap>

#include <array>
#include <functional>

class QAction;
class QLabel;
class QPlainTextEdit;
class QsciScintilla;

// Where the window's code comes from: read() refreshes *history.
struct CodeSource {
    std::function<void()> read;
    const CodeHistory* history = nullptr;
};
// The chip, through ReadCodeSnapshot and CodeSnapshot.
CodeSource ChipCodeSource();

class MicrocodeWindow : public ViewMenuWindow {
    Q_OBJECT
  public:
    // Loads the window: shows it, reads the code and fills the listing.
    explicit MicrocodeWindow(QAction* viewEntry, CodeSource source = ChipCodeSource(),
                             QWidget* parent = nullptr);

    // Refreshes the caret marker, the register search entries, the selection
    // info and the history. Returns 0.
    Q_INVOKABLE int SelChanged();

    int caretLine() const { return caretLine_; }

  private:
    void BuildMenus();
    void Update();
    void MarkChanges();
    void FindChangedInstruction();
    void FindRegister(RegisterUse use);

    CodeSource source_;
    QsciScintilla* codeView_;
    QLabel* selInfo_;
    QPlainTextEdit* history_;
    std::array<QPixmap, 2> imlCode_;
    QAction* findAny_ = nullptr;
    QAction* findInput_ = nullptr;
    QAction* findOutput_ = nullptr;
    int caretLine_ = 0;
};
