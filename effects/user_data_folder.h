// The per-user data folder, where the private copy of the effects library
// goes when the program's own folder cannot be written.
#pragma once

#include <string>

// $XDG_DATA_HOME/velmora, else ~/.local/share/velmora; empty when neither
// can be told.
std::string UserDataFolder();
