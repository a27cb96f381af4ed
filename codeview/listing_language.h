// The listing language "D8010" and the key map, registered once per process
// for every code view created afterwards.
//
// Call RegisterListingLanguage() once at start-up, after LoadSymbolFile():
//   #include "listing_language.h"
//   RegisterListingLanguage(); // throws std::runtime_error
// It throws when a symbol table is empty or the key map resource is
// unreadable; nothing is installed then and code views show plain text with
// the editor's own keys.
#pragma once

#include "key_map.h"
#include "listing_language_definition.h"

#include <string>
#include <vector>

void RegisterListingLanguage();

// What was registered, or nullptr before a successful registration.
const ListingLanguageDefinition* RegisteredListingLanguage();
const std::vector<KeyBinding>* InstalledKeyMap();

// The bytes of the program's key-map resource ("CMHOTKEYS" 201); throws
// std::runtime_error when it is missing.
std::string KeyMapResource();
