// The shape every calibration and production operation shares: the handle
// check, the call line with its arguments, the line of the call below, the
// failure that becomes the last error, the results and the closing line. An
// operation names itself and its lower call once; every text is formed from
// those two names, so a member is its arguments and its results, not a copy
// of the pattern.
#pragma once

#include "cfc_arguments.h"
#include "cfc_connection.h"
#include "cfc_trace.h"

#include <cstdint>

namespace cfc {

struct OpNames {
    const char* name;
    const char* lower;
    // The identity texts: set, the operation traces its bare name at the
    // start, "<name> <success>" at the end and "<lower> failed with error N"
    // on failure, and no line for the lower call.
    const char* success = nullptr;
};

// An argument list as the call line shows it, e.g. "(value=3)".
class ArgText {
public:
    ArgText() = default;
    explicit ArgText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* text() const { return text_; }

private:
    char text_[224] = "()";
};

class CalibrationOp {
public:
    CalibrationOp(Connection& connection, const OpNames& names)
        : connection(connection), names_(names), trace_(connection.trace, "(CFC )", names.name)
    {
    }

    Connection& connection;

    // The call line and the lower call's line.
    void begin(const ArgText& args) const;
    // The two lines apart, for an operation with steps between them.
    void announce(const ArgText& args) const;
    void lowerCall() const;
    // The lower call's result: true for 0; otherwise it becomes the last
    // error and the failure line is traced.
    bool made(uint16_t result) const;
    // A failure of the operation's own check: `error` becomes the last error
    // and "<name>: <text>" is traced at level 4.
    int32_t refuse(uint16_t error, const char* format, ...) const
        __attribute__((format(printf, 3, 4)));
    // "<name>: rets ..." at level 9.
    void rets(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // "<name>: rets <what> ->" and the values, at level 7.
    void dump(const char* what, const uint8_t* values, int32_t count) const;
    void dump(const char* what, const uint16_t* values, int32_t count) const;
    // The closing line; returns 1.
    int32_t ok() const;
    const OpTrace& trace() const { return trace_; }

private:
    void header(char* text, size_t size, const char* what) const;

    OpNames names_;
    OpTrace trace_;
};

struct NoResults {
    void operator()(const CalibrationOp&) const {}
};

// One operation on an open connection: `lower` makes the call below and
// returns its result, `results` traces (and hands out) what it delivered.
template <class Lower, class Results = NoResults>
int32_t RunCalibrationOp(Connection& connection, const OpNames& names, const ArgText& args,
                         Lower&& lower, Results&& results = Results{})
{
    const CalibrationOp op(connection, names);
    op.begin(args);
    if (!op.made(lower(connection)))
        return 0;
    results(op);
    return op.ok();
}

// The same at the C boundary: a handle that fails the check gets 0, without
// trace and with the last error untouched.
template <class Lower, class Results = NoResults>
int32_t CalibrationCall(uint32_t handle, const OpNames& names, const ArgText& args, Lower&& lower,
                        Results&& results = Results{})
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        return RunCalibrationOp(connection, names, args, lower, results);
    });
}

// The same with the operation's arguments checked first.
template <class Lower, class Results = NoResults>
int32_t CheckedCalibrationCall(uint32_t handle, const OpNames& names,
                               std::initializer_list<Argument> arguments, const ArgText& args,
                               Lower&& lower, Results&& results = Results{})
{
    return CheckedCall(handle, names.name, arguments, [&](Connection& connection) {
        return RunCalibrationOp(connection, names, args, lower, results);
    });
}

} // namespace cfc
