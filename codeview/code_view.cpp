#include "code_view.h"

#include "instruction_text.h"
#include "key_map_filter.h"
#include "listing_language.h"
#include "listing_lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QMetaObject>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

using Sci = QsciScintillaBase;

constexpr int kNumberMargin = 0;
constexpr int kImageMargin = 1;
constexpr int kChangedMarker = 1; // bit value 2
constexpr int kCaretMarker = 2;   // bit value 4

long Send(QsciScintilla* view, unsigned message, unsigned long wParam = 0, long lParam = 0) {
    return view->SendScintilla(message, wParam, lParam);
}

int LineCount(QsciScintilla* view) {
    return static_cast<int>(Send(view, Sci::SCI_GETLINECOUNT));
}

struct LineColumn {
    int line;
    int column;
};

LineColumn LineColumnOf(QsciScintilla* view, long position) {
    const int line = static_cast<int>(Send(view, Sci::SCI_LINEFROMPOSITION, position));
    const long lineStart = Send(view, Sci::SCI_POSITIONFROMLINE, line);
    return {line, static_cast<int>(position - lineStart)};
}

// The text of a line without its line end; columns are bytes, which is what
// the view counts in as it holds 8-bit text.
std::string LineText(QsciScintilla* view, int line) {
    const long start = Send(view, Sci::SCI_POSITIONFROMLINE, line);
    const long end = Send(view, Sci::SCI_GETLINEENDPOSITION, line);
    if (start < 0 || end <= start)
        return {};
    const QByteArray bytes = view->bytes(static_cast<int>(start), static_cast<int>(end));
    return std::string(bytes.constData(), static_cast<std::size_t>(end - start));
}

// Position of a remembered line and column, or -1 when the line is gone.
long PositionOf(QsciScintilla* view, LineColumn place) {
    if (place.line < 0 || place.line >= LineCount(view))
        return -1;
    const long start = Send(view, Sci::SCI_POSITIONFROMLINE, place.line);
    const long end = Send(view, Sci::SCI_GETLINEENDPOSITION, place.line);
    return std::min(start + place.column, end);
}

// Undoes the busy pointer and the frozen painting even if the fill throws.
struct FillGuard {
    explicit FillGuard(QsciScintilla* v) : view(v) {
        view->setUpdatesEnabled(false);
        Send(view, Sci::SCI_SETREADONLY, 0);
    }
    ~FillGuard() {
        Send(view, Sci::SCI_SETREADONLY, 1);
        view->setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    QsciScintilla* view;
};

void NumberLines(QsciScintilla* view, std::size_t count) {
    Send(view, Sci::SCI_MARGINTEXTCLEARALL);
    // Lines are numbered from 0, like instruction addresses.
    for (std::size_t i = 0; i < count; ++i) {
        const std::string number = std::to_string(i);
        view->SendScintilla(Sci::SCI_MARGINSETTEXT, static_cast<uintptr_t>(i), number.c_str());
        Send(view, Sci::SCI_MARGINSETSTYLE, i, Sci::STYLE_LINENUMBER);
    }
}

} // namespace

void SetUpCodeView(QsciScintilla* view) {
    const QColor marginBack(0xD0, 0xE0, 0xE0);
    view->setUtf8(false);
    view->setEolMode(QsciScintilla::EolWindows);
    view->setReadOnly(true);
    Send(view, Sci::SCI_SETUNDOCOLLECTION, 0);
    // The listing is laid out for four-column tab stops.
    view->setTabWidth(4);
    view->setWrapMode(QsciScintilla::WrapNone);
    view->setFont(CodeViewFont());
    view->setColor(Qt::black);
    if (const ListingLanguageDefinition* language = RegisteredListingLanguage())
        view->setLexer(new ListingLexer(*language, view));

    view->setMarginsFont(CodeViewFont());
    view->setMarginsBackgroundColor(marginBack);
    view->setMarginsForegroundColor(Qt::black);
    // Narrow margins leave room for the hex comment of a typical line.
    view->setMarginType(kNumberMargin, QsciScintilla::TextMarginRightJustified);
    const long numberWidth = view->SendScintilla(Sci::SCI_TEXTWIDTH, Sci::STYLE_LINENUMBER, "511");
    view->setMarginWidth(kNumberMargin, static_cast<int>(numberWidth) + 4);
    view->setMarginMarkerMask(kNumberMargin, 0);
    view->setMarginType(kImageMargin, QsciScintilla::SymbolMarginColor);
    view->setMarginBackgroundColor(kImageMargin, marginBack);
    view->setMarginWidth(kImageMargin, CodeViewMarginImageSize(view).width());
    view->setMarginMarkerMask(kImageMargin, kChangedFlag | kCaretFlag);
    for (int margin = 2; margin < view->margins(); ++margin)
        view->setMarginWidth(margin, 0);
    // The horizontal scroll range follows the widest line.
    Send(view, Sci::SCI_SETSCROLLWIDTH, 1);
    Send(view, Sci::SCI_SETSCROLLWIDTHTRACKING, 1);

    if (const std::vector<KeyBinding>* keyMap = InstalledKeyMap()) {
        Send(view, Sci::SCI_CLEARALLCMDKEYS);
        view->installEventFilter(new KeyMapFilter(view, *keyMap));
    }
}

