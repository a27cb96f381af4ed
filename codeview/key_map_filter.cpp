#include "key_map_filter.h"

#include <Qsci/qsciscintilla.h>

#include <QKeyEvent>

namespace {

struct CommandMessage {
    int command;
    int message;
};

// What each command number of the key map does in the listing.
constexpr CommandMessage kCommands[] = {
    {0x66, QsciScintillaBase::SCI_PAGEUP},
    {0x67, QsciScintillaBase::SCI_PAGEDOWN},
    {0x68, QsciScintillaBase::SCI_LINEEND},
    {0x69, QsciScintillaBase::SCI_VCHOME},
    {0x6A, QsciScintillaBase::SCI_CHARLEFT},
    {0x6B, QsciScintillaBase::SCI_LINEUP},
    {0x6C, QsciScintillaBase::SCI_CHARRIGHT},
    {0x6D, QsciScintillaBase::SCI_LINEDOWN},
    {0x6E, QsciScintillaBase::SCI_PAGEUPEXTEND},
    {0x6F, QsciScintillaBase::SCI_PAGEDOWNEXTEND},
    {0x70, QsciScintillaBase::SCI_LINEENDEXTEND},
    {0x71, QsciScintillaBase::SCI_VCHOMEEXTEND},
    {0x72, QsciScintillaBase::SCI_CHARLEFTEXTEND},
    {0x73, QsciScintillaBase::SCI_LINEUPEXTEND},
    {0x74, QsciScintillaBase::SCI_CHARRIGHTEXTEND},
    {0x75, QsciScintillaBase::SCI_LINEDOWNEXTEND},
    {0x76, QsciScintillaBase::SCI_STUTTEREDPAGEUP},
    {0x77, QsciScintillaBase::SCI_STUTTEREDPAGEDOWN},
    {0x78, QsciScintillaBase::SCI_DOCUMENTEND},
    {0x79, QsciScintillaBase::SCI_DOCUMENTSTART},
    {0x7A, QsciScintillaBase::SCI_WORDLEFT},
    {0x7B, QsciScintillaBase::SCI_LINESCROLLUP},
    {0x7C, QsciScintillaBase::SCI_WORDRIGHT},
    {0x7D, QsciScintillaBase::SCI_LINESCROLLDOWN},
    {0x7E, QsciScintillaBase::SCI_COPY},
    {0x7F, QsciScintillaBase::SCI_DOCUMENTENDEXTEND},
    {0x80, QsciScintillaBase::SCI_DOCUMENTSTARTEXTEND},
    {0x81, QsciScintillaBase::SCI_WORDLEFTEXTEND},
    {0x82, QsciScintillaBase::SCI_WORDRIGHTEXTEND},
    {0x83, QsciScintillaBase::SCI_SWAPMAINANCHORCARET},
    {0x84, QsciScintillaBase::SCI_WORDPARTLEFT},
    {0x85, QsciScintillaBase::SCI_WORDPARTRIGHT},
    {0x86, QsciScintillaBase::SCI_LINECOPY},
};

} // namespace

int ViewCommandMessage(int command) {
    for (const CommandMessage& entry : kCommands)
        if (entry.command == command)
            return entry.message;
    return 0;
}

int VirtualKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    default:
        break;
    }
    // Digits and letters have the same codes as their upper-case characters.
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 0x70 + (qtKey - Qt::Key_F1);
    return 0;
}

int KeyMapModifiersOf(Qt::KeyboardModifiers modifiers) {
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= kShiftKey;
    if (modifiers & Qt::ControlModifier)
        bits |= kCtrlKey;
    if (modifiers & Qt::AltModifier)
        bits |= kAltKey;
    return bits;
}

KeyMapFilter::KeyMapFilter(QsciScintilla* view, const std::vector<KeyBinding>& map)
    : QObject(view), view_(view), map_(map) {}

bool KeyMapFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_)
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const KeyBinding* binding =
        FindBinding(map_, VirtualKeyOf(key->key()), KeyMapModifiersOf(key->modifiers()));
    if (type == QEvent::ShortcutOverride) {
        // A bound key belongs to the view; any other key may be a shortcut.
        if (binding)
            event->accept();
        return true;
    }
    if (binding) {
        if (const int message = ViewCommandMessage(binding->command))
            view_->SendScintilla(static_cast<unsigned>(message));
    }
    return true;
}
