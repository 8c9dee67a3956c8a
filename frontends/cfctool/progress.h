// One progress line on standard error, rewritten in place, for a person
// watching at a terminal; silent when standard error goes elsewhere, so
// logs and scripts see only the result.
#pragma once

#include <string>

namespace cfctool {

class Progress {
public:
    Progress();
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(const std::string& text);

private:
    bool terminal_;
    size_t shown_ = 0;
};

} // namespace cfctool