void FillListing(QsciScintilla* view, std::span<const MicrocodeInstruction> code, CodeOf owner) {
    if (code.empty())
        throw std::invalid_argument("FillListing: there are no instructions to list");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();

    const LineColumn anchor = LineColumnOf(view, Send(view, Sci::SCI_GETANCHOR));
    const LineColumn caret = LineColumnOf(view, Send(view, Sci::SCI_GETCURRENTPOS));
    const long firstVisible = Send(view, Sci::SCI_GETFIRSTVISIBLELINE);

    FillGuard guard(view);
    const int tabWidth = view->tabWidth();
    std::string text;
    text.reserve(code.size() * 72);
    for (const MicrocodeInstruction& instruction : code) {
        text += FormatInstruction(instruction, tabWidth, false, owner);
        text += "\r\n";
    }
    // Marks belong to the old lines; without this they would pile up on line 0.
    Send(view, Sci::SCI_MARKERDELETEALL, static_cast<unsigned long>(-1));
    Send(view, Sci::SCI_CLEARALL);
    view->SendScintilla(Sci::SCI_APPENDTEXT, static_cast<uintptr_t>(text.size()), text.data());
    NumberLines(view, code.size());

    // Put the selection back without scrolling to it, then the scroll position.
    const long anchorPos = PositionOf(view, anchor);
    const long caretPos = PositionOf(view, caret);
    if (anchorPos >= 0 && caretPos >= 0) {
        Send(view, Sci::SCI_SETANCHOR, static_cast<unsigned long>(anchorPos));
        Send(view, Sci::SCI_SETCURRENTPOS, static_cast<unsigned long>(caretPos));
    }
    Send(view, Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstVisible));
}

SelectionSpan ViewSelection(QsciScintilla* view) {
    const LineColumn start = LineColumnOf(view, Send(view, Sci::SCI_GETSELECTIONSTART));
    const LineColumn end = LineColumnOf(view, Send(view, Sci::SCI_GETSELECTIONEND));
    return {start.line, start.column, end.line, end.column};
}

FieldHit FieldUnderCaret(QsciScintilla* view) {
    const SelectionSpan selection = ViewSelection(view);
    return FieldAtSelection(selection, LineText(view, selection.startLine));
}

void SelectField(QObject* window, QsciScintilla* view, int line, int field) {
    if (line < 0 || line >= LineCount(view) || field < 0 || field > 4)
        return;
    const std::string text = LineText(view, line);
    const TokenColumns starts = TokenStarts(text);
    const long lineStart = Send(view, Sci::SCI_POSITIONFROMLINE, line);
    const long length = static_cast<long>(text.size());
    const long from = lineStart + std::min<long>(starts[field], length);
    const long to = lineStart + std::min<long>(starts[field + 1], length);
    Send(view, Sci::SCI_SETSEL, static_cast<unsigned long>(from), to);
    QMetaObject::invokeMethod(window, "SelChanged", Qt::DirectConnection);
}

void SetMarginImages(QsciScintilla* view, const std::array<QPixmap, 2>& images) {
    view->markerDefine(images[0], kChangedMarker);
    view->markerDefine(images[1], kCaretMarker);
}

QSize CodeViewMarginImageSize(QsciScintilla* view) {
    const long height = Send(view, Sci::SCI_TEXTHEIGHT, 0);
    return QSize(12, std::max(12, static_cast<int>(height)));
}

int LineFlags(QsciScintilla* view, int line) {
    return static_cast<int>(view->markersAtLine(line) & 0xFF);
}

void SetLineFlags(QsciScintilla* view, int line, int flags) {
    Send(view, Sci::SCI_MARKERDELETE, static_cast<unsigned long>(line), -1);
    if (flags != 0)
        Send(view, Sci::SCI_MARKERADDSET, static_cast<unsigned long>(line), flags);
}

void ConnectSelectionChange(QsciScintilla* view, QObject* context, std::function<void()> onChange) {
    QObject::connect(view, &QsciScintillaBase::SCN_UPDATEUI, context,
                     [onChange = std::move(onChange)](int updated) {
                         if (updated & QsciScintillaBase::SC_UPDATE_SELECTION)
                             onChange();
                     });
}
