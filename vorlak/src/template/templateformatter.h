// Lays out one terminal record (a header or an entry) as text, following a template the user
// typed or the terminal supplied. The language is described in docs/templates.md.
#ifndef VORLAK_TEMPLATEFORMATTER_H
#define VORLAK_TEMPLATEFORMATTER_H

#include <string>
#include <string_view>
#include <vector>

namespace vorlak {

struct Field
{
    std::string name;
    std::string value; // bytes, Windows-1252
};
using Record = std::vector<Field>; // fields keep their order

// Lays out one record with a template. Never fails: malformed templates (an unclosed '[',
// an empty '[]', an X-group not after a field, ...) are handled as documented.
//
// Field names are matched without regard to letter case (Windows-1252 letters included) and
// without the spaces at either end; the first matching field wins. Nothing is appended: the
// CR LF that ends each body record is part of the body template the program passes.
[[nodiscard]] std::string formatRecord(std::string_view templ, const Record& record);

} // namespace vorlak

#endif
