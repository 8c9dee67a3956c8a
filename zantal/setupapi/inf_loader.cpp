#include "inf_loader.h"

#include "setupapi.h"
#include "win/escape.h"
#include "win/store.h"

namespace zantal::inf {

namespace {

constexpr size_t kMaxInfBytes = 16u << 20;

} // namespace

std::shared_ptr<const InfFile> loadInf(const char* path, win::DWORD style, const char* infClass,
                                       win::DWORD* error, win::UINT* errorLine)
{
    std::string bytes;
    if (!path || !win::readWholeFile(path, bytes, kMaxInfBytes)) {
        *error = win::ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    ParseError parseError;
    auto inf = InfFile::parse(bytes, &parseError);
    if (!inf) {
        *error = parseError.code;
        if (errorLine)
            *errorLine = parseError.line;
        return nullptr;
    }
    if (style & win::INF_STYLE_WIN4) {
        const std::string signature = inf->value("Version", "Signature");
        if (!win::equalsIgnoreCase(signature, "$Windows NT$") &&
            !win::equalsIgnoreCase(signature, "$Chicago$") &&
            !win::equalsIgnoreCase(signature, "$Windows 95$")) {
            *error = win::ERROR_WRONG_INF_STYLE;
            return nullptr;
        }
    }
    if (infClass && !win::equalsIgnoreCase(inf->value("Version", "Class"), infClass)) {
        *error = win::ERROR_CLASS_MISMATCH;
        return nullptr;
    }
    return std::make_shared<const InfFile>(std::move(*inf));
}

} // namespace zantal::inf
