// A code view: a QsciScintilla that shows DSP code as a read-only listing,
// one line per instruction (line i = instruction i, then one empty line),
// coloured in the listing language, with two margin images per line.
//
// How a window that owns a code view uses it:
//   auto* view = new QsciScintilla(this);
//   view->setObjectName("CodeView");
//   SetUpCodeView(view);                  // once, when the window loads
//   FillListing(view, instructions);      // whenever the code was read again
//   SetMarginImages(view, MakeMarginImages(CodeViewMarginImageSize(view)));
//   SetLineFlags(view, line, kChangedFlag | kCaretFlag);
//   FieldHit hit = FieldUnderCaret(view); // which instruction field is selected
//   SelectField(window, view, line, 4);   // selects R, then calls window's SelChanged
// The window offers a public slot or Q_INVOKABLE "int SelChanged()"; connect
// the view's selection change to it with ConnectSelectionChange.
#pragma once

#include "symbol_names.h"
#include "token_columns.h"
#include "zendra.h"

#include <QPixmap>
#include <QSize>

#include <array>
#include <functional>
#include <span>

class QObject;
class QsciScintilla;

// Margin flags of a line: bit value 2 shows image 1, bit value 4 image 2.
constexpr int kChangedFlag = 2;
constexpr int kCaretFlag = 4;

// Applies the look, the listing language "D8010" and the key map (when they
// were registered) to a fresh view.
void SetUpCodeView(QsciScintilla* view);

// Replaces the view's text by the listing of code, keeping the selection and
// the first visible line where they still exist. Throws std::invalid_argument
// for empty code before the view is touched. owner says whose code it is:
// the chip's, or another program's that the chip's names do not fit.
void FillListing(QsciScintilla* view, std::span<const MicrocodeInstruction> code,
                 CodeOf owner = CodeOf::Chip);

// The view's selection, start before end, in line and column terms.
SelectionSpan ViewSelection(QsciScintilla* view);
// The instruction field the selection starts in (see FieldAtSelection).
FieldHit FieldUnderCaret(QsciScintilla* view);
// Selects field (0 to 4) of line, separators after it included, scrolls it
// into view and calls window's SelChanged. Does nothing for a line or field
// that does not exist.
void SelectField(QObject* window, QsciScintilla* view, int line, int field);

// Gives the view the two margin images (image 1, image 2).
void SetMarginImages(QsciScintilla* view, const std::array<QPixmap, 2>& images);
// The size the margin images should have for this view's lines.
QSize CodeViewMarginImageSize(QsciScintilla* view);
int LineFlags(QsciScintilla* view, int line);
// Replaces the whole flag value of the line.
void SetLineFlags(QsciScintilla* view, int line, int flags);

// Calls onChange whenever the user or the program moves the view's selection.
void ConnectSelectionChange(QsciScintilla* view, QObject* context, std::function<void()> onChange);
