#include "cfc_calibration_op.h"

#include <cstdarg>
#include <cstdio>

namespace cfc {

namespace {
constexpr size_t kHeaderSize = 160;

// "<name>: <lead><text>", the text formed from the caller's format.
void formattedStep(const OpTrace& trace, uint16_t level, const char* lead, const char* format,
                   va_list args)
{
    char text[kHeaderSize];
    std::vsnprintf(text, sizeof text, format, args);
    trace.step(level, "%s%s", lead, text);
}
} // namespace

ArgText::ArgText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(text_, sizeof text_, format, args);
    va_end(args);
}

void CalibrationOp::begin(const ArgText& args) const
{
    announce(args);
    lowerCall();
}

void CalibrationOp::announce(const ArgText& args) const
{
    if (names_.success != nullptr)
        TraceLineF(connection.trace, 4, "(CFC ) %s", names_.name);
    else
        trace_.call(4, "%s", args.text());
}

void CalibrationOp::lowerCall() const
{
    if (names_.success == nullptr)
        trace_.step(6, "call %s()...", names_.lower);
}

bool CalibrationOp::made(uint16_t result) const
{
    if (result == 0)
        return true;
    connection.storeError(result);
    if (names_.success != nullptr)
        TraceLineF(connection.trace, 4, "(CFC ) %s failed with error %d", names_.lower, result);
    else
        trace_.fails(4, names_.lower, result);
    return false;
}

int32_t CalibrationOp::refuse(uint16_t error, const char* format, ...) const
{
    connection.storeError(error);
    if (connection.trace.passes(4)) {
        va_list args;
        va_start(args, format);
        formattedStep(trace_, 4, "", format, args);
        va_end(args);
    }
    return 0;
}

void CalibrationOp::rets(const char* format, ...) const
{
    if (!connection.trace.passes(9))
        return;
    va_list args;
    va_start(args, format);
    formattedStep(trace_, 9, "rets ", format, args);
    va_end(args);
}

void CalibrationOp::header(char* text, size_t size, const char* what) const
{
    std::snprintf(text, size, "(CFC ) %s: rets %s ->", names_.name, what);
}

void CalibrationOp::dump(const char* what, const uint8_t* values, int32_t count) const
{
    char text[kHeaderSize];
    header(text, sizeof text, what);
    TraceBytes(connection.trace, 7, text, values, count);
}

void CalibrationOp::dump(const char* what, const uint16_t* values, int32_t count) const
{
    char text[kHeaderSize];
    header(text, sizeof text, what);
    TraceWords(connection.trace, 7, text, values, count);
}

int32_t CalibrationOp::ok() const
{
    if (names_.success != nullptr)
        TraceLineF(connection.trace, 6, "(CFC ) %s %s", names_.name, names_.success);
    else
        trace_.ok(6);
    return 1;
}

} // namespace cfc
