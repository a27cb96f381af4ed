// What a service that serves a real card answers the verbs it cannot carry
// out there: a card is read-only here and keeps no history.
#pragma once

#include <string>

std::string CardRefusal(const std::string& verb);
bool IsCardRefusal(const std::string& text);
