#include "payload/DefinitionState.h"

namespace cs {

const String& LanguageTable::Get(int number, int language) const {
    static const String empty;
    int languages = names.Count();
    if (number < 0 || number >= stringCount || language < 0 || language >= languages) return empty;
    size_t index = size_t(number) * languages + language;
    return index < strings.size() ? strings[index] : empty;
}

const String& DefinitionState::LanguageString(int number) const {
    return definition.languages.Get(number, currentLanguage);
}

} // namespace cs
