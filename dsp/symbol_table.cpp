#include "symbol_table.h"

void SymbolTable::Store(const std::string& name, int32_t value, const std::string& note) {
    if (const int32_t* old = valueByName_.find(name)) {
        if (*old == value)
            return;
        const std::string* shown = nameByValue_.find(*old);
        if (shown && *shown == name)
            nameByValue_.erase(*old);
    }
    valueByName_.set(name, value);
    noteByName_.set(name, note);
    if (!nameByValue_.contains(value))
        nameByValue_.set(value, name);
}

SymbolTable& OpcodeSymbols() {
    static SymbolTable table;
    return table;
}

SymbolTable& RegisterSymbols() {
    static SymbolTable table;
    return table;
}
