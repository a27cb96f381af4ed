// A code view on its own: filling, colouring, the look, fields, margin flags
// and the key map.
#include "code_view.h"
#include "instruction_text.h"
#include "listing_language_setup.h"

#include <Qsci/qscilexer.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Sci = QsciScintillaBase;

// Stands in for a window that owns a code view.
class SelectionProbe : public QObject {
    Q_OBJECT
  public:
    Q_INVOKABLE int SelChanged() {
        ++calls;
        return 0;
    }
    int calls = 0;
};

std::vector<MicrocodeInstruction> Program(int32_t a) {
    std::vector<MicrocodeInstruction> code(512, MicrocodeInstruction{6, 0x40, 0x40, 0x40, 0x40});
    code[3] = {0x0, a, 0x10, 0x100, 0x20}; // MACS <a> IN_AC97_L 0x100 OUT_FRONT_L
    return code;
}

class CodeViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterShippedListingLanguageOnce();
        view_ = std::make_unique<QsciScintilla>();
        view_->resize(538, 308);
        SetUpCodeView(view_.get());
        view_->show();
    }

    QsciScintilla* view() { return view_.get(); }
    long Send(unsigned message, unsigned long w = 0, long l = 0) {
        return view_->SendScintilla(message, w, l);
    }
    int StyleAt(int line, int column) {
        Send(Sci::SCI_COLOURISE, 0, -1);
        return static_cast<int>(
            Send(Sci::SCI_GETSTYLEAT, view_->positionFromLineIndex(line, column)));
    }
    QString LineWithoutEnd(int line) { return view_->text(line).remove("\r\n"); }

  private:
    std::unique_ptr<QsciScintilla> view_;
};

TEST_F(CodeViewTest, ListingHasOneLinePerInstructionNumberedFromZeroAndAnEmptyLast) {
    const auto code = Program(0x40);
    FillListing(view(), code);
    ASSERT_EQ(view()->lines(), 513);
    for (int i : {0, 3, 511})
        EXPECT_EQ(view()->text(i).toStdString(), FormatInstruction(code[i], 4, false) + "\r\n");
    EXPECT_EQ(view()->text(512), "");
    EXPECT_TRUE(view()->isReadOnly());

    char number[8] = {};
    Send(Sci::SCI_MARGINGETTEXT, 511, reinterpret_cast<long>(number));
    EXPECT_STREQ(number, "511");
}

TEST_F(CodeViewTest, RefillKeepsSelectionAndFirstVisibleLine) {
    FillListing(view(), Program(0x40));
    view()->setSelection(300, 5, 300, 9);
    Send(Sci::SCI_SETFIRSTVISIBLELINE, 280);
    FillListing(view(), Program(0x41));
    int lineFrom, indexFrom, lineTo, indexTo;
    view()->getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
    EXPECT_EQ(lineFrom, 300);
    EXPECT_EQ(indexFrom, 5);
    EXPECT_EQ(lineTo, 300);
    EXPECT_EQ(indexTo, 9);
    EXPECT_EQ(Send(Sci::SCI_GETFIRSTVISIBLELINE), 280);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CodeViewTest, RefillWithFewerLinesLeavesTheCaretAtTheStart) {
    FillListing(view(), Program(0x40));
    view()->setCursorPosition(400, 3);
    const std::vector<MicrocodeInstruction> shortCode(
        10, MicrocodeInstruction{6, 0x40, 0x40, 0x40, 0x40});
    FillListing(view(), shortCode);
    int line, index;
    view()->getCursorPosition(&line, &index);
    EXPECT_EQ(view()->lines(), 11);
    EXPECT_EQ(line, 0);
    EXPECT_EQ(index, 0);
}

