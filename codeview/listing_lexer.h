// Colours a code view in the listing language: register names navy, opcode
// names purple, comments green, everything else black.
#pragma once

#include "listing_language_definition.h"
#include "listing_scanner.h"

#include <Qsci/qscilexercustom.h>

#include <cstdint>
#include <string>

class ListingLexer : public QsciLexerCustom {
    Q_OBJECT
  public:
    ListingLexer(const ListingLanguageDefinition& definition, QObject* parent);

    const char* language() const override { return name_.c_str(); }
    QString description(int style) const override;
    QColor defaultColor(int style) const override;
    QColor defaultPaper(int style) const override;
    QFont defaultFont(int style) const override;
    bool caseSensitive() const override { return false; }
    void styleText(int start, int end) override;

  private:
    std::string name_;
    std::string opcodeWords_;
    ListingWords words_;
    // The placed program's names as the word list last knew them.
    uint64_t programNames_;
};

// The code view font: Courier New 10.5 pt.
QFont CodeViewFont();
