#pragma once
// Menus, accelerators, toolbars, dialog templates and icons, kept as plain tables so that the
// window framework builds them and the tests read them without any resource compiler.

#include <cstdint>
#include <string>
#include <vector>

#include "resource.h"

// The dialogs' OK button (IDOK).
constexpr UINT IDOK_CONTROL = 1;

// One item of a drop-down menu; an item with id ID_SEPARATOR is a separator line.
struct MenuItemResource
{
    UINT nId;
    const char* text;
    bool bCheck = false; // shown with a check mark, like the bar commands
};

struct PopupMenuResource
{
    const char* text;
    std::vector<MenuItemResource> items;
};

struct MenuResource
{
    UINT nId;
    std::vector<PopupMenuResource> popups;
};

// Accelerator flags and the virtual-key codes the tables use.
enum : std::uint8_t
{
    FVIRTKEY = 0x01,
    FSHIFT = 0x04,
    FCONTROL = 0x08,
    FALT = 0x10,
};
constexpr std::uint16_t VK_BACK = 0x08;
constexpr std::uint16_t VK_INSERT = 0x2D;
constexpr std::uint16_t VK_DELETE = 0x2E;
constexpr std::uint16_t VK_F6 = 0x75;

// A key ('A'..'Z' and '0'..'9' stand for themselves) with its modifiers, and its command.
struct AccelResource
{
    std::uint8_t fVirt;
    std::uint16_t key;
    UINT cmd;
};

struct AccelTableResource
{
    UINT nId;
    std::vector<AccelResource> entries;
};

// Toolbar buttons left to right; ID_SEPARATOR is a gap. Image i of the strip belongs to the
// i-th button that is not a separator. The second strip draws the same buttons at twice the size
// for screens scaled by 2, so that they are not blown up from the small ones.
struct ToolBarResource
{
    UINT nId;
    int nButtonWidth;
    int nButtonHeight;
    std::vector<UINT> buttons;
    const char* const* bitmapXpm;
    const char* const* bitmapXpm2x = nullptr;
};

enum class ControlKind
{
    PushButton,
    DefPushButton,
    ComboBox,
    Static,
    Icon,
};

// Control styles that change behaviour; anything else a control needs is in its kind.
enum : unsigned
{
    CS_TABSTOP = 0x1,
    CS_VSCROLL = 0x2,
    CS_SORT = 0x4,
    CS_AUTOHSCROLL = 0x8, // without it, a field takes no more text than it can show
    CS_NOPREFIX = 0x10,   // '&' is shown as it is
    CS_DROPDOWN = 0x20,   // a combo box with an edit field
};

// Position and size in dialog units. For an icon, `text` names nothing and `nIconId` the icon.
struct ControlTemplate
{
    UINT nId;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;
    unsigned style;
    UINT nIconId = 0;
};

enum : unsigned
{
    DS_CHILD_BORDER = 0x1,  // a child window with a thin border: a form
    DS_MODAL_CAPTION = 0x2, // a modal pop-up with caption and system menu
};

struct DialogTemplate
{
    UINT nId;
    unsigned style;
    int cx, cy;
    const char* caption;
    const char* fontFace;
    int nPointSize;
    std::vector<ControlTemplate> controls; // in tab order
};

// The author's web page: the about box shows this address and opens exactly it.
const char* HomePageUrl();

// Each returns nullptr for an id that has no such resource. Texts are in the user's language.
const MenuResource* FindMenuResource(UINT id);
const AccelTableResource* FindAccelResource(UINT id);
const ToolBarResource* FindToolBarResource(UINT id);
const DialogTemplate* FindDialogTemplate(UINT id);
// An icon in XPM form; `size` picks 16 or 32 pixels.
const char* const* FindIconXpm(UINT id, int size);

// Every text of the menus and dialog templates as written in the tables, the source of the
// translations.
std::vector<std::string> UiSourceTexts();
