#include "listing_language.h"

#include "symbol_names.h"

#include <QFile>

#include <memory>
#include <stdexcept>

namespace {

std::unique_ptr<ListingLanguageDefinition>& Language() {
    static std::unique_ptr<ListingLanguageDefinition> language;
    return language;
}

std::unique_ptr<std::vector<KeyBinding>>& KeyMap() {
    static std::unique_ptr<std::vector<KeyBinding>> map;
    return map;
}

} // namespace

// The resource lives in a static library: make sure it is linked and registered.
static void InitKeyMapResource() {
    static bool registered = false;
    if (!registered) {
        Q_INIT_RESOURCE(cmhotkeys);
        registered = true;
    }
}

std::string KeyMapResource() {
    InitKeyMapResource();
    QFile resource(":/CMHOTKEYS/201");
    if (!resource.open(QIODevice::ReadOnly))
        throw std::runtime_error("The key map resource CMHOTKEYS 201 is missing");
    const QByteArray bytes = resource.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void RegisterListingLanguage() {
    // Build both first so that a failure installs neither.
    auto language = std::make_unique<ListingLanguageDefinition>(
        MakeListingLanguage(RegisterNames(), OpcodeNames()));
    auto keyMap = std::make_unique<std::vector<KeyBinding>>(ParseKeyMap(KeyMapResource()));
    Language() = std::move(language);
    KeyMap() = std::move(keyMap);
}

const ListingLanguageDefinition* RegisteredListingLanguage() {
    return Language().get();
}
const std::vector<KeyBinding>* InstalledKeyMap() {
    return KeyMap().get();
}
