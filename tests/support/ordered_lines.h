// Trace checks shared by the library tests and the runs of the programs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// `wanted` appear in `lines` in this order, other lines in between.
inline ::testing::AssertionResult inOrder(const std::vector<std::string>& lines,
                                          const std::vector<std::string>& wanted)
{
    auto at = lines.begin();
    for (const std::string& text : wanted) {
        at = std::find(at, lines.end(), text);
        if (at == lines.end())
            return ::testing::AssertionFailure() << "missing or out of order: " << text;
        ++at;
    }
    return ::testing::AssertionSuccess();
}

} // namespace testsupport
