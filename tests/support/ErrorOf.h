#pragma once
#include "core/Error.h"

#include <QString>

namespace brivel::test {

// The message of the brivel::Error that `f` throws; a null QString when it throws none.
template <class F>
QString ErrorOf(F&& f)
{
    try {
        f();
    } catch (const brivel::Error& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace brivel::test
