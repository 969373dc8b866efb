// Small text and sequence helpers.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

// Removes leading and trailing blanks (space, TAB, CR, LF) in place.
void trim(std::string& text);

// Whether two ASCII texts are equal without regard to letter case.
bool EqualsNoCase(std::string_view a, std::string_view b) noexcept;

// Orders ASCII texts without regard to letter case (for registry names and the like).
struct NoCaseLess {
    bool operator()(std::string_view a, std::string_view b) const noexcept;
    using is_transparent = void;
};

// Modes of searchpos.
enum SearchMode : int {
    SearchLowerBound = 0, // the first position whose element is not less than the key
    SearchUpperBound = 1, // the first position whose element is greater than the key
    SearchFind = 2,       // the position of an equal element, or -1
    SearchInsertUnique = 3, // -1 when an equal element exists, else the insertion position
};

// The position of key in a sequence sorted by `less` (a strict weak order), by mode.
template <class T, class Less = std::less<T>>
int searchpos(const std::vector<T>& sorted, const T& key, int mode, Less less = Less())
{
    const auto lower = std::lower_bound(sorted.begin(), sorted.end(), key, less);
    const bool found = lower != sorted.end() && !less(key, *lower);
    switch (mode) {
    case SearchLowerBound:
        return static_cast<int>(lower - sorted.begin());
    case SearchUpperBound:
        return static_cast<int>(std::upper_bound(lower, sorted.end(), key, less) - sorted.begin());
    case SearchFind:
        return found ? static_cast<int>(lower - sorted.begin()) : -1;
    default:
        return found ? -1 : static_cast<int>(lower - sorted.begin());
    }
}