TEST_F(CodeViewTest, EmptyCodeIsRefusedBeforeTheViewIsTouched) {
    FillListing(view(), Program(0x40));
    const QString before = view()->text();
    EXPECT_THROW(FillListing(view(), std::vector<MicrocodeInstruction>{}), std::invalid_argument);
    EXPECT_EQ(view()->text(), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CodeViewTest, RegistersNavyOpcodesPurpleCommentsGreen) {
    FillListing(view(), Program(0x40));
    // Line 3: "MACS\tC_0 IN_AC97_L 0x100 OUT_FRONT_L// 00 040 010 100 020"
    const std::string line = LineWithoutEnd(3).toStdString();
    EXPECT_EQ(StyleAt(3, 0), 2);
    EXPECT_EQ(StyleAt(3, static_cast<int>(line.find("C_0"))), 1);
    EXPECT_EQ(StyleAt(3, static_cast<int>(line.find("OUT_FRONT_L"))), 1);
    EXPECT_EQ(StyleAt(3, static_cast<int>(line.find("0x100"))), 0);
    EXPECT_EQ(StyleAt(3, static_cast<int>(line.find("//"))), 3);
    EXPECT_EQ(StyleAt(3, static_cast<int>(line.size()) - 1), 3);

    // Colours as the control stores them: blue-green-red.
    EXPECT_EQ(Send(Sci::SCI_STYLEGETFORE, 1), 0x800000);
    EXPECT_EQ(Send(Sci::SCI_STYLEGETFORE, 2), 0x800080);
    EXPECT_EQ(Send(Sci::SCI_STYLEGETFORE, 3), 0x008000);
    EXPECT_EQ(Send(Sci::SCI_STYLEGETFORE, 0), 0x000000);
}

TEST_F(CodeViewTest, MixedCaseNamesAndBlockCommentsAreColouredToo) {
    Send(Sci::SCI_SETREADONLY, 0);
    view()->setText("mAcS\tc_0 /* x\r\nLoG */ accum\r\n");
    EXPECT_EQ(StyleAt(0, 0), 2);
    EXPECT_EQ(StyleAt(0, 5), 1);
    EXPECT_EQ(StyleAt(0, 9), 3);
    EXPECT_EQ(StyleAt(1, 0), 3);
    EXPECT_EQ(StyleAt(1, 7), 1);
}

TEST_F(CodeViewTest, LookOfTheView) {
    EXPECT_EQ(Send(Sci::SCI_STYLEGETBACK, Sci::STYLE_LINENUMBER), 0xE0E0D0);
    EXPECT_EQ(Send(Sci::SCI_GETMARGINBACKN, 1), 0xE0E0D0);
    EXPECT_EQ(Send(Sci::SCI_GETMARGINMASKN, 1), kChangedFlag | kCaretFlag);
    EXPECT_EQ(Send(Sci::SCI_STYLEGETSIZEFRACTIONAL, 1), 1050);
    char font[64] = {};
    Send(Sci::SCI_STYLEGETFONT, 1, reinterpret_cast<long>(font));
    EXPECT_STREQ(font, "Courier New");
    EXPECT_STREQ(view()->lexer()->language(), "D8010");
}

TEST_F(CodeViewTest, SelectingFieldFourTakesTheResultNameAndItsTabs) {
    FillListing(view(), Program(0x40));
    SelectionProbe window;
    SelectField(&window, view(), 0, 4);
    // "ACC3\tC_0 C_0 C_0 C_0\t\t\t\t// 06 040 040 040 040"
    EXPECT_EQ(view()->selectedText(), "C_0\t\t\t\t");
    EXPECT_EQ(window.calls, 1);
    const FieldHit hit = FieldUnderCaret(view());
    EXPECT_TRUE(hit.found);
    EXPECT_EQ(hit.line, 0);
    EXPECT_EQ(hit.field, 4);

    SelectField(&window, view(), 3, 0);
    EXPECT_EQ(view()->selectedText(), "MACS\t");
    SelectField(&window, view(), 513, 1);
    SelectField(&window, view(), 3, 5);
    EXPECT_EQ(window.calls, 2) << "no such line or field: nothing selected";
}

TEST_F(CodeViewTest, MarginFlagsAreReplacedWholeAndDroppedByARefill) {
    FillListing(view(), Program(0x40));
    SetLineFlags(view(), 5, kChangedFlag | kCaretFlag);
    EXPECT_EQ(LineFlags(view(), 5), 6);
    SetLineFlags(view(), 5, kChangedFlag);
    EXPECT_EQ(LineFlags(view(), 5), 2);
    SetLineFlags(view(), 7, kCaretFlag);
    FillListing(view(), Program(0x40));
    for (int line : {0, 5, 7})
        EXPECT_EQ(LineFlags(view(), line), 0) << "line " << line;
}

TEST_F(CodeViewTest, OnlyTheBoundKeysDoAnything) {
    FillListing(view(), Program(0x40));
    const QString before = view()->text();
    view()->setCursorPosition(2, 0);

    for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Return, Qt::Key_X, Qt::Key_Tab})
        QTest::keyClick(view(), key);
    QTest::keyClick(view(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(view()->text(), before);
    int line, index;
    view()->getCursorPosition(&line, &index);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(index, 0);

    QTest::keyClick(view(), Qt::Key_Down);
    view()->getCursorPosition(&line, &index);
    EXPECT_EQ(line, 3);

    QTest::keyClick(view(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view()->selectedText(), "MA");
    QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "MA");

    QTest::keyClick(view(), Qt::Key_End, Qt::ControlModifier);
    view()->getCursorPosition(&line, &index);
    EXPECT_EQ(line, 512);
}

TEST(ListingLanguageRegistration, KeyMapResourceIsTheShippedTable) {
    QFile shipped(VELMORA_SOURCE_DIR "/codeview/resources/cmhotkeys_201.bin");
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray bytes = shipped.readAll();
    EXPECT_EQ(KeyMapResource(), std::string(bytes.constData(), bytes.size()));
    RegisterShippedListingLanguageOnce();
    EXPECT_EQ(InstalledKeyMap()->size(), 33u);
    EXPECT_EQ(RegisteredListingLanguage()->name, "D8010");
    EXPECT_EQ(RegisteredListingLanguage()->opcodeWords.substr(0, 11), "MACS\nMACS1\n");
}

} // namespace

#include "code_view_test.moc"
