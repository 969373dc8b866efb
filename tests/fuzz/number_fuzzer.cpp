// Any text as a number of each format type: a finite value or NumericSyntax in
// strict mode, 0 in lenient mode, and formatted values that scan back to themselves.
#include "framework/exceptions.h"
#include "framework/numbers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int type : {FormatInteger, FormatLenient}) {
        double value = 0;
        try {
            value = ScanNumber(type, text, -1, true);
        } catch (const NumericSyntax&) {
            if (ScanNumber(type, text, -1, false) != 0)
                std::abort();
            continue;
        }
        if (!std::isfinite(value))
            std::abort();
        if (type == FormatInteger && std::fabs(value) < 1e15) {
            const double again = ScanNumber(type, Format(type, value, 0), -1, true);
            if (again != value)
                std::abort();
        }
        // The grouped text is the plain text with blanks between the thousands, and
        // it scans back as the value it shows.
        const std::string grouped = Format(FormatLenient, value, 2);
        std::string plain;
        for (char c : grouped) {
            if (c != ' ')
                plain.push_back(c);
        }
        if (plain != Format(FormatInteger, value, 2))
            std::abort();
        if (ScanNumber(FormatLenient, grouped, -1, true) != ScanNumber(FormatLenient, plain, -1, true))
            std::abort();
    }
    return 0;
}
