#include "listing_lexer.h"

#include "program_fonts.h"
#include "program_symbols.h"
#include "symbol_names.h"

#include <Qsci/qsciscintilla.h>

ListingLexer::ListingLexer(const ListingLanguageDefinition& definition, QObject* parent)
    : QsciLexerCustom(parent), name_(definition.name), opcodeWords_(definition.opcodeWords),
      words_(definition.registerWords, definition.opcodeWords),
      programNames_(ProgramSymbolsGeneration()) {}

QString ListingLexer::description(int style) const {
    switch (static_cast<ListingStyle>(style)) {
    case ListingStyle::Default:
        return "Default";
    case ListingStyle::Register:
        return "Register";
    case ListingStyle::Opcode:
        return "Opcode";
    case ListingStyle::Comment:
        return "Comment";
    }
    return {};
}

QColor ListingLexer::defaultColor(int style) const {
    switch (static_cast<ListingStyle>(style)) {
    case ListingStyle::Register:
        return QColor(0x00, 0x00, 0x80);
    case ListingStyle::Opcode:
        return QColor(0x80, 0x00, 0x80);
    case ListingStyle::Comment:
        return QColor(0x00, 0x80, 0x00);
    default:
        return QColor(0x00, 0x00, 0x00);
    }
}

QColor ListingLexer::defaultPaper(int) const {
    return QColor(0xFF, 0xFF, 0xFF);
}

QFont ListingLexer::defaultFont(int) const {
    return CodeViewFont();
}

void ListingLexer::styleText(int start, int end) {
    QsciScintilla* view = editor();
    if (!view || end <= start)
        return;
    if (programNames_ != ProgramSymbolsGeneration()) {
        words_ = ListingWords(JoinWordList(RegisterNames()), opcodeWords_);
        programNames_ = ProgramSymbolsGeneration();
    }
    // Whole lines, so that a block comment's state can be carried from the
    // line before.
    const int firstLine =
        static_cast<int>(view->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start));
    const int lastLine =
        static_cast<int>(view->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, end - 1));
    start = static_cast<int>(view->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, firstLine));
    const int lineCount = static_cast<int>(view->SendScintilla(QsciScintilla::SCI_GETLINECOUNT));
    end = lastLine + 1 < lineCount ? static_cast<int>(view->SendScintilla(
                                         QsciScintilla::SCI_POSITIONFROMLINE, lastLine + 1))
                                   : view->length();
    const bool inBlock =
        firstLine > 0 && view->SendScintilla(QsciScintilla::SCI_GETLINESTATE, firstLine - 1) != 0;

    const QByteArray bytes = view->bytes(start, end);
    const ListingScan scan =
        ScanListing(std::string_view(bytes.constData(), static_cast<std::size_t>(end - start)),
                    inBlock, words_);
    startStyling(start);
    for (const StyleRun& run : scan.runs)
        setStyling(static_cast<int>(run.length), static_cast<int>(run.style));
    for (std::size_t i = 0; i < scan.blockOpenAfterLine.size(); ++i)
        view->SendScintilla(QsciScintilla::SCI_SETLINESTATE, firstLine + static_cast<int>(i),
                            scan.blockOpenAfterLine[i] ? 1 : 0);
}

QFont CodeViewFont() {
    return CourierFont(10.5);
}
