#include "ui_resources.h"

#include "icons/tarvel1_16.xpm"
#include "icons/tarvel1_32.xpm"
#include "icons/toolbar.xpm"

#ifndef TARVEL1_HOMEPAGE_URL
#error "TARVEL1_HOMEPAGE_URL comes from res/CMakeLists.txt"
#endif

namespace
{

const MenuResource kMainMenu = {
    IDR_MAINFRAME,
    {
        {"ﾌｧｲﾙ(&F)",
         {
             {ID_FILE_OPEN, "midファイルを開く(&O)...\tCtrl+O"},
             {ID_FILE_SAVE_AS, "名前を付けて保存(&A)..."},
             {ID_SEPARATOR, nullptr},
             {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"},
         }},
        {"表示(&V)",
         {
             {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰ(&T)"},
             {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"},
             {ID_VIEW_PIANO_ROLL, "ﾋﾟｱﾉﾛｰﾙ(&P)", true},
             {ID_VIEW_PLAYBACK_SETTINGS, "演奏設定(&O)..."},
         }},
        {"ﾍﾙﾌﾟ(&H)",
         {
             {ID_APP_ABOUT, "ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
         }},
    },
};

const AccelTableResource kMainAccel = {
    IDR_MAINFRAME,
    {
        {FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW},
        {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN},
        {FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE},
        {FVIRTKEY | FCONTROL, 'P', ID_FILE_PRINT},
        {FVIRTKEY | FCONTROL, 'Z', ID_EDIT_UNDO},
        {FVIRTKEY | FCONTROL, 'X', ID_EDIT_CUT},
        {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},
        {FVIRTKEY | FCONTROL, 'V', ID_EDIT_PASTE},
        {FVIRTKEY | FALT, VK_BACK, ID_EDIT_UNDO},
        {FVIRTKEY | FSHIFT, VK_DELETE, ID_EDIT_CUT},
        {FVIRTKEY | FCONTROL, VK_INSERT, ID_EDIT_COPY},
        {FVIRTKEY | FSHIFT, VK_INSERT, ID_EDIT_PASTE},
        {FVIRTKEY, VK_F6, ID_NEXT_PANE},
        {FVIRTKEY | FSHIFT, VK_F6, ID_PREV_PANE},
    },
};

const ToolBarResource kMainToolBar = {
    IDR_MAINFRAME, 16, 15, {ID_FILE_OPEN, ID_SEPARATOR, ID_APP_ABOUT}, toolbar_xpm,
};

const DialogTemplate kConverterForm = {
    IDD_CONVERTER_FORM,
    DS_CHILD_BORDER,
    199,
    74,
    nullptr,
    "ＭＳ Ｐゴシック",
    9,
    {
        {IDC_CONVERT, ControlKind::PushButton, "変換！", 150, 20, 30, 15, CS_TABSTOP},
        {IDC_MODE, ControlKind::ComboBox, nullptr, 50, 20, 90, 75,
         CS_DROPDOWN | CS_VSCROLL | CS_SORT | CS_TABSTOP},
        {IDC_KEY, ControlKind::ComboBox, nullptr, 10, 20, 30, 95,
         CS_DROPDOWN | CS_VSCROLL | CS_SORT | CS_TABSTOP},
        {IDC_STATIC, ControlKind::Static, "ZANTO MIDI PLAYER", 10, 5, 64, 8, 0},
        {IDC_STATIC, ControlKind::Static, "by ZANTO  2002", 130, 60, 65, 10, 0},
        {IDC_START, ControlKind::PushButton, "START", 20, 40, 45, 15, CS_TABSTOP},
        {IDC_PAUSE, ControlKind::PushButton, "STOP", 80, 40, 45, 15, CS_TABSTOP},
    },
};

const DialogTemplate kAboutBox = {
    IDD_ABOUT,
    DS_MODAL_CAPTION,
    239,
    65,
    "SMF ZantoArrangerのﾊﾞｰｼﾞｮﾝ情報",
    "ＭＳ Ｐゴシック",
    9,
    {
        {IDC_STATIC, ControlKind::Icon, nullptr, 11, 17, 20, 20, 0, IDR_MAINFRAME},
        {IDC_STATIC, ControlKind::Static, "ZANTO MIDI PLAYER Version 1.0", 40, 10, 119, 8,
         CS_NOPREFIX},
        {IDC_STATIC, ControlKind::Static, "MIDI ﾌｧｲﾙの調を変えて鳴らすﾌﾟﾚｲﾔｰ", 40, 20, 119, 8, 0},
        {IDOK_CONTROL, ControlKind::DefPushButton, "OK", 178, 7, 50, 14, CS_TABSTOP},
        {IDC_HOMEPAGE, ControlKind::PushButton, TARVEL1_HOMEPAGE_URL, 40, 35, 105, 15, CS_TABSTOP},
    },
};

} // namespace

const char* HomePageUrl()
{
    return TARVEL1_HOMEPAGE_URL;
}

const MenuResource* FindMenuResource(UINT id)
{
    return id == kMainMenu.nId ? &kMainMenu : nullptr;
}

const AccelTableResource* FindAccelResource(UINT id)
{
    return id == kMainAccel.nId ? &kMainAccel : nullptr;
}

const ToolBarResource* FindToolBarResource(UINT id)
{
    return id == kMainToolBar.nId ? &kMainToolBar : nullptr;
}

const DialogTemplate* FindDialogTemplate(UINT id)
{
    if (id == kConverterForm.nId)
        return &kConverterForm;
    if (id == kAboutBox.nId)
        return &kAboutBox;
    return nullptr;
}

const char* const* FindIconXpm(UINT id, int size)
{
    if (id != IDR_MAINFRAME && id != IDR_TARVELTYPE)
        return nullptr;
    return size <= 16 ? tarvel1_16_xpm : tarvel1_32_xpm;
}
