// The INF calls: open, find lines, read fields, close.
#include "inf_file.h"
#include "inf_loader.h"
#include "setupapi.h"
#include "win/escape.h"
#include "win/guarded.h"
#include "win/handle_table.h"

#include <cstring>

namespace win {

namespace {

using zantal::inf::InfFile;
using zantal::inf::Line;
using zantal::inf::Section;

HandleTable<const InfFile> g_infs(0x3000);

const Line* lineAt(const INFCONTEXT* context, std::shared_ptr<const InfFile>& keep)
{
    if (!context)
        return nullptr;
    keep = g_infs.find(context->Inf);
    if (!keep || context->Section >= keep->sections().size())
        return nullptr;
    const Section& section = keep->sections()[context->Section];
    return context->Line < section.lines.size() ? &section.lines[context->Line] : nullptr;
}

// Finds a section and fills the context's file and section parts.
const Section* sectionFor(HINF inf, const char* name, INFCONTEXT* context,
                          std::shared_ptr<const InfFile>& keep)
{
    keep = g_infs.find(inf);
    if (!keep || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const auto& sections = keep->sections();
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!equalsIgnoreCase(sections[i].name, name))
            continue;
        if (context) {
            context->Inf = inf;
            context->CurrentInf = inf;
            context->Section = static_cast<UINT>(i);
        }
        return &sections[i];
    }
    SetLastError(ERROR_SECTION_NOT_FOUND);
    return nullptr;
}

// Points the context at the line `pick` chooses in the section.
template <class Pick>
BOOL placeContext(HINF inf, const char* section, INFCONTEXT* context, Pick&& pick)
{
    return guarded(
        [&]() -> BOOL {
            std::shared_ptr<const InfFile> keep;
            if (!context) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            const Section* found = sectionFor(inf, section, context, keep);
            if (!found)
                return 0;
            std::optional<size_t> line = pick(*found);
            if (!line) {
                SetLastError(ERROR_LINE_NOT_FOUND);
                return 0;
            }
            context->Line = static_cast<UINT>(*line);
            return 1;
        },
        BOOL{0});
}

} // namespace

extern "C" {

HINF SetupOpenInfFileA(const char* fileName, const char* infClass, DWORD infStyle, UINT* errorLine)
{
    return guarded(
        [&]() -> HINF {
            DWORD error = ERROR_SUCCESS;
            auto inf = zantal::inf::loadInf(fileName, infStyle, infClass, &error, errorLine);
            if (!inf) {
                SetLastError(error);
                return INVALID_HANDLE_VALUE;
            }
            return g_infs.add<HINF>(std::move(inf));
        },
        HINF{INVALID_HANDLE_VALUE});
}

void SetupCloseInfFile(HINF inf)
{
    g_infs.remove(inf);
}

BOOL SetupFindFirstLineA(HINF inf, const char* section, const char* key, INFCONTEXT* context)
{
    return placeContext(inf, section, context, [&](const Section& found) -> std::optional<size_t> {
        for (size_t i = 0; i < found.lines.size(); ++i)
            if (!key || (found.lines[i].key && equalsIgnoreCase(*found.lines[i].key, key)))
                return i;
        return std::nullopt;
    });
}

LONG SetupGetLineCountA(HINF inf, const char* section)
{
    return guarded(
        [&]() -> LONG {
            std::shared_ptr<const InfFile> keep;
            const Section* found = sectionFor(inf, section, nullptr, keep);
            return found ? static_cast<LONG>(found->lines.size()) : -1;
        },
        LONG{-1});
}

BOOL SetupGetLineByIndexA(HINF inf, const char* section, DWORD index, INFCONTEXT* context)
{
    return placeContext(inf, section, context, [&](const Section& found) -> std::optional<size_t> {
        if (index < found.lines.size())
            return index;
        return std::nullopt;
    });
}

BOOL SetupGetStringFieldA(INFCONTEXT* context, DWORD fieldIndex, char* buffer, DWORD bufferSize,
                          DWORD* required)
{
    return guarded(
        [&]() -> BOOL {
            std::shared_ptr<const InfFile> keep;
            const Line* line = lineAt(context, keep);
            if (!line) {
                SetLastError(ERROR_INVALID_HANDLE);
                return 0;
            }
            auto text = InfFile::field(*line, fieldIndex);
            if (!text) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            const auto needed = static_cast<DWORD>(text->size() + 1);
            if (required)
                *required = needed;
            if (!buffer)
                return 1;
            if (bufferSize < needed) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(buffer, text->c_str(), needed);
            return 1;
        },
        BOOL{0});
}

} // extern "C"

} // namespace win
