#pragma once
// Command and window ids as wx sees them. The framework's standard ids lie at 0xE000-0xEFFF,
// above the highest id wx accepts (0x7FFF); wx gets them moved down by 0x8000, into a range
// that this program never uses for its own ids. Everything else passes unchanged.

using UINT = unsigned int;

constexpr UINT kAfxIdFirst = 0xE000;
constexpr UINT kAfxIdLast = 0xEFFF;
constexpr UINT kAfxIdShift = 0x8000;

constexpr int AfxWxId(UINT id)
{
    return static_cast<int>(id >= kAfxIdFirst && id <= kAfxIdLast ? id - kAfxIdShift : id);
}

constexpr UINT AfxCommandId(int wxId)
{
    const UINT id = static_cast<UINT>(wxId);
    return id >= kAfxIdFirst - kAfxIdShift && id <= kAfxIdLast - kAfxIdShift ? id + kAfxIdShift
                                                                             : id;
}

static_assert(AfxCommandId(AfxWxId(0xE101)) == 0xE101, "the move is undone exactly");
static_assert(AfxWxId(1002) == 1002, "the program's own ids pass unchanged");

// Event-table entries by command id, so that a table names the ids of the resources.
#define ON_COMMAND(id, func) EVT_MENU(AfxWxId(id), func)
#define ON_UPDATE_COMMAND_UI(id, func) EVT_UPDATE_UI(AfxWxId(id), func)
#define ON_BN_CLICKED(id, func) EVT_BUTTON(AfxWxId(id), func)
