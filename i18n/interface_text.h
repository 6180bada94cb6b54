#pragma once

// Messages that the modules without Qt (raster, kml, cad, survey, ...) make for the user
// are written in Chinese, the interface's own language, and pass through Translate() so
// that the program can show them in the language the user chose. Without an installed
// translator (the command line, the tests) every text comes back unchanged.
//
// Texts with values are patterns with Qt's placeholders %1..%9, filled by Format():
//     Format(Translate("raster", "无法读取高程栅格“%1”：%2"), {path, reason})
// Qt's lupdate collects the calls of Translate (run with -tr-function-alias
// translate+=Translate), so the context and the text must be string literals.
//
// Only texts for the user's eyes go through here: never a text that is written into a
// file or compared as data (layer names, keys, the export's own texts).

#include <initializer_list>
#include <string>
#include <string_view>

namespace keldarn::i18n {

// Returns the translation of `source` (UTF-8) in `context`, or `source` itself when there
// is none. Must be safe to call from any thread.
using Translator = std::string (*)(const char* context, const char* source);

// Installs the program's translator; nullptr returns to the untranslated texts.
void InstallTranslator(Translator translator);

std::string Translate(const char* context, const char* source);

// `pattern` with each %1..%9 replaced by the argument of that number, in one pass, so
// that a "%1" inside an argument stays as it is. A placeholder without an argument, and
// any other '%', are kept.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> arguments);

}  // namespace keldarn::i18n
