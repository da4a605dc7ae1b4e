#include "base/Characters.h"

#include <unicode/ubrk.h>
#include <unicode/utf16.h>

#include <memory>

namespace tidyword {

void forEachCharacter(QStringView text, const std::function<void(QStringView)>& visit) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> breaks(
        ubrk_open(UBRK_CHARACTER, "", text.utf16(), static_cast<int32_t>(text.size()), &status),
        &ubrk_close);
    if (U_FAILURE(status)) {
        // Only when ICU's data is missing: fall back to code points rather than fail.
        for (qsizetype start = 0, end = 0; start < text.size(); start = end) {
            U16_FWD_1(text.utf16(), end, text.size());
            visit(text.sliced(start, end - start));
        }
        return;
    }
    for (int32_t start = ubrk_first(breaks.get()), end = ubrk_next(breaks.get()); end != UBRK_DONE;
         start = end, end = ubrk_next(breaks.get())) {
        visit(text.sliced(start, end - start));
    }
}

qsizetype characterCount(QStringView text) {
    qsizetype count = 0;
    forEachCharacter(text, [&count](QStringView) { ++count; });
    return count;
}

qsizetype scalarCount(QStringView text) {
    qsizetype count = 0;
    for (qsizetype index = 0; index < text.size(); ++count) {
        U16_FWD_1(text.utf16(), index, text.size());
    }
    return count;
}

}  // namespace tidyword
